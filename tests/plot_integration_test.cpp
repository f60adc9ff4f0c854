// The whole program and its plotting command: the real crt, run in a fresh
// directory, with the plotting program and the interpreter arranged from
// outside.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"

namespace {

using testing_support::EnvChanges;
using testing_support::ProgramResult;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

constexpr std::uintmax_t COMPLETE_POINT_FILE_SIZE = 1704 * 32;
const char* const SYSTEM_PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

/// Runs `program` in `dir` with the given PATH; settings of the test's own
/// environment do not leak into it.
ProgramResult run_in(const TempDir& dir, const std::string& program, std::vector<std::string> arguments,
                     const std::string& path) {
  EnvChanges environment{{"PATH", path}, {"HOME", dir.path()}};
  for (const char* name : {"FORT0", "FORT_BUFFERED", "FORT_FMT_RECL", "FOR_DIAGNOSTIC_LOG_FILE",
                           "FOR_DISABLE_DIAGNOSTIC_DISPLAY", "DISPLAY"}) {
    environment.try_emplace(name, std::nullopt);
  }
  return testing_support::run_program(program, {std::move(arguments), environment, dir.path()});
}

void make_executable_script(const std::string& path, const std::string& text) {
  write_file(path, text);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

struct PlotterCase {
  const char* name;
  int plotter_status;
};

void PrintTo(const PlotterCase& c, std::ostream* os) { *os << c.name; }

class PlotterStatus : public testing::TestWithParam<PlotterCase> {};

// A stand-in plotting program notes what it was given and what it found,
// then ends with the status under test, which crt ignores.
TEST_P(PlotterStatus, RunsAfterThePointFileIsCompleteAndEndsNormally) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("bin"));
  make_executable_script(dir.file("bin/gnuplot"),
                         "#!/bin/sh\n"
                         "{ pwd; echo \"$@\"; wc -c < ispis.dat; } > plotter.seen\n"
                         "exit " + std::to_string(GetParam().plotter_status) + "\n");

  const ProgramResult result = run_in(dir, CRT_EXECUTABLE, {}, dir.file("bin") + ":/usr/bin:/bin");

  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_error, "");
  EXPECT_EQ(result.standard_output, "");
  EXPECT_EQ(read_file(dir.file("plotter.seen")),
            std::filesystem::canonical(dir.path()).string() + "\ncrt.dem\n" +
                std::to_string(COMPLETE_POINT_FILE_SIZE) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Statuses, PlotterStatus,
                         testing::Values(PlotterCase{"Succeeded", 0}, PlotterCase{"Failed", 1},
                                         PlotterCase{"Highest", 255}),
                         [](const testing::TestParamInfo<PlotterCase>& info) {
                           return info.param.name;
                         });

TEST(PlotIntegration, MissingPlottingProgramIsNoStop) {
  TempDir dir;
  const ProgramResult result = run_in(dir, CRT_EXECUTABLE, {}, "/nonexistent");
  EXPECT_EQ(result.exit_status, 0);
  // The interpreter's own complaint may appear; the program adds nothing.
  EXPECT_EQ(result.standard_error.find("Could not spawn"), std::string::npos) << result.standard_error;
  EXPECT_EQ(std::filesystem::file_size(dir.file("ispis.dat")), COMPLETE_POINT_FILE_SIZE);
}

// An interpreter that cannot be started: /bin/sh is covered, in a mount
// namespace of the test's own, by a file that cannot be executed.
TEST(PlotIntegration, InterpreterThatCannotStartStopsWithStatus1) {
  TempDir dir;
  const std::string blocker = dir.file("not-a-shell");
  write_file(blocker, "not executable\n");
  const std::string cover_shell = "mount --bind \"$1\" /bin/sh && exec \"$2\"";
  // Private propagation keeps the cover inside the new namespace.
  const std::vector<std::string> in_namespace = {"--mount", "--propagation", "private",
                                                 "--",      "/bin/sh", "-c"};

  std::vector<std::string> probe = in_namespace;
  probe.insert(probe.end(), {cover_shell, "sh", blocker, "/bin/true"});
  if (!std::filesystem::exists("/usr/bin/unshare") ||
      run_in(dir, "/usr/bin/unshare", probe, SYSTEM_PATH).exit_status != 0) {
    GTEST_SKIP() << "cannot cover /bin/sh in a private mount namespace here "
                    "(unshare --mount and mount --bind need CAP_SYS_ADMIN)";
  }

  std::vector<std::string> run = in_namespace;
  run.insert(run.end(), {cover_shell, "sh", blocker, CRT_EXECUTABLE});
  const ProgramResult result = run_in(dir, "/usr/bin/unshare", run, SYSTEM_PATH);

  EXPECT_EQ(result.standard_error, "Could not spawn gnuplot program\r\n");
  EXPECT_EQ(result.standard_output, "");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(std::filesystem::file_size(dir.file("ispis.dat")), COMPLETE_POINT_FILE_SIZE);
}

TEST(PlotIntegration, ProjectScriptDrawsThePngWithTheRealPlotter) {
  const bool plotter_installed =
      std::filesystem::exists("/usr/bin/gnuplot") || std::filesystem::exists("/usr/local/bin/gnuplot");
  if (!plotter_installed) GTEST_SKIP() << "gnuplot is not installed (apt-get install gnuplot-nox)";
  TempDir dir;
  std::filesystem::copy_file(std::filesystem::path(CRT_SOURCE_DIR) / "crt.dem", dir.file("crt.dem"));

  const ProgramResult result = run_in(dir, CRT_EXECUTABLE, {}, SYSTEM_PATH);

  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_error, "");
  const std::string png = read_file(dir.file("ispis.png"));
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

}  // namespace
