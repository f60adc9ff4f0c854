// The Windows program end to end, for the failures that show before or at
// the first record: its reports, exit statuses and what it leaves in the
// current directory. (The full run and control-C are checked from the host
// side: tests/win32/full_run.sh and tests/win32/control_c.sh.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32/windows_api.h"
#include "support/process.h"
#include "win32/current_directory.h"
#include "win32/file_holder.h"
#include "win32/wine.h"

namespace {

using testing_support::EnvChanges;
using testing_support::ProgramResult;
using testing_support::read_file;
using testing_support::write_file;

// The reports' own line end: CR LF from the report, the text-mode stream
// adds one more CR.
const std::string LINE_END = "\r\r\n";

// Without a traceback, only the message line is left to compare.
const EnvChanges NO_TRACEBACK = {{"FOR_DISABLE_STACK_TRACE", "1"}};

class CrtTest : public testing::Test {
 protected:
  std::string point_file_path() const { return directory_.path() + "\\ispis.dat"; }

  ProgramResult run_crt(const EnvChanges& environment = {}) {
    return testing_support::run_program(CRT_EXECUTABLE, {{}, environment, directory_.path()});
  }

  test_win32::CurrentTempDir directory_;
};

TEST_F(CrtTest, DirectoryNamedLikeThePointFileIsPermissionDenied) {
  std::filesystem::create_directory("ispis.dat");
  ProgramResult result = run_crt(NO_TRACEBACK);
  EXPECT_EQ(result.exit_status, 9);
  EXPECT_EQ(result.standard_error,
            "forrtl: severe (9): permission to access file denied, unit 7, file " +
                point_file_path() + LINE_END);
  EXPECT_EQ(result.standard_output, "");
}

TEST_F(CrtTest, ReportCarriesATracebackThroughTheExecutable) {
  std::filesystem::create_directory("ispis.dat");
  ProgramResult result = run_crt();
  EXPECT_EQ(result.exit_status, 9);
  std::string header =
      "Image              PC        Routine            Line        Source             \r\n";
  std::size_t at = result.standard_error.find(LINE_END);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(result.standard_error.substr(at + LINE_END.size(), header.size()), header);
  std::string image = std::filesystem::path(CRT_EXECUTABLE).filename().string();
  EXPECT_NE(result.standard_error.find("\r\n" + image), std::string::npos)
      << result.standard_error;
}

TEST_F(CrtTest, MalformedRecordLengthStopsBeforeTheFileIsCreated) {
  ProgramResult result = run_crt({{"FORT_FMT_RECL", "abc"}, {"FOR_DISABLE_STACK_TRACE", "1"}});
  EXPECT_EQ(result.exit_status, 99);
  EXPECT_EQ(result.standard_error,
            "forrtl: severe (99): FORT_FMT_RECL environment variable has erroneous syntax" +
                LINE_END);
  EXPECT_FALSE(std::filesystem::exists("ispis.dat"));
}

TEST_F(CrtTest, Fort0ReceivesTheReportsInsteadOfStandardError) {
  write_file("fort0.txt", "earlier\r\n");
  ProgramResult result =
      run_crt({{"FORT_FMT_RECL", "abc"}, {"FORT0", "fort0.txt"}, {"FOR_DISABLE_STACK_TRACE", "1"}});
  EXPECT_EQ(result.exit_status, 99);
  EXPECT_EQ(result.standard_error, "");
  EXPECT_EQ(read_file("fort0.txt"),
            "earlier\r\nforrtl: severe (99): FORT_FMT_RECL environment variable has erroneous "
            "syntax" + LINE_END);
}

TEST_F(CrtTest, LogFileCollectsEveryReportWhileTheDisplayIsOff) {
  EnvChanges environment = {{"FORT_FMT_RECL", "abc"},
                             {"FOR_DIAGNOSTIC_LOG_FILE", "crt.log"},
                             {"FOR_DISABLE_DIAGNOSTIC_DISPLAY", "yes"},
                             {"FOR_DISABLE_STACK_TRACE", "1"}};
  std::string report =
      "forrtl: severe (99): FORT_FMT_RECL environment variable has erroneous syntax" + LINE_END;
  for (int run = 0; run < 2; ++run) {
    ProgramResult result = run_crt(environment);
    EXPECT_EQ(result.exit_status, 99);
    EXPECT_EQ(result.standard_error, "");
  }
  EXPECT_EQ(read_file("crt.log"), report + report);
}

TEST_F(CrtTest, PointFileHeldByAnotherWriterIsConnectedReadOnly) {
  write_file("ispis.dat", "held");
  test_win32::FileHolder holder("ispis.dat");
  ASSERT_TRUE(holder.holding());

  // The open meets a sharing violation, the retry reads alongside the
  // holder, and the first record is refused.
  ProgramResult result = run_crt(NO_TRACEBACK);
  EXPECT_EQ(holder.release(), 0);

  EXPECT_EQ(result.exit_status, 47);
  EXPECT_EQ(result.standard_error, "forrtl: severe (47): write to READONLY file, unit 7, file " +
                                       point_file_path() + LINE_END);
  EXPECT_EQ(read_file("ispis.dat"), "held");
}

TEST_F(CrtTest, StopTextIsOneDirectRecordOf33Bytes) {
  const std::string text = "Could not spawn gnuplot program";
  ProgramResult to_standard_error =
      testing_support::run_program(CRT_STOP_PROBE, {{text, "0"}, {}, directory_.path()});
  EXPECT_EQ(to_standard_error.exit_status, 0);
  EXPECT_EQ(to_standard_error.standard_error, text + "\r\n");
  EXPECT_EQ(to_standard_error.standard_output, "");

  ProgramResult to_fort0 = testing_support::run_program(
      CRT_STOP_PROBE, {{text, "0"}, {{"FORT0", "fort0.txt"}}, directory_.path()});
  EXPECT_EQ(to_fort0.exit_status, 0);
  EXPECT_EQ(to_fort0.standard_error, "");
  EXPECT_EQ(read_file("fort0.txt"), text + "\r\n");
}

const std::string SHORT_HEADER =
    "Image              PC        Routine            Line        Source             \r\n";

std::string line_at(const std::string& text, std::size_t at) {
  std::size_t end = text.find('\n', at);
  return end == std::string::npos ? text.substr(at) : text.substr(at, end + 1 - at);
}

struct FaultCase {
  const char* fault;
  const char* message_line;
  int status;
};

// The probe announces the offset of the function that faults within its
// image; the first frame must lie inside that function.
TEST_F(CrtTest, ProcessorFaultIsReportedFromTheFaultingInstruction) {
  const FaultCase cases[] = {
      {"access", "forrtl: severe (157): Program Exception - access violation\r\r\n", 157},
      {"divide", "forrtl: severe (164): Program Exception - integer divide by zero\r\r\n", 164},
      {"illegal", "forrtl: severe (168): Program Exception - illegal instruction\r\r\n", 168},
      {"trap", "forrtl: severe (159): Program Exception - breakpoint\r\r\n", 159},
  };
  const std::string image = std::filesystem::path(CRT_FAULT_PROBE).filename().string();
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.fault);
    ProgramResult result =
        testing_support::run_program(CRT_FAULT_PROBE, {{c.fault}, {}, directory_.path()});
    EXPECT_EQ(result.exit_status, c.status);
    const std::string& errors = result.standard_error;
    ASSERT_EQ(line_at(errors, 0), c.message_line);
    std::size_t header_at = line_at(errors, 0).size();
    ASSERT_EQ(line_at(errors, header_at), SHORT_HEADER);
    std::string frame = line_at(errors, header_at + SHORT_HEADER.size());
    ASSERT_GE(frame.size(), 29u) << frame;
    // The image column names the executable itself.
    EXPECT_EQ(frame.substr(0, 19), (image + std::string(17, ' ')).substr(0, 17) + "  ");
    EXPECT_EQ(frame.substr(27), "  Unknown               Unknown  Unknown\r\n");
    unsigned long pc = std::stoul(frame.substr(19, 8), nullptr, 16);
    unsigned long function = std::stoul(result.standard_output, nullptr, 16);
    EXPECT_GE(pc, function) << frame;
    EXPECT_LT(pc, function + 0x100) << frame;
  }
}

