#include "launch/command_line.h"

namespace launch {

namespace {

// What the Windows interpreter is asked to do with the rest of the line.
constexpr std::string_view INTERPRETER_INVOCATION = "\\cmd.exe /c ";

}  // namespace

std::string_view without_trailing_blanks(std::string_view command) {
  const std::size_t last_kept = command.find_last_not_of(' ');
  return command.substr(0, last_kept == std::string_view::npos ? 0 : last_kept + 1);
}

std::string interpreter_command_line(std::string_view system_directory, std::string_view command) {
  std::string line(system_directory);
  line += INTERPRETER_INVOCATION;
  line += without_trailing_blanks(command);
  return line;
}

}  // namespace launch
