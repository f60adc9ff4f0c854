// The curve tracer: grid, curve function, pair test and both sweeps, with
// the sweeps run into a sink that collects what the point file would get.
#include "trace/curve_tracer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace {

using trace::CrossingPoint;
using trace::GRID_POINTS;

constexpr int PAIRS_PER_LINE = GRID_POINTS - 1;
constexpr int PAIRS_PER_SWEEP = GRID_POINTS * PAIRS_PER_LINE;

std::uint32_t bits_of(float value) { return std::bit_cast<std::uint32_t>(value); }

// ---------------------------------------------------------------------------
// Grid
// ---------------------------------------------------------------------------

struct GridCase {
  int index;
  std::uint32_t bits;
};

TEST(Grid, ValuesHaveTheirExactBits) {
  const GridCase cases[] = {
      {1, 0xBF800000},    // -1 exactly
      {163, 0xBEB43957},  // -0.35199997, the first column with crossings
      {250, 0xBB831209},  // -0.0039999527
      {251, 0x334C0000},  // 4.7497451e-08, not zero
      {252, 0x3B8312D5},  // 0.0040000477
      {339, 0x3EB4395A},  // 0.35200006, the last column with crossings
      {413, 0x3F25E355},  // 0.64800006
      {501, 0x3F800001},  // 1.0000001, not 1
  };
  for (const GridCase& c : cases) {
    EXPECT_EQ(bits_of(trace::grid_value(c.index)), c.bits) << "grid value " << c.index;
    EXPECT_EQ(bits_of(trace::grid()[static_cast<std::size_t>(c.index - 1)]), c.bits)
        << "grid() at " << c.index;
  }
}

TEST(Grid, HoldsEveryGridValueNoneZeroNoneMirrored) {
  const trace::Grid& values = trace::grid();
  float nearest_zero = 1.0f;
  for (int i = 1; i <= GRID_POINTS; ++i) {
    const float value = values[static_cast<std::size_t>(i - 1)];
    EXPECT_EQ(bits_of(value), bits_of(trace::grid_value(i))) << i;
    EXPECT_NE(value, 0.0f) << i;
    EXPECT_NE(value, -values[static_cast<std::size_t>(GRID_POINTS - i)]) << i;
    if (std::fabs(value) < std::fabs(nearest_zero)) {
      nearest_zero = value;
    }
  }
  EXPECT_EQ(bits_of(nearest_zero), 0x334C0000u);
}

// ---------------------------------------------------------------------------
// Curve function
// ---------------------------------------------------------------------------

TEST(CurveValue, WorkedExampleOfTheFirstRecord) {
  const float x = trace::grid_value(163);
  EXPECT_EQ(bits_of(trace::curve_value(x, trace::grid_value(414))), 0x395BEF4Cu);
  EXPECT_EQ(bits_of(trace::curve_value(x, trace::grid_value(413))), 0xB98F13DAu);
}

// In single arithmetic these two become exactly 0.0 and add records.
TEST(CurveValue, StaysNonZeroWhereSingleArithmeticGivesZero) {
  const float near_zero = trace::grid_value(251);
  EXPECT_EQ(trace::curve_value(near_zero, near_zero), 2.0510384e-29f);
  EXPECT_GT(trace::curve_value(near_zero, -1.0f), 0.0f);
}

TEST(CurveValue, OverTheGridStaysInItsRangeAndNeverZero) {
  float lowest = std::numeric_limits<float>::max();
  float highest = std::numeric_limits<float>::lowest();
  float smallest_magnitude = std::numeric_limits<float>::max();
  int zeros = 0;
  for (const float x : trace::grid()) {
    for (const float y : trace::grid()) {
      const float f = trace::curve_value(x, y);
      lowest = std::min(lowest, f);
      highest = std::max(highest, f);
      smallest_magnitude = std::min(smallest_magnitude, std::fabs(f));
      zeros += f == 0.0f;
    }
  }
  EXPECT_EQ(zeros, 0);
  EXPECT_EQ(smallest_magnitude, 2.0510384e-29f);
  EXPECT_GE(lowest, -0.2499984f);
  EXPECT_LE(highest, 4.000002f);
}

// ---------------------------------------------------------------------------
// Pair test
// ---------------------------------------------------------------------------

enum class Yield { nothing, upper, lower };

struct PairCase {
  const char* name;
  float f_upper;
  float f_lower;
  Yield expected;
};

