// kelna-tool decode, render and trace: BMP files against the bmpsuite's reference pixels, and
// small scenes whose ticks are worked out by hand from the rules of the frame step, played with
// scripted or seeded random values.

#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include "tests/support/dib_builder.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

using nlohmann::json;

const fs::path kSuite = fs::path(KELNA_TEST_DATA) / "bmpsuite";
constexpr std::uint32_t kRed = 0xFF0000;

// The pixel at (x, y) of a PNG file, as 0xRRGGBB.
std::uint32_t PngPixel(const fs::path& file, int x, int y) {
  int width = 0, height = 0, channels = 0;
  stbi_uc* data = stbi_load(file.c_str(), &width, &height, &channels, 3);
  EXPECT_TRUE(data && x < width && y < height) << file;
  const stbi_uc* p = data && x < width && y < height ? data + 3 * (std::size_t(y) * width + x) : nullptr;
  const std::uint32_t pixel = p ? std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2] : 0xBAD;
  stbi_image_free(data);
  return pixel;
}

// scene.anm with these sprites of "red": two frames of a 32 × 32 red square (the second
// borrows the first's picture), whose sound, without data, plays at frame 0.
std::string Scene(const TemporaryFolder& folder, const std::string& sprites) {
  WriteBytes(folder / "red.bmp", StreamForm(SolidDib(32, 32, kRed)));
  WriteBytes(folder / "m.json", R"({"objects": [{"name": "red", "frames": [{"image": "red.bmp"},
      {"image": "previous"}], "sound": {"fileName": "ping.wav", "playFrame": 0}}]})");
  EXPECT_EQ(RunTool("pack @m.json @objects.foe", folder.Path()).errors, "");
  json scene = {{"objectFile", (folder / "objects.foe").string()}, {"sprites", json::array()}};
  for (const json& sprite : json::parse(sprites)) {
    json full = {{"objectName", "red"}, {"randomStart", 0}, {"imageWidth", 32}, {"imageHeight", 32}};
    full["frameCount"] = 2;
    full.update(sprite);
    scene["sprites"].push_back(full);
  }
  WriteBytes(folder / "m.json", scene.dump());
  EXPECT_EQ(RunTool("pack @m.json @scene.anm", folder.Path()).errors, "");
  return (folder / "scene.anm").string();
}

// Bouncer (deepest, placed at random), 玉 and wrapper (both flowing), far enough apart that
// each is a region of its own.
std::string ThreeSprites(const TemporaryFolder& folder) {
  return Scene(folder, R"([{"name": "bouncer", "depth": 3, "behaviour": 1, "randomStart": 1},
      {"name": "玉", "depth": 2, "x": 100, "y": 100, "speedX": 4, "speedY": -3},
      {"name": "wrapper", "x": -28, "y": 300, "speedX": -4}])");
}

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

