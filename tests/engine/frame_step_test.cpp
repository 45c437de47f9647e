#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sprite_animation.h"
#include "platform/random.h"
#include "platform/wave_player.h"
#include "sprites/bmp_image.h"
#include "tests/support/dib_builder.h"

namespace kelna {
namespace {

std::unique_ptr<ZoImage> Solid(int width, int height, std::uint32_t colour) {
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream is(test::StreamForm(test::SolidDib(width, height, colour)));
  EXPECT_EQ(image->Read(is), 1);
  return image;
}

// A scene on a 640 × 480 window with one object: `frames` frames of a 32 × 32 picture.
class FrameStepTest : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kRed = 0xFF0000;

  FrameStepTest() {
    auto object = std::make_unique<ZoSpriteData>();
    object->name = "ball";
    for (short f = 0; f < 8; ++f) object->AddImage(Solid(32, 32, kRed), f, PairPart::Image);
    scene.objects.push_back(std::move(object));
  }

  ZoAnimatedSprite* Sprite(const char* name, int x, int y, int speedX, int speedY, short depth = 1) {
    auto sprite = std::make_unique<ZoAnimatedSprite>();
    sprite->SetName(name);
    sprite->SetObjectName("ball");
    sprite->depth = depth;
    sprite->randomStart = 0;
    sprite->imageWidth = sprite->imageHeight = 32;
    sprite->frameCount = 8;
    sprite->x = x, sprite->y = y, sprite->speedX = speedX, sprite->speedY = speedY;
    return scene.AddSprite(std::move(sprite));
  }

  void Prepare() {
    scene.TieUpObjects();
    scene.InitAnimation(window, 640, 480, nullptr, nullptr);
    presenter.ClearLog();
  }

  std::vector<Rect> Blits() const {
    std::vector<Rect> rects;
    for (const auto& record : presenter.Log()) rects.push_back(record.target);
    return rects;
  }

