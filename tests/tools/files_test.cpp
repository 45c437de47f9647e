// kelna-tool's file commands: pack, unpack and inspect round trips of object and animation
// files, decode against the bmpsuite's reference pixels, and what they all say of bad input.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include "engine/sprite_animation.h"
#include "sprites/dib_loader.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

using nlohmann::json;

const fs::path kFrames = fs::path(KELNA_TEST_DATA) / "bmpsuite" / "g";
const fs::path kReference = fs::path(KELNA_TEST_DATA) / "bmpsuite" / "ref";

// Packs `manifest` ("@" standing for the folder) through @m.json into @`output`.
ToolRun Pack(const TemporaryFolder& folder, const std::string& manifest, const std::string& output) {
  WriteBytes(folder / "m.json", At(manifest, folder.Path()));
  return RunTool("pack @m.json @" + output, folder.Path());
}

// The block the loader makes of a BMP file: what a frame holds however it was stored.
std::vector<std::uint8_t> LoadedBlock(const fs::path& file) {
  const kelna::TDib dib(file);
  return {dib.Block().begin(), dib.Block().end()};
}

TEST(PackCommandTest, ObjectsReadBackThroughInspectAndUnpackIntoAManifestThatPacksTheSameBytes) {
  TemporaryFolder folder;
  fs::copy(kFrames, folder / "g");
  // A mono 8-bit PCM wave of 20 samples.
  const std::string wave = "RIFF" + Le(56, 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(8000, 4) +
                           Le(8000, 4) + Le(1, 2) + Le(8, 2) + "data" + Le(20, 4) + std::string(20, '\x90');
  WriteBytes(folder / "boing.wav", wave);
  // "魚" sets every field; "plain" keeps a new object's values but for a sound without data;
  // "all" holds every loadable variant as a frame, a mask on every other one.
  json fish = json::parse(R"({"name": "魚", "reserved1": -512, "depth": 3, "behaviour": 4, "autoRepeat": 0,
      "randomStart": 0, "ownsImages": 0, "imageWidth": 65535, "imageHeight": 64, "startX": -10, "startY": 20,
      "speedX": 3, "speedY": -4, "frameCount": 4, "locations": [[1, 2], [-2147483648, 2147483647]]})");
  json manifest = {{"objects", {fish, {{"name", "plain"}, {"sound", {{"fileName", "gone.wav"}}}}}}};
  manifest["objects"][0]["frames"] = json::parse(R"([{"image": "g/pal8.bmp", "mask": "g/pal1.bmp"},
      {"image": "previous", "mask": "previous"}, {"image": "g/pal4rle.bmp"},
      {"image": "g/rgb16-565.bmp", "mask": null}])");
  manifest["objects"][0]["sound"] = {{"file", "boing.wav"}, {"fileName", "効果音.wav"}, {"playFrame", 2}};
  std::vector<std::string> names;
  json frames = json::array();
  for (const auto& entry : fs::directory_iterator(kFrames)) {
    names.push_back(entry.path().filename().string());
    const char* mask = names.size() % 2 ? "previous" : "g/pal1.bmp";
    frames.push_back({{"image", "g/" + names.back()}, {"mask", mask}});
  }
  manifest["objects"].push_back({{"name", "all"}, {"frames", frames}});
  ASSERT_EQ(Pack(folder, manifest.dump(), "a.foe").errors, "");

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

  // The first image's header size made a core header's, which frames cannot hold: the image
  // reads empty (its bytes skipped: the mask reads), unpacks as null and packs as the program
  // saves the object.
  std::string bytes = Contents(folder / "a.foe");
  constexpr std::size_t kHeaderSizeAt = 34 + 79 + 4 + 14;  // file header, record, marker, BMP file header
  ASSERT_EQ(bytes.substr(kHeaderSizeAt, 4), Le(40, 4));
  bytes[kHeaderSizeAt] = 12;
  WriteBytes(folder / "a.foe", bytes);
  fish["frames"][0]["image"] = {{"empty", true}};
  shown = json::parse(RunTool("inspect @a.foe", folder.Path()).out);
  EXPECT_EQ(shown["objects"][0]["frames"][0], fish["frames"][0]);
  ASSERT_EQ(RunTool("unpack @a.foe @empty", folder.Path()).errors, "");
  const json emptyFrame = json::parse(Contents(folder / "empty" / "manifest.json"))["objects"][0]["frames"][0];
  EXPECT_EQ(emptyFrame["image"], nullptr);
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
  ASSERT_EQ(Pack(folder, manifest.dump(), "scene.ANM").errors, "");

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

  ASSERT_EQ(Pack(folder, inspect.out, "again.anm").errors, "");
  EXPECT_TRUE(Contents(folder / "scene.ANM") == Contents(folder / "again.anm"));
}

