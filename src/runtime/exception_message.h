// Which catalog message reports a processor exception.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace runtime {

/// The catalog message for a processor exception and its fill-ins.
struct ExceptionMessage {
  int number;
  bool has_code_fill_ins;  // message 172: the low 16 bits of the code, twice
  long code_fill_in;
};

/// The message that reports an exception with the Windows code `code`,
/// recognised by the code's low 16 bits. Signal-safe.
ExceptionMessage exception_message(std::uint32_t code);

/// True when the exception's code is of a kind that a program's own handler
/// for `signal` takes over (access violation, illegal instruction, the
/// floating-point codes), filling `signal`. Signal-safe.
bool exception_signal(std::uint32_t code, platform::Signal& signal);

}  // namespace runtime
