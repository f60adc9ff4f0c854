// Test-only program: raises one processor fault for real inside the run-time
// frame, chosen by its argument, or waits for a console event ("wait",
// "wait-own-interrupt").
//
// Before faulting it writes to standard output the offset, within this
// executable, of the function that faults, so that a test can tell that the
// traceback's first frame is the faulting instruction.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "probes/probe_system.h"
#include "runtime/runtime.h"

namespace {

const char* chosen_fault = "";

// Volatile, so that the compiler can neither see the fault coming nor
// drop the faulting operation.
volatile int* volatile null_pointer = nullptr;
volatile int one = 1;
volatile int zero = 0;
volatile bool keep_recursing = true;
volatile float float_zero = 0.0f;

void announce(const void* function) {
  char line[64];
  std::snprintf(line, sizeof line, "%llX\n", static_cast<unsigned long long>(probe::image_offset(function)));
  probe::write_out(line);
}

// The faults are the point: the undefined-behaviour checks of a sanitized
// build must let them happen.
__attribute__((noinline, no_sanitize("undefined"))) void write_through_null() {
  *null_pointer = 1;
}

__attribute__((noinline, no_sanitize("undefined"))) int divide_by_zero() { return one / zero; }

__attribute__((noinline)) void execute_illegal_instruction() { __builtin_trap(); }

__attribute__((noinline)) void execute_breakpoint() {
#if defined(__x86_64__) || defined(__i386__)
  asm volatile("int3");
#elif defined(__aarch64__)
  asm volatile("brk #0");
#else
#error "no breakpoint instruction known for this processor"
#endif
}

__attribute__((noinline)) int recurse(int depth) {
  volatile char frame_filler[512];
  frame_filler[0] = static_cast<char>(depth);
  if (keep_recursing) return recurse(depth + 1) + frame_filler[0];
  return 0;
}

// Tells the test that the console events are being watched, then waits.
void wait_for_event() {
  probe::write_out("ready\n");
  probe::wait_forever();
}

void own_interrupt_handler(int) {
  probe::write_out("own handler\n");
  probe::exit_now(42);
}

// A program with its own control-C handler keeps control-C to itself.
void wait_with_own_interrupt_handler() {
  std::signal(SIGINT, own_interrupt_handler);
  wait_for_event();
}

// Floating-point division by zero, overflow and an invalid operation give
// infinity and NaN: the start-up has masked every floating-point exception.
void divide_floats() {
  const float quotient = 1.0f / float_zero;
  const float overflow = quotient * quotient;
  const float invalid = float_zero / float_zero;
  probe::write_out(quotient == overflow && invalid != invalid ? "masked\n" : "wrong\n");
}

struct Fault {
  const char* name;
  void (*raise)();
  const void* faulting_function;
};

const Fault FAULTS[] = {
    {"access", [] { write_through_null(); }, reinterpret_cast<const void*>(&write_through_null)},
    {"divide", [] { divide_by_zero(); }, reinterpret_cast<const void*>(&divide_by_zero)},
    {"illegal", [] { execute_illegal_instruction(); },
     reinterpret_cast<const void*>(&execute_illegal_instruction)},
    {"trap", [] { execute_breakpoint(); }, reinterpret_cast<const void*>(&execute_breakpoint)},
    {"overflow", [] { recurse(0); }, reinterpret_cast<const void*>(&recurse)},
    {"float", divide_floats, nullptr},
    {"wait", wait_for_event, nullptr},
    {"wait-own-interrupt", wait_with_own_interrupt_handler, nullptr},
};

void main_routine() {
  for (const Fault& fault : FAULTS) {
    if (std::strcmp(fault.name, chosen_fault) != 0) continue;
    if (fault.faulting_function != nullptr) announce(fault.faulting_function);
    fault.raise();
    return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) chosen_fault = argv[1];
  // Whatever the floating-point state the program starts with, the
  // run-time masks the exceptions before the main routine runs.
  if (std::strcmp(chosen_fault, "float") == 0) probe::unmask_floating_point_exceptions();
  return runtime::run_process(main_routine);
}
