// kelna-tool pack and unpack: object files built from manifests, read back through inspect
// and the program's own reader, and unpacked into manifests that build the same file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sprite_animation.h"
#include "platform/binary_io.h"
#include "sprites/dib_loader.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kFrames = fs::path(KELNA_TEST_DATA) / "bmpsuite" / "g";

// A mono 8-bit PCM wave file of `samples` samples.
std::string WaveBytes(std::uint32_t samples) {
  std::ostringstream os(std::ios::binary);
  kelna::BinaryWriter out(os);
  out.Bytes(std::span<const char>("RIFF", 4));
  out.U32(36 + samples);
  out.Bytes(std::span<const char>("WAVEfmt ", 8));
  out.U32(16);
  out.U16(1), out.U16(1), out.U32(8000), out.U32(8000), out.U16(1), out.U16(8);
  out.Bytes(std::span<const char>("data", 4));
  out.U32(samples);
  for (std::uint32_t i = 0; i < samples; ++i) out.U8(std::uint8_t(128 + (i % 16) * 4));
  return os.str();
}

// The frames of the bmpsuite the manifests below name, copied beside them.
void CopyFrames(const TemporaryFolder& folder, const std::vector<std::string>& names) {
  fs::create_directories(folder / "g");
  for (const std::string& name : names) fs::copy_file(kFrames / name, folder / "g" / name);
}

// The block the loader makes of a BMP file: what a frame holds however it was stored.
std::vector<std::uint8_t> LoadedBlock(const fs::path& file) {
  const kelna::TDib dib(file);
  return {dib.Block().begin(), dib.Block().end()};
}

TEST(PackCommandTest, InspectShowsEveryValueOfTheManifestAndTheDefaultsOfTheRest) {
  TemporaryFolder folder;
  CopyFrames(folder, {"pal8.bmp", "pal1.bmp", "pal4rle.bmp", "rgb16-565.bmp"});
  const std::string wave = WaveBytes(20);
  WriteBytes(folder / "boing.wav", wave);
  WriteBytes(folder / "manifest.json", R"({"objects": [
    {"name": "魚", "reserved1": -512, "depth": 3, "behaviour": 4, "autoRepeat": 0, "randomStart": 0,
     "ownsImages": 0, "imageWidth": 65535, "imageHeight": 64, "startX": -10, "startY": 20,
     "speedX": 3, "speedY": -4, "frameCount": 4,
     "frames": [{"image": "g/pal8.bmp", "mask": "g/pal1.bmp"},
                {"image": "previous", "mask": "previous"},
                {"image": "g/pal4rle.bmp"},
                {"image": "g/rgb16-565.bmp", "mask": null}],
     "locations": [[1, 2], [-2147483648, 2147483647]],
     "sound": {"file": "boing.wav", "fileName": "効果音.wav", "playFrame": 2}},
    {"name": "plain"}]})");
  ASSERT_EQ(RunTool({"pack", (folder / "manifest.json").string(), (folder / "out.foe").string()}, folder.Path()).errors, "");

  const ToolRun inspect = RunTool({"inspect", (folder / "out.foe").string()}, folder.Path());
  ASSERT_EQ(inspect.status, 0) << inspect.errors;
  const json expected = json::parse(R"({"type": "objects", "objects": [
    {"name": "魚", "reserved1": -512, "depth": 3, "behaviour": 4, "autoRepeat": 0, "randomStart": 0,
     "ownsImages": 0, "imageWidth": 65535, "imageHeight": 64, "startX": -10, "startY": 20,
     "speedX": 3, "speedY": -4, "frameCount": 4,
     "frames": [
       {"image": {"width": 127, "height": 64, "bitCount": 8, "numColors": 252},
        "mask": {"width": 127, "height": 64, "bitCount": 1, "numColors": 2}},
       {"image": "previous", "mask": "previous"},
       {"image": {"width": 127, "height": 64, "bitCount": 4, "numColors": 12}, "mask": null},
       {"image": {"width": 127, "height": 64, "bitCount": 24, "numColors": 0}, "mask": null}],
     "locations": [[1, 2], [-2147483648, 2147483647]],
     "sound": {"fileName": "効果音.wav", "playFrame": 2, "waveSize": 64}},
    {"name": "plain", "reserved1": 0, "depth": 1, "behaviour": 0, "autoRepeat": 1, "randomStart": 1,
     "ownsImages": 1, "imageWidth": 0, "imageHeight": 0, "startX": 0, "startY": 0,
     "speedX": 0, "speedY": 0, "frameCount": 0, "frames": [], "locations": [], "sound": null}]})");
  EXPECT_EQ(json::parse(inspect.out), expected) << inspect.out;

  // The program's reader sees the same sound bytes and the name in code page 932.
  kelna::ZoSpriteAnimation scene;
  ASSERT_EQ(scene.ReadObjects((folder / "out.foe").c_str()), 1);
  const kelna::ZoSound& sound = *scene.objects[0]->sound;
  EXPECT_EQ(std::string(sound.Wave().begin(), sound.Wave().end()), wave);
  EXPECT_STREQ(sound.FileName(), "\x8C\xF8\x89\xCA\x89\xB9.wav");
  EXPECT_EQ(scene.objects[0]->name, "\x8B\x9B");
}

