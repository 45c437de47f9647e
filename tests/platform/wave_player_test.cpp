// The wave player's check for an output device: the system is asked once per interval, and
// its last answer stands in between.

#include "platform/wave_player.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelna {
namespace {

using namespace std::chrono_literals;

TEST(OutputDeviceCheck, AsksAtTheFirstSoundThenOncePerIntervalAndKeepsTheAnswerBetween) {
  std::vector<bool> answers = {false, true, false};  // no device, one plugged in, gone again
  std::size_t asked = 0;
  OutputDeviceCheck check([&] { return answers.at(asked++); }, 60s);
  const OutputDeviceCheck::Clock::time_point start{1000s};
  const struct {
    std::chrono::milliseconds at;
    bool available;
    std::size_t asked;
  } sounds[] = {
      {0ms, false, 1},     {50ms, false, 1}, {59'999ms, false, 1},  // a minute of sounds: one ask
      {60'000ms, true, 2}, {60'001ms, true, 2}, {119'999ms, true, 2},
      {200'000ms, false, 3},  // a long quiet spell: asked again at the next sound only
  };
  for (const auto& sound : sounds) {
    SCOPED_TRACE(sound.at.count());
    EXPECT_EQ(check.Available(start + sound.at), sound.available);
    EXPECT_EQ(asked, sound.asked);
  }
}

}  // namespace
}  // namespace kelna
