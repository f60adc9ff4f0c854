// The point file's logic on an in-memory file system: records, the
// reconnect check, buffering, and every failure it reports.
#include <cerrno>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "output/number_text.h"
#include "output/point_file_unit.h"
#include "runtime/units.h"
#include "support/fake_file_system.h"

namespace {

using output::PointFileUnit;
using platform::Reason;
using testing_support::FakeFileSystem;
using testing_support::FileCall;

const std::string PATH = "/data/ispis.dat";

std::string record_of(float x, float y) {
  const auto fx = output::format_point_value(x);
  const auto fy = output::format_point_value(y);
  return std::string(fx.begin(), fx.end()) + std::string(fy.begin(), fy.end()) + "\r\n";
}

class PointFile : public testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("FORT_BUFFERED");
    ::setenv("FOR_DISABLE_STACK_TRACE", "1", 1);
  }

  void connect() { unit_.connect(7, "ispis.dat", "unknown"); }
  /// One pair test that finds a crossing, as the tracer makes it.
  void connect_and_write(int i) {
    connect();
    unit_.write({static_cast<float>(i), -0.5f});
  }
  std::string expected_records(int count) const {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += record_of(static_cast<float>(i), -0.5f);
    return bytes;
  }

  FakeFileSystem files_;
  PointFileUnit unit_{files_};
};

TEST_F(PointFile, EachRecordIsOneWriteOfThirtyTwoBytes) {
  for (int i = 0; i < 5; ++i) connect_and_write(i);
  unit_.close(7);
  EXPECT_EQ(files_.file(PATH).bytes, expected_records(5));
  EXPECT_EQ(files_.write_sizes, std::vector<std::size_t>(5, 32));
  EXPECT_EQ(files_.calls(FileCall::open_read_write), 1);
  EXPECT_FALSE(unit_.connected());
}

TEST_F(PointFile, ConnectingNeitherWritesNorCutsAnExistingFile) {
  files_.file(PATH).bytes = std::string(1000, 'x');
  for (int i = 0; i < 100; ++i) connect();
  unit_.close(7);
  EXPECT_EQ(files_.file(PATH).bytes, std::string(1000, 'x'));
  EXPECT_TRUE(files_.write_sizes.empty());
}

TEST_F(PointFile, FirstRecordCutsTheOldContent) {
  files_.file(PATH).bytes = std::string(1000, 'x');
  connect_and_write(0);
  EXPECT_EQ(files_.file(PATH).bytes, expected_records(1));
  connect_and_write(1);
  EXPECT_EQ(files_.file(PATH).bytes, expected_records(2));
  EXPECT_EQ(files_.calls(FileCall::cut), 1);
}

TEST_F(PointFile, DeviceIsNeverCut) {
  files_.file(PATH).kind = platform::FileKind::other;
  connect_and_write(0);
  EXPECT_EQ(files_.calls(FileCall::cut), 0);
}

TEST_F(PointFile, ReconnectingToTheSameFileCostsOneLookupAndNothingElse) {
  connect_and_write(0);
  for (int i = 1; i < 1000; ++i) connect();
  EXPECT_EQ(files_.calls(FileCall::lookup), 999);
  EXPECT_EQ(files_.calls(FileCall::full_path), 1);
  EXPECT_EQ(files_.calls(FileCall::open_read_write), 1);
  EXPECT_EQ(files_.write_sizes.size(), 1u);
}

TEST_F(PointFile, NameTrimmedOfBlanksAndStatusReadWithoutCase) {
  unit_.connect(7, "  ispis.dat   ", "UNKNOWN  ");
  EXPECT_TRUE(unit_.connected());
  EXPECT_EQ(unit_.file_path(), PATH);
}

TEST_F(PointFile, FullPathThatCannotBeMadeLeavesTheName) {
  files_.fail_next(FileCall::full_path, Reason::filename_exceeds_range);
  connect();
  EXPECT_EQ(unit_.file_path(), "ispis.dat");
}

TEST_F(PointFile, FileReplacedUnderTheNameIsOpenedAfresh) {
  connect_and_write(0);
  files_.replace(PATH);
  connect_and_write(1);
  EXPECT_EQ(files_.calls(FileCall::open_read_write), 2);
  EXPECT_EQ(files_.file(PATH).bytes, record_of(1.0f, -0.5f));
}

TEST_F(PointFile, FileRemovedUnderTheNameIsCreatedAgain) {
  connect_and_write(0);
  files_.remove(PATH);
  connect();
  EXPECT_TRUE(files_.exists(PATH));
  EXPECT_EQ(files_.calls(FileCall::open_read_write), 2);
}