  ZoSpriteAnimation scene;
  RecordingPresenter presenter{640, 480};
  WindowDC window{presenter, 640, 480};
};

TEST_F(FrameStepTest, OneMovingSpriteIsOneRegionCoveringBothPlaces) {
  ZoAnimatedSprite* ball = Sprite("ball", 100, 100, 4, -3);
  Prepare();
  scene.Animate(window, 0, 0);
  EXPECT_EQ(Blits(), (std::vector<Rect>{{100, 97, 136, 132}}));  // 36 × 35 at (100, 97)
  EXPECT_EQ(presenter.Window().At(104, 97), kRed) << "drawn at its new place";
  EXPECT_EQ(presenter.Window().At(135, 128), kRed);
  EXPECT_EQ(presenter.Window().At(100, 130), 0u) << "its old place is background again";
  EXPECT_EQ(ball->x, 104);
  EXPECT_EQ(ball->y, 97);
  EXPECT_EQ(ball->curFrame, 1);
  EXPECT_EQ(ball->flags, SpriteShown);
}

TEST_F(FrameStepTest, TouchingSweptRectanglesMergeAndSeparateOnesDoNot) {
  Sprite("a", 100, 100, 2, 0);
  Sprite("b", 144, 100, 0, 0);  // a sweeps 100 ... 134; a 10-pixel gap to b
  Prepare();
  scene.Animate(window, 0, 0);
  EXPECT_EQ(Blits(), (std::vector<Rect>{{100, 100, 134, 132}, {144, 100, 176, 132}}));

  ZoSpriteAnimation::SpriteList& sprites = scene.sprites;
  sprites[1]->x = 134;  // now adjacent: one region, each moved once
  presenter.ClearLog();
  scene.Animate(window, 0, 0);
  EXPECT_EQ(Blits(), (std::vector<Rect>{{102, 100, 166, 132}}));
  EXPECT_EQ(sprites[0]->x, 104);
  EXPECT_EQ(sprites[0]->curFrame, 2);
  EXPECT_EQ(sprites[1]->curFrame, 2);
}

TEST_F(FrameStepTest, AStandingSpriteSharesTheRegionOfOnePassingOverIt) {
  ZoAnimatedSprite* standing = Sprite("standing", 200, 200, 0, 0, 5);
  ZoAnimatedSprite* moving = Sprite("moving", 180, 200, 10, 0, 1);
  Prepare();
  scene.Animate(window, 0, 0);
  EXPECT_EQ(Blits().size(), 1u);
  EXPECT_EQ(standing->curFrame, 1);
  EXPECT_EQ(moving->curFrame, 1);
}

TEST_F(FrameStepTest, ASpriteInTheBoxOfALaterRegionIsAdvancedAgain) {
  // A stands alone; B and C touch each other and their box covers A, their swept
  // rectangles do not.
  ZoAnimatedSprite* a = Sprite("A", 30, 45, 0, 0, 3);
  a->imageWidth = a->imageHeight = 10;
  ZoAnimatedSprite* b = Sprite("B", 20, 20, 1, 0, 2);
  b->imageWidth = 40, b->imageHeight = 10;
  ZoAnimatedSprite* c = Sprite("C", 55, 30, 0, 1, 1);
  c->imageWidth = 10, c->imageHeight = 40;
  Prepare();
  scene.Animate(window, 0, 0);
  EXPECT_EQ(Blits(), (std::vector<Rect>{{30, 45, 40, 55}, {20, 20, 65, 71}}));
  EXPECT_EQ(a->curFrame, 2) << "drawn and advanced in both regions";
  EXPECT_EQ(b->curFrame, 1);
  EXPECT_EQ(c->curFrame, 1);
}

TEST_F(FrameStepTest, ARegionOutOfSightWaitsWithoutMoving) {
  ZoAnimatedSprite* away = Sprite("away", -200, -200, 1, 1);
  Prepare();
  scene.Animate(window, 0, 0);
  EXPECT_TRUE(Blits().empty());
  EXPECT_EQ(away->x, -200);
  EXPECT_EQ(away->curFrame, 0);
  EXPECT_EQ(away->flags, SpriteShown | SpriteMoved | SpriteInRegion);
}

TEST_F(FrameStepTest, AMaskKeepsTheBackgroundWhereItIsWhite) {
  // A 32 × 32 blue frame whose mask is white (background shows) on its left half and
  // black (the sprite covers) on its right half, over a centred grey picture.
  auto object = std::make_unique<ZoSpriteData>();
  object->name = "half";
  test::Bytes mask = test::SolidDib(32, 32, 0x000000);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 16; ++x)
      for (int c = 0; c < 3; ++c) mask[40 + y * 96 + x * 3 + c] = 0xFF;
  auto maskImage = std::make_unique<ZoBmpImage>();
  std::istringstream maskStream(test::StreamForm(mask));
  ASSERT_EQ(maskImage->Read(maskStream), 1);
  test::Bytes picture = test::SolidDib(32, 32, 0x0000FF);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 16; ++x)
      for (int c = 0; c < 3; ++c) picture[40 + y * 96 + x * 3 + c] = 0;  // black where clear
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream imageStream(test::StreamForm(picture));
  ASSERT_EQ(image->Read(imageStream), 1);
  object->AddImage(std::move(image), 0, PairPart::Image);
  object->AddImage(std::move(maskImage), 0, PairPart::Mask);
  scene.objects.push_back(std::move(object));
  ZoAnimatedSprite* sprite = Sprite("half", 300, 200, 0, 0);
  sprite->SetObjectName("half");
  sprite->frameCount = 1;
  scene.TieUpObjects();
  scene.InitAnimation(window, 640, 480, Solid(640, 480, 0x808080), nullptr);
  scene.Animate(window, 0, 0);
  EXPECT_EQ(presenter.Window().At(305, 210), 0x808080u) << "white mask: the background";
  EXPECT_EQ(presenter.Window().At(325, 210), 0x0000FFu) << "black mask: the image";
  EXPECT_EQ(presenter.Window().At(299, 210), 0x808080u);
}

