// The one rule for every on/off environment variable.
#pragma once

namespace runtime {

/// True when the value of a switch turns it on: it begins with "T", "t",
/// "Y" or "y", or it is all decimal digits and reads as a non-zero number.
/// Null (unset), empty and every other text are off. Signal-safe.
bool switch_value_on(const char* value);

/// True when the environment variable `name` is a switch that is on.
/// Signal-safe.
bool env_switch_on(const char* name);

}  // namespace runtime
