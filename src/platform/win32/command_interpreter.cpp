// Windows side of the platform split: running a command through cmd.exe
// with CreateProcessA and waiting for it.
#include "platform/win32/windows_api.h"

#include "launch/command_line.h"
#include "platform/platform.h"

namespace platform {

extern const char PLOT_COMMAND_TEXT[] = "D:\\GNUPLOT\\wgnuplot.exe crt.dem";

namespace {

// Room for the system directory: what the command-line buffer of the
// command leaves for it (the command, "\cmd.exe /c " and the final zero
// take the rest of command length + 274 bytes).
constexpr std::size_t SYSTEM_DIRECTORY_ROOM = 274;

// Starts the command line (its first word names the program), waits for it
// without a time limit and returns its exit status, or -1.
int run_and_wait(std::string command_line) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // Handle inheritance on: the interpreter writes to our standard handles.
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  DWORD exit_code = 0;
  bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0;
  bool read = ended && GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return read ? static_cast<int>(exit_code) : -1;
}

}  // namespace

int run_command_interpreter(std::string_view command) {
  std::string directory(command.size() + SYSTEM_DIRECTORY_ROOM, '\0');
  UINT length = GetSystemDirectoryA(directory.data(), static_cast<UINT>(directory.size()));
  // A length of the area or more is the size that would have been needed.
  if (length == 0 || length >= directory.size()) return -1;
  directory.resize(length);
  return run_and_wait(launch::interpreter_command_line(directory, command));
}

int run_command_interpreter_at(const std::string& interpreter, std::string_view command) {
  std::string command_line = interpreter;
  command_line += " /c ";
  command_line += launch::without_trailing_blanks(command);
  return run_and_wait(std::move(command_line));
}

}  // namespace platform
