// TEMPORARY local stand-in (not committed)
#include "output/number_text.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
namespace output {
void format_point_value(float value, char* field) {
  char t[64];
  double a = value < 0 ? -value : value;
  std::snprintf(t, sizeof t, "%.6E", a);
  int e = std::atoi(std::strchr(t, 'E') + 1);
  if (a != 0 && std::strtod(t, nullptr) >= 0.1 && std::strtod(t, nullptr) < 1e7) {
    int dec = e < 0 ? 7 : 6 - e;
    std::snprintf(t, sizeof t, "%.*f", dec, (double)value);
    if (dec == 0) std::strcat(t, ".");
    std::snprintf(field, 16, "%11s    ", t);
  } else {
    std::snprintf(t, sizeof t, "%.7E", value == 0 ? 0.0 : (double)value);
    std::snprintf(field, 16, "%15s", t);
  }
}
PointField format_point_value(float value) { PointField f; char t[16]; format_point_value(value, t); std::memcpy(f.data(), t, 15); return f; }
}
