// POSIX side of the stack walk: the unwinder walks the frames, the dynamic
// loader names the image of each program counter, and the signal context
// gives the registers of a processor exception.
//
// Safety contract: walk_stack and describe_processor_context run inside
// fault handlers. They allocate nothing (the unwinder's caches are filled by
// prepare_stack_walk at start-up), use no stdio and take no lock of their
// own; dladdr takes the loader's lock, as every unwinder-based crash
// reporter does, so a fault inside the dynamic loader itself may hang.
#include <dlfcn.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>
#include <unwind.h>

#include <cstring>

#include "platform/context_text.h"
#include "platform/platform.h"

namespace platform {
namespace {

// The executable's own file name, read once: the loader names the main
// program's frames by whatever argv[0] was.
char executable_name[sizeof(StackFrame::image)] = {};
const void* executable_base = nullptr;

// Signal-safe.
void copy_base_name(const char* path, char* image) {
  const char* name = std::strrchr(path, '/');
  name = name == nullptr ? path : name + 1;
  const std::size_t size = strnlen(name, sizeof(StackFrame::image) - 1);
  std::memcpy(image, name, size);
  image[size] = '\0';
}

// Not signal-safe (runs once, at start-up).
void remember_executable() {
  char path[4096];
  const ssize_t size = readlink("/proc/self/exe", path, sizeof path - 1);
  if (size <= 0) return;
  path[size] = '\0';
  copy_base_name(path, executable_name);
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&remember_executable), &info) != 0) {
    executable_base = info.dli_fbase;
  }
}

