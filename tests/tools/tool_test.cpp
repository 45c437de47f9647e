// kelna-tool as users run it: round trips of object and animation files, decode against the
// bmpsuite's references, messages on bad input, trace and render of a scene worked out by hand.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sprite_animation.h"
#include "sprites/dib_loader.h"
#include "tests/support/dib_builder.h"
#include "tests/support/pam_reader.h"
#include "tests/support/program_runner.h"
#include "tests/support/scene_file_builder.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_files.h"

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

TEST(PackCommandTest, ObjectsReadBackThroughInspectAndUnpackIntoAManifestThatPacksTheSameBytes) {
  TemporaryFolder folder;
  fs::copy(kFrames, folder / "g");
  // A mono 8-bit PCM wave of 20 samples.
  const std::string wave = "RIFF" + Le(56, 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(8000, 4) +
                           Le(8000, 4) + Le(1, 2) + Le(8, 2) + "data" + Le(20, 4) + std::string(20, '\x90');
  WriteBytes(folder / "boing.wav", wave);
  // "魚" sets every field; "plain" is a new object with a sound without data; "all" holds every
  // loadable variant as a frame, a mask on every other one.
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
    const TDib image(out / unpacked[2]["frames"][i]["image"].get<std::string>());
    EXPECT_TRUE(std::ranges::equal(image.Block(), TDib(kFrames / names[i]).Block())) << names[i];
  }
  // The first image's header made a core header, which frames cannot hold: the image reads
  // empty (the mask still reads), unpacks as null and packs as the program saves the object.
  std::string bytes = Contents(folder / "a.foe");
  constexpr std::size_t kHeaderSizeAt = 34 + 79 + 4 + 14;  // file header, record, marker, BMP file header
  ASSERT_EQ(bytes.substr(kHeaderSizeAt, 4), Le(40, 4));
  bytes[kHeaderSizeAt] = 12;
  WriteBytes(folder / "a.foe", bytes);
  shown = json::parse(RunTool("inspect @a.foe", folder.Path()).out);
  EXPECT_EQ(shown["objects"][0]["frames"][0]["image"], (json{{"empty", true}}));
  ASSERT_EQ(RunTool("unpack @a.foe @empty", folder.Path()).errors, "");
  const json unpackedEmpty = json::parse(Contents(folder / "empty" / "manifest.json"))["objects"][0];
  EXPECT_EQ(unpackedEmpty["frames"][0]["image"], nullptr);
  ASSERT_EQ(RunTool("pack @empty/manifest.json @c.foe", folder.Path()).errors, "");
  kelna::ZoSpriteAnimation scene;
  ASSERT_EQ(scene.ReadObjects((folder / "a.foe").c_str()), 1);
  std::ostringstream saved(std::ios::binary);
  for (const auto& object : scene.objects) object->Write(saved);
  EXPECT_TRUE(Contents(folder / "c.foe") == ObjectFileBytes(std::int16_t(scene.objects.size()), saved.str()));
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
  const Png png = ReadPng(folder / "pal8.png", 3);
  EXPECT_EQ(std::pair(png.width, png.height), std::pair(127, 64));
  EXPECT_TRUE(Contents(kReference / "pal8.pam").ends_with(std::string(png.bytes.begin(), png.bytes.end())));
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
  // Two objects announced, three bytes held. (Files cut inside their records: refusals_test.cpp.)
  WriteBytes(folder / "cut.foe", ObjectFileBytes(2, "SPD"));
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
      {1, "inspect @cut.foe", "@cut.foe: 2 objects announced, room for 0"},
      {2, "inspect @notes.txt", "@notes.txt: unknown kind of file (not .anm, .foe or .bmp)"},
      {1, "decode @text.bmp @out", R"("@text.bmp": not a BMP file)"},
      {1, "pack @m.json @missing/out.anm", "@missing/out.anm: no such folder"},  // m.json: the scene's
      {1, "trace @orphan.anm", "@orphan.anm: object file @gone.foe: no such file"},
      {1, "trace @scene.anm --random @random.txt",
       R"(@random.txt: line 2: "-5" is not a value from 0 to 2147483647)"},
      {1, "render @scene.anm --out @out --background @gone.bmp", "@gone.bmp: no such file"},
      {1, "render @scene.anm --out @out.webp --background @gone.bmp", "@gone.bmp: no such file"},
      {1, "render @scene.anm --out @missing/out.webp", "@missing/out.webp: no such folder"},
      {2, "trace", "no animation file named"},
      {2, "trace @scene.anm @scene.anm", "one animation file only (@scene.anm is a second)"},
      {2, "trace @scene.anm --size 0x480",
       R"(--size: "0x480" is not WIDTHxHEIGHT with sizes from 1 to 32767)"},
      {2, "trace @scene.anm --size 20000x20000",
       "--size: 20000x20000 is more than the raster draws (256 MiB of pixels)"},
      {2, "trace @scene.anm --ticks -1", R"(--ticks: "-1" is not a number from 0 to 1000000)"},
      {2, "trace @scene.anm --ticks", "--ticks needs a value"},
      {2, "trace @scene.anm --random r.txt --seed 4", "--random and --seed exclude each other"},
      {2, "trace @scene.anm --out @out", "unknown option --out"},  // render's own
      {2, "render @scene.anm", "--out DIR is missing"},
      {2, "render @scene.anm --out @out --format gif", R"(--format: "gif" is neither png nor pam)"},
      {2, "render @scene.anm --out @out.WebP --format png", "--format is for a folder of frames, not a .webp file"},
      {2, "render @scene.anm --out @out.webp --interval 60001", R"(--interval: "60001" is not a number from 0 to 60000)"},
      {2, "render @scene.anm --out @out.webp --ticks 1000000 --interval 2200",
       "--ticks 1000000 of 2200 ms last longer than a WebP animation can (24 days)"},
      {2, "trace @scene.anm --interval 50", "unknown option --interval"},
      {2, "unpack @objects.foe", nullptr},
      {2, "pack @m.json @out.foe --alpha-threshold 0", R"(--alpha-threshold: "0" is not a number from 1 to 255)"},
      {2, "pack @m.json @out.foe --alpha", "unknown option --alpha"},
      {2, "pack @m.json @out.anm --palette", "the options are for object files (.foe) only"},
  };
  for (const auto& c : commands) {
    const ToolRun run = RunTool(c.command, folder.Path());
    EXPECT_EQ(run.status, c.status) << c.command;
    EXPECT_EQ(run.out, "") << c.command;
    const std::string line = c.message ? "kelna-tool: " + At(c.message, folder.Path()) + "\n" : "usage: ";
    // A wrong command line may add the usage; a file problem is the one line.
    EXPECT_EQ(c.status == 1 ? run.errors : run.errors.substr(0, line.size()), line) << c.command;
  }
  EXPECT_FALSE(fs::exists(folder / "out") || fs::exists(folder / "out.webp"))
      << "unpack, decode and render write nothing when they fail";
  // Manifests packed as @m.json into @out.foe, or @out.anm when they name an object file.
  const struct {
    std::string manifest;
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
      {R"({"objects": [{"depth": 1e400}]})",
       "not valid JSON: [json.exception.out_of_range.406] number overflow parsing '1e400'"},
      {R"({"objects": [{"depth": 32768}]})", "objects[0].depth: 32768 is outside -32768 ... 32767"},
      {R"({"objects": [{"speedX": 1.5}]})", "objects[0].speedX: 1.5 is not an integer"},
      {R"({"objects": [{"speedY": {"x": 1}}]})", "objects[0].speedY: {...} is not an integer"},
      {R"({"objects": [{"depth": "abcdefghijabcdefghijabcdefghijabcdefghij魚"}]})",
       R"(objects[0].depth: "abcdefghijabcdefghijabcdefghijabcdefghi... is not an integer)"},
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
      // Nested 200,000 deep: read without recursion, named without being written out.
      {R"({"objects": [{"speedY": )" + std::string(200'000, '[') + std::string(200'000, ']') + "}]}",
       "objects[0].speedY: [...] is not an integer"},
  };
  for (const auto& c : manifests) {
    const bool animation = c.manifest.find("objectFile") != std::string::npos;
    const ToolRun run = Pack(folder, c.manifest, animation ? "out.anm" : "out.foe");
    EXPECT_EQ(run.status, 1) << c.message;
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

// "--" ends the options of every command: file names that start with dashes come after it.
TEST(ToolErrorsTest, ADoubleDashEndsTheOptions) {
  TemporaryFolder folder;
  const fs::path before = fs::current_path();
  fs::current_path(folder.Path());
  WriteBytes("--m.json", R"({"objects": [{"name": "dash"}]})");
  WriteBytes("--a.json", R"({"objectFile": "--o.foe", "sprites": [{"objectName": "dash"}]})");
  fs::copy_file(kFrames / "pal8.bmp", "--b.bmp");
  const std::pair<const char*, int> commands[] = {
      {"pack --m.json --o.foe", 2},  // options without "--"
      {"pack --palette -- --m.json --o.foe", 0},
      {"pack -- --a.json --s.anm", 0},
      {"inspect -- --o.foe", 0},
      {"unpack --png -- --o.foe --unpacked", 0},
      {"decode -- --b.bmp --b.png", 0},
      {"trace --ticks 1 -- --s.anm", 0},
      {"trace -- --s.anm --ticks 1", 2},  // after "--" a second file, not an option
      {"render --out frames -- --s.anm", 0},
  };
  for (const auto& [command, status] : commands) EXPECT_EQ(RunTool(command, folder.Path()).status, status) << command;
  for (const char* written : {"--o.foe", "--s.anm", "--unpacked/manifest.json", "--b.png", "frames/tick-0000.png"})
    EXPECT_TRUE(fs::exists(written)) << written;
  fs::current_path(before);
}

// scene.anm with these sprites of "red": two frames of a 32 × 32 red square (the second
// borrows the first's picture), whose sound, without data, plays at frame 0.
std::string Scene(const TemporaryFolder& folder, const std::string& sprites) {
  WriteBytes(folder / "red.bmp", StreamForm(SolidDib(32, 32, 0xFF0000)));
  PackScene(folder, R"({"objects": [{"name": "red", "frames": [{"image": "red.bmp"}, {"image": "previous"}],
      "sound": {"fileName": "ping.wav", "playFrame": 0}}]})", json::parse(sprites),
            {{"objectName", "red"}, {"randomStart", 0}, {"imageWidth", 32}, {"imageHeight", 32}, {"frameCount", 2}});
  return (folder / "scene.anm").string();
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

