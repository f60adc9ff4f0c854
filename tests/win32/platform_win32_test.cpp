// Tests of the Windows backend of the platform interface, run under Wine in
// CI: the file operations and their failure reasons, the identity query,
// the text-mode standard error, the process end, the command interpreter,
// signal dispositions, the stack walk and the processor-exception filter.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"
#include "support/process.h"
#include "win32/current_directory.h"
#include "win32/file_holder.h"
#include "win32/wine.h"

namespace {

using platform::FileHandle;
using platform::FileIdentity;
using platform::NameLookup;
using platform::Reason;
using test_win32::CurrentTempDir;
using testing_support::ProgramResult;
using testing_support::read_file;
using testing_support::write_file;

platform::FileSystem& files() { return platform::system_files(); }

ProgramResult run_helper(std::vector<std::string> arguments, const std::string& directory = "") {
  return testing_support::run_program(CRT_WIN32_HELPER, {std::move(arguments), {}, directory});
}



class FilesTest : public testing::Test {
 protected:
  CurrentTempDir directory_;
};

TEST_F(FilesTest, FullPathFoldsTheNameInTheCurrentDirectory) {
  std::string path;
  ASSERT_TRUE(files().full_path("sub\\..\\.\\ispis.dat", 256, path));
  EXPECT_EQ(path, directory_.path() + "\\ispis.dat");
}

TEST_F(FilesTest, FullPathLongerThanTheLimitIsNotGiven) {
  std::string path;
  std::string name(300, 'a');
  EXPECT_FALSE(files().full_path(name, 256, path));
  EXPECT_EQ(files().last_failure().reason, Reason::filename_exceeds_range);
  // Exactly at the limit it is still given.
  std::size_t room = 256 - directory_.path().size() - 1;
  ASSERT_TRUE(files().full_path(std::string(room, 'b'), 256, path));
  EXPECT_EQ(path.size(), 256u);
}

TEST_F(FilesTest, OpenReadWriteCreatesEmptyAndKeepsExistingContent) {
  FileHandle handle;
  ASSERT_TRUE(files().open_read_write("new.dat", handle));
  EXPECT_EQ(files().kind(handle), platform::FileKind::disk);
  EXPECT_TRUE(files().close(handle));
  EXPECT_EQ(std::filesystem::file_size("new.dat"), 0u);

  write_file("old.dat", "0123456789");
  ASSERT_TRUE(files().open_read_write("old.dat", handle));
  ASSERT_TRUE(files().write(handle, "ab", 2));
  EXPECT_TRUE(files().close(handle));
  EXPECT_EQ(read_file("old.dat"), "ab23456789");
}

TEST_F(FilesTest, CutAtPositionEndsTheFileAfterTheWrittenBytes) {
  write_file("cut.dat", std::string(100, 'x'));
  FileHandle handle;
  ASSERT_TRUE(files().open_read_write("cut.dat", handle));
  ASSERT_TRUE(files().write(handle, "record\r\n", 8));
  ASSERT_TRUE(files().cut_at_position(handle));
  ASSERT_TRUE(files().write(handle, "next\r\n", 6));
  EXPECT_TRUE(files().close(handle));
  EXPECT_EQ(read_file("cut.dat"), "record\r\nnext\r\n");
}

TEST_F(FilesTest, SecondWriterGetsSharingViolationAndMayStillRead) {
  FileHandle writer;
  ASSERT_TRUE(files().open_read_write("shared.dat", writer));
  FileHandle second;
  EXPECT_FALSE(files().open_read_write("shared.dat", second));
  EXPECT_EQ(files().last_failure().reason, Reason::sharing_violation);
  EXPECT_EQ(files().last_failure().native, 32);
  // Read alone, not sharing writing, conflicts with the writer as well.
  EXPECT_FALSE(files().open_read_only("shared.dat", platform::ReadOnlyRetry::after_access_denied,
                                      second));
  EXPECT_EQ(files().last_failure().reason, Reason::sharing_violation);
  ASSERT_TRUE(files().open_read_only("shared.dat",
                                     platform::ReadOnlyRetry::after_sharing_violation, second));
  EXPECT_TRUE(files().close(second));
  EXPECT_TRUE(files().close(writer));
}

TEST_F(FilesTest, AnotherProcessHoldingTheFileForcesTheReadOnlyRetry) {
  test_win32::FileHolder holder("ispis.dat");
  ASSERT_TRUE(holder.holding());

  FileHandle handle;
  EXPECT_FALSE(files().open_read_write("ispis.dat", handle));
  EXPECT_EQ(files().last_failure().reason, Reason::sharing_violation);
  ASSERT_TRUE(files().open_read_only("ispis.dat",
                                     platform::ReadOnlyRetry::after_sharing_violation, handle));
  EXPECT_TRUE(files().close(handle));

  EXPECT_EQ(holder.release(), 0);
}

TEST_F(FilesTest, DirectoryCannotBeOpenedEvenForReading) {
  std::filesystem::create_directory("ispis.dat");
  FileHandle handle;
  EXPECT_FALSE(files().open_read_write("ispis.dat", handle));
  EXPECT_EQ(files().last_failure().reason, Reason::access_denied);
  EXPECT_FALSE(files().open_read_only("ispis.dat", platform::ReadOnlyRetry::after_access_denied,
                                      handle));
  EXPECT_EQ(files().last_failure().reason, Reason::access_denied);
}

TEST_F(FilesTest, ReadOnlyFileRefusesWritingButOpensForReading) {
  if (test_win32::running_as_root_under_wine()) {
    GTEST_SKIP() << "Wine running as root opens a read-only file for writing";
  }
  write_file("locked.dat", "kept");
  ASSERT_TRUE(SetFileAttributesA("locked.dat", FILE_ATTRIBUTE_READONLY));
  FileHandle handle;
  EXPECT_FALSE(files().open_read_write("locked.dat", handle));
  EXPECT_EQ(files().last_failure().reason, Reason::access_denied);
  ASSERT_TRUE(files().open_read_only("locked.dat", platform::ReadOnlyRetry::after_access_denied,
                                     handle));
  EXPECT_TRUE(files().close(handle));
}

TEST_F(FilesTest, MissingDirectoryIsPathNotFound) {
  FileHandle handle;
  EXPECT_FALSE(files().open_read_write("no\\such\\dir\\ispis.dat", handle));
  EXPECT_EQ(files().last_failure().reason, Reason::path_not_found);
}

TEST_F(FilesTest, LookupGivesTheIdentityOfTheOpenFile) {
  FileHandle handle;
  ASSERT_TRUE(files().open_read_write("ispis.dat", handle));
  FileIdentity open_identity;
  ASSERT_TRUE(files().identity(handle, open_identity));
  // The second lookup takes the volume from the cache of the directory.
  for (int round = 0; round < 2; ++round) {
    FileIdentity looked_up;
    ASSERT_EQ(files().lookup("ispis.dat", looked_up), NameLookup::found);
    EXPECT_EQ(looked_up, open_identity) << "round " << round;
  }
  FileIdentity through_full_path;
  ASSERT_EQ(files().lookup(directory_.path() + "\\ispis.dat", through_full_path), NameLookup::found);
  EXPECT_EQ(through_full_path, open_identity);
  EXPECT_TRUE(files().close(handle));
}

TEST_F(FilesTest, LookupTellsAnotherFileMissingAndFailedApart) {
  FileHandle handle;
  ASSERT_TRUE(files().open_read_write("ispis.dat", handle));
  FileIdentity open_identity;
  ASSERT_TRUE(files().identity(handle, open_identity));
  write_file("other.dat", "");
  FileIdentity other;
  ASSERT_EQ(files().lookup("other.dat", other), NameLookup::found);
  EXPECT_NE(other, open_identity);

  FileIdentity none;
  EXPECT_EQ(files().lookup("missing.dat", none), NameLookup::missing);
  EXPECT_EQ(files().lookup("no\\such\\dir\\ispis.dat", none), NameLookup::missing);
  // A directory cannot be opened by the query: nothing is known of it, and
  // that is not the same as missing.
  std::filesystem::create_directory("adir");
  EXPECT_EQ(files().lookup("adir", none), NameLookup::failed);
  EXPECT_EQ(files().last_failure().reason, Reason::access_denied);
  EXPECT_TRUE(files().close(handle));
}

TEST_F(FilesTest, LookupSeesAFileReplacedUnderTheSameName) {
  write_file("ispis.dat", "first");
  FileIdentity before;
  ASSERT_EQ(files().lookup("ispis.dat", before), NameLookup::found);
  ASSERT_TRUE(MoveFileA("ispis.dat", "moved.dat"));
  write_file("ispis.dat", "second");
  FileIdentity after;
  ASSERT_EQ(files().lookup("ispis.dat", after), NameLookup::found);
  EXPECT_NE(after, before);
  FileIdentity moved;
  ASSERT_EQ(files().lookup("moved.dat", moved), NameLookup::found);
  EXPECT_EQ(moved, before);
}

TEST_F(FilesTest, OpenAppendAddsAtTheEnd) {
  write_file("log.txt", "one\r\n");
  FileHandle handle;
  ASSERT_TRUE(files().open_append("log.txt", handle));
  ASSERT_TRUE(files().write(handle, "two\r\n", 5));
  EXPECT_TRUE(files().close(handle));
  EXPECT_EQ(read_file("log.txt"), "one\r\ntwo\r\n");
}

TEST(Failures, DescriptionIsTheSystemMessageWithItsLineEnd) {
  for (int error : {2, 5, 32, 112}) {
    std::string text = platform::describe_failure({static_cast<Reason>(error), error});
    ASSERT_GE(text.size(), 3u) << error;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << error;
  }
  // No system message for an application-defined number.
  EXPECT_EQ(platform::describe_failure({platform::unmapped_reason(12345), 0x20003039}), "");
}

TEST(StandardError, TextModeTurnsEachLineFeedIntoCrLf) {
  ProgramResult result = run_helper({"stderr-text", "line\r\nnext\n"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_error, "line\r\r\nnext\r\n");
  EXPECT_EQ(result.standard_output, "");
}

TEST(StandardError, RedirectionAppendsInTextModeOrLeavesStandardError) {
  CurrentTempDir directory;
  write_file("fort0.txt", "before\r\n");
  ProgramResult redirected = run_helper({"redirect", "fort0.txt", "after\n"}, directory.path());
  EXPECT_EQ(redirected.standard_error, "");
  EXPECT_EQ(read_file("fort0.txt"), "before\r\nafter\r\n");

  ProgramResult kept = run_helper({"redirect", "no\\such\\dir\\fort0.txt", "kept\n"});
  EXPECT_EQ(kept.standard_error, "kept\r\n");
}

TEST(StandardError, AppendTextToFileWritesInTextMode) {
  CurrentTempDir directory;
  ASSERT_TRUE(platform::append_text_to_file("log.txt", "a\r\n", 3));
  ASSERT_TRUE(platform::append_text_to_file("log.txt", "b\n", 2));
  EXPECT_EQ(read_file("log.txt"), "a\r\r\nb\r\n");
  EXPECT_FALSE(platform::append_text_to_file("no\\such\\dir\\log.txt", "c", 1));
}

TEST(ProcessEnd, ExitFlushesTheStreamsAndExitNowDoesNot) {
  ProgramResult flushed = run_helper({"exit", "kept"});
  EXPECT_EQ(flushed.exit_status, 8);
  EXPECT_EQ(flushed.standard_output, "kept");
  ProgramResult abrupt = run_helper({"exit-now", "lost"});
  EXPECT_EQ(abrupt.exit_status, 7);
  EXPECT_EQ(abrupt.standard_output, "");
}

TEST(ProcessEnd, ControlCStatusIsTheSystemsOwn) {
  EXPECT_EQ(static_cast<unsigned>(platform::CONTROL_C_EXIT_STATUS), 0xC000013Au);
}

TEST(CommandInterpreter, ReturnsTheInterpretersExitStatus) {
  struct Case {
    const char* command;
    int status;
  } cases[] = {
      {"exit 3", 3},
      {"exit 3  ", 3},      // trailing blanks are dropped
      {"exit 0", 0},
      {"exit 300", 300},
      {"exit -1", -1},      // indistinguishable from a failure to run, as intended
      {"nosuchprogram_xyz", 9009},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::run_command_interpreter(c.command), c.status) << c.command;
  }
}

TEST(CommandInterpreter, MissingInterpreterGivesMinusOne) {
  EXPECT_EQ(platform::run_command_interpreter_at("C:\\no\\such\\cmd.exe", "exit 3"), -1);
  char system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
  EXPECT_EQ(platform::run_command_interpreter_at(std::string(system) + "\\cmd.exe", "exit 4"), 4);
}

void own_handler(int) {}

TEST(SignalDispositions, OnlyAHandlerOfTheProgramsOwnCounts) {
  EXPECT_FALSE(platform::has_own_signal_handler(platform::Signal::interrupt));
  auto previous = std::signal(SIGINT, own_handler);
  EXPECT_TRUE(platform::has_own_signal_handler(platform::Signal::interrupt));
  // The check leaves the handler in place.
  EXPECT_EQ(std::signal(SIGINT, SIG_IGN), own_handler);
  EXPECT_FALSE(platform::has_own_signal_handler(platform::Signal::interrupt));
  std::signal(SIGINT, previous);
  EXPECT_FALSE(platform::has_own_signal_handler(platform::Signal::break_));
  EXPECT_FALSE(platform::has_own_signal_handler(platform::Signal::segmentation));
}

struct CollectedFrames {
  std::vector<platform::StackFrame> frames;
};

bool collect(const platform::StackFrame& frame, void* data) {
  static_cast<CollectedFrames*>(data)->frames.push_back(frame);
  return true;
}

TEST(StackWalk, FramesNameTheImageAndGiveOffsetsWithinIt) {
  platform::prepare_stack_walk();
  CollectedFrames collected;
  EXPECT_TRUE(platform::walk_stack(nullptr, collect, &collected));
  ASSERT_GE(collected.frames.size(), 3u);

  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string own_image = std::filesystem::path(path).filename().string();
  // The walk starts in the walking code itself, inside this executable.
  EXPECT_EQ(collected.frames[0].image, own_image);
  auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  EXPECT_LT(collected.frames[0].pc, base);
  EXPECT_EQ(collected.frames.back().return_offset, 0u);
}

TEST(StackWalk, StopsWhenTheVisitorSaysSo) {
  int visits = 0;
  auto once = [](const platform::StackFrame&, void* data) {
    ++*static_cast<int*>(data);
    return false;
  };
  EXPECT_TRUE(platform::walk_stack(nullptr, once, &visits));
  EXPECT_EQ(visits, 1);
}

TEST(ProcessorException, NullWriteReachesTheHandlerWithItsCodeAndImage) {
  ProgramResult result = run_helper({"fault"});
  EXPECT_EQ(result.exit_status, 157);
  std::string image = std::filesystem::path(CRT_WIN32_HELPER).filename().string();
  EXPECT_EQ(result.standard_error, "code=C0000005\r\nimage=" + image + "\r\n");
}

TEST(ProcessorContext, RegistersStandUnderTheirHeadingsWithinTheRoom) {
  CONTEXT context{};
  context.Rip = 0x1234;
  context.Rax = 0xABCDEF;
  context.FltSave.XmmRegisters[15].Low = 0x42;
  platform::ProcessorException exception{0xC0000005u, 0x1234, &context};
  char buffer[4096];
  std::size_t size = platform::describe_processor_context(exception, buffer, sizeof buffer);
  std::string text(buffer, size);
  EXPECT_EQ(text.rfind("Exception Context:  Processor Control and Status Registers.\n", 0), 0u);
  EXPECT_NE(text.find("RIP:     0000000000001234"), std::string::npos);
  EXPECT_NE(text.find("RAX:     0000000000abcdef"), std::string::npos);
  EXPECT_NE(text.find("Exception Context:  Processor Integer Registers.\n"), std::string::npos);
  EXPECT_NE(text.find("Exception Context:  Processor Segment Registers.\n"), std::string::npos);
  EXPECT_NE(text.find("Exception Context:  Floating Point Save Area.\n"), std::string::npos);
  EXPECT_NE(text.find("XMM15:    00000000000000000000000000000042\n"), std::string::npos);
  EXPECT_EQ(platform::describe_processor_context(exception, buffer, 10), 10u);
}

}  // namespace