TEST_F(PointFile, FailedLookupKeepsTheConnectionAndEveryRecord) {
  connect_and_write(0);
  connect_and_write(1);
  files_.fail_next(FileCall::lookup, Reason::access_denied, EACCES);
  connect_and_write(2);
  EXPECT_EQ(files_.calls(FileCall::open_read_write), 1);
  EXPECT_EQ(files_.file(PATH).bytes, expected_records(3));
}

TEST_F(PointFile, BufferedRecordsAreWrittenAtTheNextConnectAndGiveTheSameBytes) {
  ::setenv("FORT_BUFFERED", "yes", 1);
  files_.file(PATH).bytes = std::string(1000, 'x');
  connect_and_write(0);
  // Held, and the old content already cut.
  EXPECT_EQ(files_.file(PATH).bytes, "");
  for (int i = 1; i < 10; ++i) connect_and_write(i);
  unit_.close(7);
  EXPECT_EQ(files_.file(PATH).bytes, expected_records(10));
  EXPECT_EQ(files_.write_sizes, std::vector<std::size_t>(10, 32));
}

TEST_F(PointFile, BufferedRecordsWithoutConnectsAreHeldUntilTheBufferIsNearlyFull) {
  ::setenv("FORT_BUFFERED", "1", 1);
  connect();
  for (int i = 0; i < 247; ++i) unit_.write({static_cast<float>(i), -0.5f});
  EXPECT_TRUE(files_.write_sizes.empty());
  unit_.write({247.0f, -0.5f});
  EXPECT_EQ(files_.write_sizes, std::vector<std::size_t>{7936});
  EXPECT_EQ(files_.file(PATH).bytes, expected_records(248));
}

TEST_F(PointFile, ShortLinesSplitEveryPoint) {
  unit_.set_record_length_value("20");
  connect_and_write(3);
  const std::string record = record_of(3.0f, -0.5f);
  EXPECT_EQ(files_.file(PATH).bytes, record.substr(0, 15) + "\r\n" + record.substr(15, 15) + "\r\n");
  EXPECT_EQ(files_.write_sizes, (std::vector<std::size_t>{17, 17}));
}

