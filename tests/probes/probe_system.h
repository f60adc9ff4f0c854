// What the fault probe needs from the system it runs on.
#pragma once

#include <cstdint>

namespace probe {

/// Writes `text` to standard output at once, unbuffered. Signal-safe.
void write_out(const char* text);

/// The offset of `function` within the executable image that holds it.
std::uintptr_t image_offset(const void* function);

/// Waits until a signal or event ends the process.
[[noreturn]] void wait_forever();

/// Ends the process at once with `status`. Signal-safe.
[[noreturn]] void exit_now(int status);

}  // namespace probe
