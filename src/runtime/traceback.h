// The traceback that follows a serious report.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace runtime {

/// Appends the traceback (short form, or the long one when a verbose
/// switch is on) to `buffer`, within `room` bytes; starts at the
/// exception's instruction when one is given. Lines end with LF. Returns
/// the bytes appended. Signal-safe.
std::size_t write_traceback(char* buffer, std::size_t room,
                            const platform::ProcessorException* exception);

}  // namespace runtime
