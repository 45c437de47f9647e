// kelna-tool pack, unpack and inspect: object and animation files built from manifests, read
// back by inspect, and unpacked or inspected into manifests that build the same bytes.

#include <gtest/gtest.h>

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

using nlohmann::json;

const fs::path kFrames = fs::path(KELNA_TEST_DATA) / "bmpsuite" / "g";

// The block the loader makes of a BMP file: what a frame holds however it was stored.
std::vector<std::uint8_t> LoadedBlock(const fs::path& file) {
  const kelna::TDib dib(file);
  return {dib.Block().begin(), dib.Block().end()};
}

TEST(PackCommandTest, ObjectsReadBackThroughInspectAndUnpackIntoAManifestThatPacksTheSameBytes) {
  TemporaryFolder folder;
  fs::copy(kFrames, folder / "g");
  // A mono 8-bit PCM wave of 20 samples.
  std::string wave = "RIFF" + Le(56, 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(8000, 4) +
                     Le(8000, 4) + Le(1, 2) + Le(8, 2) + "data" + Le(20, 4);
  for (int i = 0; i < 20; ++i) wave += char(128 + i * 4);
  WriteBytes(folder / "boing.wav", wave);
  // "魚" sets every field; "plain" keeps a new object's values but for a sound without data;
  // "all" holds every loadable variant as a frame, a mask on every other one.
  json fish = json::parse(R"({"name": "魚", "reserved1": -512, "depth": 3, "behaviour": 4,
      "autoRepeat": 0, "randomStart": 0, "ownsImages": 0, "imageWidth": 65535, "imageHeight": 64,
      "startX": -10, "startY": 20, "speedX": 3, "speedY": -4, "frameCount": 4,
      "locations": [[1, 2], [-2147483648, 2147483647]]})");
  json manifest = json::parse(R"({"objects": [{"name": "plain", "sound": {"fileName": "gone.wav"}}]})");
  manifest["objects"].insert(manifest["objects"].begin(), fish);
  manifest["objects"][0]["frames"] = json::parse(R"([{"image": "g/pal8.bmp", "mask": "g/pal1.bmp"},
      {"image": "previous", "mask": "previous"}, {"image": "g/pal4rle.bmp"},
      {"image": "g/rgb16-565.bmp", "mask": null}])");
  manifest["objects"][0]["sound"] = {{"file", "boing.wav"}, {"fileName", "効果音.wav"}, {"playFrame", 2}};
  std::vector<std::string> names;
  json frames = json::array();
  for (const auto& entry : fs::directory_iterator(kFrames)) {
    names.push_back(entry.path().filename().string());
    frames.push_back({{"image", "g/" + names.back()}, {"mask", names.size() % 2 ? "previous" : "g/pal1.bmp"}});
  }
  manifest["objects"].push_back({{"name", "all"}, {"frames", frames}});
  WriteBytes(folder / "m.json", manifest.dump());
  ASSERT_EQ(RunTool("pack @m.json @a.foe", folder.Path()).errors, "");

  json shown = json::parse(RunTool("inspect @a.foe", folder.Path()).out);
  shown["objects"].erase(2);
  fish["frames"] = json::parse(R"([
      {"image": {"width": 127, "height": 64, "bitCount": 8, "numColors": 252},
       "mask": {"width": 127, "height": 64, "bitCount": 1, "numColors": 2}},
      {"image": "previous", "mask": "previous"},
      {"image": {"width": 127, "height": 64, "bitCount": 4, "numColors": 12}, "mask": null},
      {"image": {"width": 127, "height": 64, "bitCount": 24, "numColors": 0}, "mask": null}])");
  fish["sound"] = {{"fileName", "効果音.wav"}, {"playFrame", 2}, {"waveSize", 64}};
  const json plain = json::parse(R"({"name": "plain", "reserved1": 0, "depth": 1, "behaviour": 0,
      "autoRepeat": 1, "randomStart": 1, "ownsImages": 1, "imageWidth": 0, "imageHeight": 0, "startX": 0,
      "startY": 0, "speedX": 0, "speedY": 0, "frameCount": 0, "frames": [], "locations": [],
      "sound": {"fileName": "gone.wav", "playFrame": 0, "waveSize": 0}})");
  EXPECT_EQ(shown, (json{{"type", "objects"}, {"objects", {fish, plain}}}));

  ASSERT_EQ(RunTool("unpack @a.foe @out/deeper", folder.Path()).errors, "");  // makes both folders
  ASSERT_EQ(RunTool("pack @out/deeper/manifest.json @b.foe", folder.Path()).errors, "");
  ASSERT_TRUE(Contents(folder / "a.foe") == Contents(folder / "b.foe"));
  // Each file holds its own slot's data, not merely something that packs the same.
  const fs::path out = folder / "out" / "deeper";
  const json unpacked = json::parse(Contents(out / "manifest.json"))["objects"];
  EXPECT_EQ(Contents(out / unpacked[0]["sound"]["file"].get<std::string>()), wave);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const fs::path image = out / unpacked[2]["frames"][i]["image"].get<std::string>();
    EXPECT_EQ(LoadedBlock(image), LoadedBlock(kFrames / names[i])) << names[i];
  }

  // The first image's header size (after the file header, the record, the marker and the BMP
  // file header) made a core header's, which frames cannot hold: the image reads empty, its
  // bytes still skipped, and unpacks as null, which packs as the program saves the object.
  std::string bytes = Contents(folder / "a.foe");
  constexpr std::size_t kHeaderSizeAt = 34 + 79 + 4 + 14;
  ASSERT_EQ(bytes.substr(kHeaderSizeAt, 4), Le(40, 4));
  bytes[kHeaderSizeAt] = 12;
  WriteBytes(folder / "a.foe", bytes);
  shown = json::parse(RunTool("inspect @a.foe", folder.Path()).out);
  EXPECT_EQ(shown["objects"][0]["frames"][0], json::parse(R"({"image": {"empty": true},
      "mask": {"width": 127, "height": 64, "bitCount": 1, "numColors": 2}})"));
  ASSERT_EQ(RunTool("unpack @a.foe @empty", folder.Path()).errors, "");
  EXPECT_EQ(json::parse(Contents(folder / "empty" / "manifest.json"))["objects"][0]["frames"][0]["image"], nullptr);
  ASSERT_EQ(RunTool("pack @empty/manifest.json @c.foe", folder.Path()).errors, "");
  kelna::ZoSpriteAnimation scene;
  ASSERT_EQ(scene.ReadObjects((folder / "a.foe").c_str()), 1);
  std::ostringstream saved(std::ios::binary);
  saved << bytes.substr(0, 34);  // the magic and the object count
  for (const auto& object : scene.objects) object->Write(saved);
  EXPECT_TRUE(Contents(folder / "c.foe") == saved.str());
}

