// A second process that holds a file open for writing, as another program
// would, until it is let go.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"
#include "support/process.h"

namespace test_win32 {

class FileHolder {
 public:
  /// Starts the helper on `name` and waits until it holds the file.
  explicit FileHolder(const std::string& name)
      : id_(std::to_string(GetCurrentProcessId())),
        held_(CreateEventA(nullptr, TRUE, FALSE, ("crt-held-" + id_).c_str())),
        release_(CreateEventA(nullptr, TRUE, FALSE, ("crt-release-" + id_).c_str())),
        holder_(CRT_WIN32_HELPER, {{"hold", name, "crt-held-" + id_, "crt-release-" + id_}, {}, ""}) {}

  ~FileHolder() {
    CloseHandle(held_);
    CloseHandle(release_);
  }

  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

  /// True once the helper holds the file (a minute at most).
  bool holding() { return WaitForSingleObject(held_, 60000) == WAIT_OBJECT_0; }

  /// Lets the file go; returns the helper's exit status.
  int release() {
    SetEvent(release_);
    return holder_.wait().exit_status;
  }

 private:
  std::string id_;
  HANDLE held_;
  HANDLE release_;
  testing_support::ChildProcess holder_;
};

}  // namespace test_win32
