// The stop, watched from outside in a real process: the exact bytes it
// leaves on standard error or in the FORT0 file, and its exit status.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/process.h"

namespace {

using testing_support::EnvChanges;
using testing_support::ProgramResult;
using testing_support::read_file;
using testing_support::TempDir;

const char* const SPAWN_FAILURE = "Could not spawn gnuplot program";

/// Runs the stop probe in `dir` with `arguments`; settings of the test's own
/// environment do not leak into it.
ProgramResult run_stop_probe(const TempDir& dir, std::vector<std::string> arguments,
                             EnvChanges environment = {}) {
  for (const char* name : {"FORT0", "FOR_DIAGNOSTIC_LOG_FILE", "FOR_DISABLE_DIAGNOSTIC_DISPLAY",
                           "FOR_DISABLE_STACK_TRACE"}) {
    environment.try_emplace(name, std::nullopt);
  }
  return testing_support::run_program(CRT_STOP_PROBE, {std::move(arguments), environment, dir.path()});
}

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
  const std::string log = dir.file("stop.log");
  EnvChanges environment;
  if (c.fort0_before) testing_support::write_file(log, *c.fort0_before);
  if (c.fort0_before || c.fort0_missing) environment["FORT0"] = log;

  const ProgramResult result = run_stop_probe(dir, {c.text, std::to_string(c.status)}, environment);

  EXPECT_EQ(result.exit_status, c.status);
  EXPECT_EQ(result.standard_error, c.expected_err);
  EXPECT_EQ(result.standard_output, "");
  if (c.expected_fort0) {
    EXPECT_EQ(read_file(log), *c.expected_fort0);
  } else {
    EXPECT_FALSE(testing_support::file_exists(log));
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
  const ProgramResult result = run_stop_probe(dir, {"--nested", "first stop", "5"});
  EXPECT_EQ(result.standard_error, "first stop\r\n");
  EXPECT_EQ(result.exit_status, 0);
}

TEST(StopWithMessage, FailedWriteIsReport38ForUnit0) {
  // The report follows standard error to the FORT0 device that failed, so
  // the diagnostic log is where it can be seen.
  TempDir dir;
  const std::string diagnostics = dir.file("diagnostics.log");
  const ProgramResult result =
      run_stop_probe(dir, {SPAWN_FAILURE, "1"},
                     {{"FORT0", "/dev/full"}, {"FOR_DIAGNOSTIC_LOG_FILE", diagnostics}});
  EXPECT_EQ(result.exit_status, 38);
  EXPECT_NE(read_file(diagnostics).find(
                "forrtl: severe (38): error during write, unit 0, file /dev/full"),
            std::string::npos)
      << read_file(diagnostics);
  EXPECT_EQ(result.standard_error.find(SPAWN_FAILURE), std::string::npos) << result.standard_error;
}

TEST(StopWithMessage, Fort0InMissingDirectoryIsReportedForUnit0) {
  TempDir dir;
  const std::string missing = dir.file("no-such-dir/stop.log");
  const ProgramResult result = run_stop_probe(dir, {SPAWN_FAILURE, "1"}, {{"FORT0", missing}});
  EXPECT_EQ(result.exit_status, 29);
  EXPECT_NE(result.standard_error.find("file not found, unit 0, file " + missing), std::string::npos)
      << result.standard_error;
}

}  // namespace
