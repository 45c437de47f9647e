#include "engine/animated_sprite.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sprites/bmp_image.h"
#include "tests/support/dib_builder.h"

namespace kelna {
namespace {

using namespace std::string_literals;

// An object of `frames` frames, each with an image, device bitmaps made.
std::unique_ptr<ZoSpriteData> ObjectWithFrames(int frames) {
  auto object = std::make_unique<ZoSpriteData>();
  for (int i = 0; i < frames; ++i) {
    auto image = std::make_unique<ZoBmpImage>();
    std::istringstream is(test::StreamForm(test::PackedDib(1, 1, 24, 0)));
    image->Read(is);
    object->AddImage(std::move(image), short(i), PairPart::Image);
  }
  auto dc = CreateCompatibleDC(nullptr);
  object->MakeDDB(*dc);
  return object;
}

// The frame drawn on each of `ticks` ticks (-1: nothing), as the frame step draws: the
// current frame's bitmap, then IncFrame.
std::vector<int> FramesDrawn(ZoAnimatedSprite& sprite, int ticks) {
  std::vector<int> drawn;
  for (int t = 0; t < ticks; ++t) {
    const Bitmap* image = sprite.GetImageHandle();
    drawn.push_back(image ? sprite.curFrame : -1);
    sprite.IncFrame();
  }
  return drawn;
}

struct CycleCase {
  const char* what;
  std::uint16_t frameCount, skipCount, startFrame;
  std::int32_t autoRepeat, behaviour;
  std::vector<int> drawn;
};

TEST(ZoAnimatedSpriteTest, FrameCycles) {
  const CycleCase cases[] = {
      {"held frames, repeating", 3, 1, 0, 1, BehaveFlow, {0, 0, 1, 1, 2, 0, 0, 1, 1, 2}},
      {"held frames, once", 3, 1, 0, 0, BehaveFlow, {0, 0, 1, 1, 2, -1, -1}},
      {"autoRepeat 2 is not 1", 3, 1, 0, 2, BehaveFlow, {0, 0, 1, 1, 2, -1}},
      {"start delay of 2", 3, 0, 2, 1, BehaveFlow, {-1, -1, 0, 1, 2, 0}},
      {"no frames: frame 0 on every tick", 0, 0, 0, 1, BehaveFlow, {0, 0, 0}},
      {"one-shot: the last frame is blank", 4, 0, 0, 1, BehaveOneShot, {0, 1, 2, -1, 0}},
  };
  auto object = ObjectWithFrames(4);
  for (const CycleCase& c : cases) {
    ZoAnimatedSprite sprite;
    sprite.spriteData = object.get();
    sprite.frameCount = c.frameCount;
    sprite.skipCount = c.skipCount;
    sprite.startFrame = c.startFrame;
    sprite.autoRepeat = c.autoRepeat;
    sprite.behaviour = c.behaviour;
    sprite.state = c.startFrame == 0 ? SpriteNewFrame : SpriteWaiting;
    EXPECT_EQ(FramesDrawn(sprite, int(c.drawn.size())), c.drawn) << c.what;
  }
}

TEST(ZoAnimatedSpriteTest, WaitingHoldsTheSpeedAtZeroUntilTheFirstFrame) {
  ZoAnimatedSprite sprite;
  sprite.state = SpriteWaiting;
  sprite.startFrame = 2;
  sprite.speedX = sprite.baseSpeedX = 4;
  sprite.speedY = sprite.baseSpeedY = -3;
  sprite.IncFrame();
  EXPECT_EQ(sprite.speedX, 0);
  EXPECT_EQ(sprite.state, SpriteWaiting);
  sprite.IncFrame();
  EXPECT_EQ(sprite.state, SpriteNewFrame);
  EXPECT_EQ(sprite.speedX, 4);
  EXPECT_EQ(sprite.speedY, -3);

  sprite.Move();
  EXPECT_EQ(sprite.x, 4);
  sprite.state = SpriteHeldFrame;
  sprite.Move();
  EXPECT_EQ(sprite.x, 4) << "only a new frame moves";
}

TEST(ZoAnimatedSpriteTest, SetCurFrameKeepsWithinStartAndCount) {
  ZoAnimatedSprite sprite;
  sprite.startFrame = 3;
  sprite.frameCount = 5;
  sprite.SetCurFrame(0);
  EXPECT_EQ(sprite.curFrame, 0);
  sprite.SetCurFrame(5);
  EXPECT_EQ(sprite.curFrame, 5);
  sprite.SetCurFrame(6);
  EXPECT_EQ(sprite.curFrame, 5);
}

TEST(ZoAnimatedSpriteTest, CopyDefaultTakesTheObjectsDefaults) {
  auto object = ObjectWithFrames(3);
  object->depth = 9;
  object->behaviour = BehaveBound;
  object->startX = 11;
  object->speedY = -2;
  ZoAnimatedSprite sprite;
  sprite.startFrame = 4;
  sprite.CopyDefault();  // no object: nothing
  EXPECT_EQ(sprite.startFrame, 4);
  sprite.spriteData = object.get();
  sprite.CopyDefault();
  EXPECT_EQ(sprite.depth, 9);
  EXPECT_EQ(sprite.behaviour, BehaveBound);
  EXPECT_EQ(sprite.x, 11);
  EXPECT_EQ(sprite.speedY, -2);
  EXPECT_EQ(sprite.startFrame, 0);
  EXPECT_EQ(sprite.frameCount, 2);
  EXPECT_EQ(object->frameCount, 3);
}

std::string Record(const ZoAnimatedSprite& sprite) {
  std::ostringstream os;
  EXPECT_EQ(sprite.Write(os), 1);
  return os.str();
}

TEST(SpriteRecordTest, WritesTheLayoutAndReadsItBack) {
  ZoAnimatedSprite sprite;
  sprite.SetName(std::string(31, 'a'));
  sprite.SetObjectName("fish");
  sprite.reserved1 = -2;
  sprite.depth = 7;
  sprite.behaviour = BehaveRadial;
  sprite.reserved2 = 0x12345678;
  sprite.imageWidth = 640;
  sprite.frameCount = 9;
  sprite.skipCount = 1;
  sprite.x = -70000;
  sprite.speedY = 3;
  const std::string record = Record(sprite);
  ASSERT_EQ(record.size(), 115u);
  EXPECT_EQ(record.substr(0, 3), std::string("AS\0", 3));
  EXPECT_EQ(record.substr(5, 32), std::string(30, 'a') + std::string(2, '\0')) << "cut to 30";
  EXPECT_EQ(record.substr(69, 2), "\x07\x00"s);
  EXPECT_EQ(record.substr(97, 4), "\x90\xEE\xFE\xFF"s) << "x = -70000";
  EXPECT_EQ(record.substr(113, 2), "\x01\x00"s) << "soundOn";

  ZoAnimatedSprite read;
  std::istringstream is(record);
  ASSERT_EQ(read.Read(is), 1);
  EXPECT_EQ(Record(read), record);
  EXPECT_EQ(std::string(read.Name()), std::string(30, 'a'));
}

TEST(SpriteRecordTest, SoundOnTwoReadsAsOffAndAWrongTagChangesNothing) {
  ZoAnimatedSprite sprite;
  std::string record = Record(sprite);
  record[113] = 2;
  std::istringstream is(record);
  ASSERT_EQ(sprite.Read(is), 1);
  EXPECT_EQ(sprite.soundOn, 0);

  record[0] = 'X', record[1] = 'Y';
  record[69] = 5;
  std::istringstream wrong(record);
  EXPECT_EQ(sprite.Read(wrong), 0);
  EXPECT_EQ(sprite.depth, 1);
  EXPECT_TRUE(wrong) << "the 115 bytes are consumed";

  std::istringstream shortRecord(Record(sprite).substr(0, 100));
  EXPECT_EQ(sprite.Read(shortRecord), 0);
}

}  // namespace
}  // namespace kelna
