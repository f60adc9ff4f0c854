// The exception context slot. Signal-safe: a static record behind an
// atomic pointer.
#include <atomic>

#include "runtime/runtime.h"

namespace runtime {
namespace {

ExceptionContextSlot the_slot{nullptr, false};
std::atomic<ExceptionContextSlot*> slot_in_use{nullptr};

}  // namespace

void create_exception_context_slot() { slot_in_use.store(&the_slot); }

void release_exception_context_slot() {
  if (ExceptionContextSlot* slot = slot_in_use.exchange(nullptr)) *slot = {nullptr, false};
}

ExceptionContextSlot* exception_context_slot() { return slot_in_use.load(); }

}  // namespace runtime
