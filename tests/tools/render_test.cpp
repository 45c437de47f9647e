// kelna-tool decode, render and trace: BMP files against the bmpsuite's reference pixels, and
// small scenes whose ticks are worked out by hand from the rules of the frame step, played with
// scripted or seeded random values.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
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

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kSuite = fs::path(KELNA_TEST_DATA) / "bmpsuite";
constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00;

// The pixel at (x, y) of a PNG file as 0xRRGGBB, and the picture's size.
std::uint32_t PixelAt(const fs::path& file, int x, int y, int* width = nullptr, int* height = nullptr) {
  int w = 0, h = 0, channels = 0;
  stbi_uc* data = stbi_load(file.c_str(), &w, &h, &channels, 3);
  EXPECT_TRUE(data && x < w && y < h) << file;
  const stbi_uc* p = data && x < w && y < h ? data + 3 * (std::size_t(y) * w + x) : nullptr;
  const std::uint32_t pixel = p ? std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2] : 0xBAD;
  stbi_image_free(data);
  if (width) *width = w, *height = h;
  return pixel;
}

// scene.anm of "red" (two frames of a 32 × 32 red square, the second borrowing the first's
// picture, whose sound without data plays at frame 0), with these sprites of it.
fs::path Scene(const TemporaryFolder& folder, const std::string& sprites) {
  WriteBytes(folder / "red.bmp", StreamForm(SolidDib(32, 32, kRed)));
  const std::string objects = R"({"objects": [{"name": "red", "frames": [{"image": "red.bmp"},
      {"image": "previous"}], "sound": {"fileName": "ping.wav", "playFrame": 0}}]})";
  json scene = {{"objectFile", (folder / "objects.foe").string()}, {"sprites", json::array()}};
  for (const json& sprite : json::parse(sprites)) {
    json full = {{"objectName", "red"}, {"randomStart", 0}, {"imageWidth", 32}, {"imageHeight", 32}, {"frameCount", 2}};
    full.update(sprite);
    scene["sprites"].push_back(full);
  }
  for (const auto& [manifest, output] : {std::pair{objects, "objects.foe"}, std::pair{scene.dump(), "scene.anm"}}) {
    WriteBytes(folder / "m.json", manifest);
    EXPECT_EQ(RunTool({"pack", (folder / "m.json").string(), (folder / output).string()}, folder.Path()).errors, "");
  }
  return folder / "scene.anm";
}

// Bouncer (deepest, placed at random), 玉 and wrapper (both flowing), far enough apart that
// each is a region of its own.
fs::path ThreeSprites(const TemporaryFolder& folder) {
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
    const fs::path out = folder / (name + ".pam");
    const ToolRun run = RunTool({"decode", entry.path().string(), out.string()}, folder.Path());
    EXPECT_EQ(run.status, 0) << name << ": " << run.errors;
    EXPECT_TRUE(Contents(out) == Contents(kSuite / "ref" / (name + ".pam"))) << name;
    ++files;
  }
  EXPECT_EQ(files, 27);
  ASSERT_EQ(RunTool({"decode", (kSuite / "g" / "pal8.bmp").string(), (folder / "a.png").string()}, folder.Path()).status,
            0);
  EXPECT_EQ(Contents(folder / "a.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
  // Run-length encoded on disk; decoded to plain rows by the loader.
  const ToolRun inspect = RunTool({"inspect", (kSuite / "g" / "pal4rle.bmp").string()}, folder.Path());
  EXPECT_EQ(json::parse(inspect.out), json::parse(R"({"type": "bitmap", "width": 127, "height": 64,
      "bitCount": 4, "numColors": 12, "compression": 0})"));

  const fs::path bad = folder / "text.bmp";
  WriteBytes(bad, "not a bitmap");
  const ToolRun run = RunTool({"decode", bad.string(), (folder / "out.pam").string()}, folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors.rfind("kelna-tool: " + bad.string() + ": ", 0), 0u) << run.errors;
  EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
  EXPECT_FALSE(fs::exists(folder / "out.pam"));
}

TEST(TraceCommandTest, TraceAndRenderShowTheFirstTicksAsTheFrameStepRulesHaveThem) {
  TemporaryFolder folder;
  const fs::path scene = ThreeSprites(folder);
  // The bouncer's start: x first, 20 + 1000 mod (640 - 40 - 32) = 452; then y,
  // 20 + 7 mod (480 - 40 - 32) = 27. CR LF and blank lines are fine.
  WriteBytes(folder / "random.txt", "1000\r\n\r\n7\n");
  const std::vector<std::string> play = {scene.string(), "--ticks", "2", "--random", (folder / "random.txt").string()};
  std::vector<std::string> arguments = {"trace"};
  arguments.insert(arguments.end(), play.begin(), play.end());
  const ToolRun run = RunTool(arguments, folder.Path());
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

  // render writes the window after preparing and after each tick, into a folder it makes.
  const fs::path out = folder / "frames" / "deeper";
  arguments = {"render", "--out", out.string()};
  arguments.insert(arguments.end(), play.begin(), play.end());
  ASSERT_EQ(RunTool(arguments, folder.Path()).errors, "");
  const struct {
    const char* file;
    int x, y;
    std::uint32_t colour;
  } probes[] = {
      {"tick-0000.png", 104, 97, 0},  // nothing drawn yet
      {"tick-0001.png", 104, 97, kRed}, {"tick-0001.png", 135, 128, kRed},  // 玉's corners
      {"tick-0001.png", 103, 97, 0},    {"tick-0001.png", 104, 129, 0},     // the swept rest
      {"tick-0001.png", 3, 300, 0},  // wrapper's columns, background now
      {"tick-0002.png", 108, 94, kRed}, {"tick-0002.png", 107, 94, 0},
      {"tick-0002.png", 602, 300, kRed}, {"tick-0002.png", 452, 27, kRed},
  };
  for (const auto& probe : probes)
    EXPECT_EQ(PixelAt(out / probe.file, probe.x, probe.y), probe.colour) << probe.file << " " << probe.x << "," << probe.y;
}

TEST(TraceCommandTest, SoundsAndTheSeedFollowTheOptionsAndScriptedValuesCanRunOut) {
  TemporaryFolder folder;
  const fs::path scene = ThreeSprites(folder);
  const struct {
    std::vector<std::string> options;
    int bouncerX, bouncerY;  // 20 + r mod 568, 20 + r mod 408 with the generator's first draws
    json sounds;             // on tick 1
  } cases[] = {
      {{}, 146, 293, {"bouncer", "玉", "wrapper"}},  // seed 1: 908834774 and 1093944153
      {{"--seed", "2"}, 384, 422, {"bouncer", "玉", "wrapper"}},  // 1649717740 and 1969491882
      {{"--no-sound"}, 146, 293, json::array()},  // the saver's wave switch off
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"trace", scene.string(), "--ticks", "1"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const std::vector<json> lines = Lines(RunTool(arguments, folder.Path()).out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["sprites"][0]["x"], c.bouncerX) << arguments.back();
    EXPECT_EQ(lines[0]["sprites"][0]["y"], c.bouncerY) << arguments.back();
    EXPECT_EQ(lines[1]["sounds"], c.sounds) << arguments.back();
    EXPECT_EQ(lines[1]["sprites"][1]["curFrame"], 1) << arguments.back();
  }

  // A walker takes two draws to place; each tick a sign and a percentage for each axis: nine
  // values run out in the second tick, and the ticks before stay printed.
  const std::string walker = Scene(folder, R"([{"name": "walker", "behaviour": 3, "randomStart": 1,
      "speedX": 2, "speedY": 2}])").string();
  const std::string random = (folder / "random.txt").string();
  WriteBytes(random, "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  EXPECT_EQ(Lines(RunTool({"trace", walker, "--ticks", "2", "--random", random}, folder.Path()).out).size(), 3u);
  WriteBytes(random, "0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  const ToolRun run = RunTool({"trace", walker, "--ticks", "2", "--random", random}, folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, "kelna-tool: " + random + ": the scripted random values ran out at tick 2\n");
  const std::vector<json> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1]["tick"], 1);
}

