// Placeholder until processor exceptions are handled: every one is declined.
#include "runtime/processor_exception.h"

namespace runtime {

void on_processor_exception(const platform::ProcessorException&) {}

}  // namespace runtime