TEST(TraceCommandTest, TheFirstTicksFollowTheFrameStepRulesInTraceAndRender) {
  TemporaryFolder folder;
  // Bouncer (deepest, placed at random), 玉 and wrapper (both flowing, wrapper with its sound
  // off), far enough apart that each is a region of its own.
  const std::string scene = Scene(folder, R"([
      {"name": "bouncer", "depth": 3, "behaviour": 1, "randomStart": 1},
      {"name": "玉", "depth": 2, "x": 100, "y": 100, "speedX": 4, "speedY": -3},
      {"name": "wrapper", "x": -28, "y": 300, "speedX": -4, "soundOn": 0}])");
  const std::string play = scene + " --ticks 2 --random @random.txt";
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
  // Tick 1, a region per sprite, each its old and new place: the bouncer stands; 玉 sweeps
  // (100, 97) to (136, 132) and ends at (104, 97); wrapper sweeps x -32 ... 4 (4 columns in the
  // window), has left and comes back whole at 640 - 32 - 2 = 606. Each shows frame 0, where the
  // sound plays (but for wrapper's), and moves on to frame 1.
  EXPECT_EQ(lines[1], (json{{"tick", 1},
                            {"blits", {{452, 27, 32, 32}, {100, 97, 36, 35}, {0, 300, 4, 32}}},
                            {"sounds", {"bouncer", "玉"}},
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
  ASSERT_EQ(RunTool("render " + play + " --format pam --out @frames/deeper", folder.Path()).errors, "");
  const struct {
    const char* file;
    int x, y;
    bool red;  // or black
  } probes[] = {
      {"tick-0000.pam", 104, 97, false},  // nothing drawn yet
      {"tick-0001.pam", 104, 97, true},   // 玉's corner
      {"tick-0001.pam", 103, 97, false},  // the swept rest
      {"tick-0002.pam", 602, 300, true},
  };
  for (const auto& p : probes) {
    const PamPicture pam = ReadPam(folder / "frames" / "deeper" / p.file);  // its header: DecodeCommandTest
    ASSERT_EQ(std::pair(pam.width, pam.height), std::pair(640, 480)) << p.file;
    EXPECT_EQ(pam.pixels[p.y * 640 + p.x], p.red ? 0xFF0000u : 0u) << p.file << " at " << p.x << ", " << p.y;
  }

  const struct {
    const char* options;
    int bouncerX, bouncerY;  // 20 + r mod 568, 20 + r mod 408 with the generator's first draws
    json sounds;             // on tick 1
  } cases[] = {
      {"", 146, 293, {"bouncer", "玉"}},           // seed 1: 908834774, 1093944153
      {"--seed 2", 384, 422, {"bouncer", "玉"}},  // 1649717740, 1969491882
      {"--no-sound", 146, 293, json::array()},               // the saver's wave switch off
  };
  for (const auto& c : cases) {
    const ToolRun once = RunTool("trace " + scene + " --ticks 1 " + c.options, folder.Path());
    const std::vector<json> ticks = Lines(once.out);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[0]["sprites"][0]["x"], c.bouncerX) << c.options;
    EXPECT_EQ(ticks[0]["sprites"][0]["y"], c.bouncerY) << c.options;
    EXPECT_EQ(ticks[1]["sounds"], c.sounds) << c.options;
    EXPECT_EQ(ticks[1]["sprites"][1]["curFrame"], 1) << c.options;
  }
  // A walker takes two draws to place; each tick a sign and a percentage for each axis: nine
  // values run out in the second tick, and the ticks before stay printed.
  const std::string walk = Scene(folder, R"([{"name": "walker", "behaviour": 3, "randomStart": 1, "speedX": 2,
      "speedY": 2}])") + " --ticks 2 --random @random.txt";
  WriteBytes(folder / "random.txt", "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  EXPECT_EQ(Lines(RunTool("trace " + walk, folder.Path()).out).size(), 3u);
  WriteBytes(folder / "random.txt", "0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  const ToolRun ranOut = RunTool("trace " + walk, folder.Path());
  EXPECT_EQ(ranOut.status, 1);
  EXPECT_EQ(ranOut.errors, At("kelna-tool: @random.txt: the scripted random values ran out at tick 2\n",
                              folder.Path()));
  ASSERT_EQ(Lines(ranOut.out).size(), 2u);
  EXPECT_EQ(Lines(ranOut.out)[1]["tick"], 1);
}

}  // namespace
}  // namespace kelna::test
