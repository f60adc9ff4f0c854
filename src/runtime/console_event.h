// Console control events: control-C, control-BREAK, closing of the window.
#pragma once

#include "platform/platform.h"

namespace runtime {

/// Reports the event (message 200), runs the exit processing and ends the
/// process with the event's status; returns false to decline an event the
/// program does not handle.
bool on_console_event(platform::ConsoleEvent event);

/// Registers `on_console_event` with the system; the run goes on without
/// it when that cannot be done.
void register_console_event_handler();

}  // namespace runtime
