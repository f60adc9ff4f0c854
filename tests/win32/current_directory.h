// Windows side of the test support: a scratch directory that is the current
// one, for code that, like the program, works relative to it.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"
#include "support/process.h"

namespace test_win32 {

/// A fresh temporary directory, current while the object lives.
class CurrentTempDir {
 public:
  CurrentTempDir() {
    char previous[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof previous, previous);
    previous_.assign(previous, length < sizeof previous ? length : 0);
    SetCurrentDirectoryA(dir_.path().c_str());
  }
  ~CurrentTempDir() { SetCurrentDirectoryA(previous_.c_str()); }
  CurrentTempDir(const CurrentTempDir&) = delete;
  CurrentTempDir& operator=(const CurrentTempDir&) = delete;

  /// The directory's full path, without a trailing separator.
  const std::string& path() const { return dir_.path(); }

 private:
  testing_support::TempDir dir_;  // destroyed after the current directory is left
  std::string previous_;
};

}  // namespace test_win32
