// The real program against real files: the bytes of ispis.dat, the reports
// and the exit statuses.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/crt_run.h"

namespace {

using namespace testing_support;


TEST_F(CrtRun, NormalRunWritesEveryRecordAndNothingElse) {
  const ProgramResult result = run_crt();
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_output, "");
  EXPECT_EQ(result.standard_error, "");
  const std::string bytes = data();
  ASSERT_EQ(bytes.size(), RECORDS * RECORD_SIZE);
  EXPECT_EQ(bytes.substr(0, RECORD_SIZE), FIRST_RECORD);
  EXPECT_EQ(bytes.substr(bytes.size() - RECORD_SIZE), LAST_RECORD);
  for (const std::string& record : testing_support::split_records(bytes)) {
    ASSERT_EQ(record.substr(30), "\r\n") << record;
    ASSERT_EQ(record.find_first_of("\r\n"), 30u) << record;
  }
}

TEST_F(CrtRun, LongerExistingFileIsCutToTheRunsRecords) {
  write_file(dir_.file("ispis.dat"), std::string(100000, 'x'));
  EXPECT_EQ(run_crt().exit_status, 0);
  EXPECT_EQ(data(), normal_run_data());
}

struct SettingCase {
  const char* name;
  EnvChanges environment;
  friend void PrintTo(const SettingCase& setting, std::ostream* out) { *out << setting.name; }
};

class SameFileUnderSetting : public CrtRun, public testing::WithParamInterface<SettingCase> {};

