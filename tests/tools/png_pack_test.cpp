// kelna-tool pack with PNG frames: what the saver draws of them, unpack --png, refused PNGs.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/dib_builder.h"
#include "tests/tools/tool_files.h"

namespace kelna::test {
namespace {

using nlohmann::json;
using Outcome = std::pair<int, std::string>;  // the status and what went to stderr
const Outcome kDone{0, ""};

// kelna-tool run in the folder, where the names are.
Outcome Tool(const TemporaryFolder& folder, const std::string& args) {
  const ToolRun run = RunTool(args, folder.Path());
  return {run.status, run.errors};
}

// f.png: 5 × 3 pixels that all differ, with alphas on both sides of every threshold tried.
std::vector<std::uint8_t> WriteFramePng(const TemporaryFolder& folder) {
  constexpr int kAlphas[] = {0, 1, 127, 128, 254, 255, 200};
  std::vector<std::uint8_t> rgba;
  for (int i = 0; i < 15; ++i)
    for (int v : {40 + 13 * i, 250 - 11 * i, 7 * i, kAlphas[i % 7]}) rgba.push_back(std::uint8_t(v));
  WritePng(folder / "f.png", 5, 3, rgba);
  return rgba;
}

TEST(PngFrameTest, TheSaverDrawsExactlyThePixelsWhoseAlphaReachesTheThreshold) {
  TemporaryFolder folder;
  const std::vector<std::uint8_t> rgba = WriteFramePng(folder);
  WriteBytes(folder / "bg.bmp", StreamForm(PackedDib(9, 7, 24, 0)));  // no two bytes alike
  WriteBytes(folder / "m.json", R"({"objects": [{"name": "f", "frames": [{"png": "f.png"}]}]})");
  const json sprite = {{"objectName", "f"}, {"randomStart", 0}, {"imageWidth", 5}, {"imageHeight", 3},
                       {"frameCount", 1}, {"x", 2}, {"y", 3}};
  WriteBytes(folder / "a.json", json{{"objectFile", (folder / "f.foe").string()}, {"sprites", {sprite}}}.dump());
  ASSERT_EQ(Tool(folder, "pack a.json a.anm"), kDone);
  for (const auto& [options, threshold] :
       {std::pair{"", 128}, {"--alpha-threshold 255", 255}, {"--palette --alpha-threshold 1", 1}}) {
    ASSERT_EQ(Tool(folder, "pack m.json f.foe " + std::string(options)), kDone);
    ASSERT_EQ(Tool(folder, "render a.anm --size 9x7 --ticks 1 --background bg.bmp --format pam --out out"), kDone);
    std::string expected = Contents(folder / "out/tick-0000.pam");  // the background alone
    const std::size_t pixels = expected.size() - 9 * 7 * 3;
    for (std::size_t i = 0; i < 15; ++i)  // the sprite's top-left corner is at (2, 3)
      if (rgba[4 * i + 3] >= threshold)
        expected.replace(pixels + ((3 + i / 5) * 9 + 2 + i % 5) * 3, 3, (const char*)&rgba[4 * i], 3);
    EXPECT_TRUE(Contents(folder / "out/tick-0001.pam") == expected) << options;
  }
}

// m.json packed as a.foe and unpacked with --png lists `frames` for its first object, and packs
// again to the same bytes.
void ExpectPngRoundTrip(const TemporaryFolder& folder, const char* frames) {
  ASSERT_EQ(Tool(folder, "pack m.json a.foe"), kDone);
  ASSERT_EQ(Tool(folder, "unpack a.foe out --png"), kDone);
  EXPECT_EQ(json::parse(Contents(folder / "out/manifest.json"))["objects"][0]["frames"], json::parse(frames));
  ASSERT_EQ(Tool(folder, "pack out/manifest.json b.foe"), kDone);
  EXPECT_TRUE(Contents(folder / "a.foe") == Contents(folder / "b.foe"));
}

TEST(PngFrameTest, UnpackPngWritesFramesThatPackToTheSameBytesAndRepeatsMayBorrow) {
  TemporaryFolder folder;
  WriteFramePng(folder);
  WriteBytes(folder / "red.bmp", StreamForm(SolidDib(5, 3, 0xFF0000)));
  const auto manifest = [&](const char* second) {
    WriteBytes(folder / "m.json", R"({"objects": [{"frames": [{"png": "f.png"}, )" + std::string(second) +
                                      R"(, {"png": "f.png", "palette": true}, {"image": "red.bmp"}]}]})");
  };
  manifest(R"({"image": "previous", "mask": "previous"})");
  ExpectPngRoundTrip(folder, R"([{"png": "0-0.png", "palette": false}, {"image": "previous", "mask": "previous"},
      {"png": "0-2.png", "palette": true}, {"image": "0-3-image.bmp", "mask": null}])");
  // The same picture again is stored again, or as the frame before's when asked.
  manifest(R"({"png": "f.png"})");
  ASSERT_EQ(Tool(folder, "pack m.json c.foe --reuse-previous"), kDone);
  EXPECT_TRUE(Contents(folder / "a.foe") == Contents(folder / "c.foe"));
  ASSERT_EQ(Tool(folder, "pack m.json d.foe"), kDone);
  EXPECT_EQ(fs::file_size(folder / "d.foe"), fs::file_size(folder / "a.foe") + 0x66 + 0x4A);  // image, mask
}

// A BMP file as pack writes a frame's picture (72 dpi, biClrUsed the table's size), all of
// whose rows are `row`.
std::string PackFormBmp(int width, int height, int bitCount, const std::string& table, const std::string& row) {
  const std::size_t offBits = 54 + table.size(), size = offBits + row.size() * std::size_t(height);
  std::string bmp = "BM" + Le(size, 4) + Le(0, 4) + Le(offBits, 4) + Le(40, 4) + Le(std::uint32_t(width), 4) +
                    Le(std::uint32_t(height), 4) + Le(1, 2) + Le(std::uint32_t(bitCount), 2) + Le(0, 4) +
                    Le(size - offBits, 4) + Le(2835, 4) + Le(2835, 4) + Le(table.size() / 4, 4) + Le(0, 4) + table;
  for (int y = 0; y < height; ++y) bmp += row;
  return bmp;
}

// A frame that would make a PNG pack refuses (4097 × 4096 pixels) stays two BMP files.
TEST(PngFrameTest, UnpackPngKeepsAFrameTooLargeForAPngAsBitmaps) {
  TemporaryFolder folder;
  constexpr int kWidth = 4097, kHeight = 4096;
  std::string maskRow((kWidth + 31) / 32 * 4, '\0');
  for (int x = 0; x < kWidth; ++x) maskRow[std::size_t(x / 8)] |= char(0x80 >> (x % 8));
  WriteBytes(folder / "image.bmp", PackFormBmp(kWidth, kHeight, 24, "", std::string((kWidth * 3 + 3) / 4 * 4, '\0')));
  WriteBytes(folder / "mask.bmp", PackFormBmp(kWidth, kHeight, 1, Le(0, 4) + Le(0xFFFFFF, 4), maskRow));
  WriteBytes(folder / "m.json", R"({"objects": [{"frames": [{"image": "image.bmp", "mask": "mask.bmp"}]}]})");
  ExpectPngRoundTrip(folder, R"([{"image": "0-0-image.bmp", "mask": "0-0-mask.bmp"}])");
}

TEST(PngFrameTest, HostilePngsAreRefusedOnOneLineNamingTheFile) {
  TemporaryFolder folder;
  WriteFramePng(folder);
  const std::string png = Contents(folder / "f.png");
  // IHDR's width and height, big-endian, replaced (stb does not check the CRC).
  const auto sized = [&](const char* size) { return png.substr(0, 16) + std::string(size, 8) + png.substr(24); };
  const std::string tooLarge = " pixels, more than a frame takes (32767 a side, 16777216 in all)";
  const struct { const char* file; std::string content, why; } cases[] = {
      {"cut.png", png.substr(0, png.size() - 20), "broken PNG: outofdata"},
      {"wide.png", sized("\0\0\x80\0\0\0\0\1"), "32768 x 1" + tooLarge},
      {"many.png", sized("\0\0\x10\1\0\0\x10\0"), "4097 x 4096" + tooLarge},
      {"most.png", sized("\0\0\x10\0\0\0\x10\0"), "broken PNG: not enough pixels"},  // within the limits
      {"type.png", png.substr(0, 25) + '\5' + png.substr(26), "broken PNG header"},
      {"bitmap.png", StreamForm(SolidDib(2, 2, 0)), "not a PNG file"},
      {"empty.png", "", "not a PNG file"},
  };
  for (const auto& c : cases) {
    WriteBytes(folder / c.file, c.content);
    WriteBytes(folder / "m.json", R"({"objects": [{"frames": [{"png": ")" + std::string(c.file) + "\"}]}]}");
    EXPECT_EQ(Tool(folder, "pack m.json out.foe"),
              Outcome(1, "kelna-tool: m.json: objects[0].frames[0].png: cannot read \"" + std::string(c.file) + "\": " +
                             c.why + "\n"));
  }
  EXPECT_FALSE(fs::exists(folder / "out.foe"));
}

}  // namespace
}  // namespace kelna::test
