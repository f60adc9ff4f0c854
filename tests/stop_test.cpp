// The stop, watched from outside in a real process: the exact bytes it
// leaves on standard error or in the FORT0 file, and its exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "launch_child_process.h"

namespace {

using launch_tests::read_file;
using launch_tests::run_child;
using launch_tests::TempDir;

const char* const SPAWN_FAILURE = "Could not spawn gnuplot program";

struct StopCase {
  const char* name;
  const char* text;
  int status;
  std::optional<std::string> fort0_before;  // FORT0 names "stop.log" holding this; unset: no FORT0
  bool fort0_missing;                       // FORT0 names "stop.log", which does not exist yet
  std::string expected_err;
  std::optional<std::string> expected_fort0;  // "stop.log" afterwards; nullopt: must not exist
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class StopWithMessage : public testing::TestWithParam<StopCase> {};

TEST_P(StopWithMessage, WritesOneRecordAndEndsWithItsStatus) {
  const StopCase& c = GetParam();
  TempDir dir;
  const std::filesystem::path log = dir.path() / "stop.log";
  std::vector<std::string> environment;
  if (c.fort0_before) launch_tests::write_file(log, *c.fort0_before);
  if (c.fort0_before || c.fort0_missing) environment.push_back("FORT0=" + log.string());

  const launch_tests::ChildResult result =
      run_child({CRT_STOP_PROBE, c.text, std::to_string(c.status)}, environment, dir.path());

  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.err, c.expected_err);
  EXPECT_EQ(result.out, "");
  if (c.expected_fort0) {
    EXPECT_EQ(read_file(log), *c.expected_fort0);
  } else {
    EXPECT_FALSE(std::filesystem::exists(log));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Destinations, StopWithMessage,
    testing::Values(
        StopCase{"StandardErrorGetsExactly33Bytes", SPAWN_FAILURE, 1, std::nullopt, false,
                 "Could not spawn gnuplot program\r\n", std::nullopt},
        StopCase{"StatusZeroPassesThrough", SPAWN_FAILURE, 0, std::nullopt, false,
                 "Could not spawn gnuplot program\r\n", std::nullopt},
        StopCase{"TextKeptUnchanged", "  blanks and\ttab  ", 1, std::nullopt, false,
                 "  blanks and\ttab  \r\n", std::nullopt},
        StopCase{"Fort0FileIsCreated", SPAWN_FAILURE, 1, std::nullopt, true, "",
                 "Could not spawn gnuplot program\r\n"},
        StopCase{"Fort0FileIsAppendedTo", SPAWN_FAILURE, 1, "earlier line\r\nsecond line\r\n",
                 false, "", "earlier line\r\nsecond line\r\nCould not spawn gnuplot program\r\n"},
        StopCase{"EmptyTextWritesNothing", "", 3, std::nullopt, false, "", std::nullopt},
        StopCase{"EmptyTextLeavesFort0Alone", "", 3, std::nullopt, true, "", std::nullopt}),
    [](const testing::TestParamInfo<StopCase>& info) { return info.param.name; });

TEST(StopWithMessage, SecondStopEndsAtOnceWithStatusZeroWritingNothing) {
  TempDir dir;
  const launch_tests::ChildResult result =
      run_child({CRT_STOP_PROBE, "--nested", "first stop", "5"}, {}, dir.path());
  EXPECT_EQ(result.err, "first stop\r\n");
  EXPECT_EQ(result.status, 0);
}

TEST(StopWithMessage, FailedWriteIsReport38ForUnit0) {
  // The report follows standard error to the FORT0 device that failed, so
  // the diagnostic log is where it can be seen.
  TempDir dir;
  const std::filesystem::path diagnostics = dir.path() / "diagnostics.log";
  const launch_tests::ChildResult result =
      run_child({CRT_STOP_PROBE, SPAWN_FAILURE, "1"},
                {"FORT0=/dev/full", "FOR_DIAGNOSTIC_LOG_FILE=" + diagnostics.string()}, dir.path());
  EXPECT_EQ(result.status, 38);
  EXPECT_NE(read_file(diagnostics).find(
                "forrtl: severe (38): error during write, unit 0, file /dev/full"),
            std::string::npos)
      << read_file(diagnostics);
  EXPECT_EQ(result.err.find(SPAWN_FAILURE), std::string::npos) << result.err;
}

TEST(StopWithMessage, Fort0InMissingDirectoryIsReportedForUnit0) {
  TempDir dir;
  const std::string missing = (dir.path() / "no-such-dir" / "stop.log").string();
  const launch_tests::ChildResult result =
      run_child({CRT_STOP_PROBE, SPAWN_FAILURE, "1"}, {"FORT0=" + missing}, dir.path());
  EXPECT_EQ(result.status, 29);
  EXPECT_NE(result.err.find("file not found, unit 0, file " + missing), std::string::npos)
      << result.err;
}

}  // namespace
