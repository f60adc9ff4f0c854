// Windows side of the test support: child processes with CreateProcessA,
// scratch directories.
#include "win32/child_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/win32/windows_api.h"

namespace test_win32 {
namespace {

HANDLE inheritable_file(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Sets the variables for the lifetime of the object, then restores them.
class EnvironmentScope {
 public:
  explicit EnvironmentScope(const Environment& environment) {
    for (const auto& [name, value] : environment) {
      char old[32768];
      DWORD length = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
      saved_.push_back({name, length > 0 && length < sizeof old, std::string(old, length < sizeof old ? length : 0)});
      SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
  }
  ~EnvironmentScope() {
    for (const auto& entry : saved_) {
      SetEnvironmentVariableA(entry.name.c_str(), entry.was_set ? entry.value.c_str() : nullptr);
    }
  }

 private:
  struct Saved {
    std::string name;
    bool was_set;
    std::string value;
  };
  std::vector<Saved> saved_;
};

}  // namespace

void* start_child(const std::string& command_line, const std::string& output_file,
                  const std::string& error_file) {
  HANDLE input = inheritable_file("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE output = inheritable_file(output_file, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE error = inheritable_file(error_file, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  std::string line = command_line;
  BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  DWORD error_code = GetLastError();
  CloseHandle(input);
  CloseHandle(output);
  CloseHandle(error);
  if (!started) {
    ADD_FAILURE() << "cannot start " << command_line << ": error " << error_code;
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

unsigned long wait_for_child(void* process) {
  DWORD code = 0;
  WaitForSingleObject(process, INFINITE);
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}

ChildResult run_child(const std::string& command_line, const Environment& environment) {
  EnvironmentScope scope(environment);
  char directory[MAX_PATH];
  GetTempPathA(sizeof directory, directory);
  std::string base = std::string(directory) + "crt-child-" + std::to_string(GetCurrentProcessId());
  std::string output_file = base + ".out";
  std::string error_file = base + ".err";
  ChildResult result;
  void* process = start_child(command_line, output_file, error_file);
  if (process == nullptr) return result;
  result.exit_code = wait_for_child(process);
  result.standard_output = file_bytes(output_file);
  result.standard_error = file_bytes(error_file);
  DeleteFileA(output_file.c_str());
  DeleteFileA(error_file.c_str());
  return result;
}

std::string file_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

ScratchDirectory::ScratchDirectory() {
  namespace fs = std::filesystem;
  previous_ = fs::current_path().string();
  const auto* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("crt-") + (test ? test->name() : "test") + "-" +
                     std::to_string(GetCurrentProcessId());
  fs::path path = fs::temp_directory_path() / name;
  fs::remove_all(path);
  fs::create_directories(path);
  fs::current_path(path);
  path_ = fs::current_path().string();
}

ScratchDirectory::~ScratchDirectory() {
  namespace fs = std::filesystem;
  std::error_code ignored;
  fs::current_path(previous_, ignored);
  // Read-only files would refuse to go.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(path_, ignored);
}

}  // namespace test_win32
