// kelna-tool pack, unpack and inspect: object and animation files built from manifests,
// read back by inspect, and unpacked or inspected into manifests that build the same bytes.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sprite_animation.h"
#include "sprites/dib_loader.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kFrames = fs::path(KELNA_TEST_DATA) / "bmpsuite" / "g";

ToolRun Pack(const TemporaryFolder& folder, const std::string& manifest, const std::string& output) {
  WriteBytes(folder / "manifest.json", manifest);
  return RunTool({"pack", (folder / "manifest.json").string(), (folder / output).string()}, folder.Path());
}

ToolRun Inspect(const fs::path& file) { return RunTool({"inspect", file.string()}, file.parent_path()); }

// The block the loader makes of a BMP file: what a frame holds however it was stored.
std::vector<std::uint8_t> LoadedBlock(const fs::path& file) {
  const kelna::TDib dib(file);
  return {dib.Block().begin(), dib.Block().end()};
}

TEST(PackCommandTest, ObjectsReadBackThroughInspectAndUnpackToAManifestThatPacksTheSameBytes) {
  TemporaryFolder folder;
  fs::copy(kFrames, folder / "g");
  // A mono 8-bit PCM wave of 20 samples.
  std::string wave = "RIFF" + Le(56, 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(8000, 4) +
                     Le(8000, 4) + Le(1, 2) + Le(8, 2) + "data" + Le(20, 4);
  for (int i = 0; i < 20; ++i) wave += char(128 + i * 4);
  WriteBytes(folder / "boing.wav", wave);
  // "魚" sets every field; "plain" keeps a new object's values but for a sound without data;
  // "all" holds every loadable variant as a frame, a mask on every other one.
  json manifest = json::parse(R"({"objects": [
    {"name": "魚", "reserved1": -512, "depth": 3, "behaviour": 4, "autoRepeat": 0, "randomStart": 0,
     "ownsImages": 0, "imageWidth": 65535, "imageHeight": 64, "startX": -10, "startY": 20,
     "speedX": 3, "speedY": -4, "frameCount": 4,
     "frames": [{"image": "g/pal8.bmp", "mask": "g/pal1.bmp"},
                {"image": "previous", "mask": "previous"},
                {"image": "g/pal4rle.bmp"},
                {"image": "g/rgb16-565.bmp", "mask": null}],
     "locations": [[1, 2], [-2147483648, 2147483647]],
     "sound": {"file": "boing.wav", "fileName": "効果音.wav", "playFrame": 2}},
    {"name": "plain", "sound": {"fileName": "gone.wav"}}]})");
  std::vector<std::string> names;
  json frames = json::array();
  for (const auto& entry : fs::directory_iterator(kFrames)) {
    names.push_back(entry.path().filename().string());
    frames.push_back({{"image", "g/" + names.back()}, {"mask", names.size() % 2 ? "previous" : "g/pal1.bmp"}});
  }
  manifest["objects"].push_back({{"name", "all"}, {"frames", frames}});
  ASSERT_EQ(Pack(folder, manifest.dump(), "a.foe").errors, "");

  const ToolRun inspect = Inspect(folder / "a.foe");
  ASSERT_EQ(inspect.status, 0) << inspect.errors;
  json shown = json::parse(inspect.out);
  shown["objects"].erase(2);
  EXPECT_EQ(shown, json::parse(R"({"type": "objects", "objects": [
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
     "ownsImages": 1, "imageWidth": 0, "imageHeight": 0, "startX": 0, "startY": 0, "speedX": 0,
     "speedY": 0, "frameCount": 0, "frames": [], "locations": [],
     "sound": {"fileName": "gone.wav", "playFrame": 0, "waveSize": 0}}]})"));

  const fs::path out = folder / "out" / "deeper";  // made by unpack
  ASSERT_EQ(RunTool({"unpack", (folder / "a.foe").string(), out.string()}, folder.Path()).errors, "");
  ASSERT_EQ(RunTool({"pack", (out / "manifest.json").string(), (folder / "b.foe").string()}, folder.Path()).errors,
            "");
  EXPECT_TRUE(Contents(folder / "a.foe") == Contents(folder / "b.foe"));
  // Each file holds its own slot's data, not merely something that packs the same.
  const json unpacked = json::parse(Contents(out / "manifest.json"))["objects"];
  EXPECT_EQ(Contents(out / unpacked[0]["sound"]["file"].get<std::string>()), wave);
  ASSERT_EQ(unpacked[2]["frames"].size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    const fs::path image = out / unpacked[2]["frames"][i]["image"].get<std::string>();
    EXPECT_EQ(LoadedBlock(image), LoadedBlock(kFrames / names[i])) << names[i];
  }
}

