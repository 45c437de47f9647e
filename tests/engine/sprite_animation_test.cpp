#include "engine/sprite_animation.h"

#include <gtest/gtest.h>

#include "engine/sprite_record.h"
#include "platform/random.h"
#include "platform/record_layout.h"
#include "platform/text.h"
#include "sprites/object_record.h"
#include "tests/sprites/pictures.h"
#include "tests/support/scene_file_builder.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;
using test::RecordOf;

ZoAnimatedSprite* Add(ZoSpriteAnimation& scene, const char* name, short depth, const char* object = "None") {
  auto sprite = std::make_unique<ZoAnimatedSprite>();
  sprite->SetName(name), sprite->SetObjectName(object), sprite->depth = depth;
  return scene.AddSprite(std::move(sprite));
}

Names SpriteNames(const ZoSpriteAnimation& scene) {
  Names names;
  for (const auto& sprite : scene.sprites) names.emplace_back(sprite->Name());
  return names;
}

TEST(ZoSpriteAnimationTest, SpritesStayInDepthOrderAndTieToTheirObjects) {
  ZoSpriteAnimation scene;
  for (const char* name : {"A", "B", "C"}) Add(scene, name, 5, "fish");
  Add(scene, "D", 7);
  ZoAnimatedSprite* lost = Add(scene, "E", -1, "shark");
  EXPECT_EQ(SpriteNames(scene), (Names{"D", "A", "B", "C", "E"})) << "after every sprite as deep";
  EXPECT_EQ(scene.FindSprite("B"), scene.sprites[2].get());
  EXPECT_EQ(scene.FindSprite("b"), nullptr);
  EXPECT_EQ(scene.RemoveSprite(99), nullptr);
  scene.objects.push_back(std::make_unique<ZoSpriteData>());
  scene.objects[0]->name = "fish", scene.objects[0]->useCount = 9;
  EXPECT_EQ(scene.TieUpObjects(), 1);
  EXPECT_EQ(scene.objects[0]->useCount, 3);
  EXPECT_EQ(scene.sprites[1]->spriteData, scene.objects[0].get());
  EXPECT_EQ(std::string(lost->ObjectName()), "None") << "a missing object's name is repaired";
  EXPECT_EQ(lost->spriteData, nullptr);
}

TEST(ZoSpriteAnimationTest, StartPositionsDrawRandomNumbersInSpriteOrderXBeforeY) {
  ZoSpriteAnimation scene;
  ZoAnimatedSprite* big = Add(scene, "big", 4);
  big->imageWidth = 90;   // 100 - 40 - 90 = -30: 20 + 47 mod -30 = 37
  big->imageHeight = 50;  // 80 - 40 - 50 = -10: 20 + 3 mod -10 = 23
  ZoAnimatedSprite* flow = Add(scene, "flow", 3);
  flow->imageWidth = 60;  // 100 - 40 - 60 = 0: x = 20, no draw
  flow->imageHeight = 30;  // 80 - 40 - 30 = 10: 20 + 25 mod 10 = 25
  flow->x = 5, flow->speedX = 7;
  ZoAnimatedSprite* oneShot = Add(scene, "oneShot", 2);
  oneShot->behaviour = BehaveOneShot, oneShot->frameCount = 4, oneShot->startFrame = 2;
  ZoAnimatedSprite* radial = Add(scene, "radial", 1);  // centred; (0, 100) is no direction: again
  radial->behaviour = BehaveRadial, radial->imageWidth = 32, radial->imageHeight = 17;
  ScriptedRandom script({47, 3, 25, 0, 100, 103, 4});
  RecordingPresenter presenter(100, 80);
  WindowDC window(presenter, 100, 80);
  scene.InitAnimation(window, 100, 80, nullptr, nullptr);
  EXPECT_EQ(script.Remaining(), 0u);
  EXPECT_EQ(std::pair(big->x, big->y), std::pair(37, 23));
  EXPECT_EQ(std::pair(flow->x, flow->y), std::pair(20, 25));
  EXPECT_EQ(std::pair(radial->x, radial->y), std::pair(34, 31));  // centred, (80 - 17) / 2 truncated
  EXPECT_EQ(std::tuple(flow->prevX, flow->baseSpeedX, flow->state), std::tuple(5, 7, SpriteNewFrame));
  EXPECT_EQ(std::tuple(oneShot->frameCount, oneShot->state), std::tuple(5, SpriteWaiting));
  EXPECT_FLOAT_EQ(radial->directionX, 3 / 5.0f);
  EXPECT_FLOAT_EQ(radial->directionY, 4 / 5.0f);
}

