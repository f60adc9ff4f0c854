// Start-up and normal end of the process.
#include "runtime/runtime.h"

#include <atomic>

#include "output/point_file.h"
#include "runtime/console_event.h"
#include "runtime/env_switch.h"
#include "runtime/error_unit.h"
#include "runtime/processor_exception.h"
#include "runtime/units.h"

namespace runtime {
namespace {

std::atomic_flag started = ATOMIC_FLAG_INIT;

}  // namespace

void start_runtime() {
  if (started.test_and_set()) return;
  create_exception_context();
  register_console_event_handler();
  if (env_switch_on("FOR_NOERROR_DIALOGS")) platform::suppress_error_dialogs();
  platform::prepare_floating_point();
  prepare_error_unit();
  output::read_record_length_setting();
  platform::prepare_stack_walk();
}

int finish_runtime() { return run_exit_processing(); }

int run_process(void (*main_routine)()) {
  platform::install_processor_exception_handler(on_processor_exception);
  start_runtime();
  main_routine();
  platform::remove_processor_exception_handler();
  return finish_runtime();
}

}  // namespace runtime