TEST(PackCommandTest, AnImageThatDidNotReadShowsAsEmptyAndUnpacksAsTheProgramSavesIt) {
  TemporaryFolder folder;
  fs::copy(kFrames, folder / "g");
  ASSERT_EQ(Pack(folder, R"({"objects": [{"frames": [{"image": "g/pal8.bmp", "mask": "g/pal1.bmp"}]}]})", "a.foe")
                .errors,
            "");
  // The first image's header size (after the file header, the 79-byte record, the marker and
  // the BMP file header) becomes a core header's, which frames cannot hold: the image reads
  // empty, and its bytes are still skipped.
  std::string bytes = Contents(folder / "a.foe");
  constexpr std::size_t kHeaderSizeAt = 34 + 79 + 4 + 14;
  ASSERT_EQ(bytes.substr(kHeaderSizeAt, 4), Le(40, 4));
  bytes[kHeaderSizeAt] = 12;
  WriteBytes(folder / "a.foe", bytes);

  const ToolRun inspect = Inspect(folder / "a.foe");
  EXPECT_EQ(json::parse(inspect.out)["objects"][0]["frames"], json::parse(R"([{"image": {"empty": true},
      "mask": {"width": 127, "height": 64, "bitCount": 1, "numColors": 2}}])"));
  ASSERT_EQ(RunTool({"unpack", (folder / "a.foe").string(), (folder / "out").string()}, folder.Path()).errors, "");
  EXPECT_EQ(json::parse(Contents(folder / "out" / "manifest.json"))["objects"][0]["frames"][0]["image"], nullptr);
  ASSERT_EQ(RunTool({"pack", (folder / "out" / "manifest.json").string(), (folder / "b.foe").string()}, folder.Path())
                .errors,
            "");
  kelna::ZoSpriteAnimation scene;
  ASSERT_EQ(scene.ReadObjects((folder / "a.foe").c_str()), 1);
  std::ostringstream saved(std::ios::binary);
  saved << bytes.substr(0, 34);  // the file header: magic and object count
  scene.objects[0]->Write(saved);
  EXPECT_TRUE(Contents(folder / "b.foe") == saved.str());
}

TEST(PackCommandTest, AnimationsInspectDeepestFirstAndInspectsOutputPacksTheSameBytes) {
  TemporaryFolder folder;
  // Listed front to back; "鯉" keeps a new sprite's values but for its name.
  const ToolRun pack = Pack(folder, R"({"objectFile": "C:\\ケルナ\\魚.foe", "sprites": [
      {"name": "front", "objectName": "ball", "reserved1": -3, "depth": 1, "behaviour": 4, "autoRepeat": 0,
       "randomStart": 0, "reserved2": 99, "imageWidth": 65535, "imageHeight": 48, "startFrame": 12,
       "frameCount": 7, "skipCount": 2, "x": -2147483648, "y": 2147483647, "speedX": -5, "speedY": 6,
       "soundOn": 0},
      {"name": "鯉"},
      {"name": "back", "objectName": "ｶﾒ", "depth": 7, "behaviour": 5}]})", "scene.ANM");
  ASSERT_EQ(pack.status, 0) << pack.errors;

  const ToolRun inspect = Inspect(folder / "scene.ANM");
  ASSERT_EQ(inspect.status, 0) << inspect.errors;
  const json fresh = json::parse(R"({"objectName": "None", "reserved1": 0, "depth": 1, "behaviour": 0,
      "autoRepeat": 1, "randomStart": 1, "reserved2": 0, "imageWidth": 0, "imageHeight": 0, "startFrame": 0,
      "frameCount": 0, "skipCount": 0, "x": 0, "y": 0, "speedX": 0, "speedY": 0, "soundOn": 1})");
  json back = fresh, carp = fresh;
  back.update({{"name", "back"}, {"objectName", "ｶﾒ"}, {"depth", 7}, {"behaviour", 5}});
  carp.update({{"name", "鯉"}});
  const json front = json::parse(R"({"name": "front", "objectName": "ball", "reserved1": -3, "depth": 1,
      "behaviour": 4, "autoRepeat": 0, "randomStart": 0, "reserved2": 99, "imageWidth": 65535,
      "imageHeight": 48, "startFrame": 12, "frameCount": 7, "skipCount": 2, "x": -2147483648,
      "y": 2147483647, "speedX": -5, "speedY": 6, "soundOn": 0})");
  // Equal depths keep the manifest's order behind the deeper sprite.
  EXPECT_EQ(json::parse(inspect.out),
            (json{{"type", "animation"}, {"objectFile", "C:\\ケルナ\\魚.foe"}, {"sprites", {back, front, carp}}}));

  ASSERT_EQ(Pack(folder, inspect.out, "again.anm").errors, "");
  EXPECT_TRUE(Contents(folder / "scene.ANM") == Contents(folder / "again.anm"));
}

}  // namespace
}  // namespace kelna::test
