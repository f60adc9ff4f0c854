#include "launch/shell_command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <string>

#include "support/process.h"
#include "platform/platform.h"

namespace {

int run(const char* command) { return launch::run_shell_command(command, std::strlen(command)); }

struct StatusCase {
  const char* name;
  const char* command;
  int expected;
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.command; }

class ShellCommandStatus : public testing::TestWithParam<StatusCase> {};

TEST_P(ShellCommandStatus, PassesTheInterpretersStatusOn) {
  EXPECT_EQ(run(GetParam().command), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ShellCommandStatus,
    testing::Values(StatusCase{"Zero", "exit 0", 0}, StatusCase{"One", "exit 1", 1},
                    StatusCase{"Seven", "exit 7", 7},
                    StatusCase{"HighestStatus", "exit 255", 255},
                    StatusCase{"CommandNotFound", "/nonexistent/plotter crt.dem", 127},
                    StatusCase{"KilledBySignal", "kill -KILL $$", 128 + 9},
                    StatusCase{"TerminatedBySignal", "kill -TERM $$", 128 + 15}),
    [](const testing::TestParamInfo<StatusCase>& info) { return info.param.name; });

TEST(ShellCommand, RunsOnlyTheGivenLength) {
  const char* command = "exit 34";
  EXPECT_EQ(launch::run_shell_command(command, 6), 3);
  EXPECT_EQ(launch::run_shell_command(command, 7), 34);
}

TEST(ShellCommand, InheritsEnvironmentAndCurrentDirectory) {
  testing_support::TempDir dir;
  testing_support::write_file(dir.file("crt.dem"), "");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  ASSERT_EQ(setenv("CRT_LAUNCH_PROBE", "42", 1), 0);
  const int in_directory = run("test -f crt.dem");
  const int from_environment = run("exit $CRT_LAUNCH_PROBE");
  unsetenv("CRT_LAUNCH_PROBE");
  std::filesystem::current_path(before);
  EXPECT_EQ(in_directory, 0);
  EXPECT_EQ(from_environment, 42);
}

TEST(ShellCommand, ChildWritesToTheInheritedStandardOutput) {
  testing_support::TempDir dir;
  const std::string out = dir.file("out");
  const std::string command = "echo plotted > '" + out + "'";
  ASSERT_EQ(run(command.c_str()), 0);
  EXPECT_EQ(testing_support::read_file(out), "plotted\n");
}

TEST(CommandInterpreter, MissingInterpreterCannotRunAtAll) {
  EXPECT_EQ(platform::run_command_interpreter_at("/nonexistent/sh", "exit 0"), -1);
}

TEST(CommandInterpreter, UnexecutableInterpreterCannotRunAtAll) {
  testing_support::TempDir dir;
  const std::string interpreter = dir.file("sh");
  testing_support::write_file(interpreter, "#!/bin/sh\nexit 0\n");
  std::filesystem::permissions(interpreter, std::filesystem::perms::owner_read);
  EXPECT_EQ(platform::run_command_interpreter_at(interpreter, "exit 0"), -1);
}

TEST(CommandInterpreter, OtherInterpreterGetsTheCommandAfterDashC) {
  testing_support::TempDir dir;
  const std::string interpreter = dir.file("interpreter");
  // Ends with the number of its arguments when they are exactly "-c" and the command.
  testing_support::write_file(interpreter,
                           "#!/bin/sh\n[ \"$1\" = -c ] && [ \"$2\" = 'a  b' ] && exit $#\nexit 99\n");
  std::filesystem::permissions(interpreter, std::filesystem::perms::owner_all);
  EXPECT_EQ(platform::run_command_interpreter_at(interpreter, "a  b"), 2);
}

}  // namespace
