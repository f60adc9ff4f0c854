// Console events (control-C, control-BREAK, window-CLOSE as SIGINT, SIGQUIT
// and SIGHUP): message, traceback of the event thread, exit status, and the
// point file of an interrupted run.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <string>

#include "support/signal_child.h"

namespace {

using test_support::Child;
using test_support::ChildResult;
using test_support::TempDirectory;

const std::string SHORT_HEADER =
    "Image              PC        Routine            Line        Source             \r\n";

struct EventCase {
  int signal;
  const char* message_line;
  int status;
};

const EventCase EVENT_CASES[] = {
    {SIGINT, "forrtl: error (200): program aborting due to control-C event\r\r\n", 130},
    {SIGQUIT, "forrtl: error (200): program aborting due to control-BREAK event\r\r\n", 1},
    {SIGHUP, "forrtl: error (200): program aborting due to window-CLOSE event\r\r\n", 2},
};

ChildResult interrupt_waiting_probe(const char* mode, int signal) {
  Child child(CRT_FAULT_PROBE, {mode}, {});
  EXPECT_EQ(child.read_line(), "ready\n");
  child.send(signal);
  return child.finish();
}

TEST(ConsoleEvent, ReportsTheEventWithATracebackAndEndsWithItsStatus) {
  for (const EventCase& c : EVENT_CASES) {
    SCOPED_TRACE(c.message_line);
    const ChildResult result = interrupt_waiting_probe("wait", c.signal);
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    EXPECT_EQ(result.status, c.status);
    const std::string expected_start = std::string(c.message_line) + SHORT_HEADER;
    ASSERT_EQ(result.errors.substr(0, expected_start.size()), expected_start);
    // At least one frame, of this executable: the event thread's own code.
    EXPECT_NE(result.errors.find("crt_fault_probe    ", expected_start.size()),
              std::string::npos);
  }
}

// Log-off and shut-down are left to the system: no report.
TEST(ConsoleEvent, TerminationSignalKeepsItsDefault) {
  const ChildResult result = interrupt_waiting_probe("wait", SIGTERM);
  EXPECT_FALSE(result.exited);
  EXPECT_EQ(result.signal, SIGTERM);
  EXPECT_EQ(result.errors, "");
}

TEST(ConsoleEvent, ProgramsOwnInterruptHandlerTakesControlC) {
  const ChildResult result = interrupt_waiting_probe("wait-own-interrupt", SIGINT);
  EXPECT_EQ(result.output, "ready\nown handler\n");
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.status, 42);
  EXPECT_EQ(result.errors, "");
}

constexpr std::size_t RECORD_SIZE = 32;

// The file of a run that was not interrupted.
const std::string& complete_point_file() {
  static const std::string bytes = [] {
    TempDirectory directory;
    Child child(CRT_EXECUTABLE, {}, {}, directory.path());
    const ChildResult result = child.finish();
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.status, 0);
    return directory.read("ispis.dat");
  }();
  return bytes;
}

// Waits until the run has written some records, then sends the event.
ChildResult interrupt_run(const TempDirectory& directory, int signal) {
  Child child(CRT_EXECUTABLE, {}, {}, directory.path());
  while (child.running() && directory.read("ispis.dat").size() < 10 * RECORD_SIZE) {
    usleep(1000);
  }
  EXPECT_TRUE(child.running()) << "the run ended before it could be interrupted";
  child.send(signal);
  return child.finish();
}

TEST(ConsoleEvent, InterruptedRunKeepsEveryRecordWrittenWhole) {
  const std::string& complete = complete_point_file();
  ASSERT_EQ(complete.size(), 1704 * RECORD_SIZE);
  for (const EventCase& c : EVENT_CASES) {
    SCOPED_TRACE(c.message_line);
    TempDirectory directory;
    const ChildResult result = interrupt_run(directory, c.signal);
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    EXPECT_EQ(result.status, c.status);
    const std::string expected_start = std::string(c.message_line) + SHORT_HEADER;
    EXPECT_EQ(result.errors.substr(0, expected_start.size()), expected_start);

    const std::string written = directory.read("ispis.dat");
    EXPECT_GE(written.size(), 10 * RECORD_SIZE);
    EXPECT_LT(written.size(), complete.size());
    EXPECT_EQ(written.size() % RECORD_SIZE, 0u) << "a record was cut";
    EXPECT_EQ(written, complete.substr(0, written.size()));
  }
}

}  // namespace
