// Test-only program, Windows side: raises one processor fault for real
// inside the run-time frame, chosen by its argument, or waits for a console
// event ("wait", "wait-own-interrupt").
//
// Before faulting it writes to standard output the offset, within this
// executable, of the function that faults, so that a test can tell that the
// traceback's first frame is the faulting instruction.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/win32/windows_api.h"
#include "runtime/runtime.h"

namespace {

const char* chosen_fault = "";

// Volatile, so that the compiler can neither see the fault coming nor
// drop the faulting operation.
volatile int* volatile null_pointer = nullptr;
volatile int one = 1;
volatile int zero = 0;
volatile bool keep_recursing = true;

void write_out(const char* text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
            nullptr);
}

void announce(const void* function) {
  const auto offset = reinterpret_cast<std::uintptr_t>(function) -
                      reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  char line[64];
  std::snprintf(line, sizeof line, "%llX\n", static_cast<unsigned long long>(offset));
  write_out(line);
}

__attribute__((noinline)) void write_through_null() { *null_pointer = 1; }

__attribute__((noinline)) int divide_by_zero() { return one / zero; }

__attribute__((noinline)) void execute_illegal_instruction() { __builtin_trap(); }

__attribute__((noinline)) void execute_breakpoint() { asm volatile("int3"); }

__attribute__((noinline)) int recurse(int depth) {
  volatile char frame_filler[512];
  frame_filler[0] = static_cast<char>(depth);
  if (keep_recursing) return recurse(depth + 1) + frame_filler[0];
  return 0;
}

// Tells the test that the console events are being watched, then waits.
void wait_for_event() {
  write_out("ready\n");
  for (;;) Sleep(INFINITE);
}

void own_interrupt_handler(int) {
  write_out("own handler\n");
  ExitProcess(42);
}

// A program with its own control-C handler keeps control-C to itself.
void wait_with_own_interrupt_handler() {
  std::signal(SIGINT, own_interrupt_handler);
  wait_for_event();
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
  return runtime::run_process(main_routine);
}
