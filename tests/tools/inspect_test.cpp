// kelna-tool inspect of animation and BMP files, and what inspect and unpack say about
// files they cannot read.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/sprite_animation.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kFrames = fs::path(KELNA_TEST_DATA) / "bmpsuite" / "g";

// Three sprites stored in the order shallow, deep, middle; every field of the first differs
// from its default.
void WriteScene(const fs::path& file) {
  kelna::ZoSpriteAnimation scene;
  scene.objectFileName = "\x8B\x9B.foe";  // 魚.foe
  kelna::ZoAnimatedSprite& first = *scene.NewSprite();
  first.SetName("\x8C\xEF");       // 鯉
  first.SetObjectName("\xB6\xD2");  // ｶﾒ
  first.reserved1 = -7;
  first.behaviour = 5;
  first.autoRepeat = 0;
  first.randomStart = 0;
  first.reserved2 = 123456;
  first.imageWidth = 65535;
  first.imageHeight = 2;
  first.startFrame = 3;
  first.frameCount = 9;
  first.skipCount = 4;
  first.x = -100000;
  first.y = 100000;
  first.speedX = -1;
  first.speedY = 2;
  first.soundOn = 5;  // stored, but only 1 reads as on
  kelna::ZoAnimatedSprite& deep = *scene.NewSprite();
  deep.SetName("deep");
  deep.SetObjectName("fish");
  kelna::ZoAnimatedSprite& middle = *scene.NewSprite();
  middle.SetName("middle");
  // Depths set after adding, so the list is not in depth order when it is written.
  deep.depth = 3;
  middle.depth = 2;
  ASSERT_EQ(scene.Write(file.c_str()), 1);
}

TEST(InspectCommandTest, AnAnimationShowsItsSpritesInTheOrderTheReaderSortsThem) {
  TemporaryFolder folder;
  WriteScene(folder / "scene.anm");
  // The extension's case does not matter.
  fs::rename(folder / "scene.anm", folder / "SCENE.ANM");
  const ToolRun run = RunTool({"inspect", (folder / "SCENE.ANM").string()}, folder.Path());
  ASSERT_EQ(run.status, 0) << run.errors;
  const json defaults = json::parse(R"({"reserved1": 0, "depth": 1, "behaviour": 0, "autoRepeat": 1,
      "randomStart": 1, "reserved2": 0, "imageWidth": 0, "imageHeight": 0, "startFrame": 0,
      "frameCount": 0, "skipCount": 0, "x": 0, "y": 0, "speedX": 0, "speedY": 0, "soundOn": 1})");
  json deep = defaults, middle = defaults;
  deep.update({{"name", "deep"}, {"objectName", "fish"}, {"depth", 3}});
  middle.update({{"name", "middle"}, {"objectName", "None"}, {"depth", 2}});
  const json first = json::parse(R"({"name": "鯉", "objectName": "ｶﾒ", "reserved1": -7, "depth": 1,
      "behaviour": 5, "autoRepeat": 0, "randomStart": 0, "reserved2": 123456, "imageWidth": 65535,
      "imageHeight": 2, "startFrame": 3, "frameCount": 9, "skipCount": 4, "x": -100000, "y": 100000,
      "speedX": -1, "speedY": 2, "soundOn": 0})");
  const json expected = {{"type", "animation"}, {"objectFile", "魚.foe"}, {"sprites", {deep, middle, first}}};
  EXPECT_EQ(json::parse(run.out), expected) << run.out;
}

TEST(InspectCommandTest, ABitmapShowsTheLayoutTheLoaderGivesIt) {
  TemporaryFolder folder;
  const ToolRun run = RunTool({"inspect", (kFrames / "pal4rle.bmp").string()}, folder.Path());
  ASSERT_EQ(run.status, 0) << run.errors;
  // Run-length encoded on disk; decoded to plain rows by the loader.
  EXPECT_EQ(json::parse(run.out), json::parse(R"({"type": "bitmap", "width": 127, "height": 64,
      "bitCount": 4, "numColors": 12, "compression": 0})"));
}

TEST(InspectCommandTest, AFileThatCannotBeReadAsItsKindGivesOneLineAndStatus1) {
  TemporaryFolder folder;
  WriteScene(folder / "scene.anm");
  const std::string bitmap = Contents(kFrames / "pal8.bmp");
  WriteBytes(folder / "bitmap.foe", bitmap);
  WriteBytes(folder / "bitmap.anm", bitmap);
  WriteBytes(folder / "text.bmp", "not a bitmap");
  WriteBytes(folder / "cut.anm", Contents(folder / "scene.anm").substr(0, 294 + 115 + 50));
  WriteBytes(folder / "notes.txt", "");
  std::string objects("FO--1.00", 8);
  objects.resize(32);
  WriteBytes(folder / "cut.foe", objects + std::string("\x02\x00SPD", 5));
  fs::create_directories(folder / "folder.foe");
  const std::string at = folder.Path().string() + "/";
  const struct {
    std::string command;
    std::string file;
    int status;
    std::string message;  // after "kelna-tool: FILE: "
  } cases[] = {
      {"inspect", "missing.foe", 1, "no such file"},
      {"inspect", "folder.foe", 1, "is a folder, not a file"},
      // A file of another kind under the extension.
      {"inspect", "bitmap.foe", 1, "not an object file"},
      {"inspect", "bitmap.anm", 1, "not an animation file"},
      {"inspect", "text.bmp", 1, "not a BMP file"},
      // Files of the right kind that end too early: two objects announced, three bytes held;
      // three sprites announced, not quite two held.
      {"inspect", "cut.foe", 1, "broken object file (cut short or damaged)"},
      {"inspect", "cut.anm", 1, "broken animation file (cut short)"},
      // A kind inspect does not know is a usage error.
      {"inspect", "notes.txt", 2, "unknown kind of file (not .anm, .foe or .bmp)"},
      // unpack reads object files the same way.
      {"unpack", "bitmap.foe", 1, "not an object file"},
  };
  for (const auto& row : cases) {
    const ToolRun run = row.command == "unpack" ? RunTool({"unpack", at + row.file, at + "out"}, folder.Path())
                                                : RunTool({"inspect", at + row.file}, folder.Path());
    EXPECT_EQ(run.status, row.status) << row.file;
    EXPECT_EQ(run.errors, "kelna-tool: " + at + row.file + ": " + row.message + "\n");
    EXPECT_EQ(run.out, "") << row.file;
  }
  EXPECT_FALSE(fs::exists(folder / "out"));  // unpack made no folder for a file it refused
  EXPECT_EQ(RunTool({"inspect"}, folder.Path()).status, 2);
  EXPECT_EQ(RunTool({"unpack", at + "scene.foe"}, folder.Path()).status, 2);
}

}  // namespace
}  // namespace kelna::test
