// Where the reports of the real program go, and in what form.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "support/crt_run.h"

namespace {

using namespace testing_support;

const std::string TRACEBACK_HEADER =
    "Image              PC        Routine            Line        Source             \r\n";

class Report : public CrtRun {
 protected:
  /// A directory where the data file should be: report 9.
  void block_the_data_file() { ASSERT_EQ(::mkdir(dir_.file("ispis.dat").c_str(), 0755), 0); }
  std::string denied() const { return file_message(9, "permission to access file denied"); }
};

TEST_F(Report, MessageLineIsFollowedByTheTraceback) {
  block_the_data_file();
  const ProgramResult result = run_crt();
  EXPECT_EQ(result.exit_status, 9);
  const std::string& err = result.standard_error;
  ASSERT_EQ(err.substr(0, denied().size()), denied());
  ASSERT_EQ(err.substr(denied().size(), TRACEBACK_HEADER.size()), TRACEBACK_HEADER);
  // Frames follow, each line ending CR LF, some of them in crt itself.
  const std::string frames = err.substr(denied().size() + TRACEBACK_HEADER.size());
  EXPECT_NE(frames.find("crt  "), std::string::npos) << frames;
  EXPECT_EQ(frames.substr(frames.size() - 2), "\r\n");
}

TEST_F(Report, DebuggerPresentLeavesTheTracebackOut) {
  block_the_data_file();
  for (const char* name : {"FOR__IS_DEBUGGER_PRESENT", "FOR_DEBUGGER_IS_PRESENT"}) {
    const ProgramResult result = run_crt({{name, "Y"}});
    EXPECT_EQ(result.exit_status, 9) << name;
    EXPECT_EQ(result.standard_error, denied()) << name;
  }
}

TEST_F(Report, Fort0ReceivesTheReportAfterWhatTheFileHeld) {
  block_the_data_file();
  const std::string destination = dir_.file("errors.txt");
  write_file(destination, "earlier\n");
  const ProgramResult result = run_crt(without_traceback({{"FORT0", destination}}));
  EXPECT_EQ(result.exit_status, 9);
  EXPECT_EQ(result.standard_error, "");
  EXPECT_EQ(read_file(destination), "earlier\n" + denied());
}

TEST_F(Report, Fort0ReceivesTheReasonLineToo) {
  ASSERT_EQ(::symlink("/dev/full", dir_.file("ispis.dat").c_str()), 0);
  const std::string destination = dir_.file("errors.txt");
  const ProgramResult result = run_crt(without_traceback({{"FORT0", destination}}));
  EXPECT_EQ(result.exit_status, 38);
  EXPECT_EQ(result.standard_error, "");
  EXPECT_EQ(read_file(destination), reason_line(ENOSPC) + file_message(38, "error during write"));
}

TEST_F(Report, LogCollectsEveryReportWhileTheDisplayIsOff) {
  block_the_data_file();
  const std::string log = dir_.file("diagnostics.log");
  const EnvChanges settings =
      without_traceback({{"FOR_DIAGNOSTIC_LOG_FILE", log}, {"FOR_DISABLE_DIAGNOSTIC_DISPLAY", "yes"}});
  for (int run = 0; run < 2; ++run) {
    const ProgramResult result = run_crt(settings);
    EXPECT_EQ(result.exit_status, 9);
    EXPECT_EQ(result.standard_error, "");
  }
  EXPECT_EQ(read_file(log), denied() + denied());
}

TEST_F(Report, ReasonLineGoesToStandardErrorOnlyWhateverTheSwitches) {
  ASSERT_EQ(::symlink("/dev/full", dir_.file("ispis.dat").c_str()), 0);
  const std::string log = dir_.file("diagnostics.log");
  const ProgramResult result = run_crt(
      without_traceback({{"FOR_DIAGNOSTIC_LOG_FILE", log}, {"FOR_DISABLE_DIAGNOSTIC_DISPLAY", "1"}}));
  EXPECT_EQ(result.exit_status, 38);
  EXPECT_EQ(result.standard_error, reason_line(ENOSPC));
  EXPECT_EQ(read_file(log), file_message(38, "error during write"));
}

TEST_F(Report, LogThatCannotBeOpenedIsSkipped) {
  block_the_data_file();
  const ProgramResult result = run_crt(without_traceback({{"FOR_DIAGNOSTIC_LOG_FILE", dir_.path()}}));
  EXPECT_EQ(result.exit_status, 9);
  EXPECT_EQ(result.standard_error, denied());
}

TEST_F(Report, LogGetsTheTracebackAsStandardErrorDoes) {
  block_the_data_file();
  const std::string log = dir_.file("diagnostics.log");
  const ProgramResult result = run_crt({{"FOR_DIAGNOSTIC_LOG_FILE", log}});
  EXPECT_EQ(result.exit_status, 9);
  const std::string logged = read_file(log);
  EXPECT_EQ(logged.substr(0, denied().size() + TRACEBACK_HEADER.size()), denied() + TRACEBACK_HEADER);
  EXPECT_EQ(logged, result.standard_error);
}

}  // namespace