// The scene's size and the picture's (0: a file that does not load); the blits in order (tiles
// column by column); whether the image's own bitmap is borrowed (when larger than the scene both
// ways); a pixel of the background and its colour.
TEST(ZoSpriteAnimationTest, BackgroundIsComposedCentredOrTiledOrBorrowed) {
  constexpr Pixel kBlue = 0x336699;
  const struct { const char* what; std::int32_t mode; int width, height, picture; std::vector<Rect> blits;
                 bool borrowed; int x, y; Pixel colour; } cases[] = {
      {"tiled", BgTile, 250, 120, 100,
       {{0, 0, 100, 100}, {0, 100, 100, 120}, {100, 0, 200, 100}, {100, 100, 200, 120}, {200, 0, 250, 100},
        {200, 100, 250, 120}},
       false, 249, 119, kBlue},
      {"centred", BgCenter, 250, 120, 100, {{75, 10, 175, 110}}, false, 74, 10, 0},
      {"the same size is composed", BgCenter, 100, 100, 100, {{0, 0, 100, 100}}, false, 99, 99, kBlue},
      {"larger both ways: its top-left part", BgCenter, 100, 100, 101, {{0, 0, 100, 100}}, true, 0, 0, kBlue},
      {"no picture: black", BgCenter, 50, 40, 0, {}, false, 10, 10, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ZoSpriteAnimation scene;
    scene.bgMode = c.mode;
    RecordingPresenter presenter(c.width, c.height);
    WindowDC window(presenter, c.width, c.height);
    auto picture = c.picture ? test::ImageOf(test::SolidDib(c.picture, c.picture, kBlue))
                             : std::make_unique<ZoBmpImage>("missing.bmp");
    scene.InitAnimation(window, std::uint16_t(c.width), std::uint16_t(c.height), std::move(picture), nullptr);
    std::vector<Rect> blits;
    for (const auto& record : presenter.Log()) blits.push_back(record.target);
    EXPECT_EQ(blits, c.blits);
    EXPECT_EQ(scene.bgBitmap.IsBorrowed(), c.borrowed);
    EXPECT_EQ(scene.bgImage->Ddb() != nullptr, c.borrowed) << "a composed image's bitmap is released";
    EXPECT_EQ(scene.bgBitmap->At(c.x, c.y), c.colour);
    EXPECT_EQ(presenter.Window().At(c.x, c.y), c.colour) << "shown on the window at once";
  }  // and each scene goes without freeing a borrowed bitmap twice (ASan would see it)
}

// The headers' and records' descriptions against the layouts in docs/file-formats.md. A field
// ends where the next one starts, the last one at `size`.
struct FieldPlace { std::string_view name; std::size_t offset; };

template <class Record, std::size_t N>
void ExpectPlaces(const std::array<RecordField<Record>, N>& fields, std::size_t size,
                  const std::vector<FieldPlace>& expected) {
  ASSERT_EQ(fields.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(fields[i].name, expected[i].name);
    EXPECT_EQ(FieldOffset(fields, fields[i].name), expected[i].offset);
    EXPECT_EQ(fields[i].width, (i + 1 < N ? expected[i + 1].offset : size) - expected[i].offset);
  }
}

TEST(RecordLayout, RecordsAreTheFileFormatsLayouts) {
  ExpectPlaces(kAnimationFileHeader, 294, {{"magic", 0}, {"objectFile", 32}, {"spriteCount", 292}});
  ExpectPlaces(kObjectFileHeader, 34, {{"magic", 0}, {"objectCount", 32}});
  ExpectPlaces(kObjectRecord, 79,
               {{"tag", 0},          {"reserved1", 3},    {"name", 5},         {"depth", 37},
                {"behaviour", 39},   {"autoRepeat", 43},  {"randomStart", 47}, {"ownsImages", 51},
                {"imageWidth", 55},  {"imageHeight", 57}, {"frameCount", 59},  {"startX", 61},
                {"startY", 65},      {"speedX", 69},      {"speedY", 73},      {"locationCount", 77}});
  ExpectPlaces(kSpriteRecord, 115,
               {{"tag", 0},          {"reserved1", 3},    {"name", 5},         {"objectName", 37},
                {"depth", 69},       {"behaviour", 71},   {"autoRepeat", 75},  {"randomStart", 79},
                {"reserved2", 83},   {"imageWidth", 87},  {"imageHeight", 89}, {"startFrame", 91},
                {"frameCount", 93},  {"skipCount", 95},   {"x", 97},           {"y", 101},
                {"speedX", 105},     {"speedY", 109},     {"soundOn", 113}});
}

// A record with one field of each way of walking.
struct Sample {
  std::int32_t narrow = 0;  // stored in 2 bytes
  std::uint16_t count = 0;
  std::string text;
  std::array<char, 4> shortText{};
};

constexpr std::array kSample = {TagField<Sample>("T"), IntegerField<&Sample::narrow>("narrow", 2),
                                IntegerField<&Sample::count>("count", 2), TextField<&Sample::text>("text", 4),
                                TextField<&Sample::shortText>("shortText", 4)};

TEST(RecordLayout, FieldsReadSignExtendedAndWriteLowBytesWithTextsTwoBytesShort) {
  // Signed members read sign-extended; a text without a NUL is the whole field, an array keeps one.
  const std::string bytes = "T\xFE\xFF\xFE\xFF" "wxyz" "wxyz"s;
  ASSERT_TRUE(HasTags(kSample, bytes));
  Sample sample;
  ReadFields(kSample, sample, bytes);
  EXPECT_EQ(std::tuple(sample.narrow, sample.count, sample.text, std::string(sample.shortText.data())),
            std::tuple(-2, 0xFFFE, "wxyz", "wxy"));
  sample = {.narrow = 0x12345678, .count = 0xBEEF, .text = "wxyz", .shortText = {'a', 0, 0, 0}};
  std::ostringstream os;
  BinaryWriter out(os);
  WriteFields(kSample, sample, out);
  EXPECT_EQ(os.str(), "T\x78\x56\xEF\xBE" "wx\0\0" "a\0\0\0"s);
}

class SceneFileTest : public ::testing::Test {
 protected:
  SceneFileTest() {
    source.objectFileName = "C:\\ANIM\\FISH.FOE";
    for (int i = 0; i < 3; ++i) Add(source, ("sprite" + std::to_string(i)).c_str(), short(3 - i), "fish");
  }
  std::string File(const char* name) const { return PathToCp932(folder / name); }
  test::TemporaryFolder folder;
  ZoSpriteAnimation source;  // three sprites, deepest first
};

TEST_F(SceneFileTest, ReadReplacesTheSpritesOnlyWithAWholeAnimationFile) {
  ASSERT_EQ(source.Write(File("good.anm").c_str()), 1);
  const std::string good = test::Contents(folder / "good.anm");
  std::string tagged = good;
  tagged[294] = 'X';  // the first record's tag
  const std::string unterminated = good.substr(0, 32) + std::string(260, 'p') + good.substr(292);
  // The path field's last byte is always the NUL; a reader takes no more than that leaves.
  source.objectFileName = std::string(300, 'p');
  ASSERT_EQ(source.Write(File("long.anm").c_str()), 1);
  EXPECT_EQ(test::Contents(folder / "long.anm").substr(32, 261), std::string(259, 'p') + "\0\x03"s);
  const struct { std::string what, content; int result; Names sprites; std::string objectFile; } cases[] = {
      {"cut inside the header", good.substr(0, 200), 0, {"mine"}, "mine.foe"},
      // A default sprite (depth 1) in the place its depth gives it; the later records read.
      {"a record with a wrong tag", tagged, 1, {"sprite1", "", "sprite2"}, "C:\\ANIM\\FISH.FOE"},
      {"a path without its NUL", unterminated, 1, {"sprite0", "sprite1", "sprite2"}, std::string(259, 'p')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteBytes(folder / "case.anm", c.content);
    ZoSpriteAnimation scene;
    Add(scene, "mine", 1), scene.objectFileName = "mine.foe";
    EXPECT_EQ(scene.Read(File("case.anm").c_str(), false), c.result);
    EXPECT_EQ(SpriteNames(scene), c.sprites);
    EXPECT_EQ(scene.objectFileName, c.objectFile);
  }
}

TEST_F(SceneFileTest, WriteRefusesWithoutTouchingTheFile) {
  EXPECT_EQ(source.Write("\x28\x82\xC8\x82\xB5\x29"), 0);  // (なし)
  test::WriteBytes(folder / "kept.anm", "previous");
  source.objectFileName.reset();
  EXPECT_EQ(source.Write(File("kept.anm").c_str()), 0);
  EXPECT_EQ(test::Contents(folder / "kept.anm"), "previous");
  EXPECT_EQ(folder.Names(), std::set<std::filesystem::path>{"kept.anm"}) << "no temporary file left";
}

// The fixed part of an object's record under another tag: a reader takes its 79 bytes, no more.
std::string WrongTag(const ZoSpriteData& object) { return "SPE" + RecordOf(object).substr(3, 76); }

TEST_F(SceneFileTest, ObjectFilesReplaceTheObjectsOnlyWhenWhole) {
  ZoSpriteData fish, crab;
  fish.name = "fish", crab.name = "crab";
  fish.AddImage(test::ImageOf(test::PackedDib(4, 4, 24, 0)), 0, PairPart::Image);
  test::WriteBytes(folder / "good.foe", test::ObjectFileBytes(2, RecordOf(fish) + RecordOf(crab)));
  // The objects after loading good.foe, then `content`.
  const struct { std::string what, content; int result; Names objects; } cases[] = {
      {"count -1: no records", test::ObjectFileBytes(-1), 1, {}},
      {"a wrong tag, then a record", test::ObjectFileBytes(2, WrongTag(fish) + RecordOf(crab)), 1, {"", "crab"}},
      {"more wrong tags than held", test::ObjectFileBytes(3, WrongTag(fish) + WrongTag(crab)), 0, {"fish", "crab"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteBytes(folder / "case.foe", c.content);
    ZoSpriteAnimation scene;
    Add(scene, "a", 1, "crab");
    ASSERT_EQ(scene.ReadObjects(File("good.foe").c_str()), 1);
    EXPECT_EQ(scene.sprites[0]->spriteData, nullptr) << "tied to nothing until TieUpObjects";
    EXPECT_EQ(scene.ReadObjects(File("case.foe").c_str()), c.result);
    Names names;
    for (const auto& object : scene.objects) names.push_back(object->name);
    EXPECT_EQ(names, c.objects);
  }
}

// An animation moved with its object file finds the objects beside it, whatever folder or
// drive the stored path names; the stored path itself wins when it reads.
TEST_F(SceneFileTest, ObjectsAreReadFromTheStoredPathElseBesideTheAnimation) {
  ZoSpriteData fish;
  fish.name = "fish";
  test::WriteBytes(folder / "FISH.FOE", test::ObjectFileBytes(1, RecordOf(fish)));
  std::filesystem::create_directory(folder / "elsewhere");
  test::WriteBytes(folder / "elsewhere" / "other.foe", test::ObjectFileBytes(0));
  const struct { std::string stored; int result; std::size_t objects; } cases[] = {
      {"C:\\ANIM\\FISH.FOE", 1, 1}, {"/no/such/folder/FISH.FOE", 1, 1}, {File("elsewhere/other.foe"), 1, 0},
      {"C:\\ANIM\\CRAB.FOE", 0, 0},  // an empty name: refusal_reasons_test
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    source.objectFileName = c.stored;
    ASSERT_EQ(source.Write(File("moved.anm").c_str()), 1);
    ZoSpriteAnimation scene;
    EXPECT_EQ(scene.Read(File("moved.anm").c_str(), true), c.result);
    EXPECT_EQ(scene.objects.size(), c.objects);
    EXPECT_EQ(scene.objectFileName, c.stored) << "the stored path is kept for writing back";
  }
}

}  // namespace
}  // namespace kelna
