// The Windows program end to end, for the failures that show before or at
// the first record: its reports, exit statuses and what it leaves in the
// current directory. (The full run and control-C are checked from the host
// side: tests/win32/full_run.sh and tests/win32/control_c.sh.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32/windows_api.h"
#include "win32/child_process.h"

namespace {

using test_win32::ChildResult;
using test_win32::Environment;
using test_win32::file_bytes;
using test_win32::run_child;
using test_win32::ScratchDirectory;

std::string crt() { return std::string("\"") + CRT_EXECUTABLE + "\""; }

// The reports' own line end: CR LF from the report, the text-mode stream
// adds one more CR.
const std::string LINE_END = "\r\r\n";

// Without a traceback, only the message line is left to compare.
const Environment NO_TRACEBACK = {{"FOR_DISABLE_STACK_TRACE", "1"}};

class CrtTest : public testing::Test {
 protected:
  std::string point_file_path() const { return directory_.path() + "\\ispis.dat"; }

  ScratchDirectory directory_;
};

TEST_F(CrtTest, DirectoryNamedLikeThePointFileIsPermissionDenied) {
  std::filesystem::create_directory("ispis.dat");
  ChildResult result = run_child(crt(), NO_TRACEBACK);
  EXPECT_EQ(result.exit_code, 9u);
  EXPECT_EQ(result.standard_error,
            "forrtl: severe (9): permission to access file denied, unit 7, file " +
                point_file_path() + LINE_END);
  EXPECT_EQ(result.standard_output, "");
}

TEST_F(CrtTest, ReportCarriesATracebackThroughTheExecutable) {
  std::filesystem::create_directory("ispis.dat");
  ChildResult result = run_child(crt());
  EXPECT_EQ(result.exit_code, 9u);
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
  ChildResult result = run_child(crt(), {{"FORT_FMT_RECL", "abc"}, {"FOR_DISABLE_STACK_TRACE", "1"}});
  EXPECT_EQ(result.exit_code, 99u);
  EXPECT_EQ(result.standard_error,
            "forrtl: severe (99): FORT_FMT_RECL environment variable has erroneous syntax" +
                LINE_END);
  EXPECT_FALSE(std::filesystem::exists("ispis.dat"));
}

TEST_F(CrtTest, Fort0ReceivesTheReportsInsteadOfStandardError) {
  std::ofstream("fort0.txt", std::ios::binary) << "earlier\r\n";
  ChildResult result = run_child(
      crt(), {{"FORT_FMT_RECL", "abc"}, {"FORT0", "fort0.txt"}, {"FOR_DISABLE_STACK_TRACE", "1"}});
  EXPECT_EQ(result.exit_code, 99u);
  EXPECT_EQ(result.standard_error, "");
  EXPECT_EQ(file_bytes("fort0.txt"),
            "earlier\r\nforrtl: severe (99): FORT_FMT_RECL environment variable has erroneous "
            "syntax" + LINE_END);
}

TEST_F(CrtTest, LogFileCollectsEveryReportWhileTheDisplayIsOff) {
  Environment environment = {{"FORT_FMT_RECL", "abc"},
                             {"FOR_DIAGNOSTIC_LOG_FILE", "crt.log"},
                             {"FOR_DISABLE_DIAGNOSTIC_DISPLAY", "yes"},
                             {"FOR_DISABLE_STACK_TRACE", "1"}};
  std::string report =
      "forrtl: severe (99): FORT_FMT_RECL environment variable has erroneous syntax" + LINE_END;
  for (int run = 0; run < 2; ++run) {
    ChildResult result = run_child(crt(), environment);
    EXPECT_EQ(result.exit_code, 99u);
    EXPECT_EQ(result.standard_error, "");
  }
  EXPECT_EQ(file_bytes("crt.log"), report + report);
}

TEST_F(CrtTest, PointFileHeldByAnotherWriterIsConnectedReadOnly) {
  std::ofstream("ispis.dat", std::ios::binary) << "held";
  std::string id = std::to_string(GetCurrentProcessId());
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, ("crt-held-" + id).c_str());
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, ("crt-release-" + id).c_str());
  void* holder = test_win32::start_child(std::string("\"") + CRT_WIN32_HELPER +
                                             "\" hold ispis.dat crt-held-" + id +
                                             " crt-release-" + id,
                                         "holder.out", "holder.err");
  ASSERT_NE(holder, nullptr);
  ASSERT_EQ(WaitForSingleObject(held, 60000), WAIT_OBJECT_0);

  // The open meets a sharing violation, the retry reads alongside the
  // holder, and the first record is refused.
  ChildResult result = run_child(crt(), NO_TRACEBACK);
  SetEvent(release);
  EXPECT_EQ(test_win32::wait_for_child(holder), 0u);
  CloseHandle(held);
  CloseHandle(release);

  EXPECT_EQ(result.exit_code, 47u);
  EXPECT_EQ(result.standard_error, "forrtl: severe (47): write to READONLY file, unit 7, file " +
                                       point_file_path() + LINE_END);
  EXPECT_EQ(file_bytes("ispis.dat"), "held");
}

}  // namespace
