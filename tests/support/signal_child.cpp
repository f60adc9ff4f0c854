#include "support/signal_child.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace test_support {
namespace {

std::string read_all(int fd) {
  std::string text;
  char chunk[4096];
  for (;;) {
    const ssize_t size = read(fd, chunk, sizeof chunk);
    if (size > 0) {
      text.append(chunk, static_cast<std::size_t>(size));
    } else if (size == 0 || errno != EINTR) {
      return text;
    }
  }
}

}  // namespace

Child::Child(const std::string& program, const std::vector<std::string>& arguments,
             const std::vector<std::pair<std::string, std::string>>& variables,
             const std::string& directory) {
  int output[2];
  int errors[2];
  if (pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe");
  }
  std::vector<std::string> argv_text{program};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argv_text) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    dup2(output[1], STDOUT_FILENO);
    dup2(errors[1], STDERR_FILENO);
    for (const auto& [name, value] : variables) setenv(name.c_str(), value.c_str(), 1);
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(output[1]);
  close(errors[1]);
  output_ = output[0];
  errors_ = errors[0];
}

Child::~Child() {
  if (!ended_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(output_);
  close(errors_);
}

std::string Child::read_line() {
  std::string line;
  char c;
  while (read(output_, &c, 1) == 1) {
    line.push_back(c);
    if (c == '\n') break;
  }
  output_read_ += line;
  return line;
}

void Child::send(int signal) { kill(pid_, signal); }

bool Child::running() {
  if (ended_) return false;
  const pid_t result = waitpid(pid_, &wait_status_, WNOHANG);
  if (result == pid_) ended_ = true;
  return !ended_;
}

ChildResult Child::finish() {
  ChildResult result;
  result.output = output_read_ + read_all(output_);
  result.errors = read_all(errors_);
  if (!ended_) {
    while (waitpid(pid_, &wait_status_, 0) < 0 && errno == EINTR) {
    }
    ended_ = true;
  }
  result.exited = WIFEXITED(wait_status_);
  if (result.exited) result.status = WEXITSTATUS(wait_status_);
  if (WIFSIGNALED(wait_status_)) result.signal = WTERMSIG(wait_status_);
  return result;
}

TempDirectory::TempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "crt-signals-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDirectory::read(const std::string& name) const {
  std::ifstream file(path_ + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

}  // namespace test_support
