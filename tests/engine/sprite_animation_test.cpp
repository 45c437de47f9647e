#include "engine/sprite_animation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/random.h"
#include "platform/text.h"
#include "sprites/bmp_image.h"
#include "tests/support/dib_builder.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using namespace std::string_literals;

ZoAnimatedSprite* Add(ZoSpriteAnimation& scene, const char* name, short depth, const char* object = "None") {
  auto sprite = std::make_unique<ZoAnimatedSprite>();
  sprite->SetName(name);
  sprite->SetObjectName(object);
  sprite->depth = depth;
  return scene.AddSprite(std::move(sprite));
}

std::vector<std::string> Names(const ZoSpriteAnimation& scene) {
  std::vector<std::string> names;
  for (const auto& sprite : scene.sprites) names.emplace_back(sprite->Name());
  return names;
}

std::unique_ptr<ZoBmpImage> Picture(int width, int height) {
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream is(test::StreamForm(test::PackedDib(width, height, 24, 0)));
  EXPECT_EQ(image->Read(is), 1);
  return image;
}

std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ZoSpriteAnimationTest, SpritesStayInDepthOrder) {
  ZoSpriteAnimation scene;
  Add(scene, "A", 5);
  Add(scene, "B", 5);
  Add(scene, "C", 5);
  EXPECT_EQ(Names(scene), (std::vector<std::string>{"A", "B", "C"}));
  Add(scene, "D", 7);
  Add(scene, "E", -1);
  EXPECT_EQ(Names(scene), (std::vector<std::string>{"D", "A", "B", "C", "E"}));
  // Re-sorting after a depth change: out by index, in again.
  auto a = scene.RemoveSprite(1);
  a->depth = 6;
  scene.AddSprite(std::move(a));
  EXPECT_EQ(Names(scene), (std::vector<std::string>{"D", "A", "B", "C", "E"}));
  ZoAnimatedSprite* fresh = scene.NewSprite();
  EXPECT_EQ(std::string(fresh->Name()), "newsprite");
  EXPECT_EQ(std::string(fresh->ObjectName()), "None");
  EXPECT_EQ(scene.FindSprite("B"), scene.sprites[2].get());
  EXPECT_EQ(scene.FindSprite("b"), nullptr);
  EXPECT_EQ(scene.RemoveSprite(99), nullptr);
}

TEST(ZoSpriteAnimationTest, TieUpObjectsCountsUsersAndRepairsMissingNames) {
  ZoSpriteAnimation scene;
  scene.objects.push_back(std::make_unique<ZoSpriteData>());
  scene.objects.back()->name = "fish";
  scene.objects.back()->useCount = 9;
  for (const char* name : {"a", "b", "c"}) Add(scene, name, 1, "fish");
  ZoAnimatedSprite* lost = Add(scene, "d", 1, "shark");
  EXPECT_EQ(scene.TieUpObjects(), 1);
  EXPECT_EQ(scene.objects[0]->useCount, 3);
  EXPECT_EQ(scene.sprites[0]->spriteData, scene.objects[0].get());
  EXPECT_EQ(std::string(lost->ObjectName()), "None");
  EXPECT_EQ(lost->spriteData, nullptr);
}

TEST(ZoSpriteAnimationTest, GetSpriteAtFindsTheFrontmostShownSprite) {
  ZoSpriteAnimation scene;
  ZoAnimatedSprite* back = Add(scene, "back", 5);
  ZoAnimatedSprite* front = Add(scene, "front", 1);
  for (ZoAnimatedSprite* s : {back, front}) s->x = 10, s->y = 20, s->imageWidth = 8, s->imageHeight = 4;
  EXPECT_EQ(scene.GetSpriteAt(10, 20), front);
  EXPECT_EQ(scene.GetSpriteAt(17, 23), front) << "the right and bottom edge pixels belong to it";
  EXPECT_EQ(scene.GetSpriteAt(18, 23), nullptr);
  EXPECT_EQ(scene.GetSpriteAt(17, 24), nullptr);
  front->flags = 0;
  EXPECT_EQ(scene.GetSpriteAt(10, 20), back);
  back->x = 0x10000 + 10;  // compared on its low 16 bits
  EXPECT_EQ(scene.GetSpriteAt(10, 20), back);
}

// --- Preparing for display ---

struct Prepared {
  RecordingPresenter presenter;
  WindowDC window;
  Prepared(int width, int height) : presenter(width, height), window(presenter, width, height) {}
};

