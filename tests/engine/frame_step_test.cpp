#include <gtest/gtest.h>

#include <array>

#include "engine/sprite_animation.h"
#include "platform/random.h"
#include "tests/sprites/pictures.h"

namespace kelna {
namespace {

// The frame drawn on each tick (-1: nothing) as the frame step draws: the frame's bitmap, then IncFrame.
TEST(ZoAnimatedSpriteTest, FrameCycles) {
  const struct { const char* what; std::uint16_t frameCount, skipCount, startFrame;
                 std::int32_t autoRepeat, behaviour; std::vector<int> drawn; } cases[] = {
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
    sprite.frameCount = c.frameCount, sprite.skipCount = c.skipCount, sprite.startFrame = c.startFrame;
    sprite.autoRepeat = c.autoRepeat, sprite.behaviour = c.behaviour;
    sprite.state = c.startFrame == 0 ? SpriteNewFrame : SpriteWaiting;
    std::vector<int> drawn;
    for (std::size_t t = 0; t < c.drawn.size(); ++t, sprite.IncFrame())
      drawn.push_back(sprite.GetImageHandle() ? sprite.curFrame : -1);
    EXPECT_EQ(drawn, c.drawn) << c.what;
  }
}

TEST(ZoAnimatedSpriteTest, WaitingHoldsTheSpeedAtZeroAndOnlyANewFrameMoves) {
  ZoAnimatedSprite sprite;
  sprite.state = SpriteWaiting, sprite.startFrame = 2;
  sprite.speedX = sprite.baseSpeedX = 4, sprite.speedY = sprite.baseSpeedY = -3;
  sprite.IncFrame();
  EXPECT_EQ(sprite.speedX, 0);
  sprite.IncFrame();
  EXPECT_EQ(std::tuple(sprite.state, sprite.speedX, sprite.speedY), std::tuple(SpriteNewFrame, 4, -3));
  sprite.Move();
  EXPECT_EQ(sprite.x, 4);
  sprite.state = SpriteHeldFrame;
  sprite.Move();
  EXPECT_EQ(sprite.x, 4) << "a held frame stays";
}

// The rest of the record's walk: the layout and scene file tests in sprite_animation_test.cpp.
TEST(SpriteRecordTest, OnlySoundOn1ReadsAsOn) {
  std::string record = test::RecordOf(ZoAnimatedSprite());
  record[113] = 2;
  std::istringstream is(record);
  ZoAnimatedSprite read;
  ASSERT_EQ(read.Read(is), 1);
  EXPECT_EQ(read.soundOn, 0);
}

struct Placed { int x, y, w, h, speedX, speedY; short depth = 1; };

// A scene on a 640 × 480 window with one object, "ball": 8 frames of a red 32 × 32 square.
class FrameStepTest : public ::testing::Test {
 protected:
  FrameStepTest() { scene.objects.push_back(test::Frames(Eight("I-"), test::SolidDib(32, 32, 0xFF0000), "ball")); }
  static std::vector<const char*> Eight(const char* pair) { return std::vector<const char*>(8, pair); }
  ZoAnimatedSprite* Sprite(const Placed& p) {
    auto sprite = std::make_unique<ZoAnimatedSprite>();
    sprite->SetObjectName("ball");
    sprite->depth = p.depth, sprite->randomStart = 0, sprite->frameCount = 8;
    sprite->imageWidth = std::uint16_t(p.w), sprite->imageHeight = std::uint16_t(p.h);
    sprite->x = p.x, sprite->y = p.y, sprite->speedX = p.speedX, sprite->speedY = p.speedY;
    return scene.AddSprite(std::move(sprite));
  }
  std::vector<Rect> AnimateOnce(std::unique_ptr<ZoImage> background = nullptr) {
    scene.TieUpObjects();
    scene.InitAnimation(window, 640, 480, std::move(background), nullptr);
    presenter.ClearLog();
    scene.Animate(window, 0, 0);
    std::vector<Rect> rects;
    for (const auto& record : presenter.Log()) rects.push_back(record.target);
    return rects;
  }
  ZoSpriteAnimation scene;
  RecordingPresenter presenter{640, 480};
  WindowDC window{presenter, 640, 480};
};

// Each region, one blit, is the union of touching swept rectangles (old and new place).
TEST_F(FrameStepTest, RegionsGatherTouchingSpritesAndAdvanceEachOnce) {
  // The sprites deepest first; each one's x and curFrame after the tick.
  const struct { const char* what; std::vector<Placed> sprites; std::vector<Rect> blits;
                 std::vector<std::pair<int, int>> after; } cases[] = {
      {"adjacent", {{100, 100, 32, 32, 2, 0, 2}, {134, 100, 32, 32, 0, 0, 1}}, {{100, 100, 166, 132}},
       {{102, 1}, {134, 1}}},
      // B and C touch; their box covers A, their swept rectangles do not: A is drawn in both.
      {"in the box of a later region",
       {{30, 45, 10, 10, 0, 0, 3}, {20, 20, 40, 10, 1, 0, 2}, {55, 30, 10, 40, 0, 1, 1}},
       {{30, 45, 40, 55}, {20, 20, 65, 71}}, {{30, 2}, {21, 1}, {55, 1}}},
      {"out of sight: waits without moving", {{-200, -200, 32, 32, 1, 1, 1}}, {}, {{-200, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    scene.sprites.clear();
    for (const Placed& p : c.sprites) Sprite(p);
    EXPECT_EQ(AnimateOnce(), c.blits);
    std::vector<std::pair<int, int>> after;
    for (const auto& sprite : scene.sprites) after.emplace_back(sprite->x, sprite->curFrame);
    EXPECT_EQ(after, c.after);
  }
  EXPECT_EQ(scene.sprites[0]->flags, SpriteShown | SpriteMoved | SpriteInRegion) << "still out of sight";
}

// A 32 × 32 DIB of `colour` whose left half is `left`.
test::Bytes HalfAndHalf(std::uint8_t left, Pixel colour) {
  test::Bytes dib = test::SolidDib(32, 32, colour);
  for (int y = 0; y < 32; ++y) std::fill_n(dib.begin() + 40 + y * 96, 16 * 3, left);
  return dib;
}

// Frame 0: blue, with a mask white (the background shows) on the left half, black on the right;
// the image is black where the mask is white. Frame 1's mask borrows frame 0's, with no image.
TEST_F(FrameStepTest, ASpriteIsDrawnThroughItsMaskAndAMaskWithoutAnImageLeavesItsShapeDark) {
  std::vector<const char*> frames = Eight("I-");
  frames[0] = "-I", frames[1] = "-P";
  scene.objects[0] = test::Frames(frames, HalfAndHalf(0xFF, 0x000000), "ball");
  scene.objects[0]->AddImage(test::ImageOf(HalfAndHalf(0, 0x0000FF)), 0, PairPart::Image);
  Sprite({300, 200, 32, 32, 4, -3});
  AnimateOnce(test::ImageOf(test::SolidDib(640, 480, 0x808080)));
  EXPECT_EQ(presenter.Window().At(305, 197), 0x808080u) << "white mask: the background";
  EXPECT_EQ(presenter.Window().At(335, 197), 0x0000FFu) << "black mask: the image";
  EXPECT_EQ(presenter.Window().At(303, 197), 0x808080u) << "left of it";
  EXPECT_EQ(presenter.Window().At(335, 229), 0x808080u) << "its old place is background again";
  scene.Animate(window, 0, 0);  // frame 1 at (308, 194)
  EXPECT_EQ(presenter.Window().At(309, 194), 0x808080u) << "white mask: the background";
  EXPECT_EQ(presenter.Window().At(339, 194), 0x000000u) << "black mask: dark, nothing OR-ed in";
}

// The deepest sprite's object decides the palette: a slot that holds nothing is no object.
TEST_F(FrameStepTest, TheDeepestObjectNeedsAnImageSlotThatIsNotEmpty) {
  EXPECT_TRUE(AnimateOnce().empty()) << "no sprites";
  const struct { const char *what, *object; std::vector<const char*> frames; bool draws; } cases[] = {
      {"no such object", "nothing", {"I-"}, false},
      {"no slot holds anything", "ball", {"--", "--"}, false},
      {"a borrowing first slot counts, though it gives no palette", "ball", {"P-", "--"}, true},
      {"the first image may come after an empty frame", "ball", {"--", "I-"}, true},
  };
  const Palette windowPalette({{1, 2, 3, 0}});
  window.SelectPalette(&windowPalette, false);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    scene.objects[0] = test::Frames(c.frames, test::PackedDib(8, 8, 8, 256), "ball");  // 8 bits, a palette
    scene.sprites.clear();
    Sprite({20, 20, 8, 8, 1, 0})->SetObjectName(c.object);
    EXPECT_EQ(AnimateOnce().size(), c.draws ? 1u : 0u);
    EXPECT_EQ(scene.sprites[0]->x, c.draws ? 21 : 20);
    EXPECT_EQ(window.SelectedPalette(), &windowPalette) << "the window's palette is back";
  }
}

// Whether the sprite's and the scene's switches let it play: tests/tools/tool_test.cpp.
TEST_F(FrameStepTest, ASoundPlaysThroughTheWavePlayer) {
  test::RecordingWavePlayer player;
  ScopedWavePlayer scoped(player);
  scene.objects[0]->sound = std::make_shared<ZoSound>();
  std::istringstream record(std::string(258, '\0') + test::Le(46, 4) + test::WaveFile("ab"));
  ASSERT_EQ(scene.objects[0]->sound->Read(record), 1);  // plays at frame 0
  Sprite({10, 10, 32, 32, 0, 0});
  scene.waveSoundOn = 1;
  AnimateOnce();
  EXPECT_EQ(player.log, std::vector<std::string>{"play 48"});
}

class BehaviourTest : public ::testing::Test {
 protected:
  BehaviourTest() {
    scene.screenWidth = 640, scene.screenHeight = 480;
    sprite.imageWidth = sprite.imageHeight = 32, sprite.state = SpriteNewFrame;
  }
  // x, y, speedX and speedY after one step of the rules.
  std::array<std::int32_t, 4> Steer() {
    scene.AdjustSpritePosition(&sprite);
    return {sprite.x, sprite.y, sprite.speedX, sprite.speedY};
  }
  ZoSpriteAnimation scene;
  ZoAnimatedSprite sprite;
};

TEST_F(BehaviourTest, PositionsWrapAndBounceOnTheirLow16Bits) {
  const struct { std::int32_t behaviour, x, speedX, expectedX, expectedSpeed; } cases[] = {
      {BehaveFlow, 640, 4, -30, 4},          // gone right: 2 pixels show left (gone left: tool_test)
      {BehaveFlow, -31, -4, -31, -4},        // a pixel still shows
      {BehaveRandomWalk, -32, 0, 638, 0},    // only 2 pixels show on either side
      {BehaveBound, 0, -4, 0, 4}, {BehaveBound, 608, 4, 608, -4}, {BehaveBound, 300, 4, 300, 4},
      {BehaveBound, -50, 4, -50, -4},
      {BehaveFlow, 0x10000 - 40, 0, 606, 0},  // -40 in its low 16 bits
      {7, -500, 3, -500, 3},                 // an unknown behaviour changes nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.behaviour << " at " << c.x);
    ScriptedRandom script({0, 0, 0, 0});
    sprite.behaviour = c.behaviour, sprite.x = c.x, sprite.speedX = c.speedX;
    sprite.baseSpeedX = sprite.baseSpeedY = 0, sprite.y = 0x10000 + 100;  // 100 in its low 16 bits
    scene.AdjustSpritePosition(&sprite);
    EXPECT_EQ(std::pair(sprite.x, sprite.speedX), std::pair(c.expectedX, c.expectedSpeed));
    // y is stored as its low 16 bits; the old place is kept as it was.
    if (c.behaviour != BehaveFlow && c.behaviour != BehaveRandomWalk) continue;
    EXPECT_EQ(std::tuple(sprite.y, sprite.prevX, sprite.prevY), std::tuple(100, c.x, 0x10000 + 100));
  }
  sprite.behaviour = BehaveFlow, sprite.x = -500, sprite.state = SpriteHeldFrame;
  scene.AdjustSpritePosition(&sprite);
  EXPECT_EQ(sprite.x, -500) << "only a new frame is steered";
}

// Draws: sign for x, percentage for x, sign for y, percentage for y; an even sign draw is +.
TEST_F(BehaviourTest, RandomWalkDrawsSignThenPercentagePerAxis) {
  sprite.behaviour = BehaveRandomWalk;
  const struct { std::int32_t baseX, baseY; std::vector<std::int32_t> draws; std::int32_t speedX, speedY; } cases[] = {
      {-7, 10, {4, 50, 7, 99}, 3, -9},  // the size of the base, truncated, with the drawn sign
      {0x10007, 40000, {0, 50, 0, 50}, 3, 12768},  // only the low 16 bits count: 7 and -25536
      {-32768, -32768, {0, 99, 1, 99}, 32440, -32440},
  };
  for (const auto& c : cases) {
    ScriptedRandom script(c.draws);
    sprite.baseSpeedX = c.baseX, sprite.baseSpeedY = c.baseY, sprite.x = sprite.y = 100;
    EXPECT_EQ(Steer(), (std::array{100, 100, c.speedX, c.speedY})) << c.baseX << ", " << c.baseY;
    EXPECT_EQ(script.Remaining(), 0u);
  }
}

TEST_F(BehaviourTest, OneShotAndSpecifiedSteerByTheFrame) {
  scene.screenWidth = 100;
  sprite.behaviour = BehaveOneShot, sprite.speedX = 5;
  sprite.imageWidth = 60;  // 100 - 40 - 60 = 0: no draw for x
  ScriptedRandom script({1234});
  EXPECT_EQ(Steer(), (std::array{20, 20 + 1234 % 408, 0, 0})) << "a jump at the start of a cycle";
  sprite.curFrame = 1, sprite.speedX = 5;
  EXPECT_EQ(Steer(), (std::array{20, 20 + 1234 % 408, 0, 0})) << "no draw now";
  ZoSpriteData object;
  for (TPoint location : {TPoint{0, 0}, TPoint{0, 0}, TPoint{10, 10}}) object.AddLocation(location);
  sprite.spriteData = &object;
  sprite.behaviour = BehaveSpecified, sprite.curFrame = 2, sprite.x = 4, sprite.y = 7;
  EXPECT_EQ(Steer(), (std::array{4, 7, 6, 3})) << "heads for the frame's location";
  sprite.curFrame = 3;
  EXPECT_EQ(Steer(), (std::array{4, 7, 6, 3})) << "no location: the speed stays";
}

TEST_F(BehaviourTest, RadialBurstsFromTheCentre) {
  sprite.behaviour = BehaveRadial;
  ScriptedRandom script({0, 0, 3, 4, 2, 1});  // (0, 0) again; (3, 4); signs +, -; then no more draws
  EXPECT_EQ(Steer(), (std::array{304, 224, 0, 0}));
  EXPECT_EQ(script.Remaining(), 0u);
  EXPECT_FLOAT_EQ(sprite.directionX, 0.6f);
  EXPECT_FLOAT_EQ(sprite.directionY, -0.8f);
  sprite.directionY = 0.8f, sprite.curFrame = 4;
  EXPECT_EQ(Steer(), (std::array{304, 224, 592 - 304, 608 - 224}));
  sprite.curFrame = 5;
  scene.AdjustSpritePosition(&sprite);
  EXPECT_EQ(sprite.curFrame, 0);
}

}  // namespace
}  // namespace kelna
