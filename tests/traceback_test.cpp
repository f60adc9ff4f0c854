// The lines of the traceback, formatted from fake frames.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/traceback_format.h"

namespace {

platform::StackFrame fake_frame(const char* image, std::uintptr_t pc) {
  platform::StackFrame frame;
  std::strncpy(frame.image, image, sizeof frame.image - 1);
  frame.pc = pc;
  frame.return_offset = 0x7FFDE4A01234u;
  frame.frame_offset = 0x10;
  frame.stack_offset = 0xABCDEF12u;
  frame.params[0] = 1;
  frame.params[1] = 0xFFFFFFFFu;
  frame.params[2] = 0x123456789u;
  frame.params[3] = 0;
  return frame;
}

template <typename Format>
std::string format(Format write, std::size_t room = 4096) {
  std::string buffer(room, '\0');
  runtime::TextSink sink(buffer.data(), room);
  write(sink);
  return buffer.substr(0, sink.size());
}

TEST(TracebackShortForm, HeaderIsTheFiveColumnTitlesIn79CharactersAndLf) {
  const std::string header = format([](runtime::TextSink& s) { runtime::append_short_header(s); });
  EXPECT_EQ(header,
            "Image              PC        Routine            Line        Source             \n");
  EXPECT_EQ(header.size(), 80u);
}

TEST(TracebackShortForm, FrameLines) {
  struct Case {
    const char* image;
    std::uintptr_t pc;
    const char* line;
  } cases[] = {
      {"crt", 0x1A2B3,
       "crt                0001A2B3  Unknown               Unknown  Unknown\n"},
      // Image names are cut to 17 characters.
      {"a_rather_long_library_name.so.6", 0xDEADBEEF,
       "a_rather_long_lib  DEADBEEF  Unknown               Unknown  Unknown\n"},
      // An image that cannot be found leaves the column blank.
      {"", 0,
       "                   00000000  Unknown               Unknown  Unknown\n"},
      // A pc outside every image keeps all its digits.
      {"", 0x7F0012345678u,
       "                   7F0012345678  Unknown               Unknown  Unknown\n"},
  };
  for (const Case& c : cases) {
    const platform::StackFrame frame = fake_frame(c.image, c.pc);
    EXPECT_EQ(format([&](runtime::TextSink& s) { runtime::append_short_frame(s, frame); }), c.line)
        << c.image;
  }
}

TEST(TracebackLongForm, HeaderAndFrameBlock) {
  EXPECT_EQ(format([](runtime::TextSink& s) { runtime::append_long_header(s); }),
            "\n\nTraceback symbolic or hex stack dump follows:\n\n");

  const platform::StackFrame frame = fake_frame("crt", 0x1A2B3);
  EXPECT_EQ(format([&](runtime::TextSink& s) { runtime::append_long_frame(s, 12, frame); }),
            "--------- Frame # 12 ---------------------------------------\n"
            "\n"
            "Image:         crt\n"
            "PC:            0001a2b3\n"
            "Routine name:  Unknown\n"
            "Source file:   Unknown\n"
            "Line number:   Unknown\n"
            "\n"
            "Info from StackFrame is:\n"
            "\n"
            "PC.Offset:       0001A2B3  PC.Segment:       0000  PC.Mode:       AddrModeFlat\n"
            "Return.Offset:   7FFDE4A01234  Return.Segment:   0000  Return.Mode:   AddrModeFlat\n"
            "Frame.Offset:    00000010  Frame.Segment:    0000  Frame.Mode:    AddrModeFlat\n"
            "Stack.Offset:    ABCDEF12  Stack.Segment:    0000  Stack.Mode:    AddrModeFlat\n"
            "\n"
            "Params[0]:       00000001  Params[1]:   FFFFFFFF\n"
            "Params[2]:       123456789  Params[3]:   00000000\n"
            "\n");
}

TEST(TracebackEnds, AbnormalEndAndContextTitle) {
  EXPECT_EQ(format([](runtime::TextSink& s) { runtime::append_abnormal_end(s); }),
            "\nStack trace terminated abnormally.\n");
  EXPECT_EQ(format([](runtime::TextSink& s) { runtime::append_context_dump_title(s); }),
            "\nHex Dump Of Exception Record Context Information:\n\n");
}

// A line that does not fit is cut at the limit, and nothing follows it.
TEST(TracebackCut, TextStopsAtTheRoomAndStaysCut) {
  const platform::StackFrame frame = fake_frame("crt", 0x1A2B3);
  for (std::size_t room : {std::size_t{0}, std::size_t{1}, std::size_t{79}, std::size_t{80},
                           std::size_t{81}, std::size_t{100}}) {
    std::string buffer(room + 8, '#');
    runtime::TextSink sink(buffer.data(), room);
    runtime::append_short_header(sink);
    runtime::append_short_frame(sink, frame);
    runtime::append_abnormal_end(sink);

    const std::string whole = format([&](runtime::TextSink& s) {
      runtime::append_short_header(s);
      runtime::append_short_frame(s, frame);
      runtime::append_abnormal_end(s);
    });
    ASSERT_LT(room, whole.size());
    EXPECT_EQ(sink.size(), room);
    EXPECT_TRUE(sink.full()) << room;
    EXPECT_EQ(buffer.substr(0, room), whole.substr(0, room)) << room;
    EXPECT_EQ(buffer.substr(room), std::string(8, '#')) << "written past the room " << room;
  }
}

TEST(TracebackCut, TextThatFitsExactlyIsWhole) {
  std::string buffer(80, '\0');
  runtime::TextSink sink(buffer.data(), buffer.size());
  runtime::append_short_header(sink);
  EXPECT_EQ(sink.size(), 80u);
  EXPECT_FALSE(sink.full());
}

}  // namespace
