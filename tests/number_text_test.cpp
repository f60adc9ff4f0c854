// The 15-character field of a single, checked from stored bit patterns so
// that no decimal literal's own rounding stands between the test and the
// value under test.
#include "output/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

std::string field_of(std::uint32_t bits) {
  const output::PointField field = output::format_point_value(std::bit_cast<float>(bits));
  return std::string(field.begin(), field.end());
}

struct FieldCase {
  const char* hazard;
  std::uint32_t bits;
  const char* field;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.hazard; }

class PointFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(PointFieldTest, GivesTheExactField) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(field_of(c.bits), c.field) << c.hazard << ", bits " << std::hex << c.bits;
}

// Every case of the documented field table, by stored bits.
const FieldCase DOCUMENTED_FIELDS[] = {
    {"minus one", 0xBF800000, "  -1.000000    "},
    {"one", 0x3F800000, "   1.000000    "},
    {"negative below one", 0xBF7EF9DB, " -0.9960000    "},
    {"one half", 0x3F000000, "  0.5000000    "},
    {"stored 0.1, lowest fixed", 0x3DCCCCCD, "  0.1000000    "},
    {"grid step, eight digits", 0x3B83126F, "  4.0000002E-03"},
    {"zero", 0x00000000, "  0.0000000E+00"},
    {"negative zero", 0x80000000, "  0.0000000E+00"},
    {"grid value next to zero", 0x334C0000, "  4.7497451E-08"},
    {"highest fixed, lone point", 0x4B18967F, "   9999999.    "},
    {"ten million, exponent form", 0x4B189680, "  1.0000000E+07"},
    {"just below 0.1", 0x3DCCCCCB, "  9.9999987E-02"},
    {"one fraction digit", 0x47F1205A, "   123456.7    "},
    {"hundred", 0x42C80000, "   100.0000    "},
    {"seven integer digits", 0x4996B438, "   1234567.    "},
    {"two fraction digits", 0x47C34FFF, "   99999.99    "},
    {"largest below 0.1", 0x3DCCCCCC, "  9.9999994E-02"},
    {"negative largest below 0.1", 0xBDCCCCCC, " -9.9999994E-02"},
    {"last grid value", 0x3F800001, "   1.000000    "},
    {"negative grid value below 0.1", 0xBDCCCCC7, " -9.9999957E-02"},
    {"grid value above 0.1", 0x3DCCCCD4, "  0.1000001    "},
    {"1.0E-10", 0x2EDBE6FF, "  1.0000000E-10"},
    {"negative large", 0xE158D727, " -2.5000001E+20"},
    {"carry at the eighth digit", 0x5368D4A5, "  1.0000000E+12"},
    {"fixed tie to even, down", 0x49800004, "   1048576.    "},
    {"fixed tie to even, up", 0x4980000C, "   1048578.    "},
    {"fixed tie below one, down", 0x3DE80000, "  0.1132812    "},
    {"fixed tie below one, up", 0x3DD80000, "  0.1054688    "},
    {"exponent tie, down", 0x3C500000, "  1.2695312E-02"},
    {"exponent tie, up", 0x3C300000, "  1.0742188E-02"},
    {"smallest subnormal", 0x00000001, "  1.4012985E-45"},
    {"negative smallest subnormal", 0x80000001, " -1.4012985E-45"},
    {"largest subnormal", 0x007FFFFF, "  1.1754942E-38"},
    {"smallest normal", 0x00800000, "  1.1754944E-38"},
    {"largest finite", 0x7F7FFFFF, "  3.4028235E+38"},
    {"negative largest finite", 0xFF7FFFFF, " -3.4028235E+38"},
    {"infinity", 0x7F800000, " Infinity      "},
    {"negative infinity", 0xFF800000, " -Infinity     "},
    {"quiet NaN", 0x7FC00000, " NaN           "},
    {"NaN with the sign bit", 0xFFC00000, " NaN           "},
    {"signalling NaN", 0x7F800001, " NaN           "},
};
INSTANTIATE_TEST_SUITE_P(Documented, PointFieldTest, ::testing::ValuesIn(DOCUMENTED_FIELDS));

// Further hazards: the negative side of each form, the largest value below
// each power of ten where the digit count changes, values that need all
// eight digits exactly, and NaN payloads.
const FieldCase HAZARD_FIELDS[] = {
    {"exact eight digits", 0x4B800001, "  1.6777218E+07"},
    {"exact eight digits, larger", 0x4C000001, "  3.3554436E+07"},
    {"negative exponent tie", 0xBC500000, " -1.2695312E-02"},
    {"negative fixed tie to even", 0xC980000C, "  -1048578.    "},
    {"negative lone point", 0xCB18967F, "  -9999999.    "},
    {"negative ten million", 0xCB189680, " -1.0000000E+07"},
    {"negative stored 0.1", 0xBDCCCCCD, " -0.1000000    "},
    {"single above stored 0.1", 0x3DCCCCCE, "  0.1000000    "},
    {"largest below one", 0x3F7FFFFF, "  0.9999999    "},
    {"largest below ten", 0x411FFFFF, "   9.999999    "},
    {"largest below one thousand", 0x4479FFFF, "   999.9999    "},
    {"one thousand", 0x447A0000, "   1000.000    "},
    {"largest below ten thousand", 0x461C3FFF, "   9999.999    "},
    {"largest below one million", 0x497423FF, "   999999.9    "},
    {"one million", 0x49742400, "   1000000.    "},
    {"second smallest subnormal", 0x00000002, "  2.8025969E-45"},
    {"NaN with full payload", 0x7FFFFFFF, " NaN           "},
    {"negative signalling NaN", 0xFF800001, " NaN           "},
};
INSTANTIATE_TEST_SUITE_P(Hazards, PointFieldTest, ::testing::ValuesIn(HAZARD_FIELDS));

TEST(PointFieldShape, PositiveFiniteFieldsStartWithTwoBlanksOthersWithOne) {
  // Sampled across the whole range of patterns, both signs.
  for (std::uint64_t pattern = 0; pattern < 0x100000000u; pattern += 0x00010001u) {
    const auto bits = static_cast<std::uint32_t>(pattern);
    const std::string field = field_of(bits);
    ASSERT_EQ(field.size(), 15u);
    EXPECT_EQ(field[0], ' ') << std::hex << bits;
    const float value = std::bit_cast<float>(bits);
    if (std::isfinite(value) && value > 0) {
      EXPECT_EQ(field[1], ' ') << std::hex << bits << " \"" << field << '"';
    }
  }
}

TEST(PointFieldShape, WritesExactlyTheFifteenCharactersOfTheField) {
  char record[17];
  std::fill(std::begin(record), std::end(record), '#');
  output::format_point_value(-3.4028235e38f, record + 1);
  EXPECT_EQ(std::string(record, 17), "# -3.4028235E+38#");
}

}  // namespace