TEST_F(FrameStepTest, DrawBackgroundCopiesTheWholeViewInOneBlit) {
  scene.bgMode = BgCenter;
  scene.InitAnimation(window, 640, 480, Solid(100, 100, 0x123456), nullptr);
  presenter.ClearLog();
  scene.DrawBackground(window, 5, 7);
  EXPECT_EQ(Blits(), (std::vector<Rect>{{5, 7, 640, 480}}));
  EXPECT_EQ(presenter.Window().At(5 + 270, 7 + 190), 0x123456u);  // the picture's top-left
  EXPECT_EQ(presenter.Window().At(5 + 269, 7 + 190), 0u);
}

TEST_F(FrameStepTest, NothingHappensWithoutSpritesOrImages) {
  Prepare();
  scene.Animate(window, 0, 0);
  EXPECT_TRUE(Blits().empty());
  ZoAnimatedSprite* lone = Sprite("lone", 10, 10, 1, 1);
  lone->SetObjectName("nothing");
  Prepare();
  scene.Animate(window, 0, 0);
  EXPECT_TRUE(Blits().empty()) << "the deepest sprite has no object";
  EXPECT_EQ(lone->x, 10);
}

TEST(FrameStepPaletteTest, TheDeepestObjectNeedsAnImageSlotThatIsNotEmpty) {
  // The deepest sprite's object, frame by frame: 'I' an 8-bit image with a palette, 'P' a
  // slot that borrows the frame before (UsePrevious), '-' none.
  struct Case {
    const char* what;
    const char* frames;
    bool draws;
  };
  const Case cases[] = {
      {"no slot holds anything", "--", false},
      {"a borrowing first slot counts, though it gives no palette", "P-", true},
      {"the first image may come after an empty frame", "-I", true},
  };
  for (const Case& c : cases) {
    auto object = std::make_unique<ZoSpriteData>();
    object->name = "odd";
    object->ExpandImageArray(int(std::strlen(c.frames)));
    for (short f = 0; c.frames[f]; ++f) {
      if (c.frames[f] == 'P') object->AddUsePrevious(f, PairPart::Image);
      if (c.frames[f] != 'I') continue;
      auto image = std::make_unique<ZoBmpImage>();
      std::istringstream is(test::StreamForm(test::PackedDib(8, 8, 8, 256)));
      ASSERT_EQ(image->Read(is), 1);
      object->AddImage(std::move(image), f, PairPart::Image);
    }
    ZoSpriteAnimation scene;
    scene.objects.push_back(std::move(object));
    ZoAnimatedSprite* sprite = scene.NewSprite();
    sprite->SetObjectName("odd");
    sprite->randomStart = 0;
    sprite->imageWidth = sprite->imageHeight = 8;
    sprite->x = sprite->y = 20;
    sprite->speedX = 1;
    RecordingPresenter presenter(64, 64);
    WindowDC window(presenter, 64, 64);
    const Palette windowPalette({{1, 2, 3, 0}});
    window.SelectPalette(&windowPalette, false);
    scene.TieUpObjects();
    scene.InitAnimation(window, 64, 64, nullptr, nullptr);
    presenter.ClearLog();

    scene.Animate(window, 0, 0);
    EXPECT_EQ(presenter.Log().size(), c.draws ? 1u : 0u) << c.what;
    EXPECT_EQ(sprite->x, c.draws ? 21 : 20) << c.what;
    EXPECT_EQ(window.SelectedPalette(), &windowPalette) << c.what << ": the window's palette is back";
  }
}

class RecordingWavePlayer : public WavePlayer {
 public:
  void Play(std::span<const std::uint8_t>) override { ++plays; }
  void Stop() override {}
  int plays = 0;
};

