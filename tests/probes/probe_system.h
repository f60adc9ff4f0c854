// What the fault probe needs from the system it runs on.
#pragma once

#include <cstdint>

namespace probe {

/// Writes `text` to standard output at once, unbuffered. Signal-safe.
void write_out(const char* text);

/// The offset of `function` within the executable image that holds it.
std::uintptr_t image_offset(const void* function);

/// Lets every floating-point exception trap, as a caller before the
/// run-time's start-up might have left them.
void unmask_floating_point_exceptions();

/// Waits until a signal or event ends the process.
[[noreturn]] void wait_forever();

/// Ends the process at once with `status`. Signal-safe.
[[noreturn]] void exit_now(int status);

}  // namespace probe
