// kelna-tool sheet: a known object file drawn as the contact sheet we keep (tests/data/sheet/
// expected.png), its frames' pixels worked out here from the frames, and the files it refuses.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/dib_builder.h"
#include "tests/tools/tool_files.h"

namespace kelna::test {
namespace {

// A 13 × 11 frame: opaque but for its corners (alpha 0) and a ring of half-covering alpha
// 127, below the threshold; each opaque pixel of its own colour.
std::vector<std::uint8_t> Bird() {
  std::vector<std::uint8_t> rgba;
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x) {
      const int d = (x - 6) * (x - 6) + (y - 5) * (y - 5);
      for (int v : {50 + 15 * x, 240 - 20 * y, 120, d < 20 ? 255 : d < 30 ? 127 : 0}) rgba.push_back(std::uint8_t(v));
    }
  return rgba;
}

// objects.foe: "bird" with a PNG frame, the same again as "previous", a red BMP without a mask
// and a frame with no picture; "魚" (outside ASCII) without frames.
void WriteObjects(const TemporaryFolder& folder) {
  WritePng(folder / "bird.png", 13, 11, Bird());
  WriteBytes(folder / "red.bmp", StreamForm(SolidDib(20, 6, 0xE02020)));
  WriteBytes(folder / "m.json", R"({"objects": [{"name": "bird", "frames": [{"png": "bird.png"},
      {"image": "previous", "mask": "previous"}, {"image": "red.bmp"}, {}]}, {"name": "魚"}]})");
  ASSERT_EQ(RunTool("pack m.json objects.foe", folder.Path()).errors, "");
}

TEST(ContactSheetTest, DrawsEveryObjectsFramesOverACheckerboardWithNamesAndNumbers) {
  TemporaryFolder folder;
  WriteObjects(folder);
  ASSERT_EQ(RunTool("sheet objects.foe sheet.png", folder.Path()).errors, "");
  if (const char* to = std::getenv("KELNA_SCREENSHOT_DIR"))  // to look at
    fs::copy_file(folder / "sheet.png", fs::path(to) / "contact-sheet.png", fs::copy_options::overwrite_existing);
  const Png sheet = ReadPng(folder / "sheet.png", 3);
  const Png expected = ReadPng(fs::path(KELNA_TEST_DATA) / "sheet" / "expected.png", 3);
  ASSERT_EQ(std::pair(sheet.width, sheet.height), std::pair(expected.width, expected.height));
  EXPECT_TRUE(sheet.bytes == expected.bytes);

  // The bird's first frame starts below the label (16 pixels and a margin of 8), 8 from the
  // left; its second, "previous", shows the same 8 beyond its width. Where alpha reaches 128
  // the PNG's colour shows, elsewhere the checkerboard of 8-pixel squares.
  const std::vector<std::uint8_t> bird = Bird();
  for (const int left : {8, 8 + 13 + 8})
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 13; ++x) {
        const std::uint8_t* p = &bird[(std::size_t(y) * 13 + std::size_t(x)) * 4];
        const std::uint32_t checker = (x / 8 + y / 8) % 2 ? 0x909090 : 0xD0D0D0;
        const std::uint32_t colour = p[3] >= 128 ? std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2] : checker;
        ASSERT_EQ(sheet.Rgb(left + x, 32 + y), colour) << left << ": " << x << ", " << y;
      }
  // The frame without a mask is copied whole.
  for (const auto& [x, y] : {std::pair{0, 0}, {19, 5}}) EXPECT_EQ(sheet.Rgb(8 + 2 * (13 + 8) + x, 32 + y), 0xE02020u);
}

TEST(ContactSheetTest, RefusesWhatItCannotReadOrWrite) {
  TemporaryFolder folder;
  WriteObjects(folder);
  WriteBytes(folder / "cut.foe", Contents(folder / "objects.foe").substr(0, 200));
  const struct {
    const char* command;
    int status;
    std::string message;
  } cases[] = {
      {"sheet gone.foe out.png", 1, "kelna-tool: gone.foe: no such file\n"},
      {"sheet cut.foe out.png", 1, "kelna-tool: cut.foe: object 1 of 2 cut short in frame 1 of 4 (its picture announces 494 bytes, 83 present)\n"},
      {"sheet objects.foe missing/out.png", 1, "kelna-tool: cannot write missing/out.png\n"},
      {"sheet objects.foe", 2, "usage: kelna-tool sheet FILE.foe OUT.png\n"},
      {"sheet objects.foe out.png --big", 2, "usage: kelna-tool sheet FILE.foe OUT.png\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(c.command, folder.Path());
    EXPECT_EQ(std::pair(run.status, run.errors), std::pair(c.status, c.message)) << c.command;
  }
  EXPECT_FALSE(fs::exists(folder / "out.png"));
}

}  // namespace
}  // namespace kelna::test
