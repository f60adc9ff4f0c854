#include "runtime/env_switch.h"

#include <gtest/gtest.h>

namespace {

struct SwitchCase {
  const char* value;
  bool on;
  friend void PrintTo(const SwitchCase& c, std::ostream* out) {
    *out << '"' << (c.value ? c.value : "(unset)") << (c.on ? "\" on" : "\" off");
  }
};

class SwitchValue : public testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchValue, FollowsTheOneRule) {
  EXPECT_EQ(runtime::switch_value_on(GetParam().value), GetParam().on)
      << "value \"" << (GetParam().value ? GetParam().value : "(unset)") << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Values, SwitchValue,
    testing::Values(SwitchCase{"T", true}, SwitchCase{"true", true}, SwitchCase{"Yes", true},
                    SwitchCase{"y", true}, SwitchCase{"t", true}, SwitchCase{"1", true},
                    SwitchCase{"007", true}, SwitchCase{"99999999999999999999", true},
                    SwitchCase{nullptr, false}, SwitchCase{"", false}, SwitchCase{"0", false},
                    SwitchCase{"00", false}, SwitchCase{"no", false}, SwitchCase{"false", false},
                    SwitchCase{"1x", false}, SwitchCase{" 1", false}, SwitchCase{"-1", false}));

TEST(EnvSwitch, ReadsTheEnvironment) {
  ::setenv("CRT_TEST_SWITCH", "Yes", 1);
  EXPECT_TRUE(runtime::env_switch_on("CRT_TEST_SWITCH"));
  ::setenv("CRT_TEST_SWITCH", "no", 1);
  EXPECT_FALSE(runtime::env_switch_on("CRT_TEST_SWITCH"));
  ::unsetenv("CRT_TEST_SWITCH");
  EXPECT_FALSE(runtime::env_switch_on("CRT_TEST_SWITCH"));
}

}  // namespace