TEST_P(SameFileUnderSetting, GivesTheSameBytes) {
  const ProgramResult result = run_crt(GetParam().environment);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_error, "");
  EXPECT_EQ(data(), normal_run_data());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SameFileUnderSetting,
    testing::Values(SettingCase{"RecordLengthZero", {{"FORT_FMT_RECL", "0"}}},
                    SettingCase{"RecordLength29", {{"FORT_FMT_RECL", "29"}}},
                    SettingCase{"RecordLength100000", {{"FORT_FMT_RECL", "100000"}}},
                    SettingCase{"Buffered", {{"FORT_BUFFERED", "yes"}}},
                    SettingCase{"BufferedLongRecords", {{"FORT_BUFFERED", "1"}, {"FORT_FMT_RECL", "5000"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CrtRun, ShortRecordLengthSplitsEveryPointIntoTwoRecords) {
  ASSERT_EQ(run_crt({{"FORT_FMT_RECL", "20"}}).exit_status, 0);
  const std::string expected = normal_run_data();
  const std::string bytes = data();
  ASSERT_EQ(bytes.size(), RECORDS * 34);
  for (std::size_t i = 0; i < RECORDS; ++i) {
    const std::string record = expected.substr(i * RECORD_SIZE, RECORD_SIZE);
    ASSERT_EQ(bytes.substr(i * 34, 34), record.substr(0, 15) + "\r\n" + record.substr(15, 15) + "\r\n")
        << "point " << i + 1;
  }
}

TEST_F(CrtRun, LineCapacityWrappedToZeroStillEndsEveryRecord) {
  // 65535 + 1 keeps only its low 16 bits: no field fits any line.
  ASSERT_EQ(run_crt({{"FORT_FMT_RECL", "65535"}}).exit_status, 0);
  const std::string expected = normal_run_data();
  const std::string bytes = data();
  ASSERT_EQ(bytes.size(), RECORDS * 36);
  EXPECT_EQ(bytes.substr(0, 36),
            "\r\n" + expected.substr(0, 15) + "\r\n" + expected.substr(15, 15) + "\r\n");
}

TEST_F(CrtRun, MalformedRecordLengthIsReportedBeforeAnyFileIsMade) {
  const ProgramResult result = run_crt(without_traceback({{"FORT_FMT_RECL", "abc"}}));
  EXPECT_EQ(result.exit_status, 99);
  EXPECT_EQ(result.standard_error, message(99, "FORT_FMT_RECL environment variable has erroneous syntax"));
  EXPECT_FALSE(testing_support::file_exists(dir_.file("ispis.dat")));
}

TEST_F(CrtRun, RecordLengthBeyondAnyMemoryIsInsufficientMemory) {
  const ProgramResult result = run_crt(without_traceback({{"FORT_FMT_RECL", "99999999999999999999999"}}));
  EXPECT_EQ(result.exit_status, 41);
  EXPECT_EQ(result.standard_error, message(41, "insufficient virtual memory"));
}

TEST_F(CrtRun, DirectoryNamedLikeTheFileIsPermissionDenied) {
  ASSERT_EQ(::mkdir(dir_.file("ispis.dat").c_str(), 0755), 0);
  const ProgramResult result = run_crt(without_traceback());
  EXPECT_EQ(result.exit_status, 9);
  EXPECT_EQ(result.standard_error, file_message(9, "permission to access file denied"));
}

TEST_F(CrtRun, FileWithoutWriteBitsIsReadOnlyAndStaysUnchanged) {
  write_file(dir_.file("ispis.dat"), "old content\n");
  ASSERT_EQ(::chmod(dir_.file("ispis.dat").c_str(), 0444), 0);
  const ProgramResult result = run_crt(without_traceback());
  EXPECT_EQ(result.exit_status, 47);
  EXPECT_EQ(result.standard_error, file_message(47, "write to READONLY file"));
  EXPECT_EQ(data(), "old content\n");
}

TEST_F(CrtRun, FileLockedByAnotherProcessIsOpenedReadOnly) {
  write_file(dir_.file("ispis.dat"), "held elsewhere\n");
  const int fd = ::open(dir_.file("ispis.dat").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  struct flock whole_file {};
  whole_file.l_type = F_WRLCK;
  whole_file.l_whence = SEEK_SET;
  ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &whole_file), 0);
  const ProgramResult result = run_crt(without_traceback());
  ::close(fd);
  EXPECT_EQ(result.exit_status, 47);
  EXPECT_EQ(result.standard_error, file_message(47, "write to READONLY file"));
  EXPECT_EQ(data(), "held elsewhere\n");
}

TEST_F(CrtRun, FullDeviceIsAWriteErrorWithItsReason) {
  ASSERT_EQ(::symlink("/dev/full", dir_.file("ispis.dat").c_str()), 0);
  const ProgramResult result = run_crt(without_traceback());
  EXPECT_EQ(result.exit_status, 38);
  EXPECT_EQ(result.standard_error, reason_line(ENOSPC) + file_message(38, "error during write"));
}

TEST_F(CrtRun, SymlinkLoopIsAnOpenFailureWithItsReason) {
  ASSERT_EQ(::symlink("ispis.dat", dir_.file("ispis.dat").c_str()), 0);
  const ProgramResult result = run_crt(without_traceback());
  EXPECT_EQ(result.exit_status, 30);
  EXPECT_EQ(result.standard_error, reason_line(ELOOP) + file_message(30, "open failure"));
}

TEST_F(CrtRun, SocketNamedLikeTheFileIsNoSuchDevice) {
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = dir_.file("ispis.dat");
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const ProgramResult result = run_crt(without_traceback());
  ::close(sock);
  EXPECT_EQ(result.exit_status, 42);
  EXPECT_EQ(result.standard_error, file_message(42, "no such device"));
}

TEST_F(CrtRun, RemovedCurrentDirectoryIsFileNotFound) {
  TempDir doomed;
  const std::string directory = doomed.file("gone");
  ASSERT_EQ(::mkdir(directory.c_str(), 0755), 0);
  // The program starts in the directory, which is removed as it starts:
  // the shell changes into it, removes it, then becomes crt.
  const std::string script = "cd '" + directory + "' && rmdir '" + directory + "' && PATH=/nonexistent exec '" CRT_EXECUTABLE "'";
  const ProgramResult result = testing_support::run_program(
      "/bin/sh", ProgramOptions{{"-c", script}, without_traceback(), {}});
  EXPECT_EQ(result.exit_status, 29);
  EXPECT_EQ(result.standard_error, message(29, "file not found, unit 7, file ispis.dat"));
}

TEST_F(CrtRun, WriteFailureMidRunKeepsEveryEarlierRecord) {
  // A file size limit of 100 records: the 101st write fails.
  const std::string script = "ulimit -f 100 && trap '' XFSZ && exec '" CRT_EXECUTABLE "'";
  const ProgramResult result = testing_support::run_program(
      "/bin/sh", ProgramOptions{{"-c", script}, without_traceback({{"PATH", "/nonexistent"}}), dir_.path()});
  EXPECT_EQ(result.exit_status, 38);
  EXPECT_EQ(result.standard_error, reason_line(EFBIG) + file_message(38, "error during write"));
  const std::string bytes = data();
  EXPECT_EQ(bytes.size() % RECORD_SIZE, 0u);
  ASSERT_GT(bytes.size(), 0u);
  EXPECT_EQ(bytes, normal_run_data().substr(0, bytes.size()));
}

}  // namespace
