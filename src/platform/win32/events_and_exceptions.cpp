// Windows side of the platform split: console control events, processor
// exceptions (structured exceptions), signal dispositions, the stack walk
// and the processor context of an exception.
//
// Safety contract: the console control routine runs "on a thread of its
// own, courtesy of Windows" while the main thread goes on; the exception
// filter runs on the faulting thread, which may hold any lock. Functions
// marked "Signal-safe." allocate nothing and take no lock of the program's;
// the stack walk is signal-safe only after prepare_stack_walk has loaded the
// symbol handler's module tables.
#include "platform/win32/windows_api.h"

#include <dbghelp.h>

#include <atomic>
#include <csignal>
#include <cstring>

#include "platform/context_text.h"
#include "platform/platform.h"

namespace platform {

// ---------------------------------------------------------------------------
// Console control events
// ---------------------------------------------------------------------------

namespace {

std::atomic<ConsoleEventHandler> console_event_handler{nullptr};

// Log-off, shut-down and whatever else comes are left to the system.
BOOL WINAPI on_console_control(DWORD type) {
  ConsoleEvent event;
  switch (type) {
    case CTRL_C_EVENT: event = ConsoleEvent::control_c; break;
    case CTRL_BREAK_EVENT: event = ConsoleEvent::control_break; break;
    case CTRL_CLOSE_EVENT: event = ConsoleEvent::window_close; break;
    default: return FALSE;
  }
  ConsoleEventHandler handler = console_event_handler.load();
  return handler != nullptr && handler(event) ? TRUE : FALSE;
}

}  // namespace

bool install_console_event_handler(ConsoleEventHandler handler) {
  console_event_handler.store(handler);
  return SetConsoleCtrlHandler(on_console_control, TRUE) != FALSE;
}

// ---------------------------------------------------------------------------
// Signal dispositions
// ---------------------------------------------------------------------------

namespace {

int signal_number(Signal signal) {
  switch (signal) {
    case Signal::interrupt: return SIGINT;
    case Signal::break_: return SIGBREAK;
    case Signal::segmentation: return SIGSEGV;
    case Signal::illegal: return SIGILL;
    case Signal::floating_point: return SIGFPE;
  }
  return SIGINT;
}

}  // namespace

// Signal-safe.
bool has_own_signal_handler(Signal signal) {
  int number = signal_number(signal);
  auto previous = std::signal(number, SIG_DFL);
  if (previous == SIG_ERR) return false;
  std::signal(number, previous);
  // The C runtime's built-in dispositions are no handler of the program's.
  return previous != SIG_DFL && previous != SIG_IGN && previous != SIG_SGE && previous != SIG_ACK;
}

// ---------------------------------------------------------------------------
// Processor exceptions
// ---------------------------------------------------------------------------

namespace {

std::atomic<ProcessorExceptionHandler> exception_handler{nullptr};
std::atomic<DWORD> covered_thread{0};
LPTOP_LEVEL_EXCEPTION_FILTER previous_filter = nullptr;

// Room kept on the thread's stack for the handler after a stack overflow.
constexpr ULONG STACK_OVERFLOW_RESERVE = 64 * 1024;

// The top-level filter, not a vectored handler: it sees only exceptions that
// nothing in the program handles, where a vectored handler would also see
// every exception thrown and caught by the program itself. A declined
// exception goes to the filter that was in force before (the C runtime's,
// which calls the program's own signal handlers), then to the system.
// Signal-safe.
LONG WINAPI on_unhandled_exception(EXCEPTION_POINTERS* pointers) {
  ProcessorExceptionHandler handler = exception_handler.load();
  if (handler != nullptr && GetCurrentThreadId() == covered_thread.load()) {
    ProcessorException exception;
    exception.code = pointers->ExceptionRecord->ExceptionCode;
    exception.address = reinterpret_cast<std::uintptr_t>(pointers->ExceptionRecord->ExceptionAddress);
    exception.context = pointers->ContextRecord;
    handler(exception);
  }
  return previous_filter != nullptr ? previous_filter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void install_processor_exception_handler(ProcessorExceptionHandler handler) {
  ULONG reserve = STACK_OVERFLOW_RESERVE;
  SetThreadStackGuarantee(&reserve);
  covered_thread.store(GetCurrentThreadId());
  exception_handler.store(handler);
  LPTOP_LEVEL_EXCEPTION_FILTER replaced = SetUnhandledExceptionFilter(on_unhandled_exception);
  if (replaced != on_unhandled_exception) previous_filter = replaced;
}

void remove_processor_exception_handler() {
  exception_handler.store(nullptr);
  SetUnhandledExceptionFilter(previous_filter);
}

// ---------------------------------------------------------------------------
// Stack walk
// ---------------------------------------------------------------------------

namespace {

// Set once the symbol handler is initialised for the rest of the process.
std::atomic<bool> symbol_handler_ready{false};

// The file name and extension of the image that holds `address`, and the
// offset of the address within it; the image stays empty when none does.
void locate_in_image(DWORD64 address, StackFrame& frame) {
  frame.pc = static_cast<std::uintptr_t>(address);
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(address)), &module)) {
    return;
  }
  frame.pc -= reinterpret_cast<std::uintptr_t>(module);
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  const char* name = path + length;
  while (name > path && name[-1] != '\\' && name[-1] != '/') --name;
  std::size_t size = static_cast<std::size_t>(path + length - name);
  if (size >= sizeof frame.image) size = sizeof frame.image - 1;
  std::memcpy(frame.image, name, size);
  frame.image[size] = '\0';
}

StackFrame frame_of(const STACKFRAME64& walked) {
  StackFrame frame;
  locate_in_image(walked.AddrPC.Offset, frame);
  frame.return_offset = walked.AddrReturn.Offset;
  frame.frame_offset = walked.AddrFrame.Offset;
  frame.stack_offset = walked.AddrStack.Offset;
  for (int i = 0; i < 4; ++i) frame.params[i] = walked.Params[i];
  return frame;
}

bool ignore_frame(const StackFrame&, void*) { return true; }

}  // namespace

