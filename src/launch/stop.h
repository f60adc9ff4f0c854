// Ending the program with a line of text for the user.
#pragma once

#include <cstddef>

namespace launch {

/// Writes `text` and CR LF to the error unit in one direct write, runs the
/// exit processing and ends the process with `status`. A second stop ends
/// the process at once, writing nothing.
[[noreturn]] void stop_with_message(const char* text, std::size_t length, int status);

}  // namespace launch