TEST(ZoSpriteAnimationTest, StartPositionsDrawRandomNumbersInOrder) {
  ZoSpriteAnimation scene;
  ZoAnimatedSprite* flow = Add(scene, "flow", 3);
  flow->imageWidth = 60;  // 100 - 40 - 60 = 0: x = 20, no draw
  flow->imageHeight = 30;
  flow->x = 5;
  flow->speedX = 7;
  ZoAnimatedSprite* oneShot = Add(scene, "oneShot", 2);
  oneShot->behaviour = BehaveOneShot;
  oneShot->frameCount = 4;
  oneShot->startFrame = 2;
  ZoAnimatedSprite* radial = Add(scene, "radial", 1);
  radial->behaviour = BehaveRadial;
  radial->imageWidth = 32;
  radial->imageHeight = 17;
  ZoAnimatedSprite* fixed = Add(scene, "fixed", 0);
  fixed->behaviour = BehaveBound;
  fixed->randomStart = 0;
  fixed->x = 33;

  // y: 80 - 40 - 30 = 10, 25 mod 10 = 5. Radial: 0 and 100 (both 0) draw again: 103, 4.
  ScriptedRandom script({25, 0, 100, 103, 4});
  Prepared view(100, 80);
  scene.InitAnimation(view.window, 100, 80, nullptr, nullptr);
  EXPECT_EQ(script.Remaining(), 0u);
  EXPECT_EQ(flow->x, 20);
  EXPECT_EQ(flow->y, 25);
  EXPECT_EQ(flow->prevX, 5);
  EXPECT_EQ(flow->baseSpeedX, 7);
  EXPECT_EQ(flow->state, SpriteNewFrame);
  EXPECT_EQ(oneShot->frameCount, 5);
  EXPECT_EQ(oneShot->state, SpriteWaiting);
  EXPECT_FLOAT_EQ(radial->directionX, 3 / 5.0f);
  EXPECT_FLOAT_EQ(radial->directionY, 4 / 5.0f);
  EXPECT_EQ(radial->x, 34);  // (100 - 32) / 2
  EXPECT_EQ(radial->y, 31);  // (80 - 17) / 2, truncated
  EXPECT_EQ(fixed->x, 33);
}

TEST(ZoSpriteAnimationTest, NegativeMarginsKeepTheDrawInRange) {
  ZoSpriteAnimation scene;
  ZoAnimatedSprite* big = Add(scene, "big", 1);
  big->imageWidth = 90;   // 100 - 40 - 90 = -30: 20 + 47 mod -30 = 37
  big->imageHeight = 50;  // 80 - 40 - 50 = -10: 20 + 3 mod -10 = 23
  ScriptedRandom script({47, 3});
  Prepared view(100, 80);
  scene.InitAnimation(view.window, 100, 80, nullptr, nullptr);
  EXPECT_EQ(big->x, 37);
  EXPECT_EQ(big->y, 23);
}

TEST(ZoSpriteAnimationTest, BackgroundIsComposedCentredOrTiledOrBorrowed) {
  {
    ZoSpriteAnimation scene;
    scene.bgMode = BgTile;
    Prepared view(250, 120);
    scene.InitAnimation(view.window, 250, 120, Picture(100, 100), nullptr);
    const std::vector<Rect> tiles = {{0, 0, 100, 100},   {0, 100, 100, 120},   {100, 0, 200, 100},
                                     {100, 100, 200, 120}, {200, 0, 250, 100}, {200, 100, 250, 120}};
    ASSERT_EQ(view.presenter.Log().size(), tiles.size()) << "column by column";
    for (std::size_t i = 0; i < tiles.size(); ++i) EXPECT_EQ(view.presenter.Log()[i].target, tiles[i]);
    EXPECT_FALSE(scene.bgBitmap.IsBorrowed());
    EXPECT_EQ(scene.bgImage->Ddb(), nullptr) << "the image's bitmap is released after composing";
    EXPECT_EQ(scene.bgBitmap->At(249, 119), scene.bgBitmap->At(49, 19));
  }
  {
    ZoSpriteAnimation scene;
    scene.bgMode = BgCenter;
    Prepared view(250, 120);
    scene.InitAnimation(view.window, 250, 120, Picture(100, 100), nullptr);
    ASSERT_EQ(view.presenter.Log().size(), 1u);
    EXPECT_EQ(view.presenter.Log()[0].target, (Rect{75, 10, 175, 110}));
    EXPECT_EQ(scene.bgBitmap->At(74, 10), 0u) << "black around the picture";
  }
  {
    ZoSpriteAnimation scene;
    Prepared view(100, 100);
    scene.InitAnimation(view.window, 100, 100, Picture(100, 100), nullptr);
    EXPECT_FALSE(scene.bgBitmap.IsBorrowed()) << "the same size is composed";
  }
  {
    ZoSpriteAnimation scene;
    Prepared view(100, 100);
    scene.InitAnimation(view.window, 100, 100, Picture(101, 101), nullptr);
    EXPECT_TRUE(scene.bgBitmap.IsBorrowed()) << "larger both ways: the image's own bitmap";
    EXPECT_EQ(scene.bgBitmap.Get(), scene.bgImage->Ddb());
    EXPECT_EQ(scene.bgDC->Surface(), scene.bgBitmap.Get());
  }  // and the scene goes without freeing the borrowed bitmap twice (ASan would see it)
  {
    ZoSpriteAnimation scene;
    Prepared view(50, 40);
    scene.InitAnimation(view.window, 50, 40, std::make_unique<ZoBmpImage>("missing.bmp"), nullptr);
    EXPECT_TRUE(view.presenter.Log().empty()) << "no picture: black, nothing to paint";
    EXPECT_EQ(scene.bgBitmap->At(10, 10), 0u);
  }
}

