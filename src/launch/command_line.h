// Command texts for the system command interpreter.
#pragma once

#include <string>
#include <string_view>

namespace launch {

/// The command without its trailing blanks; only the blank (32) is
/// removed: tabs, leading and inner blanks stay.
std::string_view without_trailing_blanks(std::string_view command);

/// The Windows interpreter's command line for `command`: the system
/// directory, "\cmd.exe /c ", then the command without trailing blanks.
std::string interpreter_command_line(std::string_view system_directory, std::string_view command);

}  // namespace launch
