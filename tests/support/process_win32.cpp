// Windows side of the test support: programs run with CreateProcessA, their
// standard streams in files, their environment in a block of their own.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>

#include "platform/win32/windows_api.h"
#include "support/process.h"

namespace testing_support {

TempDir::TempDir() {
  namespace fs = std::filesystem;
  static unsigned counter = 0;
  for (;;) {
    fs::path candidate = fs::temp_directory_path() /
                         ("crt-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(++counter));
    if (CreateDirectoryA(candidate.string().c_str(), nullptr)) {
      path_ = candidate.string();
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot make a directory");
  }
}

TempDir::~TempDir() {
  namespace fs = std::filesystem;
  std::error_code ignored;
  // Tests may leave read-only files behind, which would refuse to go.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(path_, ignored);
}

namespace {

// The process handles of the children still running, by process id: the
// interface knows a child by its id alone.
std::mutex children_lock;
std::map<int, HANDLE> children;

// The argument as the C runtime of the child splits it back: quoted when it
// holds blanks or quotes, backslashes doubled before a quote.
std::string quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
  std::string text = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    text.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    text += c;
  }
  text.append(backslashes * 2, '\\');
  return text + "\"";
}

// The test's own environment with the changes made, as CreateProcessA takes
// it: "NAME=value" entries, each ended by a zero byte, one more at the end.
std::string environment_block(const EnvChanges& changes) {
  std::map<std::string, std::string> variables;
  char* strings = GetEnvironmentStringsA();
  for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
    std::string text = entry;
    // Names may begin with "=" (the current directory of each drive).
    std::size_t equals = text.find('=', 1);
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  FreeEnvironmentStringsA(strings);
  for (const auto& [name, value] : changes) {
    if (value) {
      variables[name] = *value;
    } else {
      variables.erase(name);
    }
  }
  std::string block;
  for (const auto& [name, value] : variables) block += name + "=" + value + '\0';
  return block + '\0';
}

HANDLE inheritable_file(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const ProgramOptions& options) {
  std::string command_line = quoted(program);
  for (const std::string& argument : options.arguments) command_line += " " + quoted(argument);
  std::string environment = environment_block(options.environment);

  HANDLE input = inheritable_file("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE output = inheritable_file(output_dir_.file("stdout"), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE error = inheritable_file(output_dir_.file("stderr"), GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessA(
      nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, environment.data(),
      options.directory.empty() ? nullptr : options.directory.c_str(), &startup, &process);
  DWORD reason = GetLastError();
  CloseHandle(input);
  CloseHandle(output);
  CloseHandle(error);
  if (!started) {
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(reason));
  }
  CloseHandle(process.hThread);
  pid_ = static_cast<int>(process.dwProcessId);
  std::lock_guard<std::mutex> lock(children_lock);
  children[pid_] = process.hProcess;
}

namespace {

HANDLE take_child(int pid) {
  std::lock_guard<std::mutex> lock(children_lock);
  auto found = children.find(pid);
  if (found == children.end()) return nullptr;
  HANDLE process = found->second;
  children.erase(found);
  return process;
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (waited_) return;
  HANDLE process = take_child(pid_);
  if (process == nullptr) return;
  TerminateProcess(process, 1);
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
}

ProgramResult ChildProcess::wait() {
  HANDLE process = take_child(pid_);
  if (process == nullptr) throw std::runtime_error("no such child");
  DWORD code = 0;
  bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (!ended) throw std::runtime_error("cannot wait for the child");
  waited_ = true;
  ProgramResult result;
  // The full 32-bit code: statuses like 0xC000013A are signed here.
  result.exit_status = static_cast<int>(code);
  result.standard_output = read_file(output_dir_.file("stdout"));
  result.standard_error = read_file(output_dir_.file("stderr"));
  return result;
}

}  // namespace testing_support
