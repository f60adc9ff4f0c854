// Windows side of the test support: setenv and unsetenv, which tests
// written for POSIX first use, over the C runtime's _putenv_s (which also
// updates the environment that child processes inherit). Included in every
// test source of the Windows build.
#pragma once

#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable.
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }
