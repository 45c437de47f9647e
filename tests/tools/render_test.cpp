// kelna-tool render: the window's pictures after every tick, read back with stb_image.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include "tests/tools/scene_files.h"

namespace kelna::test {
namespace {

namespace fs = std::filesystem;

// A decoded PNG: its size and 0xRRGGBB pixels.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels.at(std::size_t(y) * width + x); }
};

Picture ReadPng(const fs::path& file) {
  Picture picture;
  int channels = 0;
  const std::unique_ptr<stbi_uc, void (*)(void*)> data(
      stbi_load(file.c_str(), &picture.width, &picture.height, &channels, 3), stbi_image_free);
  EXPECT_TRUE(data) << file;
  if (!data) return {};
  for (int i = 0; i < picture.width * picture.height; ++i) {
    const stbi_uc* p = data.get() + 3 * i;
    picture.pixels.push_back(std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2]);
  }
  return picture;
}

std::set<fs::path> Names(const fs::path& folder) {
  std::set<fs::path> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

TEST(RenderCommandTest, WritesTheWindowAfterPreparingAndAfterEveryTick) {
  TemporaryFolder folder;
  kelna::test::PackRedObject(folder);
  kelna::ZoSpriteAnimation scene;
  kelna::test::AddRedSprite(scene, "ball", 1, kelna::BehaveFlow, 100, 100, 4, -3);
  const fs::path anm = kelna::test::WriteScene(folder, scene);
  const fs::path out = folder / "frames" / "deeper";  // made by render
  const ToolRun run = RunTool({"render", anm.string(), "--out", out.string(), "--ticks", "3"}, folder.Path());
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Names(out), (std::set<fs::path>{"tick-0000.png", "tick-0001.png", "tick-0002.png", "tick-0003.png"}));

  // Preparing draws no sprite; the first tick draws the square at (104, 97) and leaves the
  // rest of the swept rectangle background.
  const Picture prepared = ReadPng(out / "tick-0000.png");
  ASSERT_EQ(prepared.width, 640);
  ASSERT_EQ(prepared.height, 480);
  EXPECT_EQ(prepared.At(104, 97), 0u);
  const Picture first = ReadPng(out / "tick-0001.png");
  EXPECT_EQ(first.At(104, 97), kRed);
  EXPECT_EQ(first.At(135, 128), kRed);
  EXPECT_EQ(first.At(103, 97), 0u);
  EXPECT_EQ(first.At(104, 129), 0u);
  // Tick 3 shows it 2 × (4, -3) further on.
  const Picture third = ReadPng(out / "tick-0003.png");
  EXPECT_EQ(third.At(112, 91), kRed);
  EXPECT_EQ(third.At(111, 91), 0u);
}

TEST(RenderCommandTest, TheBackgroundIsCentredTiledOrTheDesktop) {
  TemporaryFolder folder;
  kelna::test::PackRedObject(folder);
  kelna::ZoSpriteAnimation empty;
  const fs::path anm = kelna::test::WriteScene(folder, empty);
  kelna::test::WriteSolidBmp(folder / "green.bmp", 16, 16, kGreen);
  const struct {
    const char* mode;
    const char* size;
    int width, height;
    struct Probe {
      int x, y;
      std::uint32_t colour;
    } probes[3];
  } cases[] = {
      // Centred: at ((100 - 16) / 2, (50 - 16) / 2) = (42, 17), black around it.
      {"0", "100x50", 100, 50, {{42, 17, kGreen}, {57, 32, kGreen}, {41, 17, 0}}},
      // Tiled from the top left corner, a part of a tile at the right and bottom edges.
      {"1", "100x50", 100, 50, {{0, 0, kGreen}, {99, 49, kGreen}, {50, 25, kGreen}}},
      // The desktop as it was: the capture at the top left, black where it ends.
      {"2", "100x50", 100, 50, {{0, 0, kGreen}, {15, 15, kGreen}, {16, 0, 0}}},
      // The default size, centred: (312, 232).
      {"0", nullptr, 640, 480, {{312, 232, kGreen}, {327, 247, kGreen}, {311, 232, 0}}},
  };
  for (const auto& c : cases) {
    const fs::path out = folder / (std::string("mode-") + c.mode + (c.size ? "-sized" : ""));
    std::vector<std::string> arguments = {"render", anm.string(), "--out", out.string(), "--ticks", "0",
                                          "--background", (folder / "green.bmp").string(), "--mode", c.mode};
    if (c.size) arguments.insert(arguments.end(), {"--size", c.size});
    const ToolRun run = kelna::test::RunToolWith(arguments, folder.Path());
    ASSERT_EQ(run.status, 0) << run.errors;
    const Picture picture = ReadPng(out / "tick-0000.png");
    ASSERT_EQ(picture.width, c.width) << c.mode;
    ASSERT_EQ(picture.height, c.height) << c.mode;
    for (const auto& probe : c.probes)
      EXPECT_EQ(picture.At(probe.x, probe.y), probe.colour) << "mode " << c.mode << " at " << probe.x << ", " << probe.y;
  }
}

TEST(RenderCommandTest, WritesPamWhenAskedFor) {
  TemporaryFolder folder;
  kelna::test::PackRedObject(folder);
  kelna::ZoSpriteAnimation empty;
  const fs::path anm = kelna::test::WriteScene(folder, empty);
  const ToolRun run = RunTool({"render", anm.string(), "--out", (folder / "out").string(), "--ticks", "1",
                               "--size", "2x1", "--format", "pam"},
                              folder.Path());
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(Names(folder / "out"), (std::set<fs::path>{"tick-0000.pam", "tick-0001.pam"}));
  EXPECT_EQ(kelna::test::Contents(folder / "out" / "tick-0001.pam"),
            std::string("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n") + std::string(6, '\0'));
}

}  // namespace
}  // namespace kelna::test