// Signal-safe once prepare_stack_walk has run.
bool walk_stack(const ProcessorException* exception,
                bool (*visit)(const StackFrame& frame, void* data), void* data) {
  CONTEXT context;
  if (exception != nullptr && exception->context != nullptr) {
    context = *static_cast<const CONTEXT*>(exception->context);
  } else {
    RtlCaptureContext(&context);
  }
  HANDLE process = GetCurrentProcess();
  bool own_session = !symbol_handler_ready.load();
  if (own_session && !SymInitialize(process, nullptr, TRUE)) return false;

  STACKFRAME64 walked{};
  walked.AddrPC.Offset = context.Rip;
  walked.AddrPC.Mode = AddrModeFlat;
  walked.AddrFrame.Offset = context.Rsp;
  walked.AddrFrame.Mode = AddrModeFlat;
  walked.AddrStack.Offset = context.Rsp;
  walked.AddrStack.Mode = AddrModeFlat;

  // The walk has failed when a step fails before a frame without a return
  // address, the outermost one, has been reached.
  bool complete = false;
  while (StackWalk64(IMAGE_FILE_MACHINE_AMD64, process, GetCurrentThread(), &walked, &context,
                     nullptr, SymFunctionTableAccess64, SymGetModuleBase64, nullptr)) {
    if (!visit(frame_of(walked), data) || walked.AddrReturn.Offset == 0) {
      complete = true;
      break;
    }
  }
  if (own_session) SymCleanup(process);
  return complete;
}

// Keeps the symbol handler for the rest of the process and walks once, so
// that its module tables are loaded before a handler needs them.
void prepare_stack_walk() {
  if (symbol_handler_ready.load()) return;
  SymSetOptions(SymGetOptions() | SYMOPT_DEFERRED_LOADS);
  if (!SymInitialize(GetCurrentProcess(), nullptr, TRUE)) return;
  symbol_handler_ready.store(true);
  walk_stack(nullptr, ignore_frame, nullptr);
}

// ---------------------------------------------------------------------------
// Processor context
// ---------------------------------------------------------------------------

// Signal-safe.
std::size_t describe_processor_context(const ProcessorException& exception, char* buffer,
                                       std::size_t room) {
  if (exception.context == nullptr) return 0;
  const CONTEXT& c = *static_cast<const CONTEXT*>(exception.context);
  ContextText text(buffer, room);

  text.heading("Processor Control and Status Registers.");
  text.reg("RIP:", c.Rip, 16);
  text.reg("RSP:", c.Rsp, 16);
  text.reg("RBP:", c.Rbp, 16);
  text.reg("EFlags:", c.EFlags, 8);
  text.reg("MxCsr:", c.MxCsr, 8);
  text.end_group();

  text.heading("Processor Integer Registers.");
  const std::uint64_t integers[] = {c.Rax, c.Rbx, c.Rcx, c.Rdx, c.Rsi, c.Rdi, c.R8,
                                    c.R9,  c.R10, c.R11, c.R12, c.R13, c.R14, c.R15};
  static const char* const integer_names[] = {"RAX:", "RBX:", "RCX:", "RDX:", "RSI:",
                                              "RDI:", "R8:",  "R9:",  "R10:", "R11:",
                                              "R12:", "R13:", "R14:", "R15:"};
  for (int i = 0; i < 14; ++i) text.reg(integer_names[i], integers[i], 16);
  text.end_group();

  text.heading("Processor Segment Registers.");
  text.reg("SegCs:", c.SegCs, 4);
  text.reg("SegDs:", c.SegDs, 4);
  text.reg("SegEs:", c.SegEs, 4);
  text.reg("SegFs:", c.SegFs, 4);
  text.reg("SegGs:", c.SegGs, 4);
  text.reg("SegSs:", c.SegSs, 4);
  text.end_group();

  text.heading("Floating Point Save Area.");
  const XMM_SAVE_AREA32& fp = c.FltSave;
  text.reg("Control:", fp.ControlWord, 4);
  text.reg("Status:", fp.StatusWord, 4);
  text.reg("Tag:", fp.TagWord, 4);
  text.reg("Opcode:", fp.ErrorOpcode, 4);
  text.reg("ErrOff:", fp.ErrorOffset, 16);
  text.reg("DataOff:", fp.DataOffset, 16);
  text.reg("MXCSR:", fp.MxCsr, 8);
  text.end_group();
  static const char* const vector_names[16] = {
      "XMM0:",  "XMM1:",  "XMM2:",  "XMM3:",  "XMM4:",  "XMM5:",  "XMM6:",  "XMM7:",
      "XMM8:",  "XMM9:",  "XMM10:", "XMM11:", "XMM12:", "XMM13:", "XMM14:", "XMM15:"};
  for (int i = 0; i < 16; ++i) {
    const M128A& xmm = fp.XmmRegisters[i];
    text.append(vector_names[i]);
    text.append(i < 10 ? "     " : "    ");
    text.append_hex(static_cast<std::uint64_t>(xmm.High), 16);
    text.append_hex(xmm.Low, 16);
    text.append("\n");
  }
  return text.size();
}

}  // namespace platform
