#include "launch/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using namespace std::string_literals;

struct TrimCase {
  const char* name;
  std::string command;  // exactly the characters passed, by their length
  std::string expected;
};

void PrintTo(const TrimCase& c, std::ostream* os) { *os << c.name; }

class WithoutTrailingBlanks : public testing::TestWithParam<TrimCase> {};

TEST_P(WithoutTrailingBlanks, RemovesOnlyTrailingBlanks) {
  EXPECT_EQ(launch::without_trailing_blanks(GetParam().command), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, WithoutTrailingBlanks,
    testing::Values(TrimCase{"NothingToRemove", "gnuplot crt.dem", "gnuplot crt.dem"},
                    TrimCase{"TwoTrailingBlanks", "abc  ", "abc"},
                    TrimCase{"TrailingTabKept", "abc\t", "abc\t"},
                    TrimCase{"BlanksBeforeTabKept", "abc \t", "abc \t"},
                    TrimCase{"TabBeforeBlanksKept", "abc\t  ", "abc\t"},
                    TrimCase{"LeadingAndInnerBlanksKept", "  a  b  ", "  a  b"},
                    TrimCase{"OtherWhiteSpaceKept", "abc\n\r\v\f", "abc\n\r\v\f"},
                    TrimCase{"OnlyBlanks", "   ", ""}, TrimCase{"Empty", "", ""},
                    TrimCase{"ZeroByteIsNotABlank", "abc\0 "s, "abc\0"s}),
    [](const testing::TestParamInfo<TrimCase>& info) { return info.param.name; });

TEST(InterpreterCommandLine, PlotCommandFollowsOneBlankAfterTheSwitch) {
  EXPECT_EQ(launch::interpreter_command_line("C:\\WINDOWS\\system32", "D:\\GNUPLOT\\wgnuplot.exe crt.dem"),
            "C:\\WINDOWS\\system32\\cmd.exe /c D:\\GNUPLOT\\wgnuplot.exe crt.dem");
}

TEST(InterpreterCommandLine, LengthDecidesTheCommandAndTrailingBlanksGo) {
  const char* padded = "dir  and more";
  EXPECT_EQ(launch::interpreter_command_line("S", std::string_view(padded, 5)),
            launch::interpreter_command_line("S", std::string_view(padded, 3)));
  EXPECT_EQ(launch::interpreter_command_line("S", std::string_view(padded, 5)), "S\\cmd.exe /c dir");
}

TEST(InterpreterCommandLine, TrailingTabStays) {
  EXPECT_EQ(launch::interpreter_command_line("S", "dir\t"), "S\\cmd.exe /c dir\t");
}

}  // namespace
