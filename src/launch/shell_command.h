// Running a command through the system command interpreter.
#pragma once

#include <cstddef>

namespace launch {

/// Runs the first `length` characters of `command`, without trailing
/// blanks, through the system command interpreter and waits for it.
/// Returns the interpreter's exit status, or -1 when it could not be
/// started, waited for or its status read.
int run_shell_command(const char* command, std::size_t length);

}  // namespace launch