TEST(DecodeCommandTest, GoodFilesGiveTheReferencePixelsAndBadOnesOneLineNamingThem) {
  TemporaryFolder folder;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kFrames)) {
    const std::string name = entry.path().stem().string();
    const ToolRun run = RunTool("decode " + entry.path().string() + " @" + name + ".pam", folder.Path());
    EXPECT_EQ(run.status, 0) << name << ": " << run.errors;
    EXPECT_TRUE(Contents(folder / (name + ".pam")) == Contents(kReference / (name + ".pam"))) << name;
    ++files;
  }
  EXPECT_EQ(files, 27);
  // PNG when the name asks for it, with the same pixels. (Bad files: see ToolErrorsTest.)
  ASSERT_EQ(RunTool("decode " + (kFrames / "pal8.bmp").string() + " @pal8.png", folder.Path()).errors, "");
  int width = 0, height = 0, channels = 0;
  stbi_uc* png = stbi_load((folder / "pal8.png").c_str(), &width, &height, &channels, 3);
  const std::string pam = Contents(kReference / "pal8.pam"), pixels(png, png + 3 * width * height);
  EXPECT_TRUE(pam.ends_with(pixels) && width == 127 && height == 64);
  stbi_image_free(png);
  // Run-length encoded on disk; decoded to plain rows by the loader.
  EXPECT_EQ(json::parse(RunTool("inspect " + (kFrames / "pal4rle.bmp").string(), folder.Path()).out),
            json::parse(R"({"type": "bitmap", "width": 127, "height": 64, "bitCount": 4, "numColors": 12,
                "compression": 0})"));
}