TEST(PackCommandTest, AnimationsInspectDeepestFirstAndInspectsOutputPacksTheSameBytes) {
  TemporaryFolder folder;
  const json front = json::parse(R"({"name": "front", "objectName": "ball", "reserved1": -3, "depth": 1,
      "behaviour": 4, "autoRepeat": 0, "randomStart": 0, "reserved2": 99, "imageWidth": 65535,
      "imageHeight": 48, "startFrame": 12, "frameCount": 7, "skipCount": 2, "x": -2147483648,
      "y": 2147483647, "speedX": -5, "speedY": 6, "soundOn": 0})");
  // Listed front to back; "鯉" keeps a new sprite's values but for its name.
  json manifest = json::parse(R"({"objectFile": "C:\\ケルナ\\魚.foe", "sprites": [{"name": "鯉"},
      {"name": "back", "objectName": "ｶﾒ", "depth": 7, "behaviour": 5}]})");
  manifest["sprites"].insert(manifest["sprites"].begin(), front);
  WriteBytes(folder / "m.json", manifest.dump());
  ASSERT_EQ(RunTool("pack @m.json @scene.ANM", folder.Path()).errors, "");

  const ToolRun inspect = RunTool("inspect @scene.ANM", folder.Path());
  const json fresh = json::parse(R"({"objectName": "None", "reserved1": 0, "depth": 1, "behaviour": 0,
      "autoRepeat": 1, "randomStart": 1, "reserved2": 0, "imageWidth": 0, "imageHeight": 0, "startFrame": 0,
      "frameCount": 0, "skipCount": 0, "x": 0, "y": 0, "speedX": 0, "speedY": 0, "soundOn": 1})");
  json back = fresh, carp = fresh;
  back.update(manifest["sprites"][2]);
  carp.update(manifest["sprites"][1]);
  // Equal depths keep the manifest's order behind the deeper sprite.
  manifest["sprites"] = {back, front, carp};
  manifest["type"] = "animation";
  EXPECT_EQ(json::parse(inspect.out), manifest);

  WriteBytes(folder / "m.json", inspect.out);
  ASSERT_EQ(RunTool("pack @m.json @again.anm", folder.Path()).errors, "");
  EXPECT_TRUE(Contents(folder / "scene.ANM") == Contents(folder / "again.anm"));
}

}  // namespace
}  // namespace kelna::test