TEST_F(FrameStepTest, SoundsPlayOnlyWhenBothSwitchesAreOn) {
  RecordingWavePlayer player;
  ScopedWavePlayer scoped(player);
  scene.objects[0]->sound = std::make_shared<ZoSound>();
  std::istringstream record(std::string(258, '\0') + std::string("\x02\0\0\0ab", 6));
  ASSERT_EQ(scene.objects[0]->sound->Read(record), 1);  // plays at frame 0
  ZoAnimatedSprite* ball = Sprite("ball", 10, 10, 0, 0);
  Prepare();
  std::vector<std::string> heard;
  scene.soundListener = [&](const ZoAnimatedSprite& sprite) { heard.emplace_back(sprite.Name()); };
  const struct {
    std::int32_t wave, soundOn;
    int plays;
  } cases[] = {{0, 1, 0}, {1, 0, 0}, {1, 1, 1}};
  for (const auto& c : cases) {
    player.plays = 0;
    scene.waveSoundOn = c.wave;
    ball->soundOn = c.soundOn;
    ball->curFrame = 0;
    scene.Animate(window, 0, 0);
    EXPECT_EQ(player.plays, c.plays) << c.wave << " " << c.soundOn;
  }
  EXPECT_EQ(heard, std::vector<std::string>{"ball"});
}

// --- Behaviour rules ---

class BehaviourTest : public ::testing::Test {
 protected:
  BehaviourTest() {
    scene.screenWidth = 640;
    scene.screenHeight = 480;
    sprite.imageWidth = sprite.imageHeight = 32;
    sprite.state = SpriteNewFrame;
  }
  ZoSpriteAnimation scene;
  ZoAnimatedSprite sprite;
};

TEST_F(BehaviourTest, FlowAndRandomWalkWrapAround) {
  const struct {
    std::int32_t behaviour, x, expected;
  } cases[] = {
      {BehaveFlow, -32, 606},        // left on the left: back whole, 2 pixels from the right
      {BehaveFlow, 640, -30},        // left on the right: 2 pixels show on the left
      {BehaveFlow, -31, -31},        // a pixel still shows
      {BehaveRandomWalk, -32, 638},  // only 2 pixels show on either side
      {BehaveRandomWalk, 640, -30},
  };
  for (const auto& c : cases) {
    ScriptedRandom script({0, 0, 0, 0});
    sprite.behaviour = c.behaviour;
    sprite.x = c.x;
    sprite.y = 0x10000 + 100;  // 100 in its low 16 bits, where the rule works
    scene.AdjustSpritePosition(&sprite);
    EXPECT_EQ(sprite.x, c.expected) << c.behaviour << " at " << c.x;
    EXPECT_EQ(sprite.y, 100) << "stored as its low 16 bits";
    EXPECT_EQ(sprite.prevX, c.x);
    EXPECT_EQ(sprite.prevY, 0x10000 + 100) << "the old value as it was";
  }
}

TEST_F(BehaviourTest, BounceReversesAtTheEdges) {
  sprite.behaviour = BehaveBound;
  const struct {
    std::int32_t x, speed, expected;
  } cases[] = {{0, -4, 4}, {608, 4, -4}, {300, 4, 4}, {-50, 4, -4}};
  for (const auto& c : cases) {
    sprite.x = c.x, sprite.y = 100, sprite.speedX = c.speed;
    scene.AdjustSpritePosition(&sprite);
    EXPECT_EQ(sprite.speedX, c.expected) << c.x;
  }
}

