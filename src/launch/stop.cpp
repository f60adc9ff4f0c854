#include "launch/stop.h"

#include <mutex>

#include "platform/platform.h"
#include "runtime/error_unit.h"
#include "runtime/exit_status.h"
#include "runtime/units.h"

namespace launch {

namespace {

// Recursive, so that a stop raised on the stopping thread itself (from the
// exit processing) finds the flag instead of waiting for itself. A stop on
// another thread waits until the process has ended.
std::recursive_mutex& stop_lock() {
  static std::recursive_mutex lock;
  return lock;
}

bool stop_in_progress = false;  // guarded by stop_lock(); never cleared

}  // namespace

void stop_with_message(const char* text, std::size_t length, int status) {
  // Never released: the process ends while this stop holds the lock.
  stop_lock().lock();
  if (stop_in_progress) platform::exit_process_now(runtime::EXIT_STOP_IN_PROGRESS);
  stop_in_progress = true;

  if (length > 0) runtime::write_error_unit_record(text, length);
  runtime::run_exit_processing();
  platform::exit_process(status);
}

}  // namespace launch
