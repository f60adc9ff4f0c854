// The open connections and the exit processing that closes them.
//
// Signal-safe: the registry is a fixed array of atomic slots, so that the
// processor-exception handler can close the files without allocating.
#include "runtime/units.h"

#include <atomic>
#include <thread>

#include "runtime/runtime.h"

namespace runtime {
namespace {

// The point file and the error unit; room to spare.
constexpr int MAX_OPEN_UNITS = 4;
std::atomic<OpenUnit*> open_units[MAX_OPEN_UNITS];

enum class ExitProcessing : int { not_started, running, done };
std::atomic<ExitProcessing> exit_processing{ExitProcessing::not_started};
std::atomic<std::thread::id> exit_processing_thread{};

constexpr int SAVED_STATUS = 0;

void close_open_units() {
  for (auto& slot : open_units) {
    if (OpenUnit* unit = slot.exchange(nullptr)) unit->close_at_exit();
  }
}

}  // namespace

void register_open_unit(OpenUnit* unit) {
  for (auto& slot : open_units) {
    OpenUnit* empty = nullptr;
    if (slot.compare_exchange_strong(empty, unit)) return;
  }
}

void unregister_open_unit(OpenUnit* unit) {
  for (auto& slot : open_units) {
    OpenUnit* expected = unit;
    if (slot.compare_exchange_strong(expected, nullptr)) return;
  }
}

int run_exit_processing() {
  release_exception_context();
  ExitProcessing expected = ExitProcessing::not_started;
  if (exit_processing.compare_exchange_strong(expected, ExitProcessing::running)) {
    exit_processing_thread.store(std::this_thread::get_id());
    close_open_units();
    exit_processing.store(ExitProcessing::done);
    return SAVED_STATUS;
  }
  // A report raised while the files are being closed returns at once; any
  // other thread waits until they are closed, so that nothing it ends the
  // process with can cut a close short.
  while (exit_processing.load() != ExitProcessing::done &&
         exit_processing_thread.load() != std::this_thread::get_id()) {
    std::this_thread::yield();
  }
  return SAVED_STATUS;
}

}  // namespace runtime
