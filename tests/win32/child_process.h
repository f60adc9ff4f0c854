// Windows side of the test support: running a program as a child process
// with its standard output and error captured, and a scratch directory.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace test_win32 {

/// What a finished child left behind.
struct ChildResult {
  unsigned long exit_code = 0;  // the full 32-bit code, as GetExitCodeProcess gives it
  std::string standard_output;
  std::string standard_error;
};

/// Environment variables set for one child: name and value.
using Environment = std::vector<std::pair<std::string, std::string>>;

/// Runs `command_line` in the current directory with `environment` added to
/// the test's own, standard input empty, and waits for it. Fails the
/// calling test (and returns an empty result) when it cannot be started.
ChildResult run_child(const std::string& command_line, const Environment& environment = {});

/// Starts `command_line` without waiting; the child's standard streams go
/// to `output_file` and `error_file`. Returns the process handle, or null.
void* start_child(const std::string& command_line, const std::string& output_file,
                  const std::string& error_file);

/// Waits for a started child and returns its exit code; closes the handle.
unsigned long wait_for_child(void* process);

/// The bytes of a file; empty when it cannot be read.
std::string file_bytes(const std::string& path);

/// A fresh directory that is the current one while the object lives.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  /// The directory's full path, without a trailing separator.
  const std::string& path() const { return path_; }

 private:
  std::string previous_;
  std::string path_;
};

}  // namespace test_win32