TEST_F(CrtTest, StackOverflowIsReported) {
  if (test_win32::running_under_wine()) {
    // Windows keeps the thread's guaranteed stack for the handler; Wine
    // raises the overflow with about 2 KB left and ends the process with 1
    // when the dispatch runs out of it, before any filter is called.
    GTEST_SKIP() << "Wine cannot dispatch a stack overflow to the exception filter";
  }
  ProgramResult result =
      testing_support::run_program(CRT_FAULT_PROBE, {{"overflow"}, {}, directory_.path()});
  EXPECT_EQ(result.exit_status, 170);
  EXPECT_EQ(line_at(result.standard_error, 0),
            "forrtl: severe (170): Program Exception - stack overflow\r\r\n");
}

TEST_F(CrtTest, FloatingPointExceptionsAreMaskedAtStartUp) {
  ProgramResult result = testing_support::run_program(CRT_FAULT_PROBE, {{"float"}, {}, directory_.path()});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_output, "masked\n");
  EXPECT_EQ(result.standard_error, "");
}

TEST_F(CrtTest, IgnoredFaultIsLeftToTheSystem) {
  ProgramResult result = testing_support::run_program(
      CRT_FAULT_PROBE, {{"access"}, {{"FOR_IGNORE_EXCEPTIONS", "1"}}, directory_.path()});
  EXPECT_EQ(static_cast<unsigned>(result.exit_status), 0xC0000005u);
  EXPECT_EQ(result.standard_error.find("forrtl"), std::string::npos) << result.standard_error;
}

