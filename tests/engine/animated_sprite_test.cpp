#include "engine/animated_sprite.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/sprites/pictures.h"

namespace kelna {
namespace {

// The frame drawn on each tick (-1: nothing), as the frame step draws: the current frame's
// bitmap, then IncFrame.
TEST(ZoAnimatedSpriteTest, FrameCycles) {
  const struct {
    const char* what;
    std::uint16_t frameCount, skipCount, startFrame;
    std::int32_t autoRepeat, behaviour;
    std::vector<int> drawn;
  } cases[] = {
      {"held frames, repeating", 3, 1, 0, 1, BehaveFlow, {0, 0, 1, 1, 2, 0, 0, 1, 1, 2}},
      {"held frames, once", 3, 1, 0, 0, BehaveFlow, {0, 0, 1, 1, 2, -1, -1}},
      {"autoRepeat 2 is not 1", 3, 1, 0, 2, BehaveFlow, {0, 0, 1, 1, 2, -1}},
      {"start delay of 2", 3, 0, 2, 1, BehaveFlow, {-1, -1, 0, 1, 2, 0}},
      {"no frames: frame 0 on every tick", 0, 0, 0, 1, BehaveFlow, {0, 0, 0}},
      {"one-shot: the last frame is blank", 4, 0, 0, 1, BehaveOneShot, {0, 1, 2, -1, 0}},
  };
  const auto object = test::Frames({"I-", "I-", "I-", "I-"});
  for (const auto& c : cases) {
    ZoAnimatedSprite sprite;
    sprite.spriteData = object.get();
    sprite.frameCount = c.frameCount;
    sprite.skipCount = c.skipCount;
    sprite.startFrame = c.startFrame;
    sprite.autoRepeat = c.autoRepeat;
    sprite.behaviour = c.behaviour;
    sprite.state = c.startFrame == 0 ? SpriteNewFrame : SpriteWaiting;
    std::vector<int> drawn;
    for (std::size_t t = 0; t < c.drawn.size(); ++t, sprite.IncFrame())
      drawn.push_back(sprite.GetImageHandle() ? sprite.curFrame : -1);
    EXPECT_EQ(drawn, c.drawn) << c.what;
  }
}

TEST(ZoAnimatedSpriteTest, WaitingHoldsTheSpeedAtZeroAndOnlyANewFrameMoves) {
  ZoAnimatedSprite sprite;
  sprite.state = SpriteWaiting;
  sprite.startFrame = 2;
  sprite.speedX = sprite.baseSpeedX = 4;
  sprite.speedY = sprite.baseSpeedY = -3;
  sprite.IncFrame();
  EXPECT_EQ(sprite.speedX, 0);
  sprite.IncFrame();
  EXPECT_EQ(sprite.state, SpriteNewFrame);
  EXPECT_EQ(sprite.speedX, 4);
  EXPECT_EQ(sprite.speedY, -3);
  sprite.Move();
  EXPECT_EQ(sprite.x, 4);
  sprite.state = SpriteHeldFrame;
  sprite.Move();
  EXPECT_EQ(sprite.x, 4);
}

// The rest of the record's walk: record_layout_test.cpp, and the scene file tests.
TEST(SpriteRecordTest, OnlySoundOn1ReadsAsOn) {
  std::ostringstream os;
  ASSERT_EQ(ZoAnimatedSprite().Write(os), 1);
  std::string record = os.str();
  record[113] = 2;
  std::istringstream is(record);
  ZoAnimatedSprite read;
  ASSERT_EQ(read.Read(is), 1);
  EXPECT_EQ(read.soundOn, 0);
}

}  // namespace
}  // namespace kelna
