#include "platform/random.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace kelna {
namespace {

std::vector<std::int32_t> Draw(int count) {
  std::vector<std::int32_t> values;
  for (int i = 0; i < count; ++i) values.push_back(Random());
  return values;
}

// The first values of seed 1, worked out from the formula outside the program (seeded runs
// follow it in tests/tools' TraceCommandTest):
//   state = state * 6364136223846793005 + 1442695040888963407 (mod 2^64), value = state >> 33.
// A fresh process has drawn nothing yet, so the death test's child sees the first state.
TEST(RandomGeneratorDeathTest, StartsAsIfSeededWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts the program afresh
  const std::vector<std::int32_t> seed1 = {908834774, 1093944153, 1392341196};
  EXPECT_EXIT(std::exit(Draw(3) == seed1 ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(RandomScript, TakesOverWhileAliveAndLeavesTheGeneratorWhereItWas) {
  SeedRandom(99);
  const std::vector<std::int32_t> generated = Draw(3);
  SeedRandom(99);
  EXPECT_EQ(Random(), generated[0]);
  EXPECT_THROW(ScriptedRandom({1, -1}), std::invalid_argument);  // a refused script never takes over
  auto first = std::make_unique<ScriptedRandom>(std::vector<std::int32_t>{5, 1});
  EXPECT_EQ(Random(), 5);
  auto second = std::make_unique<ScriptedRandom>(std::vector<std::int32_t>{0, 0x7FFFFFFF});
  EXPECT_EQ(Random(), 0);
  EXPECT_EQ(first->Remaining(), 1u) << "the replaced script gives nothing more";
  first.reset();  // nor does its going touch the live one
  EXPECT_EQ(Random(), 0x7FFFFFFF);
  EXPECT_THROW(Random(), RandomScriptExhausted);
  EXPECT_EQ(second->Drawn(), 2u) << "a failed draw is not a draw";
  second.reset();
  EXPECT_EQ(Draw(2), std::vector<std::int32_t>(generated.begin() + 1, generated.end()));
}

}  // namespace
}  // namespace kelna