TEST(PackCommandTest, UnpackWritesTheFramesAndAManifestThatPacksToTheSameBytes) {
  TemporaryFolder folder;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kFrames)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  CopyFrames(folder, names);
  const std::string wave = WaveBytes(300);
  WriteBytes(folder / "s.wav", wave);
  // Object 0: every loadable variant as a frame, a mask on every other one. Object 1: a sound
  // that names a file but holds no data, and positions.
  json frames = json::array();
  for (std::size_t i = 0; i < names.size(); ++i)
    frames.push_back({{"image", "g/" + names[i]}, {"mask", i % 2 ? json("g/pal1.bmp") : json("previous")}});
  json manifest = json::parse(R"({"objects": [
      {"name": "all", "sound": {"file": "s.wav", "playFrame": 7}},
      {"name": "empty", "behaviour": 4, "locations": [[5, 6]], "sound": {"fileName": "gone.wav"}}]})");
  manifest["objects"][0]["frames"] = frames;
  WriteBytes(folder / "manifest.json", manifest.dump());
  ASSERT_EQ(RunTool({"pack", (folder / "manifest.json").string(), (folder / "a.foe").string()}, folder.Path()).errors, "");

  const fs::path out = folder / "out" / "deeper";  // made by unpack
  const ToolRun unpack = RunTool({"unpack", (folder / "a.foe").string(), out.string()}, folder.Path());
  ASSERT_EQ(unpack.status, 0) << unpack.errors;
  ASSERT_EQ(RunTool({"pack", (out / "manifest.json").string(), (folder / "b.foe").string()}, folder.Path()).errors, "");
  EXPECT_TRUE(Contents(folder / "a.foe") == Contents(folder / "b.foe"));

  // Each file holds the picture of its own slot, not merely something that packs the same.
  const json written = json::parse(Contents(out / "manifest.json"));
  const json& unpacked = written["objects"][0]["frames"];
  ASSERT_EQ(unpacked.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(LoadedBlock(out / unpacked[i]["image"].get<std::string>()), LoadedBlock(kFrames / names[i])) << names[i];
    if (i % 2)
      EXPECT_EQ(LoadedBlock(out / unpacked[i]["mask"].get<std::string>()), LoadedBlock(kFrames / "pal1.bmp"));
    else
      EXPECT_EQ(unpacked[i]["mask"], "previous");
  }
  EXPECT_EQ(Contents(out / written["objects"][0]["sound"]["file"].get<std::string>()), wave);
  EXPECT_EQ(written["objects"][0]["sound"]["fileName"], "s.wav");
  EXPECT_EQ(written["objects"][1]["sound"], json::parse(R"({"fileName": "gone.wav", "playFrame": 0})"));
  EXPECT_EQ(written["objects"][1]["locations"], json::parse("[[5, 6]]"));
}

