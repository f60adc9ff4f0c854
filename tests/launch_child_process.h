// Running a real child process for the launch and stop tests: a fresh
// temporary directory, a chosen environment, and the exit status and the
// exact bytes of its standard output and standard error.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace launch_tests {

/// A directory of its own for one test, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "crt-launch-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

/// How a child ended and what it wrote.
struct ChildResult {
  int status = -1;  // exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

/// Runs `argv` (argv[0] a path) in `directory` with exactly the environment
/// `environment` ("NAME=value" entries). Standard output and standard error
/// go to files beside the directory, read back once the child has ended.
inline ChildResult run_child(const std::vector<std::string>& argv,
                             const std::vector<std::string>& environment,
                             const std::filesystem::path& directory) {
  TempDir capture;
  const std::string out_path = (capture.path() / "stdout").string();
  const std::string err_path = (capture.path() / "stderr").string();

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  for (const std::string& e : environment) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(directory.c_str()) != 0) {
      _exit(126);
    }
    execve(args[0], args.data(), env.data());
    _exit(127);
  }
  int wait_status = 0;
  while (waitpid(child, &wait_status, 0) != child) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  ChildResult result;
  if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) result.status = 128 + WTERMSIG(wait_status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

}  // namespace launch_tests
