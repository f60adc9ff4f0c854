#include "runtime/env_switch.h"

#include <cstdlib>

namespace runtime {

bool switch_value_on(const char* value) {
  if (value == nullptr || *value == '\0') return false;
  switch (*value) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
      return true;
    default:
      break;
  }
  bool non_zero = false;
  for (const char* digit = value; *digit != '\0'; ++digit) {
    if (*digit < '0' || *digit > '9') return false;
    non_zero = non_zero || *digit != '0';
  }
  return non_zero;
}

bool env_switch_on(const char* name) { return switch_value_on(std::getenv(name)); }

}  // namespace runtime