TEST(ZoSpriteAnimationTest, DesktopModeCopiesTheCapture) {
  ZoSpriteAnimation scene;
  scene.bgMode = BgDesktop;
  auto capture = std::make_unique<Bitmap>(60, 50);
  for (Pixel& p : capture->Pixels()) p = 0x336699;
  auto desktop = CreateCompatibleDC(nullptr);
  ASSERT_TRUE(desktop->SelectOwned(std::move(capture)));
  Prepared view(40, 30);
  scene.InitAnimation(view.window, 40, 30, nullptr, std::move(desktop));
  ASSERT_EQ(view.presenter.Log().size(), 1u);
  EXPECT_EQ(view.presenter.Log()[0].target, (Rect{0, 0, 40, 30}));
  EXPECT_EQ(view.presenter.Window().At(39, 29), 0x336699u);
  EXPECT_EQ(scene.bgBitmap->At(0, 0), 0x336699u);
  EXPECT_EQ(scene.workBitmap->Width(), 40);
  EXPECT_EQ(scene.spriteDC->Surface()->Width(), 1);
}

// --- Files ---

class SceneFileTest : public ::testing::Test {
 protected:
  std::string File(const char* name) const { return PathToCp932(folder / name); }
  test::TemporaryFolder folder;
};

// A scene of three sprites with every field set.
void FillScene(ZoSpriteAnimation& scene) {
  scene.objectFileName = "C:\\ANIM\\FISH.FOE";
  for (int i = 0; i < 3; ++i) {
    ZoAnimatedSprite* sprite = Add(scene, ("sprite" + std::to_string(i)).c_str(), short(3 - i), "fish");
    sprite->reserved1 = short(i + 100);
    sprite->behaviour = i;
    sprite->autoRepeat = i % 2;
    sprite->randomStart = 0;
    sprite->reserved2 = -i;
    sprite->imageWidth = std::uint16_t(32 + i);
    sprite->imageHeight = 40000;
    sprite->startFrame = std::uint16_t(i);
    sprite->frameCount = 6;
    sprite->skipCount = 2;
    sprite->x = -i * 1000;
    sprite->y = 70000;
    sprite->speedX = 4;
    sprite->speedY = -3;
    sprite->soundOn = i == 1 ? 0 : 1;
  }
}

std::string SpriteRecords(const ZoSpriteAnimation& scene) {
  std::ostringstream os;
  for (const auto& sprite : scene.sprites) sprite->Write(os);
  return os.str();
}

TEST_F(SceneFileTest, WritesAndReadsBackTheSameSprites) {
  ZoSpriteAnimation scene;
  FillScene(scene);
  ASSERT_EQ(scene.Write(File("three.anm").c_str()), 1);
  const std::string content = Contents(folder / "three.anm");
  ASSERT_EQ(content.size(), 639u);
  EXPECT_EQ(content.substr(0, 32), "AN--1.00" + std::string(24, '\0'));
  EXPECT_EQ(content.substr(32, 17), "C:\\ANIM\\FISH.FOE\0"s);
  EXPECT_EQ(content.substr(292, 2), "\x03\x00"s);

  ZoSpriteAnimation read;
  ASSERT_EQ(read.Read(File("three.anm").c_str(), false), 1);
  EXPECT_EQ(read.objectFileName, scene.objectFileName);
  EXPECT_EQ(SpriteRecords(read), SpriteRecords(scene));
  EXPECT_EQ(Names(read), (std::vector<std::string>{"sprite0", "sprite1", "sprite2"}));
}