// Signal-safe. The stack pointer at the faulting instruction.
std::uintptr_t context_stack_pointer(const void* context) {
  const auto* user = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  return static_cast<std::uintptr_t>(user->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
  return static_cast<std::uintptr_t>(user->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
  return static_cast<std::uintptr_t>(user->uc_mcontext.sp);
#else
  (void)user;
  return 0;
#endif
}

// Signal-safe. Names the image that holds `pc` and makes the pc an offset
// within it, so that a 64-bit address fits the traceback's column and can be
// resolved against the image file.
void describe_image(std::uintptr_t pc, bool exact, StackFrame& frame) {
  frame.pc = pc;
  Dl_info info{};
  // A return address may lie just past the end of a call that never
  // returns; the call itself is what belongs to the image.
  const std::uintptr_t inside = exact ? pc : pc - 1;
  if (dladdr(reinterpret_cast<const void*>(inside), &info) == 0) return;
  frame.pc = pc - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
  if (info.dli_fbase == executable_base && executable_name[0] != '\0') {
    std::memcpy(frame.image, executable_name, sizeof frame.image);
  } else if (info.dli_fname != nullptr) {
    copy_base_name(info.dli_fname, frame.image);
  }
}

// Signal-safe. The four words at the frame's stack address, read through
// the kernel: after a stack overflow the stack pointer itself may point into
// the guard region, and the read must fail there instead of faulting again.
// They stay 0 when they cannot be read.
void read_parameters(std::uintptr_t stack, StackFrame& frame) {
  if (stack == 0) return;
  std::uintptr_t words[4] = {};
  iovec local{words, sizeof words};
  iovec remote{reinterpret_cast<void*>(stack), sizeof words};
  if (process_vm_readv(getpid(), &local, 1, &remote, 1, 0) != static_cast<ssize_t>(sizeof words)) {
    return;
  }
  for (int i = 0; i < 4; ++i) frame.params[i] = words[i];
}

struct RawFrame {
  std::uintptr_t pc = 0;
  bool exact = false;  // the pc is the instruction itself, not a return address
  std::uintptr_t frame = 0;
  std::uintptr_t stack = 0;
};

struct Walk {
  bool (*visit)(const StackFrame&, void*);
  void* data;
  std::uintptr_t fault_pc;       // 0: not walking from an exception
  std::uintptr_t fault_stack;
  bool reached_start;            // the first frame to list has been met
  bool stopped;                  // the visitor or a zero pc ended the walk
  bool have_pending;
  RawFrame pending;              // listed once its return address is known
  std::uintptr_t previous_cfa;
};

// Signal-safe.
bool emit(Walk& walk, const RawFrame& raw, std::uintptr_t return_address) {
  StackFrame frame;
  describe_image(raw.pc, raw.exact, frame);
  frame.return_offset = return_address;
  frame.frame_offset = raw.frame;
  frame.stack_offset = raw.stack;
  read_parameters(raw.stack, frame);
  return walk.visit(frame, walk.data);
}

// Signal-safe.
_Unwind_Reason_Code step(struct _Unwind_Context* context, void* data) {
  Walk& walk = *static_cast<Walk*>(data);
  int before_instruction = 0;
  const std::uintptr_t pc = _Unwind_GetIPInfo(context, &before_instruction);
  const std::uintptr_t cfa = _Unwind_GetCFA(context);

  if (!walk.reached_start) {
    // From an exception, the handler's own frames and the signal trampoline
    // come first; without one, walk_stack's own frame does.
    walk.reached_start = walk.fault_pc == 0 || pc == walk.fault_pc;
    if (!walk.reached_start || walk.fault_pc == 0) {
      walk.previous_cfa = cfa;
      return _URC_NO_REASON;
    }
  }
  if (pc == 0) {
    walk.stopped = true;
    return _URC_END_OF_STACK;
  }
  if (walk.have_pending && !emit(walk, walk.pending, pc)) {
    walk.have_pending = false;
    walk.stopped = true;
    return _URC_END_OF_STACK;
  }
  const bool first = !walk.have_pending;
  walk.pending.pc = pc;
  walk.pending.exact = before_instruction != 0;
  walk.pending.frame = cfa;
  walk.pending.stack = first && walk.fault_pc != 0 ? walk.fault_stack : walk.previous_cfa;
  walk.have_pending = true;
  walk.previous_cfa = cfa;
  return _URC_NO_REASON;
}

// Signal-safe.
bool count_frame(const StackFrame&, void* data) {
  ++*static_cast<int*>(data);
  return true;
}


#if defined(__x86_64__)
// Signal-safe.
void describe_registers(const ucontext_t& user, ContextText& text) {
  const greg_t* r = user.uc_mcontext.gregs;
  text.heading("Processor Control and Status Registers.");
  text.reg("RIP:", r[REG_RIP], 16);
  text.reg("RSP:", r[REG_RSP], 16);
  text.reg("RBP:", r[REG_RBP], 16);
  text.reg("EFlags:", r[REG_EFL], 8);
  text.reg("Err:", r[REG_ERR], 8);
  text.reg("TrapNo:", r[REG_TRAPNO], 8);
  text.reg("CR2:", r[REG_CR2], 16);
  text.end_group();

  text.heading("Processor Integer Registers.");
  const struct {
    const char* name;
    int index;
  } integers[] = {{"RAX:", REG_RAX}, {"RBX:", REG_RBX}, {"RCX:", REG_RCX}, {"RDX:", REG_RDX},
                  {"RSI:", REG_RSI}, {"RDI:", REG_RDI}, {"R8:", REG_R8},   {"R9:", REG_R9},
                  {"R10:", REG_R10}, {"R11:", REG_R11}, {"R12:", REG_R12}, {"R13:", REG_R13},
                  {"R14:", REG_R14}, {"R15:", REG_R15}};
  for (const auto& integer : integers) text.reg(integer.name, r[integer.index], 16);
  text.end_group();

  // CS, GS and FS share one word of the context, 16 bits each.
  const auto segments = static_cast<std::uint64_t>(r[REG_CSGSFS]);
  text.heading("Processor Segment Registers.");
  text.reg("SegCs:", segments & 0xFFFF, 4);
  text.reg("SegGs:", (segments >> 16) & 0xFFFF, 4);
  text.reg("SegFs:", (segments >> 32) & 0xFFFF, 4);
  text.end_group();

  text.heading("Floating Point Save Area.");
  const _libc_fpstate* fp = user.uc_mcontext.fpregs;
  if (fp == nullptr) return;
  text.reg("Control:", fp->cwd, 4);
  text.reg("Status:", fp->swd, 4);
  text.reg("Tag:", fp->ftw, 4);
  text.reg("Opcode:", fp->fop, 4);
  text.reg("ErrOff:", fp->rip, 16);
  text.reg("DataOff:", fp->rdp, 16);
  text.reg("MXCSR:", fp->mxcsr, 8);
  text.end_group();
  static const char* const stack_names[8] = {"ST0:", "ST1:", "ST2:", "ST3:",
                                             "ST4:", "ST5:", "ST6:", "ST7:"};
  for (int i = 0; i < 8; ++i) {
    const _libc_fpxreg& st = fp->_st[i];
    const std::uint64_t mantissa = (std::uint64_t{st.significand[3]} << 48) |
                                   (std::uint64_t{st.significand[2]} << 32) |
                                   (std::uint64_t{st.significand[1]} << 16) | st.significand[0];
    text.append(stack_names[i]);
    text.append("     ");
    text.append_hex(st.exponent, 4);
    text.append_hex(mantissa, 16);
    text.append("\n");
  }
  text.append("\n");
  static const char* const vector_names[16] = {
      "XMM0:",  "XMM1:",  "XMM2:",  "XMM3:",  "XMM4:",  "XMM5:",  "XMM6:",  "XMM7:",
      "XMM8:",  "XMM9:",  "XMM10:", "XMM11:", "XMM12:", "XMM13:", "XMM14:", "XMM15:"};
  for (int i = 0; i < 16; ++i) {
    const _libc_xmmreg& xmm = fp->_xmm[i];
    text.append(vector_names[i]);
    text.append(i < 10 ? "     " : "    ");
    for (int word = 3; word >= 0; --word) text.append_hex(xmm.element[word], 8);
    text.append("\n");
  }
}
#else
// Signal-safe. Only the headings where the register layout is not known.
void describe_registers(const ucontext_t&, ContextText& text) {
  text.heading("Processor Control and Status Registers.");
  text.heading("Processor Integer Registers.");
  text.heading("Processor Segment Registers.");
  text.heading("Floating Point Save Area.");
}
#endif

}  // namespace

// Signal-safe (once prepare_stack_walk has run). Kept out of line: its own
// frame is the one the walk skips.
__attribute__((noinline)) bool walk_stack(const ProcessorException* exception,
                                          bool (*visit)(const StackFrame& frame, void* data),
                                          void* data) {
  Walk walk{visit, data, 0, 0, false, false, false, {}, 0};
  if (exception != nullptr) {
    walk.fault_pc = exception->address;
    walk.fault_stack = exception->context != nullptr ? context_stack_pointer(exception->context) : 0;
  }
  const _Unwind_Reason_Code result = _Unwind_Backtrace(step, &walk);
  if (walk.stopped) return true;
  if (walk.have_pending) emit(walk, walk.pending, 0);
  if (exception != nullptr && !walk.reached_start) {
    // The unwinder never came to the faulting frame: list the faulting
    // instruction alone.
    emit(walk, RawFrame{walk.fault_pc, true, 0, walk.fault_stack}, 0);
    return false;
  }
  return result == _URC_END_OF_STACK;
}

// Not signal-safe.
void prepare_stack_walk() {
  remember_executable();
  // The first walk fills the unwinder's and the loader's caches.
  int frames = 0;
  walk_stack(nullptr, count_frame, &frames);
}

// Signal-safe.
std::size_t describe_processor_context(const ProcessorException& exception, char* buffer,
                                       std::size_t room) {
  if (exception.context == nullptr) return 0;
  ContextText text(buffer, room);
  describe_registers(*static_cast<const ucontext_t*>(exception.context), text);
  return text.size();
}

}  // namespace platform
