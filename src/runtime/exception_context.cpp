// Whether the exception context exists. Signal-safe: one atomic flag.
#include <atomic>

#include "runtime/runtime.h"

namespace runtime {
namespace {

std::atomic<bool> context_exists{false};

}  // namespace

void create_exception_context() { context_exists.store(true); }

void release_exception_context() { context_exists.store(false); }

bool exception_context_exists() { return context_exists.load(); }

}  // namespace runtime