// Draws: sign for x, percentage for x, sign for y, percentage for y; an even sign draw is +.
TEST_F(BehaviourTest, RandomWalkDrawsSignThenPercentagePerAxis) {
  sprite.behaviour = BehaveRandomWalk;
  const struct {
    std::int32_t baseX, baseY;
    std::vector<std::int32_t> draws;
    std::int32_t speedX, speedY;
  } cases[] = {
      {-7, 10, {4, 50, 7, 99}, 3, -9},  // the size of the base, truncated, with the drawn sign
      {-7, 10, {1, 99, 0, 0}, -6, 0},
      // Only the low 16 bits of the base count, as in every rule: 0x10007 is 7, 40000 is -25536.
      {0x10007, 40000, {0, 50, 0, 50}, 3, 12768},
      {-32768, -32768, {0, 99, 1, 99}, 32440, -32440},
  };
  for (const auto& c : cases) {
    ScriptedRandom script(c.draws);
    sprite.baseSpeedX = c.baseX, sprite.baseSpeedY = c.baseY;
    sprite.x = sprite.y = 100;
    scene.AdjustSpritePosition(&sprite);
    EXPECT_EQ(sprite.speedX, c.speedX) << c.baseX;
    EXPECT_EQ(sprite.speedY, c.speedY) << c.baseY;
  }
}

TEST_F(BehaviourTest, OneShotJumpsAtTheStartOfACycle) {
  scene.screenWidth = 100;
  sprite.behaviour = BehaveOneShot;
  sprite.imageWidth = 60;  // 100 - 40 - 60 = 0: no draw for x
  sprite.speedX = 5;
  ScriptedRandom script({1234});
  scene.AdjustSpritePosition(&sprite);
  EXPECT_EQ(sprite.x, 20);
  EXPECT_EQ(sprite.y, 20 + 1234 % 408);
  EXPECT_EQ(sprite.speedX, 0);
  sprite.curFrame = 1;
  sprite.speedX = 5;
  scene.AdjustSpritePosition(&sprite);  // no draw now
  EXPECT_EQ(sprite.speedX, 0);
}

TEST_F(BehaviourTest, SpecifiedHeadsForTheFramesLocation) {
  ZoSpriteData object;
  object.AddLocation({0, 0});
  object.AddLocation({0, 0});
  object.AddLocation({10, 10});
  sprite.spriteData = &object;
  sprite.behaviour = BehaveSpecified;
  sprite.curFrame = 2;
  sprite.x = 4, sprite.y = 7;
  scene.AdjustSpritePosition(&sprite);
  EXPECT_EQ(sprite.speedX, 6);
  EXPECT_EQ(sprite.speedY, 3);
  sprite.curFrame = 3;  // no location: the speed stays
  scene.AdjustSpritePosition(&sprite);
  EXPECT_EQ(sprite.speedX, 6);
}

TEST_F(BehaviourTest, RadialBurstsFromTheCentre) {
  sprite.behaviour = BehaveRadial;
  {
    ScriptedRandom script({0, 0, 3, 4, 2, 1});  // 0, 0 again; (3, 4); signs +, -
    scene.AdjustSpritePosition(&sprite);
    EXPECT_EQ(script.Remaining(), 0u);
  }
  EXPECT_EQ(sprite.x, 304);
  EXPECT_EQ(sprite.y, 224);
  EXPECT_FLOAT_EQ(sprite.directionX, 0.6f);
  EXPECT_FLOAT_EQ(sprite.directionY, -0.8f);

  sprite.directionY = 0.8f;
  sprite.curFrame = 4;
  scene.AdjustSpritePosition(&sprite);
  EXPECT_EQ(sprite.speedX, 592 - 304);
  EXPECT_EQ(sprite.speedY, 608 - 224);

  sprite.curFrame = 5;
  scene.AdjustSpritePosition(&sprite);
  EXPECT_EQ(sprite.curFrame, 0);
}

TEST_F(BehaviourTest, UnknownBehavioursAndHeldFramesChangeNothing) {
  sprite.behaviour = 7;
  sprite.x = -500, sprite.speedX = 3;
  scene.AdjustSpritePosition(&sprite);
  EXPECT_EQ(sprite.x, -500);
  EXPECT_EQ(sprite.speedX, 3);
  sprite.behaviour = BehaveFlow;
  sprite.state = SpriteHeldFrame;
  scene.AdjustSpritePosition(&sprite);
  EXPECT_EQ(sprite.x, -500);
}

}  // namespace
}  // namespace kelna