TEST(ToolErrorsTest, BadInputIsNamedOnOneLineAndNothingIsWritten) {
  TemporaryFolder folder;
  ASSERT_EQ(Pack(folder, R"({"objects": []})", "objects.foe").errors, "");
  ASSERT_EQ(Pack(folder, R"({"objectFile": "@gone.foe", "sprites": []})", "orphan.anm").errors, "");
  ASSERT_EQ(Pack(folder, R"({"objectFile": "@objects.foe", "sprites": [{}, {}, {}]})", "scene.anm").errors,
            "");
  // Three sprites announced, not quite two held; two objects announced, three bytes held.
  WriteBytes(folder / "cut.anm", Contents(folder / "scene.anm").substr(0, 294 + 115 + 50));
  WriteBytes(folder / "cut.foe", Contents(folder / "objects.foe").substr(0, 32) + std::string("\2\0SPD", 5));
  fs::copy_file(kFrames / "pal8.bmp", folder / "bitmap.foe");
  fs::copy_file(folder / "bitmap.foe", folder / "bitmap.anm");
  WriteBytes(folder / "text.bmp", "not a bitmap");
  WriteBytes(folder / "empty.wav", "");
  WriteBytes(folder / "notes.txt", "");
  WriteBytes(folder / "random.txt", "12\n-5\n");
  fs::create_directories(folder / "folder.foe");

  const struct {
    int status;
    const char* command;
    const char* message;  // the first line on stderr after "kelna-tool: "; none: only the status
  } commands[] = {
      {1, "inspect @missing.foe", "@missing.foe: no such file"},
      {1, "inspect @folder.foe", "@folder.foe: is a folder, not a file"},
      // A file of another kind under the extension, and files cut short.
      {1, "inspect @bitmap.foe", "@bitmap.foe: not an object file"},
      {1, "inspect @bitmap.anm", "@bitmap.anm: not an animation file"},
      {1, "inspect @text.bmp", "@text.bmp: not a BMP file"},
      {1, "inspect @cut.foe", "@cut.foe: broken object file (cut short or damaged)"},
      {1, "inspect @cut.anm", "@cut.anm: broken animation file (cut short)"},
      {2, "inspect @notes.txt", "@notes.txt: unknown kind of file (not .anm, .foe or .bmp)"},
      {1, "unpack @bitmap.foe @out", "@bitmap.foe: not an object file"},
      {1, "decode @text.bmp @out", R"("@text.bmp": not a BMP file)"},
      {1, "pack @m.json @missing/out.anm", "@missing/out.anm: no such folder"},  // m.json: the scene's
      {1, "trace @orphan.anm", "@orphan.anm: object file @gone.foe: no such file"},
      {1, "trace @scene.anm --random @random.txt",
       R"(@random.txt: line 2: "-5" is not a value from 0 to 2147483647)"},
      {1, "render @scene.anm --out @out --background @gone.bmp", "@gone.bmp: no such file"},
      {2, "trace", "no animation file named"},
      {2, "trace @scene.anm @scene.anm", "one animation file only (@scene.anm is a second)"},
      {2, "trace @scene.anm --size 0x480",
       R"(--size: "0x480" is not WIDTHxHEIGHT with sizes from 1 to 32767)"},
      {2, "trace @scene.anm --size 20000x20000",
       "--size: 20000x20000 is more than the raster draws (256 MiB of pixels)"},
      {2, "trace @scene.anm --ticks -1", R"(--ticks: "-1" is not a number from 0 to 1000000)"},
      {2, "trace @scene.anm --mode 3", R"(--mode: "3" is not a number from 0 to 2)"},
      {2, "trace @scene.anm --ticks", "--ticks needs a value"},
      {2, "trace @scene.anm --random r.txt --seed 4", "--random and --seed exclude each other"},
      {2, "trace @scene.anm --out @out", "unknown option --out"},  // render's own
      {2, "render @scene.anm", "--out DIR is missing"},
      {2, "render @scene.anm --out @out --format gif", R"(--format: "gif" is neither png nor pam)"},
      {2, "unpack @objects.foe", nullptr},
  };
  for (const auto& c : commands) {
    const ToolRun run = RunTool(c.command, folder.Path());
    EXPECT_EQ(run.status, c.status) << c.command;
    EXPECT_EQ(run.out, "") << c.command;
    const std::string line = c.message ? "kelna-tool: " + At(c.message, folder.Path()) + "\n" : "usage: ";
    // A wrong command line may add the usage; a file problem is the one line.
    EXPECT_EQ(c.status == 1 ? run.errors : run.errors.substr(0, line.size()), line) << c.command;
  }
  EXPECT_FALSE(fs::exists(folder / "out")) << "unpack, decode and render write nothing when they fail";

  // Manifests packed as @m.json into @out.foe, or @out.anm when they name an object file.
  const struct {
    const char* manifest;
    const char* message;  // after "kelna-tool: @m.json: "
  } manifests[] = {
      {R"({"objects": [{}, {"frames": [{"image": "text.bmp"}, {"mask": "fish.bmp"}]}]})",
       R"(objects[1].frames[0].image: cannot read "text.bmp": not a BMP file)"},
      {R"({"objects": [{"frames": [{"mask": "fish.bmp"}]}]})",
       R"(objects[0].frames[0].mask: cannot read "fish.bmp": no such file)"},
      {R"({"objects": [{"frames": [{"image": 3}]}]})",
       R"(objects[0].frames[0].image: must be a BMP file name, "previous" or null)"},
      {R"({"objects": [{"behavior": 1}]})", R"(objects[0]: unknown key "behavior")"},
      {R"([])", "top level: must be a JSON object"},
      {R"({"objects": [{"depth": 32768}]})", "objects[0].depth: 32768 is outside -32768 ... 32767"},
      {R"({"objects": [{"speedX": 1.5}]})", "objects[0].speedX: 1.5 is not an integer"},
      // Its low byte stands where the reader expects the record tag's NUL.
      {R"({"objects": [{"reserved1": 257}]})",
       "objects[0].reserved1: 257 is not a multiple of 256, which the program would not read"},
      {R"({"objects": [{"frameCount": 2, "frames": [{}]}]})",
       "objects[0].frameCount: does not match the number of frames listed (1)"},
      {R"({"objects": [{"behaviour": 4, "locations": [[1, 2, 3]]}]})",
       "objects[0].locations[0]: must be [x, y]"},
      {R"({"objects": [{"locations": [[1, 2]]}]})",
       "objects[0].locations: only objects of behaviour 4 (specified position) keep locations"},
      {R"({"objects": [{"name": "abcdefghijabcdefghijabcdefghi魚"}]})",
       R"(objects[0].name: "abcdefghijabcdefghijabcdefghi魚" takes 31 bytes in code page 932, more than 30)"},
      {R"({"objects": [{"name": "€"}]})",
       R"(objects[0].name: "€" has characters that code page 932 cannot hold)"},
      {R"({"objects": [{"sound": {"file": "empty.wav"}}]})",
       R"(objects[0].sound.file: cannot read "empty.wav": the file is empty)"},
      {R"({"objects": [{"sound": {"playFrame": 1}}]})", R"(objects[0].sound: needs "file" or "fileName")"},
      {R"({"objectFile": "a.foe"})", R"(top level: no "sprites" list)"},
      {R"({"objectFile": "", "sprites": []})", "objectFile: must name the object file"},
      // inspect's "type" is taken, but only an animation's.
      {R"({"type": "objects", "objectFile": "a.foe", "sprites": []})",
       R"(type: must be "animation" when present)"},
      // The reader takes any value but 1 as off: it would not read back.
      {R"({"objectFile": "a.foe", "sprites": [{"soundOn": 2}]})",
       "sprites[0].soundOn: 2 is neither 0 (off) nor 1 (on)"},
  };
  for (const auto& c : manifests) {
    const bool animation = std::string(c.manifest).find("objectFile") != std::string::npos;
    const ToolRun run = Pack(folder, c.manifest, animation ? "out.anm" : "out.foe");
    EXPECT_EQ(run.status, 1) << c.manifest;
    EXPECT_EQ(run.errors, At("kelna-tool: @m.json: ", folder.Path()) + c.message + "\n");
  }
  EXPECT_FALSE(fs::exists(folder / "out.foe") || fs::exists(folder / "out.anm"));

  // Broken JSON says where; a failed pack leaves an earlier output whole.
  WriteBytes(folder / "out.foe", "earlier");
  const ToolRun broken = Pack(folder, "{\"objects\": [\n", "out.foe");
  EXPECT_EQ(broken.status, 1);
  const std::string start = At("kelna-tool: @m.json: not valid JSON: ", folder.Path());
  EXPECT_EQ(broken.errors.rfind(start, 0), 0u) << broken.errors;
  EXPECT_NE(broken.errors.find("line 2"), std::string::npos) << broken.errors;
  EXPECT_EQ(Contents(folder / "out.foe"), "earlier");
}

}  // namespace
}  // namespace kelna::test
