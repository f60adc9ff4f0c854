// The one interface between the program and the operating system.
//
// Everything above this header is portable C++; each operation below has one
// implementation per system, in posix/ or win32/, chosen by the build.
// Failures are described in one vocabulary: the Windows system error numbers
// (`Reason`), which the POSIX backend maps its errno values onto, keeping the
// errno itself for the human-readable description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// ---------------------------------------------------------------------------
// Failure vocabulary
// ---------------------------------------------------------------------------

/// A failure reason, numbered as the Windows system error codes. Values
/// without a name below are legal too: a POSIX errno without a counterpart
/// becomes `unmapped_reason(errno)`.
enum class Reason : std::uint32_t {
  none = 0,
  file_not_found = 2,
  path_not_found = 3,
  too_many_open_files = 4,
  access_denied = 5,
  not_enough_memory = 8,
  invalid_drive = 15,
  write_protect = 19,
  bad_unit = 20,
  sharing_violation = 32,
  disk_full = 112,
  invalid_name = 123,
  bad_pathname = 161,
  filename_exceeds_range = 206,
};

/// Bit 29 marks application-defined codes on Windows; it keeps an unmapped
/// errno apart from every system reason.
constexpr std::uint32_t UNMAPPED_REASON_BIT = 0x20000000u;
constexpr Reason unmapped_reason(int native) {
  return static_cast<Reason>(UNMAPPED_REASON_BIT | static_cast<std::uint32_t>(native));
}

/// A failed operation: its reason, and the system's own error number
/// (errno, or GetLastError()) from which its description is made.
struct Failure {
  Reason reason = Reason::none;
  int native = 0;
};

/// The system's own description of a failure, with the system's line end
/// (CR LF), as its message table gives it. Empty when the system has none.
/// Not signal-safe.
std::string describe_failure(const Failure& failure);

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

using FileHandle = std::intptr_t;

enum class FileKind { disk, other };

/// What identifies one file on one volume: equal identities, same file.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

/// Why the read-only retry of an open is made; it decides the sharing asked for.
enum class ReadOnlyRetry {
  after_access_denied,    // same sharing as the first open
  after_sharing_violation // let others go on writing
};

/// Outcome of looking up which file a name denotes now.
enum class NameLookup {
  found,   // the identity was filled in
  missing, // nothing of that name (or a directory of its path is missing)
  failed,  // the lookup itself failed; nothing is known
};

/// The file operations the point file and the error unit need. The system's
/// own implementation is `system_files()`; tests put a fake underneath to
/// inject failures. A call that returns false leaves its reason in
/// `last_failure()` (per thread, like errno).
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// Full path of `name` in the current directory, folded lexically (".",
  /// ".." and repeated separators removed). False when none can be given or
  /// it would be longer than `limit` characters.
  virtual bool full_path(std::string_view name, std::size_t limit, std::string& path) = 0;

  /// Creates or opens `path` for reading and writing, writing from its start,
  /// content untouched; while open, other processes may read it but not write.
  virtual bool open_read_write(const std::string& path, FileHandle& handle) = 0;

  /// Opens an existing `path` for reading only (the fallback after
  /// open_read_write failed for the reason `why`).
  virtual bool open_read_only(const std::string& path, ReadOnlyRetry why, FileHandle& handle) = 0;

  /// Creates or opens `path` for appending text (the error unit, logs).
  virtual bool open_append(const std::string& path, FileHandle& handle) = 0;

  virtual FileKind kind(FileHandle handle) = 0;

  /// Identity of an open file.
  virtual bool identity(FileHandle handle, FileIdentity& identity) = 0;

  /// Identity of the file `name` (as passed, relative to the current
  /// directory) denotes now. Cheap: called before every pair test.
  virtual NameLookup lookup(std::string_view name, FileIdentity& identity) = 0;

  /// Writes all `size` bytes at the handle's position (partial writes and
  /// interruptions are resumed).
  virtual bool write(FileHandle handle, const char* bytes, std::size_t size) = 0;

  /// Cuts the file at the handle's current position.
  virtual bool cut_at_position(FileHandle handle) = 0;

  /// Closes the handle; never retried.
  virtual bool close(FileHandle handle) = 0;

  virtual Failure last_failure() = 0;
};

/// The operating system's own files.
FileSystem& system_files();

/// The handle of the process's standard error, unowned; where the system
/// reports none, its console output device opened by name.
FileHandle standard_error_handle();

// ---------------------------------------------------------------------------
// Standard error as a text stream, diagnostics, process
// ---------------------------------------------------------------------------

/// Writes to standard error as a text-mode stream does: every LF leaves as
/// CR LF. Errors are ignored. Signal-safe.
void write_standard_error_text(const char* text, std::size_t size);

