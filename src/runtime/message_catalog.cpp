// The run-time message catalog: every message this program can raise.
#include <algorithm>
#include <iterator>

#include "runtime/report.h"

namespace runtime {
namespace {

using enum Severity;

// Sorted by number, for the lookup.
constexpr RuntimeMessage RUNTIME_MESSAGES[] = {
    {9, severe, "permission to access file denied, unit %d, file %s"},
    {28, severe, "CLOSE error, unit %d, file %s"},
    {29, severe, "file not found, unit %d, file %s"},
    {30, severe, "open failure, unit %d, file %s"},
    {38, severe, "error during write, unit %d, file %s"},
    {41, severe, "insufficient virtual memory"},
    {42, severe, "no such device, unit %d, file %s"},
    {43, severe, "file name specification error, unit %d, file %s"},
    {47, severe, "write to READONLY file, unit %d, file %s"},
    {65, severe, "floating invalid"},
    {72, severe, "floating overflow"},
    {73, severe, "floating divide by zero"},
    {74, severe, "floating underflow"},
    {99, severe, "FORT_FMT_RECL environment variable has erroneous syntax"},
    {140, severe, "floating inexact"},
    {157, severe, "Program Exception - access violation"},
    {158, severe, "Program Exception - datatype misalignment"},
    {159, severe, "Program Exception - breakpoint"},
    {160, severe, "Program Exception - single step"},
    {161, severe, "Program Exception - array bounds exceeded"},
    {162, severe, "Program Exception - denormal floating-point operand"},
    {163, severe, "Program Exception - floating stack check"},
    {164, severe, "Program Exception - integer divide by zero"},
    {165, severe, "Program Exception - integer overflow"},
    {166, severe, "Program Exception - privileged instruction"},
    {167, severe, "Program Exception - in page error"},
    {168, severe, "Program Exception - illegal instruction"},
    {169, severe, "Program Exception - noncontinuable exception"},
    {170, severe, "Program Exception - stack overflow"},
    {171, severe, "Program Exception - invalid disposition"},
    {172, severe, "Program Exception - exception code = 0x%lx (%ld)"},
    {200, error, "program aborting due to %s event"},
    {502, unlabelled, "not enough memory to report message %d"},
};

static_assert(std::is_sorted(std::begin(RUNTIME_MESSAGES), std::end(RUNTIME_MESSAGES),
                             [](const RuntimeMessage& a, const RuntimeMessage& b) {
                               return a.number < b.number;
                             }));

}  // namespace

const RuntimeMessage* find_runtime_message(int number) {
  const int wanted = number & 0xFFFF;
  const auto found = std::lower_bound(
      std::begin(RUNTIME_MESSAGES), std::end(RUNTIME_MESSAGES), wanted,
      [](const RuntimeMessage& message, int value) { return message.number < value; });
  return found != std::end(RUNTIME_MESSAGES) && found->number == wanted ? found : nullptr;
}

}  // namespace runtime
