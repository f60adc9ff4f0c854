// Processor exceptions raised while the main routine runs.
#pragma once

#include "platform/platform.h"

namespace runtime {

/// Reports the exception by its message and ends the process with the
/// message number; returns to decline it (FOR_IGNORE_EXCEPTIONS on, a
/// handler of the program's own, or a debugger that should take it).
/// Signal-safe.
void on_processor_exception(const platform::ProcessorException& exception);

}  // namespace runtime