TEST_F(PointFile, ExitProcessingClosesTheFileAndKeepsEveryLaterRequestAway) {
  EXPECT_EXIT(
      {
        ::setenv("FORT_BUFFERED", "yes", 1);
        connect_and_write(0);
        connect_and_write(1);  // held until the exit processing
        runtime::run_exit_processing();
        connect_and_write(2);
        const bool intact = files_.file(PATH).bytes == expected_records(2);
        const bool closed = !unit_.connected() && files_.calls(FileCall::open_read_write) == 1;
        std::exit(intact && closed ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(PointFile, ExitProcessingOnAnotherThreadHoldsTheWriterOff) {
  EXPECT_EXIT(
      {
        std::atomic<int> written{0};
        std::thread writer([&] {
          for (int i = 0;; ++i) {
            connect_and_write(i);
            written = i + 1;
          }
        });
        while (written < 50) std::this_thread::yield();
        runtime::run_exit_processing();
        const int count = written;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string bytes = files_.file(PATH).bytes;
        const bool whole = bytes.size() % 32 == 0 && bytes.size() >= 32u * count;
        const bool prefix = bytes == expected_records(static_cast<int>(bytes.size() / 32));
        const bool never_reopened = files_.calls(FileCall::open_read_write) == 1;
        const bool stopped = written <= count + 1;
        writer.detach();
        std::_Exit(whole && prefix && never_reopened && stopped ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

// Every failure the point file reports: the number, the exit status, and
// whether the system's reason precedes the message.
struct FailureCase {
  const char* name;
  FileCall call;
  Reason reason;
  int native;
  bool retry_fails_too;
  int number;
  const char* text;
  friend void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }
};

class PointFileFailure : public PointFile, public testing::WithParamInterface<FailureCase> {};

std::string quoted(const std::string& text) {
  std::string pattern;
  for (char c : text) {
    if (std::strchr("\\^$.|?*+()[]{}", c) != nullptr) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

// The system's own description of a failure, without its line end.
std::string description(Reason reason, int native) {
  std::string text = platform::describe_failure({reason, native});
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// Between the reason line and the report: the regular expressions of the
// Windows test build have no "." that matches a line end, but both kinds
// know "\s".
const std::string LINE_BREAK = "\\s+";

TEST_P(PointFileFailure, IsReportedWithItsNumberAsTheExitStatus) {
  const FailureCase& c = GetParam();
  files_.file(PATH).bytes = "earlier content\n";
  files_.fail_next(c.call, c.reason, c.native);
  if (c.retry_fails_too) files_.fail_next(FileCall::open_read_only, c.reason, c.native);
  std::string expected = "forrtl: severe \\(" + std::to_string(c.number) + "\\): " + quoted(c.text);
  if (std::strstr(c.text, "unit") == nullptr && c.number != 41 && c.number != 99)
    expected += quoted(", unit 7, file " + PATH);
  if (c.native != 0) expected = "^" + quoted("forrtl: " + description(c.reason, c.native)) + LINE_BREAK + expected;
  EXPECT_EXIT(
      {
        for (int i = 0; i < 3; ++i) connect_and_write(i);
        unit_.close(7);
      },
      testing::ExitedWithCode(c.number), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PointFileFailure,
    testing::Values(
        FailureCase{"FileNotFound", FileCall::open_read_write, Reason::file_not_found, 0, false, 29, "file not found"},
        FailureCase{"PathNotFound", FileCall::open_read_write, Reason::path_not_found, 0, false, 29, "file not found"},
        FailureCase{"AccessDenied", FileCall::open_read_write, Reason::access_denied, 0, true, 9,
                    "permission to access file denied"},
        FailureCase{"WriteProtect", FileCall::open_read_write, Reason::write_protect, 0, true, 9,
                    "permission to access file denied"},
        FailureCase{"AccessDeniedReadable", FileCall::open_read_write, Reason::access_denied, 0, false, 47,
                    "write to READONLY file"},
        FailureCase{"SharingViolationReadable", FileCall::open_read_write, Reason::sharing_violation, 0, false, 47,
                    "write to READONLY file"},
        FailureCase{"SharingViolation", FileCall::open_read_write, Reason::sharing_violation, EAGAIN, true, 30,
                    "open failure"},
        FailureCase{"InvalidDrive", FileCall::open_read_write, Reason::invalid_drive, 0, false, 42, "no such device"},
        FailureCase{"BadUnit", FileCall::open_read_write, Reason::bad_unit, 0, false, 42, "no such device"},
        FailureCase{"InvalidName", FileCall::open_read_write, Reason::invalid_name, 0, false, 43,
                    "file name specification error"},
        FailureCase{"BadPathname", FileCall::open_read_write, Reason::bad_pathname, 0, false, 43,
                    "file name specification error"},
        FailureCase{"NameTooLong", FileCall::open_read_write, Reason::filename_exceeds_range, 0, false, 43,
                    "file name specification error"},
        FailureCase{"TooManyOpenFiles", FileCall::open_read_write, Reason::too_many_open_files, 0, false, 30,
                    "open failure"},
        FailureCase{"OtherReason", FileCall::open_read_write, platform::unmapped_reason(ELOOP), ELOOP, false, 30,
                    "open failure"},
        FailureCase{"WriteFails", FileCall::write, Reason::disk_full, ENOSPC, false, 38, "error during write"},
        FailureCase{"CutFails", FileCall::cut, platform::unmapped_reason(EIO), EIO, false, 38, "error during write"},
        FailureCase{"CloseFails", FileCall::close, platform::unmapped_reason(EIO), EIO, false, 28, "CLOSE error"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PointFile, HeldRecordThatCannotBeWrittenIsReportedNotDropped) {
  ::setenv("FORT_BUFFERED", "yes", 1);
  EXPECT_EXIT(
      {
        connect_and_write(0);
        files_.fail_next(FileCall::write, Reason::disk_full, ENOSPC);
        connect();
      },
      testing::ExitedWithCode(38),
      quoted("forrtl: " + description(Reason::disk_full, ENOSPC)) + LINE_BREAK + quoted("forrtl: severe (38): error during write, unit 7"));
  EXPECT_EXIT(
      {
        connect_and_write(0);
        files_.fail_next(FileCall::write, Reason::disk_full, ENOSPC);
        unit_.close(7);
      },
      testing::ExitedWithCode(38), quoted("error during write, unit 7"));
}

TEST_F(PointFile, RecordLengthSettingFailures) {
  unit_.set_record_length_value("12x");
  EXPECT_EXIT(connect(), testing::ExitedWithCode(99),
              quoted("forrtl: severe (99): FORT_FMT_RECL environment variable has erroneous syntax"));
  EXPECT_FALSE(files_.exists(PATH));
  unit_.set_record_length_value("4294967296");
  EXPECT_EXIT(connect(), testing::ExitedWithCode(41), quoted("forrtl: severe (41): insufficient virtual memory"));
}

}  // namespace
