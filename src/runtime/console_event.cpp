// Placeholder until console events are handled: nothing is registered.
#include "runtime/console_event.h"

namespace runtime {

bool on_console_event(platform::ConsoleEvent) { return false; }

void register_console_event_handler() {}

}  // namespace runtime