TEST(PairCrossing, DecidesByTheExactProductAndPrefersTheLowerValue) {
  constexpr float NAN_VALUE = std::numeric_limits<float>::quiet_NaN();
  constexpr float INF = std::numeric_limits<float>::infinity();
  const PairCase cases[] = {
      {"both positive", 0.5f, 0.25f, Yield::nothing},
      {"both negative", -0.5f, -0.25f, Yield::nothing},
      {"positive above negative", 0.5f, -0.25f, Yield::lower},
      {"negative above positive", -0.5f, 0.25f, Yield::lower},
      {"upper zero", 0.0f, 0.25f, Yield::upper},
      {"upper negative zero", -0.0f, -0.25f, Yield::upper},
      {"lower zero", 0.5f, 0.0f, Yield::lower},
      {"lower negative zero", -0.5f, -0.0f, Yield::lower},
      {"both zero", 0.0f, -0.0f, Yield::upper},
      // A single product would underflow to zero and yield a record.
      {"tiny, same sign", 1e-30f, 1e-30f, Yield::nothing},
      {"tiny, opposite signs", 1e-30f, -1e-30f, Yield::lower},
      {"NaN above", NAN_VALUE, 0.25f, Yield::nothing},
      {"NaN below", -0.5f, NAN_VALUE, Yield::nothing},
      {"zero times infinity", 0.0f, INF, Yield::nothing},
      {"infinity above negative", INF, -0.25f, Yield::lower},
  };
  const float upper = 0.5f;
  const float lower = 0.25f;
  for (const PairCase& c : cases) {
    float chosen = 99.0f;
    const bool yields = trace::pair_crossing(c.f_upper, c.f_lower, upper, lower, chosen);
    switch (c.expected) {
      case Yield::nothing:
        EXPECT_FALSE(yields) << c.name;
        break;
      case Yield::upper:
        EXPECT_TRUE(yields) << c.name;
        EXPECT_EQ(chosen, upper) << c.name;
        break;
      case Yield::lower:
        EXPECT_TRUE(yields) << c.name;
        EXPECT_EQ(chosen, lower) << c.name;
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// Sweeps
// ---------------------------------------------------------------------------

// Keeps every record with the pair test that produced it (0-based, counted
// by the connect requests before it), and when the close came.
class CollectingSink final : public trace::SweepSink {
 public:
  struct Record {
    CrossingPoint point;
    long pair;
  };

  void connect() override { ++connects; }
  void write(const CrossingPoint& point) override {
    records.push_back({point, connects - 1});
    writes_after_close += closes;
  }
  void close() override {
    ++closes;
    connects_at_close = connects;
  }

  std::vector<Record> records;
  long connects = 0;
  int closes = 0;
  long connects_at_close = -1;
  int writes_after_close = 0;
};

class SweepTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    run = new CollectingSink;
    trace::run_sweeps(*run);
  }
  static void TearDownTestSuite() {
    delete run;
    run = nullptr;
  }

  // Records of each grid line (1-based) of one sweep.
  static std::map<int, int> records_per_line(bool row_sweep) {
    std::map<int, int> counts;
    for (const auto& record : run->records) {
      const bool in_row_sweep = record.pair >= PAIRS_PER_SWEEP;
      if (in_row_sweep == row_sweep) {
        ++counts[static_cast<int>(record.pair % PAIRS_PER_SWEEP / PAIRS_PER_LINE) + 1];
      }
    }
    return counts;
  }

  static CollectingSink* run;
};

CollectingSink* SweepTest::run = nullptr;

TEST_F(SweepTest, ConnectsBeforeEveryPairAndClosesOnceAtTheEnd) {
  EXPECT_EQ(run->connects, 2 * PAIRS_PER_SWEEP);
  EXPECT_EQ(run->connects, 501000);
  EXPECT_EQ(run->closes, 1);
  EXPECT_EQ(run->connects_at_close, 501000);
  EXPECT_EQ(run->writes_after_close, 0);
}

TEST_F(SweepTest, YieldsSevenHundredEightColumnAndNineHundredNinetySixRowRecords) {
  ASSERT_EQ(run->records.size(), 1704u);
  EXPECT_LT(run->records[707].pair, PAIRS_PER_SWEEP);
  EXPECT_GE(run->records[708].pair, PAIRS_PER_SWEEP);
}

TEST_F(SweepTest, OnlyColumns163To339YieldFourEach) {
  std::map<int, int> expected;
  for (int column = 163; column <= 339; ++column) {
    expected[column] = 4;
  }
  EXPECT_EQ(records_per_line(false), expected);
}

TEST_F(SweepTest, EveryRowYieldsTwoButTheFirstTheMiddleAndTheLast) {
  std::map<int, int> expected;
  for (int row = 1; row <= GRID_POINTS; ++row) {
    if (row != 1 && row != 251 && row != 501) {
      expected[row] = 2;
    }
  }
  EXPECT_EQ(records_per_line(true), expected);
}

TEST_F(SweepTest, RecordsFollowTheLineFromTheTopPairDown) {
  for (std::size_t i = 1; i < run->records.size(); ++i) {
    const auto& before = run->records[i - 1];
    const auto& after = run->records[i];
    ASSERT_LT(before.pair, after.pair) << "record " << i + 1;
    if (before.pair / PAIRS_PER_LINE != after.pair / PAIRS_PER_LINE) {
      continue;
    }
    if (after.pair < PAIRS_PER_SWEEP) {
      EXPECT_EQ(before.point.x, after.point.x) << "record " << i + 1;
      EXPECT_GT(before.point.y, after.point.y) << "record " << i + 1;
    } else {
      EXPECT_EQ(before.point.y, after.point.y) << "record " << i + 1;
      EXPECT_GT(before.point.x, after.point.x) << "record " << i + 1;
    }
  }
}

struct RecordCase {
  int number;  // 1-based
  std::uint32_t x_bits;
  std::uint32_t y_bits;
};

TEST_F(SweepTest, FirstLastAndCentreRecordsHaveTheirExactBits) {
  const RecordCase cases[] = {
      {1, 0xBEB43957, 0x3F25E355},    {2, 0xBEB43957, 0x3F126E99},
      {3, 0xBEB43957, 0xBF1374BC},    {4, 0xBEB43957, 0xBF26E979},
      {5, 0xBEB22D0D, 0x3F2E147C},    {6, 0xBEB22D0D, 0x3F09374D},
      {7, 0xBEB22D0D, 0xBF0A3D70},    {8, 0xBEB22D0D, 0xBF2F1A9F},
      {353, 0x334C0000, 0x3F7EF9DD},  {354, 0x334C0000, 0x334C0000},
      {355, 0x334C0000, 0xBB831209},  {356, 0x334C0000, 0xBF800000},
      {705, 0x3EB4395A, 0x3F25E355},  {706, 0x3EB4395A, 0x3F126E99},
      {707, 0x3EB4395A, 0xBF1374BC},  {708, 0x3EB4395A, 0xBF26E979},
      {709, 0x3D449BB3, 0xBF7EF9DB},  {710, 0xBD54FDE8, 0xBF7EF9DB},
      {711, 0x3D9374C3, 0xBF7DF3B6},  {712, 0xBD9BA5DD, 0xBF7DF3B6},
      {1205, 0x334C0000, 0xBB831209}, {1206, 0xBB831209, 0xBB831209},
      {1207, 0x334C0000, 0x3B8312D5}, {1208, 0xBB831209, 0x3B8312D5},
      {1701, 0x3D9374C3, 0x3F7DF3B8}, {1702, 0xBD9BA5DD, 0x3F7DF3B8},
      {1703, 0x3D449BB3, 0x3F7EF9DD}, {1704, 0xBD54FDE8, 0x3F7EF9DD},
  };
  ASSERT_EQ(run->records.size(), 1704u);
  for (const RecordCase& c : cases) {
    const CrossingPoint& point = run->records[static_cast<std::size_t>(c.number - 1)].point;
    EXPECT_EQ(bits_of(point.x), c.x_bits) << "record " << c.number;
    EXPECT_EQ(bits_of(point.y), c.y_bits) << "record " << c.number;
  }
}

TEST_F(SweepTest, KeepsPointsFoundByBothSweepsTwice) {
  using Key = std::pair<std::uint32_t, std::uint32_t>;
  std::set<Key> column_points;
  std::set<Key> row_points;
  int repeats_within_a_sweep = 0;
  for (const auto& record : run->records) {
    const Key key{bits_of(record.point.x), bits_of(record.point.y)};
    auto& points = record.pair < PAIRS_PER_SWEEP ? column_points : row_points;
    repeats_within_a_sweep += !points.insert(key).second;
  }
  EXPECT_EQ(repeats_within_a_sweep, 0);
  std::set<Key> all = column_points;
  all.insert(row_points.begin(), row_points.end());
  EXPECT_EQ(all.size(), 1420u);
  EXPECT_EQ(column_points.size() + row_points.size() - all.size(), 284u);

  ASSERT_EQ(run->records.size(), 1704u);
  const CrossingPoint& column_record = run->records[87].point;
  const CrossingPoint& row_record = run->records[771].point;
  EXPECT_EQ(column_record.x, -0.26799998f);
  EXPECT_EQ(column_record.y, -0.872f);
  EXPECT_EQ(bits_of(row_record.x), bits_of(column_record.x));
  EXPECT_EQ(bits_of(row_record.y), bits_of(column_record.y));
}

TEST(Sweeps, ColumnAndRowSweepsRunAloneWithoutClosing) {
  CollectingSink columns;
  trace::column_sweep(columns);
  EXPECT_EQ(columns.records.size(), 708u);
  EXPECT_EQ(columns.connects, PAIRS_PER_SWEEP);
  EXPECT_EQ(columns.closes, 0);

  CollectingSink rows;
  trace::row_sweep(rows);
  EXPECT_EQ(rows.records.size(), 996u);
  EXPECT_EQ(rows.connects, PAIRS_PER_SWEEP);
  EXPECT_EQ(rows.closes, 0);
}

}  // namespace
