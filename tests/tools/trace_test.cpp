// kelna-tool trace: small scenes whose ticks are worked out by hand from the rules of the
// frame step, played with scripted or seeded random values.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/scene_files.h"

namespace kelna::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::vector<json> Lines(const std::string& out) {
  std::vector<json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  return lines;
}

json Sprite(const char* name, int state, int curFrame, int x, int y, int speedX, int speedY, int flags) {
  return {{"name", name}, {"state", state}, {"curFrame", curFrame}, {"x", x}, {"y", y}, {"speedX", speedX},
          {"speedY", speedY}, {"tickCounter", 0}, {"frameCount", 2}, {"flags", flags}};
}

// Bouncer (deepest, placed at random), 玉 and wrapper (both flowing), far enough apart that
// each is a region of its own.
fs::path ThreeSprites(const TemporaryFolder& folder) {
  kelna::test::PackRedObject(folder);
  kelna::ZoSpriteAnimation scene;
  kelna::test::AddRedSprite(scene, "bouncer", 3, kelna::BehaveBound, 0, 0, 0, 0).randomStart = 1;
  kelna::test::AddRedSprite(scene, "\x8B\xCA", 2, kelna::BehaveFlow, 100, 100, 4, -3);  // 玉
  kelna::test::AddRedSprite(scene, "wrapper", 1, kelna::BehaveFlow, -28, 300, -4, 0);
  return kelna::test::WriteScene(folder, scene);
}

TEST(TraceCommandTest, TheFirstTicksFollowTheFrameStepRules) {
  TemporaryFolder folder;
  const fs::path scene = ThreeSprites(folder);
  // The bouncer's start: x first, 20 + 1000 mod (640 - 40 - 32) = 452; then y,
  // 20 + 7 mod (480 - 40 - 32) = 27.
  WriteBytes(folder / "random.txt", "1000\n7\n");
  const ToolRun run =
      RunTool({"trace", scene.string(), "--ticks", "2", "--random", (folder / "random.txt").string()}, folder.Path());
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::vector<json> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;

  // Prepared: nothing drawn on the black window yet; every sprite shown and still to move.
  EXPECT_EQ(lines[0], (json{{"tick", 0}, {"blits", json::array()}, {"sounds", json::array()},
                            {"sprites", {Sprite("bouncer", 1, 0, 452, 27, 0, 0, 3),
                                         Sprite("玉", 1, 0, 100, 100, 4, -3, 3),
                                         Sprite("wrapper", 1, 0, -28, 300, -4, 0, 3)}}}));

  // Tick 1, one region per sprite in list order, each its old and new place:
  // - the bouncer stands: 32 × 32 where it is;
  // - 玉 sweeps (100, 97) to (136, 132), 36 × 35, and ends at (104, 97);
  // - wrapper sweeps x -32 ... 4, of which 4 columns lie in the window; at -32 it has left
  //   on the left and comes back whole at 640 - 32 - 2 = 606.
  // Each shows frame 0, where the object's sound plays, and moves on to frame 1.
  EXPECT_EQ(lines[1], (json{{"tick", 1},
                            {"blits", {{452, 27, 32, 32}, {100, 97, 36, 35}, {0, 300, 4, 32}}},
                            {"sounds", {"bouncer", "玉", "wrapper"}},
                            {"sprites", {Sprite("bouncer", 1, 1, 452, 27, 0, 0, 1),
                                         Sprite("玉", 1, 1, 104, 97, 4, -3, 1),
                                         Sprite("wrapper", 1, 1, 606, 300, -4, 0, 1)}}}));

  // Tick 2 lists only its own blits: 玉 sweeps (104, 94) onwards, wrapper 602 ... 638. Each
  // shows its last frame (no sound there) and starts again at frame 0.
  EXPECT_EQ(lines[2], (json{{"tick", 2},
                            {"blits", {{452, 27, 32, 32}, {104, 94, 36, 35}, {602, 300, 36, 32}}},
                            {"sounds", json::array()},
                            {"sprites", {Sprite("bouncer", 1, 0, 452, 27, 0, 0, 1),
                                         Sprite("玉", 1, 0, 108, 94, 4, -3, 1),
                                         Sprite("wrapper", 1, 0, 602, 300, -4, 0, 1)}}}));
}

TEST(TraceCommandTest, SoundsAndTheSeedFollowTheOptions) {
  TemporaryFolder folder;
  const fs::path scene = ThreeSprites(folder);
  const struct {
    std::vector<std::string> options;
    int bouncerX, bouncerY;  // 20 + r mod 568, 20 + r mod 408 with the generator's first draws
    json sounds;             // on tick 1
  } cases[] = {
      // Seed 1 by default: the draws are 908834774 and 1093944153.
      {{}, 146, 293, {"bouncer", "玉", "wrapper"}},
      {{"--seed", "1"}, 146, 293, {"bouncer", "玉", "wrapper"}},
      // Seed 2: 1649717740 and 1969491882.
      {{"--seed", "2"}, 384, 422, {"bouncer", "玉", "wrapper"}},
      // The saver's wave switch off: the frames go on, no sound plays.
      {{"--no-sound"}, 146, 293, json::array()},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"trace", scene.string(), "--ticks", "1"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ToolRun run = kelna::test::RunToolWith(arguments, folder.Path());
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::vector<json> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["sprites"][0]["x"], c.bouncerX) << arguments.back();
    EXPECT_EQ(lines[0]["sprites"][0]["y"], c.bouncerY) << arguments.back();
    EXPECT_EQ(lines[1]["sounds"], c.sounds) << arguments.back();
    EXPECT_EQ(lines[1]["sprites"][1]["curFrame"], 1) << arguments.back();
  }
}

