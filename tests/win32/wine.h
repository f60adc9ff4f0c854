// Where Wine, which runs the Windows tests in CI, is known to behave unlike
// Windows, the tests ask these.
#pragma once

#include <cstdlib>
#include <cstring>

#include "platform/win32/windows_api.h"

namespace test_win32 {

/// True when the tests run under Wine (its ntdll exports its version).
inline bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

/// True under Wine run by root, which may write a read-only file; Wine names
/// the Windows user after the Unix one.
inline bool running_as_root_under_wine() {
  const char* user = std::getenv("USERNAME");
  return running_under_wine() && user != nullptr && std::strcmp(user, "root") == 0;
}

}  // namespace test_win32
