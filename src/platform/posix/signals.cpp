// POSIX side of console events and processor exceptions.
//
// Console events are the signals SIGINT (control-C), SIGQUIT (control-BREAK)
// and SIGHUP (window-CLOSE). They are blocked in every thread and taken with
// sigwait on a thread of their own, so their handler runs in normal thread
// context while the main thread goes on. SIGTERM keeps its default.
//
// Processor exceptions are the signals SIGSEGV, SIGBUS, SIGILL, SIGTRAP and
// SIGFPE, caught on an alternate stack so that a stack overflow reaches the
// handler too.
//
// Safety contract: fault_handler and everything it calls run in signal
// context on a thread that may have faulted anywhere: no allocation, no
// stdio, no lock; errno is saved and restored. The event thread's loop runs
// in normal thread context.
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/child_signals.h"

namespace platform {

const int CONTROL_C_EXIT_STATUS = 130;  // 128 + SIGINT, as shells report it

namespace {

// ---------------------------------------------------------------------------
// Console events
// ---------------------------------------------------------------------------

constexpr int CONSOLE_SIGNALS[] = {SIGINT, SIGQUIT, SIGHUP};

ConsoleEventHandler console_handler = nullptr;
// The mask before the console signals were blocked, for spawned children.
sigset_t mask_before_blocking;
bool console_signals_blocked = false;

// Signal-safe.
sigset_t console_signal_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int number : CONSOLE_SIGNALS) sigaddset(&set, number);
  return set;
}

// Signal-safe.
ConsoleEvent event_of(int number) {
  switch (number) {
    case SIGQUIT:
      return ConsoleEvent::control_break;
    case SIGHUP:
      return ConsoleEvent::window_close;
    default:
      return ConsoleEvent::control_c;
  }
}

// Not signal-safe. A declined event gets what the signal's disposition
// says: the default action, or a handler of the program's own, run here.
void deliver_declined(int number) {
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, number);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(number);
  pthread_sigmask(SIG_BLOCK, &only, nullptr);
}

// Not signal-safe (normal thread context).
void* console_event_thread(void*) {
  const sigset_t set = console_signal_set();
  for (;;) {
    int number = 0;
    if (sigwait(&set, &number) != 0) continue;
    if (!console_handler(event_of(number))) deliver_declined(number);
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Processor exceptions
// ---------------------------------------------------------------------------

constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGBUS, SIGILL, SIGTRAP, SIGFPE};
constexpr std::size_t FAULT_SIGNAL_COUNT = sizeof FAULT_SIGNALS / sizeof FAULT_SIGNALS[0];

// The handler runs the unwinder and formats the report on this stack.
constexpr std::size_t ALTERNATE_STACK_SIZE = 256 * 1024;
// Stack faults this far below the lowest stack address still count as
// overflow: the kernel keeps a gap of this size under a growing stack.
constexpr std::uintptr_t STACK_GUARD_GAP = 1024 * 1024;

std::atomic<ProcessorExceptionHandler> exception_handler{nullptr};
struct sigaction previous_actions[FAULT_SIGNAL_COUNT];
pid_t covered_thread = 0;
void* alternate_stack = nullptr;
std::uintptr_t stack_low = 0;  // lowest address of the covered thread's stack

// Signal-safe.
pid_t current_thread_id() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// Not signal-safe.
void remember_stack_bounds() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
  void* address = nullptr;
  std::size_t size = 0;
  if (pthread_attr_getstack(&attributes, &address, &size) == 0) {
    stack_low = reinterpret_cast<std::uintptr_t>(address);
  }
  pthread_attr_destroy(&attributes);
}

// Signal-safe.
bool in_stack_guard(std::uintptr_t address) {
  if (stack_low == 0) return false;
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t guard_low = stack_low > STACK_GUARD_GAP ? stack_low - STACK_GUARD_GAP : 0;
  return address >= guard_low && address < stack_low + page;
}

// Signal-safe. The Windows code of the exception a fault signal stands for.
std::uint32_t exception_code(int number, const siginfo_t& info) {
  switch (number) {
    case SIGSEGV:
      return in_stack_guard(reinterpret_cast<std::uintptr_t>(info.si_addr)) ? 0xC00000FDu
                                                                             : 0xC0000005u;
    case SIGBUS:
      return info.si_code == BUS_ADRALN ? 0x80000002u : 0xC0000006u;
    case SIGILL:
      return info.si_code == ILL_PRVOPC || info.si_code == ILL_PRVREG ? 0xC0000096u : 0xC000001Du;
    case SIGTRAP:
      return info.si_code == TRAP_TRACE ? 0x80000004u : 0x80000003u;
    case SIGFPE:
      switch (info.si_code) {
        case FPE_INTDIV: return 0xC0000094u;
        case FPE_INTOVF: return 0xC0000095u;
        case FPE_FLTDIV: return 0xC000008Eu;
        case FPE_FLTRES: return 0xC000008Fu;
        case FPE_FLTOVF: return 0xC0000091u;
        case FPE_FLTUND: return 0xC0000093u;
        default: return 0xC0000090u;  // FPE_FLTINV and the rest: invalid operation
      }
    default:
      return 0;
  }
}

// Signal-safe. The faulting instruction.
std::uintptr_t faulting_instruction(const siginfo_t& info, const void* context) {
  const auto* user = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  (void)info;
  return static_cast<std::uintptr_t>(user->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
  (void)info;
  return static_cast<std::uintptr_t>(user->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
  (void)info;
  return static_cast<std::uintptr_t>(user->uc_mcontext.pc);
#else
  (void)user;
  return reinterpret_cast<std::uintptr_t>(info.si_addr);
#endif
}

// Signal-safe. Leaves the signal to the system: with the default action in
// force, a fault happens again when the handler returns; a signal that was
// sent, or a trap, which does not repeat, is raised again and delivered as
// soon as the handler returns.
void decline(int number, const siginfo_t& info) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(number, &action, nullptr);
  if (number == SIGTRAP || info.si_code <= 0) raise(number);
}

// Signal-safe.
void fault_handler(int number, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  const ProcessorExceptionHandler handler = exception_handler.load();
  // Only the covered thread's exceptions are offered; the rest stay the
  // system's.
  if (handler != nullptr && current_thread_id() == covered_thread) {
    ProcessorException exception;
    exception.code = exception_code(number, *info);
    exception.address = faulting_instruction(*info, context);
    exception.context = context;
    handler(exception);
  }
  decline(number, *info);
  errno = saved_errno;
}

// Signal-safe.
int signal_number(Signal signal) {
  switch (signal) {
    case Signal::interrupt: return SIGINT;
    case Signal::break_: return SIGQUIT;
    case Signal::segmentation: return SIGSEGV;
    case Signal::illegal: return SIGILL;
    case Signal::floating_point: return SIGFPE;
  }
  return SIGINT;
}

// Not signal-safe.
void install_alternate_stack() {
  if (alternate_stack == nullptr) {
    void* memory = mmap(nullptr, ALTERNATE_STACK_SIZE, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    alternate_stack = memory;
  }
  stack_t stack;
  stack.ss_sp = alternate_stack;
  stack.ss_size = ALTERNATE_STACK_SIZE;
  stack.ss_flags = 0;
  sigaltstack(&stack, nullptr);
}

}  // namespace

// ---------------------------------------------------------------------------
// Interface
// ---------------------------------------------------------------------------

// Not signal-safe. Must run before any other thread exists: threads
// inherit the mask, and a console signal must never reach one of them.
bool install_console_event_handler(ConsoleEventHandler handler) {
  console_handler = handler;
  const sigset_t set = console_signal_set();
  if (pthread_sigmask(SIG_BLOCK, &set, &mask_before_blocking) != 0) return false;
  console_signals_blocked = true;

  pthread_attr_t attributes;
  pthread_t thread;
  bool started = pthread_attr_init(&attributes) == 0;
  if (started) {
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    started = pthread_create(&thread, &attributes, console_event_thread, nullptr) == 0;
    pthread_attr_destroy(&attributes);
  }
  if (!started) {
    // Without the event thread the signals keep their default action.
    pthread_sigmask(SIG_SETMASK, &mask_before_blocking, nullptr);
    console_signals_blocked = false;
  }
  return started;
}

// Signal-safe. Queried without changing the disposition, which is atomic.
bool has_own_signal_handler(Signal signal) {
  struct sigaction current;
  if (sigaction(signal_number(signal), nullptr, &current) != 0) return false;
  if ((current.sa_flags & SA_SIGINFO) != 0) {
    return current.sa_sigaction != nullptr && current.sa_sigaction != fault_handler;
  }
  return current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN;
}

// Not signal-safe.
void install_processor_exception_handler(ProcessorExceptionHandler handler) {
  covered_thread = current_thread_id();
  remember_stack_bounds();
  install_alternate_stack();
  exception_handler.store(handler);

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = fault_handler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < FAULT_SIGNAL_COUNT; ++i) {
    sigaction(FAULT_SIGNALS[i], &action, &previous_actions[i]);
  }
}

// Not signal-safe.
void remove_processor_exception_handler() {
  if (exception_handler.exchange(nullptr) == nullptr) return;
  for (std::size_t i = 0; i < FAULT_SIGNAL_COUNT; ++i) {
    sigaction(FAULT_SIGNALS[i], &previous_actions[i], nullptr);
  }
}

namespace posix {

// Not signal-safe.
int reset_child_signals(posix_spawnattr_t& attributes) {
  short flags = 0;
  if (const int error = posix_spawnattr_getflags(&attributes, &flags)) return error;
  flags |= POSIX_SPAWN_SETSIGDEF;
  if (console_signals_blocked) {
    flags |= POSIX_SPAWN_SETSIGMASK;
    if (const int error = posix_spawnattr_setsigmask(&attributes, &mask_before_blocking)) {
      return error;
    }
  }
  const sigset_t set = console_signal_set();
  if (const int error = posix_spawnattr_setsigdefault(&attributes, &set)) return error;
  return posix_spawnattr_setflags(&attributes, flags);
}

}  // namespace posix
}  // namespace platform