TEST(PackCommandTest, AnImageThatDidNotReadShowsAsEmptyAndUnpacksAsTheProgramSavesIt) {
  TemporaryFolder folder;
  CopyFrames(folder, {"pal8.bmp", "pal1.bmp"});
  WriteBytes(folder / "manifest.json", R"({"objects": [{"frames": [{"image": "g/pal8.bmp", "mask": "g/pal1.bmp"}]}]})");
  ASSERT_EQ(RunTool({"pack", (folder / "manifest.json").string(), (folder / "a.foe").string()}, folder.Path()).errors, "");
  // The first image's header size (after the file header, the 79-byte record, the marker and
  // the BMP file header) becomes a core header's, which frames cannot hold: the image reads
  // empty, and its bytes are still skipped.
  std::string bytes = Contents(folder / "a.foe");
  constexpr std::size_t kHeaderSizeAt = 34 + 79 + 4 + 14;
  ASSERT_EQ(bytes.substr(kHeaderSizeAt, 4), std::string("\x28\0\0\0", 4));
  bytes[kHeaderSizeAt] = 12;
  WriteBytes(folder / "a.foe", bytes);

  const ToolRun inspect = RunTool({"inspect", (folder / "a.foe").string()}, folder.Path());
  ASSERT_EQ(inspect.status, 0) << inspect.errors;
  EXPECT_EQ(json::parse(inspect.out)["objects"][0]["frames"], json::parse(R"([{"image": {"empty": true},
      "mask": {"width": 127, "height": 64, "bitCount": 1, "numColors": 2}}])"));

  ASSERT_EQ(RunTool({"unpack", (folder / "a.foe").string(), (folder / "out").string()}, folder.Path()).errors, "");
  EXPECT_EQ(json::parse(Contents(folder / "out" / "manifest.json"))["objects"][0]["frames"][0]["image"], nullptr);
  ASSERT_EQ(RunTool({"pack", (folder / "out" / "manifest.json").string(), (folder / "b.foe").string()}, folder.Path()).errors, "");

  kelna::ZoSpriteAnimation scene;
  ASSERT_EQ(scene.ReadObjects((folder / "a.foe").c_str()), 1);
  std::ostringstream saved(std::ios::binary);
  kelna::BinaryWriter header(saved);
  header.FixedText("FO--1.00", 32, 32);
  header.I16(1);
  scene.objects[0]->Write(saved);
  EXPECT_TRUE(Contents(folder / "b.foe") == saved.str());
}

