#include "output/record_layout.h"

#include <gtest/gtest.h>

namespace {

using output::RecordLengthSyntax;

struct LayoutCase {
  const char* value;
  RecordLengthSyntax syntax;
  unsigned capacity;
  std::size_t area;
  std::size_t buffer;
  friend void PrintTo(const LayoutCase& c, std::ostream* out) { *out << '"' << (c.value ? c.value : "(unset)") << '"'; }
};

class RecordLength : public testing::TestWithParam<LayoutCase> {};

TEST_P(RecordLength, GivesItsLayout) {
  const LayoutCase& c = GetParam();
  const output::RecordLengthSetting setting = output::parse_record_length(c.value);
  EXPECT_EQ(setting.syntax, c.syntax);
  if (c.syntax != RecordLengthSyntax::valid) return;
  EXPECT_EQ(setting.layout.line_capacity, c.capacity);
  EXPECT_EQ(setting.layout.record_area, c.area);
  EXPECT_EQ(setting.layout.buffer_size, c.buffer);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RecordLength,
    testing::Values(LayoutCase{nullptr, RecordLengthSyntax::valid, 80, 134, 8192},
                    LayoutCase{"", RecordLengthSyntax::valid, 80, 134, 8192},
                    LayoutCase{"0", RecordLengthSyntax::valid, 80, 134, 8192},
                    LayoutCase{"000", RecordLengthSyntax::valid, 80, 134, 8192},
                    LayoutCase{"20", RecordLengthSyntax::valid, 21, 21, 8192},
                    LayoutCase{"29", RecordLengthSyntax::valid, 30, 30, 8192},
                    LayoutCase{"8188", RecordLengthSyntax::valid, 8189, 8189, 8193},
                    LayoutCase{"65535", RecordLengthSyntax::valid, 0, 65536, 65540},
                    LayoutCase{"65550", RecordLengthSyntax::valid, 15, 65551, 65555},
                    LayoutCase{"abc", RecordLengthSyntax::malformed, 0, 0, 0},
                    LayoutCase{"-1", RecordLengthSyntax::malformed, 0, 0, 0},
                    LayoutCase{" 20", RecordLengthSyntax::malformed, 0, 0, 0},
                    LayoutCase{"20 ", RecordLengthSyntax::malformed, 0, 0, 0},
                    LayoutCase{"99999999999999999999999x", RecordLengthSyntax::malformed, 0, 0, 0},
                    LayoutCase{"99999999999999999999999", RecordLengthSyntax::too_large, 0, 0, 0}));

TEST(RecordLayout, HoldMarginKeepsTheNextRecordInsideTheBuffer) {
  for (const char* value : {"1", "13", "14", "20", "79", "200"}) {
    const output::RecordLayout layout = output::parse_record_length(value).layout;
    EXPECT_GE(layout.hold_margin(), layout.longest_record() + 2) << value;
    EXPECT_GE(layout.hold_margin(), 2 * layout.record_area) << value;
  }
  EXPECT_EQ(output::RecordLayout{}.hold_margin(), 268u);
}

}  // namespace
