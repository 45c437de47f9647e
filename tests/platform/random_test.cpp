#include "platform/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace kelna {
namespace {

std::vector<std::int32_t> Draw(int count) {
  std::vector<std::int32_t> values;
  for (int i = 0; i < count; ++i) values.push_back(Random());
  return values;
}

// Worked out from the formula, outside the program:
//   state = state * 6364136223846793005 + 1442695040888963407 (mod 2^64), value = state >> 33.
// From state 1 the next state is 0x6C576FAC43FD007C, whose top 31 bits are 908834774.
const std::vector<std::int32_t> kFirstValuesOfSeed1 = {908834774, 1093944153, 1392341196};

TEST(RandomGenerator, FollowsTheFormula) {
  SeedRandom(1);
  EXPECT_EQ(Draw(3), kFirstValuesOfSeed1);
}

// A fresh process has drawn nothing yet, so the death test's child sees the first state.
TEST(RandomGeneratorDeathTest, StartsAsIfSeededWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts the program afresh
  EXPECT_EXIT(std::exit(Draw(3) == kFirstValuesOfSeed1 ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(RandomGenerator, RepeatsTheSequenceOfASeed) {
  SeedRandom(20240601);
  const std::vector<std::int32_t> first = Draw(100);
  SeedRandom(20240601);
  EXPECT_EQ(Draw(100), first);
  SeedRandom(20240602);
  EXPECT_NE(Draw(100), first);
}

TEST(RandomGenerator, GivesNonNegative31BitValues) {
  SeedRandom(7);
  const std::vector<std::int32_t> values = Draw(10000);
  EXPECT_GE(*std::ranges::min_element(values), 0);
  // The top of the 31 bits is used as well: about half the values have it.
  const auto high = std::ranges::count_if(values, [](std::int32_t v) { return v >= 0x40000000; });
  EXPECT_GT(high, 4500);
  EXPECT_LT(high, 5500);
}

TEST(RandomScript, GivesItsValuesInOrder) {
  ScriptedRandom script({5, 0, 0x7FFFFFFF, 5});
  EXPECT_EQ(script.Remaining(), 4u);
  EXPECT_EQ(script.Drawn(), 0u);
  EXPECT_EQ(Random(), 5);
  EXPECT_EQ(Random(), 0);
  EXPECT_EQ(script.Remaining(), 2u);
  EXPECT_EQ(script.Drawn(), 2u);
  EXPECT_EQ(Random(), 0x7FFFFFFF);
  EXPECT_EQ(Random(), 5);
  EXPECT_EQ(script.Remaining(), 0u);
}

TEST(RandomScript, ThrowsWhenItRunsOut) {
  ScriptedRandom script({3});
  EXPECT_EQ(Random(), 3);
  EXPECT_THROW(Random(), RandomScriptExhausted);
  EXPECT_THROW(Random(), RandomScriptExhausted);
  EXPECT_EQ(script.Drawn(), 1u);  // a failed draw is not a draw
}

TEST(RandomScript, RefusesValuesOutOfRange) {
  SeedRandom(11);
  const std::int32_t expected = Random();
  SeedRandom(11);
  EXPECT_THROW(ScriptedRandom({1, -1}), std::invalid_argument);
  EXPECT_EQ(Random(), expected);  // the refused script never took over
}

TEST(RandomScript, LeavesTheGeneratorWhereItWas) {
  SeedRandom(99);
  const std::vector<std::int32_t> expected = Draw(3);
  SeedRandom(99);
  EXPECT_EQ(Random(), expected[0]);
  {
    ScriptedRandom script({1, 2});
    Draw(2);
  }
  EXPECT_EQ(Draw(2), std::vector<std::int32_t>(expected.begin() + 1, expected.end()));
}

TEST(RandomScript, ANewScriptReplacesTheLiveOne) {
  SeedRandom(5);
  const std::int32_t expected = Random();
  SeedRandom(5);
  auto first = std::make_unique<ScriptedRandom>(std::vector<std::int32_t>{1, 2});
  EXPECT_EQ(Random(), 1);
  auto second = std::make_unique<ScriptedRandom>(std::vector<std::int32_t>{10, 20});
  EXPECT_EQ(Random(), 10);
  EXPECT_EQ(first->Remaining(), 1u);  // the replaced script gives nothing more
  first.reset();                      // and going away leaves the live one alone
  EXPECT_EQ(Random(), 20);
  second.reset();
  EXPECT_EQ(Random(), expected);
}

}  // namespace
}  // namespace kelna