TEST(DecodeCommandTest, GoodFilesGiveTheReferencePixelsAndBadOnesOneLineNamingThem) {
  TemporaryFolder folder;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kSuite / "g")) {
    const std::string name = entry.path().stem().string();
    const ToolRun run = RunTool("decode " + entry.path().string() + " @" + name + ".pam", folder.Path());
    EXPECT_EQ(run.status, 0) << name << ": " << run.errors;
    EXPECT_TRUE(Contents(folder / (name + ".pam")) == Contents(kSuite / "ref" / (name + ".pam"))) << name;
    ++files;
  }
  EXPECT_EQ(files, 27);
  ASSERT_EQ(RunTool("decode " + (kSuite / "g" / "pal8.bmp").string() + " @a.png", folder.Path()).status, 0);
  EXPECT_EQ(Contents(folder / "a.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
  // Run-length encoded on disk; decoded to plain rows by the loader.
  EXPECT_EQ(json::parse(RunTool("inspect " + (kSuite / "g" / "pal4rle.bmp").string(), folder.Path()).out),
            json::parse(R"({"type": "bitmap", "width": 127, "height": 64, "bitCount": 4, "numColors": 12,
                "compression": 0})"));

  WriteBytes(folder / "text.bmp", "not a bitmap");
  const ToolRun run = RunTool("decode @text.bmp @out.pam", folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors.rfind(At("kelna-tool: @text.bmp: ", folder.Path()), 0), 0u) << run.errors;
  EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
  EXPECT_FALSE(fs::exists(folder / "out.pam"));
}

TEST(TraceCommandTest, TraceAndRenderShowTheFirstTicksAsTheFrameStepRulesHaveThem) {
  TemporaryFolder folder;
  const std::string play = ThreeSprites(folder) + " --ticks 2 --random @random.txt";
  // The bouncer's start: x first, 20 + 1000 mod (640 - 40 - 32) = 452; then y,
  // 20 + 7 mod (480 - 40 - 32) = 27. CR LF and blank lines are fine.
  WriteBytes(folder / "random.txt", "1000\r\n\r\n7\n");
  const ToolRun run = RunTool("trace " + play, folder.Path());
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

  // render writes the window after preparing and after each tick, into folders it makes.
  ASSERT_EQ(RunTool("render " + play + " --out @frames/deeper", folder.Path()).errors, "");
  const struct {
    const char* file;
    int x, y;
    std::uint32_t colour;
  } probes[] = {
      {"tick-0000.png", 104, 97, 0},  // nothing drawn yet
      {"tick-0001.png", 104, 97, kRed},  {"tick-0001.png", 135, 128, kRed},  // 玉's corners
      {"tick-0001.png", 103, 97, 0},     {"tick-0001.png", 104, 129, 0},     // the swept rest
      {"tick-0001.png", 3, 300, 0},      {"tick-0001.png", 606, 300, 0},     // wrapper, not yet
      {"tick-0002.png", 108, 94, kRed},  {"tick-0002.png", 107, 94, 0},
      {"tick-0002.png", 602, 300, kRed}, {"tick-0002.png", 452, 27, kRed},
  };
  for (const auto& p : probes)
    EXPECT_EQ(PngPixel(folder / "frames" / "deeper" / p.file, p.x, p.y), p.colour) << p.file << " " << p.x << "," << p.y;
}

TEST(TraceCommandTest, SoundsAndTheSeedFollowTheOptionsAndScriptedValuesCanRunOut) {
  TemporaryFolder folder;
  const std::string scene = ThreeSprites(folder);
  const struct {
    const char* options;
    int bouncerX, bouncerY;  // 20 + r mod 568, 20 + r mod 408 with the generator's first draws
    json sounds;             // on tick 1
  } cases[] = {
      {"", 146, 293, {"bouncer", "玉", "wrapper"}},           // seed 1: 908834774, 1093944153
      {"--seed 2", 384, 422, {"bouncer", "玉", "wrapper"}},  // 1649717740, 1969491882
      {"--no-sound", 146, 293, json::array()},               // the saver's wave switch off
  };
  for (const auto& c : cases) {
    const std::vector<json> lines = Lines(RunTool("trace " + scene + " --ticks 1 " + c.options, folder.Path()).out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["sprites"][0]["x"], c.bouncerX) << c.options;
    EXPECT_EQ(lines[0]["sprites"][0]["y"], c.bouncerY) << c.options;
    EXPECT_EQ(lines[1]["sounds"], c.sounds) << c.options;
    EXPECT_EQ(lines[1]["sprites"][1]["curFrame"], 1) << c.options;
  }

  // A walker takes two draws to place; each tick a sign and a percentage for each axis: nine
  // values run out in the second tick, and the ticks before stay printed.
  const std::string walk = Scene(folder, R"([{"name": "walker", "behaviour": 3, "randomStart": 1, "speedX": 2,
      "speedY": 2}])") + " --ticks 2 --random @random.txt";
  WriteBytes(folder / "random.txt", "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  EXPECT_EQ(Lines(RunTool("trace " + walk, folder.Path()).out).size(), 3u);
  WriteBytes(folder / "random.txt", "0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  const ToolRun run = RunTool("trace " + walk, folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, At("kelna-tool: @random.txt: the scripted random values ran out at tick 2\n", folder.Path()));
  const std::vector<json> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1]["tick"], 1);
}

TEST(RenderCommandTest, TheBackgroundIsCentredTiledOrTheDesktop) {
  TemporaryFolder folder;
  const std::string render = "render " + Scene(folder, "[]") + " --ticks 0 --size 100x50 --format pam";
  WriteBytes(folder / "green.bmp", StreamForm(SolidDib(16, 16, 0x00FF00)));
  const std::string header = "P7\nWIDTH 100\nHEIGHT 50\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n";
  const struct {
    char mode;
    int x, y;
    bool green;  // or black
  } probes[] = {
      {'0', 42, 17, true}, {'0', 57, 32, true}, {'0', 41, 17, false},  // at ((100 - 16) / 2, (50 - 16) / 2)
      {'1', 0, 0, true},   {'1', 99, 49, true}, {'1', 50, 25, true},   // tiled, part tiles at the edges
      {'2', 0, 0, true},   {'2', 15, 15, true}, {'2', 16, 0, false},   // the capture at the top left
  };
  for (const auto& p : probes) {
    const std::string mode(1, p.mode);
    ASSERT_EQ(RunTool(render + " --background @green.bmp --mode " + mode + " --out @" + mode, folder.Path()).errors, "");
    const std::string pam = Contents(folder / mode / "tick-0000.pam");
    ASSERT_EQ(pam.substr(0, header.size()), header);
    EXPECT_EQ(pam.substr(header.size() + (p.y * 100 + p.x) * 3, 3), p.green ? std::string("\0\xFF\0", 3) : std::string(3, '\0'))
        << "mode " << mode << " at " << p.x << ", " << p.y;
  }
}

}  // namespace
}  // namespace kelna::test
