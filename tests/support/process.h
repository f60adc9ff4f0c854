// Running the real programs in tests: a fresh directory, a chosen
// environment, and the exact bytes they leave behind.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

/// A fresh temporary directory, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

/// Environment changes: a value sets the variable, nullopt removes it.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

struct ProgramResult {
  int exit_status = -1;   // when the program exited
  int signal = 0;         // when a signal ended it
  std::string standard_output;
  std::string standard_error;
};

struct ProgramOptions {
  std::vector<std::string> arguments;
  EnvChanges environment;
  std::string directory;  // empty: the test's own
};

/// A program started in the background.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const ProgramOptions& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int pid() const { return pid_; }
  /// Waits for the end and collects the output.
  ProgramResult wait();

 private:
  int pid_ = -1;
  TempDir output_dir_;
  bool waited_ = false;
};

/// Runs a program to its end.
ProgramResult run_program(const std::string& program, const ProgramOptions& options);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

/// The records of a point file, one string of 32 bytes each.
std::vector<std::string> split_records(const std::string& bytes, std::size_t record_size = 32);

}  // namespace testing_support
