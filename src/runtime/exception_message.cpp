// The exception codes the run-time knows by name, as the system numbers
// them; shared by every backend, which describe exceptions by these codes.
#include "runtime/exception_message.h"

namespace runtime {
namespace {

struct CodeMessage {
  std::uint16_t low_code;
  int number;
};

// Recognised by the low 16 bits, so the facility and severity bits of a
// code do not matter.
constexpr CodeMessage CODE_MESSAGES[] = {
    {0x0005, 157},  // access violation
    {0x0002, 158},  // datatype misalignment
    {0x0003, 159},  // breakpoint
    {0x0004, 160},  // single step
    {0x008C, 161},  // array bounds exceeded
    {0x008D, 162},  // denormal floating-point operand
    {0x0092, 163},  // floating stack check
    {0x0094, 164},  // integer divide by zero
    {0x0095, 165},  // integer overflow
    {0x0096, 166},  // privileged instruction
    {0x0006, 167},  // in page error
    {0x001D, 168},  // illegal instruction
    {0x0025, 169},  // noncontinuable exception
    {0x00FD, 170},  // stack overflow
    {0x0026, 171},  // invalid disposition
    {0x008E, 73},   // floating divide by zero
    {0x008F, 140},  // floating inexact
    {0x0090, 65},   // floating invalid
    {0x0091, 72},   // floating overflow
    {0x0093, 74},   // floating underflow
};

constexpr int UNKNOWN_EXCEPTION_MESSAGE = 172;

}  // namespace

ExceptionMessage exception_message(std::uint32_t code) {
  const std::uint16_t low_code = static_cast<std::uint16_t>(code & 0xFFFFu);
  for (const CodeMessage& entry : CODE_MESSAGES) {
    if (entry.low_code == low_code) return {entry.number, false, 0};
  }
  return {UNKNOWN_EXCEPTION_MESSAGE, true, static_cast<long>(low_code)};
}

bool exception_signal(std::uint32_t code, platform::Signal& signal) {
  switch (code & 0xFFFFu) {
    case 0x0005:
      signal = platform::Signal::segmentation;
      return true;
    case 0x001D:
      signal = platform::Signal::illegal;
      return true;
    case 0x008D:  // denormal operand
    case 0x008E:
    case 0x008F:
    case 0x0090:
    case 0x0091:
    case 0x0092:  // stack check
    case 0x0093:
      signal = platform::Signal::floating_point;
      return true;
    default:
      return false;
  }
}

}  // namespace runtime