// The writer keeps the path field's last byte for the NUL, so the reader of a field without
// one takes no more than the writer can give back: a round trip keeps the name.
TEST_F(SceneFileTest, AnObjectFileNameWithoutItsNulReadsAsMuchAsAWriterKeeps) {
  ZoSpriteAnimation source;
  FillScene(source);
  ASSERT_EQ(source.Write(File("full.anm").c_str()), 1);
  std::string content = Contents(folder / "full.anm");
  std::string path(260, '\0');
  for (std::size_t i = 0; i < path.size(); ++i) path[i] = char('a' + i % 26);
  content.replace(32, path.size(), path);
  std::ofstream(folder / "full.anm", std::ios::binary) << content;

  ZoSpriteAnimation read;
  ASSERT_EQ(read.Read(File("full.anm").c_str(), 0), 1);
  EXPECT_EQ(read.objectFileName, path.substr(0, 259));
  ASSERT_EQ(read.Write(File("again.anm").c_str()), 1);
  ZoSpriteAnimation again;
  ASSERT_EQ(again.Read(File("again.anm").c_str(), 0), 1);
  EXPECT_EQ(again.objectFileName, read.objectFileName);
  EXPECT_EQ(SpriteRecords(again), SpriteRecords(source)) << "the records still start at the same place";
}

TEST_F(SceneFileTest, ReadRefusesWhatIsNotAWholeAnimationFileAndKeepsTheSprites) {
  ZoSpriteAnimation source;
  FillScene(source);
  source.Write(File("good.anm").c_str());
  const std::string good = Contents(folder / "good.anm");
  struct Case {
    const char* what;
    std::string content;
  };
  const Case cases[] = {
      {"another version", "AN--1.01" + good.substr(8)},
      {"cut inside the header", good.substr(0, 200)},
      {"cut inside a record", good.substr(0, 294 + 115 + 50)},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    std::ofstream(folder / "bad.anm", std::ios::binary) << c.content;
    ZoSpriteAnimation scene;
    Add(scene, "mine", 1);
    scene.objectFileName = "mine.foe";
    EXPECT_EQ(scene.Read(File("bad.anm").c_str(), false), 0) << c.what;
    EXPECT_EQ(Names(scene), std::vector<std::string>{"mine"}) << c.what;
    EXPECT_EQ(scene.objectFileName, "mine.foe") << c.what;
  }
  ZoSpriteAnimation scene;
  Add(scene, "mine", 1);
  EXPECT_EQ(scene.Read(File("missing.anm").c_str(), false), 0);
  EXPECT_EQ(scene.sprites.size(), 1u);
}

TEST_F(SceneFileTest, EmptyFilesAndRecordsWithAWrongTag) {
  std::ofstream(folder / "empty.anm", std::ios::binary) << "AN--1.00" + std::string(286, '\0');
  ZoSpriteAnimation scene;
  Add(scene, "old", 1);
  ASSERT_EQ(scene.Read(File("empty.anm").c_str(), false), 1);
  EXPECT_TRUE(scene.sprites.empty());
  EXPECT_EQ(scene.objectFileName, "");

  ZoSpriteAnimation source;
  FillScene(source);
  source.Write(File("tagged.anm").c_str());
  std::string content = Contents(folder / "tagged.anm");
  content[294] = 'X', content[295] = 'Y';  // the first record
  std::ofstream(folder / "tagged.anm", std::ios::binary) << content;
  ASSERT_EQ(scene.Read(File("tagged.anm").c_str(), false), 1);
  // A default sprite (depth 1) in the place its depth gives it; the later records read.
  EXPECT_EQ(Names(scene), (std::vector<std::string>{"sprite1", "", "sprite2"}));
}

TEST_F(SceneFileTest, WriteRefusesWithoutTouchingTheFile) {
  ZoSpriteAnimation scene;
  FillScene(scene);
  EXPECT_EQ(scene.Write("\x28\x82\xC8\x82\xB5\x29"), 0);  // (なし)
  EXPECT_TRUE(folder.Names().empty());

  std::ofstream(folder / "kept.anm", std::ios::binary) << "previous";
  scene.objectFileName.reset();
  EXPECT_EQ(scene.Write(File("kept.anm").c_str()), 0);
  EXPECT_EQ(Contents(folder / "kept.anm"), "previous");

  scene.objectFileName = "x.foe";
  EXPECT_EQ(scene.Write(PathToCp932(folder / "no folder" / "x.anm").c_str()), 0);
  EXPECT_EQ(folder.Names(), std::set<std::filesystem::path>{"kept.anm"}) << "no temporary file left";
}

