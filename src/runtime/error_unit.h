// ERROR_UNIT: the connection with unit number 0, which carries the stop text.
#pragma once

#include <cstddef>

namespace runtime {

/// The unit number by which run-time messages name the error unit.
constexpr int ERROR_UNIT_NUMBER = 0;

/// The file name recorded for the error unit while it is bound to standard
/// error.
constexpr const char* STANDARD_ERROR_NAME = "CONOUT$";

/// Notes whether FORT0 names a file for the error unit; opens nothing.
/// Called by the start-up; a later call notes the environment afresh.
/// Not signal-safe.
void prepare_error_unit();

/// Writes `text` and CR LF as one record on the error unit, in one direct
/// write without text-mode translation. Connects the unit on first use:
/// to the file FORT0 names, opened for appending (created when missing,
/// nothing in it overwritten, closed by the exit processing), otherwise to
/// standard error. A failure to connect or to write is reported for unit 0
/// as a severe run-time message, which ends the process with its number.
/// Not signal-safe.
void write_error_unit_record(const char* text, std::size_t length);

}  // namespace runtime