TEST(RenderCommandTest, TheBackgroundIsCentredTiledOrTheDesktop) {
  TemporaryFolder folder;
  const fs::path scene = Scene(folder, "[]");
  WriteBytes(folder / "green.bmp", StreamForm(SolidDib(16, 16, kGreen)));
  const struct {
    const char* mode;
    int x, y;
    std::uint32_t colour;
  } probes[] = {
      {"0", 42, 17, kGreen}, {"0", 57, 32, kGreen}, {"0", 41, 17, 0},  // at ((100 - 16) / 2, (50 - 16) / 2)
      {"1", 0, 0, kGreen},   {"1", 99, 49, kGreen}, {"1", 50, 25, kGreen},  // tiled, part tiles at the edges
      {"2", 0, 0, kGreen},   {"2", 15, 15, kGreen}, {"2", 16, 0, 0},  // the capture at the top left
  };
  for (const auto& probe : probes) {
    const fs::path out = folder / (std::string("mode-") + probe.mode);
    const ToolRun run = RunTool({"render", scene.string(), "--out", out.string(), "--ticks", "0", "--size", "100x50",
                                 "--background", (folder / "green.bmp").string(), "--mode", probe.mode},
                                folder.Path());
    ASSERT_EQ(run.status, 0) << run.errors;
    int width = 0, height = 0;
    EXPECT_EQ(PixelAt(out / "tick-0000.png", probe.x, probe.y, &width, &height), probe.colour)
        << "mode " << probe.mode << " at " << probe.x << ", " << probe.y;
    EXPECT_EQ(width * 1000 + height, 100050);
  }
  // The default size, 640 × 480, with the picture centred at (312, 232); PAM when asked for.
  const ToolRun run = RunTool({"render", scene.string(), "--out", (folder / "pam").string(), "--ticks", "0",
                               "--background", (folder / "green.bmp").string(), "--format", "pam"},
                              folder.Path());
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string pam = Contents(folder / "pam" / "tick-0000.pam");
  const std::string header = "P7\nWIDTH 640\nHEIGHT 480\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n";
  ASSERT_EQ(pam.substr(0, header.size()), header);
  EXPECT_EQ(pam.substr(header.size() + (232 * 640 + 312) * 3, 6), std::string("\0\xFF\0\0\xFF\0", 6));
  EXPECT_EQ(pam.substr(header.size() + (232 * 640 + 311) * 3, 3), std::string(3, '\0'));
}

}  // namespace
}  // namespace kelna::test