// An object's record as ZoSpriteData writes it.
std::string Record(const ZoSpriteData& object) {
  std::ostringstream os;
  object.Write(os);
  return os.str();
}

// The fixed part of the object's record under another tag: a reader takes its 79 bytes and
// nothing more.
std::string WrongTag(const ZoSpriteData& object) { return "SPE" + Record(object).substr(3, 76); }

// An object file announcing `count` records, followed by the given bytes.
std::string RawObjectFile(std::int16_t count, const std::string& records) {
  return "FO--1.00"s + std::string(24, '\0') + char(count) + char(count >> 8) + records;
}

std::string ObjectFile(std::int16_t count, const std::vector<const ZoSpriteData*>& objects) {
  std::string records;
  for (const ZoSpriteData* object : objects) records += Record(*object);
  return RawObjectFile(count, records);
}

std::vector<std::string> ObjectNames(const ZoSpriteAnimation& scene) {
  std::vector<std::string> names;
  for (const auto& object : scene.objects) names.push_back(object->name);
  return names;
}

TEST_F(SceneFileTest, ObjectFilesReplaceTheObjectsOnlyWhenWhole) {
  ZoSpriteData fish;
  fish.name = "fish";
  fish.AddImage(Picture(4, 4), 0, PairPart::Image);
  ZoSpriteData crab;
  crab.name = "crab";
  const std::string good = ObjectFile(2, {&fish, &crab});
  std::ofstream(folder / "good.foe", std::ios::binary) << good;

  ZoSpriteAnimation scene;
  Add(scene, "a", 1, "crab");
  ASSERT_EQ(scene.ReadObjects(File("good.foe").c_str()), 1);
  ASSERT_EQ(scene.objects.size(), 2u);
  EXPECT_EQ(scene.objects[1]->name, "crab");
  EXPECT_EQ(scene.sprites[0]->spriteData, nullptr) << "tied to nothing until TieUpObjects";

  using Names = std::vector<std::string>;
  const Names kept = {"fish", "crab"};
  struct Case {
    const char* what;
    std::string content;
    int result;
    Names objects;  // after the load
  };
  const Case cases[] = {
      {"count 0: 34 bytes", RawObjectFile(0, ""), 1, {}},
      {"count -1: no records", RawObjectFile(-1, ""), 1, {}},
      {"another magic", "FO--2.00" + good.substr(8), 0, kept},
      {"cut inside a record", good.substr(0, good.size() - 10), 0, kept},
      {"a count the file cannot hold", ObjectFile(30000, {&crab}), 0, kept},
      // A wrong tag leaves a default object and takes 79 bytes, without the sound flag.
      {"only records with a wrong tag", RawObjectFile(3, WrongTag(fish) + WrongTag(crab) + WrongTag(fish)), 1,
       {"", "", ""}},
      {"a wrong tag, then a record", RawObjectFile(2, WrongTag(fish) + Record(crab)), 1, {"", "crab"}},
      {"more wrong tags announced than held", RawObjectFile(4, WrongTag(fish) + WrongTag(crab) + WrongTag(fish)), 0,
       kept},
  };
  for (const Case& c : cases) {
    std::ofstream(folder / "case.foe", std::ios::binary) << c.content;
    ZoSpriteAnimation loaded;
    loaded.ReadObjects(File("good.foe").c_str());
    EXPECT_EQ(loaded.ReadObjects(File("case.foe").c_str()), c.result) << c.what;
    EXPECT_EQ(ObjectNames(loaded), c.objects) << c.what;
  }
}

TEST_F(SceneFileTest, ReadWithObjectsLoadsAndTiesThem) {
  ZoSpriteData fish;
  fish.name = "fish";
  std::ofstream(folder / "sea.foe", std::ios::binary) << ObjectFile(1, {&fish});
  ZoSpriteAnimation source;
  FillScene(source);
  source.objectFileName = File("sea.foe");
  source.Write(File("sea.anm").c_str());

  ZoSpriteAnimation scene;
  ASSERT_EQ(scene.Read(File("sea.anm").c_str(), true), 1);
  ASSERT_EQ(scene.objects.size(), 1u);
  EXPECT_EQ(scene.objects[0]->useCount, 3);
  EXPECT_EQ(scene.sprites[2]->spriteData, scene.objects[0].get());

  std::filesystem::remove(folder / "sea.foe");
  ZoSpriteAnimation untied;
  EXPECT_EQ(untied.Read(File("sea.anm").c_str(), true), 0);
  EXPECT_EQ(untied.sprites.size(), 3u) << "the sprites stay loaded";
  EXPECT_EQ(untied.sprites[0]->spriteData, nullptr);
}

}  // namespace
}  // namespace kelna
