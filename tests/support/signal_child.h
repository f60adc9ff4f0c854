// Runs a program as a child process for the fault and console-event tests:
// its output, and how it ended.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace test_support {

/// How a child ended and what it wrote.
struct ChildResult {
  bool exited = false;   // ended by exit, with `status`
  int status = -1;
  int signal = 0;        // the signal that ended it, when it did not exit
  std::string output;    // standard output
  std::string errors;    // standard error
};

/// A child running `program` with `arguments`, the environment with
/// `variables` added, in `directory` (the current one when empty).
class Child {
 public:
  Child(const std::string& program, const std::vector<std::string>& arguments,
        const std::vector<std::pair<std::string, std::string>>& variables,
        const std::string& directory = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  /// Reads standard output up to and including the first LF.
  std::string read_line();
  /// Sends `signal` to the child.
  void send(int signal);
  /// True while the child has not ended.
  bool running();
  /// Reads the rest of its output and waits for its end.
  ChildResult finish();

 private:
  int pid_ = -1;
  int output_ = -1;
  int errors_ = -1;
  std::string output_read_;
  bool ended_ = false;
  int wait_status_ = 0;
};

/// A fresh temporary directory, removed with its files at the end.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  const std::string& path() const { return path_; }
  /// The bytes of the file `name` in the directory; empty when missing.
  std::string read(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace test_support