/// Appends `text` to the file at `path` as a text-mode stream does (LF
/// becomes CR LF). False when the file cannot be opened. Signal-safe.
bool append_text_to_file(const char* path, const char* text, std::size_t size);

/// From now on standard error appends to the file at `path` (created when
/// missing). Left as it was when the file cannot be opened. Signal-safe.
void redirect_standard_error(const char* path);

/// True when a debugger is attached to the process. Signal-safe.
bool debugger_attached();

/// Stops in the attached debugger, as a breakpoint does.
void break_into_debugger();

/// Asks the system not to show its own error dialogs.
void suppress_error_dialogs();

/// Clears the floating-point exception flags and masks all five exceptions.
void prepare_floating_point();

/// The exit status of a program ended by control-C: 130 on POSIX,
/// STATUS_CONTROL_C_EXIT on Windows.
extern const int CONTROL_C_EXIT_STATUS;

/// Ends the process with `status` after flushing the standard streams,
/// without running static destructors (another thread may still be running).
[[noreturn]] void exit_process(int status);

/// Ends the process at once with `status`: nothing is flushed. Signal-safe.
[[noreturn]] void exit_process_now(int status);

// ---------------------------------------------------------------------------
// Command interpreter
// ---------------------------------------------------------------------------

/// Runs `command` through the system command interpreter, with the program's
/// environment, current directory and standard handles, and waits for it
/// without a time limit. Returns the interpreter's exit status (taken as a
/// signed 32-bit value; 128 + the signal number when a signal ended it), or
/// -1 when it could not be started, waited for or its status read.
int run_command_interpreter(std::string_view command);

/// The same with the interpreter at `interpreter` instead of the system's.
int run_command_interpreter_at(const std::string& interpreter, std::string_view command);

/// The command line that hands the traced points to the plotting program
/// with its script "crt.dem" in the current directory: where the plotting
/// program lives differs from system to system.
extern const char PLOT_COMMAND_TEXT[];

// ---------------------------------------------------------------------------
// Console events, processor exceptions, stack walk
// ---------------------------------------------------------------------------

/// Console control events, numbered as the system's console codes.
enum class ConsoleEvent : int { control_c = 0, control_break = 1, window_close = 2 };

/// Called on a thread of its own for each console control event; returns
/// true when the event was handled, false to leave it to the system's
/// default. Does not return when it ends the process.
using ConsoleEventHandler = bool (*)(ConsoleEvent event);

/// Delivers console control events to `handler` on a thread of their own.
/// False when that cannot be arranged: the events then keep the system's
/// default action, and the program goes on.
bool install_console_event_handler(ConsoleEventHandler handler);

/// Signals whose disposition decides whether the program handles an event
/// or a processor exception itself.
enum class Signal { interrupt, break_, segmentation, illegal, floating_point };

/// True when the program has set a handler of its own for `signal`. Checked
/// by setting the default disposition and restoring the old one at once.
/// Signal-safe.
bool has_own_signal_handler(Signal signal);

/// A processor exception, described with its Windows exception code.
struct ProcessorException {
  std::uint32_t code = 0;
  std::uintptr_t address = 0;    // the faulting instruction
  const void* context = nullptr; // the system's processor context
};

/// Called on the faulting thread, in signal context. Ends the process itself
/// when it handles the exception; returning declines it, and the system then
/// deals with it in its own way (ending the process, or a debugger taking it).
using ProcessorExceptionHandler = void (*)(const ProcessorException& exception);

/// Puts `handler` in force for processor exceptions of the calling thread
/// (and prepares what it needs, like an alternate stack, so a stack
/// overflow still reaches it). Not signal-safe.
void install_processor_exception_handler(ProcessorExceptionHandler handler);

/// Leaves processor exceptions to the system again.
void remove_processor_exception_handler();

/// One frame of a stack walk.
struct StackFrame {
  std::uintptr_t pc = 0;          // offset of the program counter within its image
  std::uint64_t return_offset = 0;
  std::uint64_t frame_offset = 0;
  std::uint64_t stack_offset = 0;
  std::uint64_t params[4] = {};
  char image[64] = {};           // file name and extension of the image; empty when unknown
};

/// Calls `visit` for each frame, innermost first, starting at the
/// exception's faulting instruction when `exception` is given, otherwise at
/// the caller. Stops when `visit` returns false. Returns false when the walk
/// failed. Allocates nothing once `prepare_stack_walk` has run. Signal-safe.
bool walk_stack(const ProcessorException* exception,
                bool (*visit)(const StackFrame& frame, void* data), void* data);

/// Warms up the stack walk so that a later walk allocates nothing.
void prepare_stack_walk();

/// Writes the registers of the exception's processor context under their
/// headings into `buffer`; returns the bytes written (at most `room`).
/// Signal-safe.
std::size_t describe_processor_context(const ProcessorException& exception, char* buffer,
                                       std::size_t room);

}  // namespace platform