// A console event sent the way the console itself sends one: a thread of
// the system's control routine started in the target process.
bool send_console_event(HANDLE process, DWORD event) {
  auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CtrlRoutine")));
  if (routine == nullptr) return false;
  HANDLE thread = CreateRemoteThread(process, nullptr, 0, routine,
                                     reinterpret_cast<void*>(static_cast<ULONG_PTR>(event)), 0, nullptr);
  if (thread == nullptr) return false;
  CloseHandle(thread);
  return true;
}

struct EventCase {
  DWORD event;
  const char* name;
  DWORD status;
};

// The probe waits in its main routine; the event arrives on a thread of its
// own, is reported with its traceback and ends the process with its status.
TEST_F(CrtTest, ConsoleEventsAreReportedAndEndTheRunWithTheirStatus) {
  const EventCase cases[] = {
      {CTRL_C_EVENT, "control-C", 0xC000013Au},
      {CTRL_BREAK_EVENT, "control-BREAK", 1},
      {CTRL_CLOSE_EVENT, "window-CLOSE", 2},
  };
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.name);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = CreateFileA("probe.out", GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE errors = CreateFileA("probe.err", GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION probe{};
    std::string command_line = std::string("\"") + CRT_FAULT_PROBE + "\" wait";
    // No new process group: the control routine would not deliver to it.
    BOOL started = CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0,
                                  nullptr, nullptr, &startup, &probe);
    CloseHandle(output);
    CloseHandle(errors);
    ASSERT_TRUE(started);
    CloseHandle(probe.hThread);
    for (int tries = 0; tries < 600 && read_file("probe.out") != "ready\n"; ++tries) Sleep(100);
    ASSERT_EQ(read_file("probe.out"), "ready\n");

    ASSERT_TRUE(send_console_event(probe.hProcess, c.event));
    ASSERT_EQ(WaitForSingleObject(probe.hProcess, 60000), WAIT_OBJECT_0);
    DWORD status = 0;
    GetExitCodeProcess(probe.hProcess, &status);
    CloseHandle(probe.hProcess);
    EXPECT_EQ(status, c.status);
    std::string errors_text = read_file("probe.err");
    EXPECT_EQ(line_at(errors_text, 0),
              std::string("forrtl: error (200): program aborting due to ") + c.name + " event\r\r\n");
    EXPECT_EQ(line_at(errors_text, line_at(errors_text, 0).size()), SHORT_HEADER);
  }
}

}  // namespace
