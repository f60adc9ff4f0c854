// Reports a processor exception of the main thread and ends the run.
//
// Safety contract: on_processor_exception runs in signal context on the
// faulting thread. It allocates nothing (the report goes into a buffer set
// aside for it) and takes no lock the faulting code may hold.
#include "runtime/processor_exception.h"

#include <atomic>

#include "runtime/env_switch.h"
#include "runtime/exception_message.h"
#include "runtime/report.h"

namespace runtime {
namespace {

// The heap may be what faulted: the report is made here instead.
char fault_report_buffer[REPORT_BUFFER_SIZE];

// A second exception while one is reported (a fault in the report itself)
// goes to the system.
std::atomic_flag reporting = ATOMIC_FLAG_INIT;

constexpr int BREAKPOINT_MESSAGE = 159;

// Signal-safe.
bool declined_for_program_handler(std::uint32_t code) {
  platform::Signal signal;
  return exception_signal(code, signal) && platform::has_own_signal_handler(signal);
}

}  // namespace

// Signal-safe.
void on_processor_exception(const platform::ProcessorException& exception) {
  if (env_switch_on("FOR_IGNORE_EXCEPTIONS")) return;
  if (declined_for_program_handler(exception.code)) return;
  if (reporting.test_and_set()) return;

  const bool debugger = debugger_present();
  const ExceptionMessage message = exception_message(exception.code);
  // A debugger takes its breakpoints itself.
  if (debugger && message.number == BREAKPOINT_MESSAGE) return;

  // The report ends the process; only one made for a debugger comes back,
  // and the debugger then gets the exception.
  if (message.has_code_fill_ins) {
    report_runtime_message_in(fault_report_buffer, sizeof fault_report_buffer, message.number,
                              {message.code_fill_in, message.code_fill_in}, &exception);
  } else {
    report_runtime_message_in(fault_report_buffer, sizeof fault_report_buffer, message.number,
                              {}, &exception);
  }
}

}  // namespace runtime