TEST(PackCommandTest, ABadManifestEntryIsNamedOnOneLineAndNothingIsWritten) {
  TemporaryFolder folder;
  CopyFrames(folder, {"pal8.bmp"});
  WriteBytes(folder / "text.bmp", "not a bitmap");
  WriteBytes(folder / "empty.wav", "");
  const struct {
    const char* manifest;
    const char* message;  // after "kelna-tool: MANIFEST: "
  } cases[] = {
      // A frame file that is missing, and one that is not a BMP.
      {R"({"objects": [{}, {"frames": [{"image": "g/pal8.bmp"}, {"mask": "fish.bmp"}]}]})",
       R"(objects[1].frames[1].mask: cannot read "fish.bmp": no such file)"},
      {R"({"objects": [{"frames": [{"image": "text.bmp"}]}]})",
       R"(objects[0].frames[0].image: cannot read "text.bmp": not a BMP file)"},
      // A slot that is neither a file name, "previous" nor null.
      {R"({"objects": [{"frames": [{"image": 3}]}]})",
       R"(objects[0].frames[0].image: must be a BMP file name, "previous" or null)"},
      // A misspelt key is not silently ignored.
      {R"({"objects": [{"behavior": 1}]})", R"(objects[0]: unknown key "behavior")"},
      {R"({"objects": [{"frames": [{"image": null, "maks": null}]}]})", R"(objects[0].frames[0]: unknown key "maks")"},
      // Values outside their field, or not integers.
      {R"({"objects": [{"depth": 32768}]})", "objects[0].depth: 32768 is outside -32768 ... 32767"},
      {R"({"objects": [{"imageWidth": -1}]})", "objects[0].imageWidth: -1 is outside 0 ... 65535"},
      // A value whose low byte would stand where the reader expects the tag's NUL.
      {R"({"objects": [{"reserved1": 257}]})",
       "objects[0].reserved1: 257 is not a multiple of 256, which the program would not read"},
      {R"({"objects": [{"speedX": 1.5}]})", "objects[0].speedX: 1.5 is not an integer"},
      {R"({"objects": [{"behaviour": 4, "locations": [[1, 2, 3]]}]})", "objects[0].locations[0]: must be [x, y]"},
      // A frame count that disagrees with the frames listed.
      {R"({"objects": [{"frameCount": 2, "frames": [{}]}]})", "objects[0].frameCount: does not match the number of frames listed (1)"},
      // Positions the record would drop.
      {R"({"objects": [{"behaviour": 0, "locations": [[1, 2]]}]})",
       "objects[0].locations: only objects of behaviour 4 (specified position) keep locations"},
      // Names the record cannot hold.
      {R"({"objects": [{"name": "abcdefghijabcdefghijabcdefghi魚"}]})",
       R"(objects[0].name: "abcdefghijabcdefghijabcdefghi魚" takes 31 bytes in code page 932, more than 30)"},
      {R"({"objects": [{"name": "€"}]})", R"(objects[0].name: "€" has characters that code page 932 cannot hold)"},
      // Sounds: a missing file, an empty one, neither file nor name.
      {R"({"objects": [{"sound": {"file": "boing.wav"}}]})", R"(objects[0].sound.file: cannot read "boing.wav": no such file)"},
      {R"({"objects": [{"sound": {"file": "empty.wav"}}]})", R"(objects[0].sound.file: cannot read "empty.wav": the file is empty)"},
      {R"({"objects": [{"sound": {"playFrame": 1}}]})", R"(objects[0].sound: needs "file" or "fileName")"},
      // The top level.
      {R"({"object": []})", R"(top level: unknown key "object")"},
      {R"([])", "top level: must be a JSON object"},
  };
  for (const auto& row : cases) {
    WriteBytes(folder / "manifest.json", row.manifest);
    const ToolRun run = RunTool({"pack", (folder / "manifest.json").string(), (folder / "out.foe").string()}, folder.Path());
    EXPECT_EQ(run.status, 1) << row.manifest;
    EXPECT_EQ(run.errors, "kelna-tool: " + (folder / "manifest.json").string() + ": " + row.message + "\n");
    EXPECT_FALSE(fs::exists(folder / "out.foe")) << row.manifest;
  }

  // Broken JSON says where; a failed pack leaves an earlier output whole.
  WriteBytes(folder / "out.foe", "earlier");
  WriteBytes(folder / "manifest.json", "{\"objects\": [\n");
  const ToolRun run = RunTool({"pack", (folder / "manifest.json").string(), (folder / "out.foe").string()}, folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors.rfind("kelna-tool: " + (folder / "manifest.json").string() + ": not valid JSON: ", 0), 0u) << run.errors;
  EXPECT_NE(run.errors.find("line 2"), std::string::npos) << run.errors;
  EXPECT_EQ(Contents(folder / "out.foe"), "earlier");
  EXPECT_EQ(RunTool({"pack", (folder / "manifest.json").string()}, folder.Path()).status, 2);
}

}  // namespace
}  // namespace kelna::test
