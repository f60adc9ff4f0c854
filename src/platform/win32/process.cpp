// Windows side of the platform split: the text-mode standard error stream,
// the process's settings and its end.
//
// Safety contract: the functions marked "Signal-safe." are called from the
// processor-exception filter (on the faulting thread) and from the console
// control handler (on a thread of its own). They take no lock that the
// program's own code holds: the program writes to the C runtime's streams
// only through these functions, and every report is serialised above them.
#include "platform/win32/windows_api.h"

#include <fcntl.h>
#include <float.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/platform.h"

namespace platform {

// The C runtime's text-mode stream does the LF to CR LF translation itself,
// so a line that already ends with CR LF leaves as CR CR LF, as it must.
// Signal-safe.
void write_standard_error_text(const char* text, std::size_t size) {
  std::fwrite(text, 1, size, stderr);
  std::fflush(stderr);
}

// Signal-safe.
bool append_text_to_file(const char* path, const char* text, std::size_t size) {
  // "t" asks for text mode whatever the program's default file mode is.
  std::FILE* file = std::fopen(path, "at");
  if (file == nullptr) return false;
  std::fwrite(text, 1, size, file);
  std::fclose(file);
  return true;
}

// The file is opened first and only then put in place of standard error:
// reopening the stream itself would close standard error when the file
// cannot be opened. Signal-safe.
void redirect_standard_error(const char* path) {
  int file = _open(path, _O_WRONLY | _O_APPEND | _O_CREAT | _O_TEXT, _S_IREAD | _S_IWRITE);
  if (file < 0) return;
  std::fflush(stderr);
  _dup2(file, _fileno(stderr));
  _close(file);
}

// Signal-safe.
bool debugger_attached() { return IsDebuggerPresent() != FALSE; }

void break_into_debugger() { DebugBreak(); }

void suppress_error_dialogs() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

// Masks the five exceptions in the x87 and the SSE unit alike; the x87
// precision setting stays as the start-up left it.
void prepare_floating_point() {
  constexpr unsigned five_exceptions =
      _EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW | _EM_UNDERFLOW | _EM_INEXACT;
  _clearfp();
  _controlfp(five_exceptions, five_exceptions);
}

extern const int CONTROL_C_EXIT_STATUS = static_cast<int>(STATUS_CONTROL_C_EXIT);

// ExitProcess and not exit(): static destructors must not run while another
// thread may still use what they destroy.
void exit_process(int status) {
  std::fflush(nullptr);
  ExitProcess(static_cast<UINT>(status));
}

// TerminateProcess and not ExitProcess: the C runtime would flush its
// streams on the way out. Signal-safe.
void exit_process_now(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  ExitProcess(static_cast<UINT>(status));  // reached only if termination was refused
}

}  // namespace platform