TEST(TraceCommandTest, RunningOutOfScriptedValuesStopsAtTheTickThatNeededMore) {
  TemporaryFolder folder;
  kelna::test::PackRedObject(folder);
  kelna::ZoSpriteAnimation walker;
  kelna::test::AddRedSprite(walker, "walker", 1, kelna::BehaveRandomWalk, 0, 0, 2, 2).randomStart = 1;
  const fs::path scene = kelna::test::WriteScene(folder, walker);
  const std::string random = (folder / "random.txt").string();
  // Two draws place the walker; each tick shows a new frame and draws a sign and a
  // percentage for each axis: 2 + 4 + 4 values last two ticks exactly, one fewer ends
  // the second tick.
  WriteBytes(random, "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  const ToolRun enough = RunTool({"trace", scene.string(), "--ticks", "2", "--random", random}, folder.Path());
  EXPECT_EQ(enough.status, 0) << enough.errors;
  EXPECT_EQ(Lines(enough.out).size(), 3u);

  WriteBytes(random, "0\r\n0\r\n\r\n0\n0\n0\n0\n0\n0\n0\n");  // CR LF and blank lines are fine
  const ToolRun shortOne = RunTool({"trace", scene.string(), "--ticks", "2", "--random", random}, folder.Path());
  EXPECT_EQ(shortOne.status, 1);
  EXPECT_EQ(shortOne.errors, "kelna-tool: " + random + ": the scripted random values ran out at tick 2\n");
  const std::vector<json> lines = Lines(shortOne.out);
  ASSERT_EQ(lines.size(), 2u) << "the ticks before stay printed";
  EXPECT_EQ(lines[1]["tick"], 1);
}

TEST(TraceCommandTest, ProblemsGiveOneLineAndTheirStatus) {
  TemporaryFolder folder;
  const fs::path scene = ThreeSprites(folder);
  const std::string at = folder.Path().string() + "/";
  WriteBytes(folder / "bad-random.txt", "12\n-5\n");
  WriteBytes(folder / "text.bmp", "not a bitmap");
  kelna::ZoSpriteAnimation orphan;
  orphan.objectFileName = at + "gone.foe";
  ASSERT_EQ(orphan.Write((at + "orphan.anm").c_str()), 1);
  const std::string anm = scene.string();
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string message;  // the first line on stderr, after "kelna-tool: "
  } cases[] = {
      // Files that cannot be read: the animation, its object file, the random values, the
      // background.
      {{"trace", at + "missing.anm"}, 1, at + "missing.anm: no such file"},
      {{"trace", at + "orphan.anm"}, 1, at + "orphan.anm: object file " + at + "gone.foe: no such file"},
      {{"trace", anm, "--random", at + "bad-random.txt"}, 1,
       at + "bad-random.txt: line 2: \"-5\" is not a value from 0 to 2147483647"},
      {{"trace", anm, "--background", at + "gone.bmp"}, 1, at + "gone.bmp: no such file"},
      {{"render", anm, "--out", at + "out", "--background", at + "text.bmp", "--mode", "2"}, 1,
       at + "text.bmp: not a BMP file"},
      // Wrong command lines.
      {{"trace"}, 2, "no animation file named"},
      {{"trace", anm, anm}, 2, "one animation file only (" + anm + " is a second)"},
      {{"trace", anm, "--size", "0x480"}, 2, "--size: \"0x480\" is not WIDTHxHEIGHT with sizes from 1 to 32767"},
      {{"trace", anm, "--size", "640"}, 2, "--size: \"640\" is not WIDTHxHEIGHT with sizes from 1 to 32767"},
      {{"trace", anm, "--size", "20000x20000"}, 2, "--size: 20000x20000 is more than the raster draws (256 MiB of pixels)"},
      {{"trace", anm, "--ticks", "-1"}, 2, "--ticks: \"-1\" is not a number from 0 to 1000000"},
      {{"trace", anm, "--mode", "3"}, 2, "--mode: \"3\" is not a number from 0 to 2"},
      {{"trace", anm, "--ticks"}, 2, "--ticks needs a value"},
      {{"trace", anm, "--random", "r.txt", "--seed", "4"}, 2, "--random and --seed exclude each other"},
      {{"trace", anm, "--out", at + "out"}, 2, "unknown option --out"},  // render's own
      {{"render", anm}, 2, "--out DIR is missing"},
      {{"render", anm, "--out", at + "out", "--format", "gif"}, 2, "--format: \"gif\" is neither png nor pam"},
  };
  for (const auto& c : cases) {
    const ToolRun run = kelna::test::RunToolWith(c.arguments, folder.Path());
    EXPECT_EQ(run.status, c.status) << c.message;
    EXPECT_EQ(run.errors.substr(0, run.errors.find('\n')), "kelna-tool: " + c.message);
    // A wrong command line adds the usage; a file problem is the one line.
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), c.status) << run.errors;
    EXPECT_EQ(run.out, "") << c.message;
  }
  EXPECT_FALSE(fs::exists(folder / "out")) << "render makes no folder for a scene it could not play";
}

}  // namespace
}  // namespace kelna::test
