// Console control events: reported, then the run ends with the event's status.
//
// Runs in normal thread context on the platform's event thread, while the
// main thread goes on; the exit processing keeps the main thread off the
// open files from then on.
#include "runtime/console_event.h"

#include "runtime/exit_status.h"
#include "runtime/report.h"
#include "runtime/units.h"

namespace runtime {
namespace {

constexpr int CONSOLE_EVENT_MESSAGE = 200;

struct EventRule {
  const char* name;
  int exit_status;
  bool own_handler_declines;  // a program's own signal handler takes the event
  platform::Signal signal;
};

// Not signal-safe.
EventRule rule_for(platform::ConsoleEvent event) {
  switch (event) {
    case platform::ConsoleEvent::control_c:
      return {"control-C", exit_status_control_c(), true, platform::Signal::interrupt};
    case platform::ConsoleEvent::control_break:
      return {"control-BREAK", EXIT_CONTROL_BREAK, true, platform::Signal::break_};
    case platform::ConsoleEvent::window_close:
      break;
  }
  return {"window-CLOSE", EXIT_WINDOW_CLOSE, false, platform::Signal::interrupt};
}

}  // namespace

// Not signal-safe.
bool on_console_event(platform::ConsoleEvent event) {
  const EventRule rule = rule_for(event);
  if (rule.own_handler_declines && platform::has_own_signal_handler(rule.signal)) return false;
  report_runtime_message(CONSOLE_EVENT_MESSAGE, {rule.name});
  run_exit_processing();
  platform::exit_process(rule.exit_status);
}

// Not signal-safe.
void register_console_event_handler() { platform::install_console_event_handler(on_console_event); }

}  // namespace runtime
