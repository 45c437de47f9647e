// What kelna-tool says about bad input: one line naming the file (and the entry at fault),
// status 1; or, for a wrong command line, status 2. Nothing is written then.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

TEST(ToolErrorsTest, BadInputIsNamedOnOneLineAndNothingIsWritten) {
  TemporaryFolder folder;
  const auto pack = [&](const std::string& manifest, const std::string& output) {
    WriteBytes(folder / "m.json", At(manifest, folder.Path()));
    ASSERT_EQ(RunTool("pack @m.json @" + output, folder.Path()).errors, "");
  };
  pack(R"({"objects": []})", "objects.foe");
  pack(R"({"objectFile": "@gone.foe", "sprites": []})", "orphan.anm");
  pack(R"({"objectFile": "@objects.foe", "sprites": [{}, {}, {}]})", "scene.anm");
  // Three sprites announced, not quite two held; two objects announced, three bytes held.
  WriteBytes(folder / "cut.anm", Contents(folder / "scene.anm").substr(0, 294 + 115 + 50));
  WriteBytes(folder / "cut.foe", Contents(folder / "objects.foe").substr(0, 32) + std::string("\x02\x00SPD", 5));
  fs::copy_file(fs::path(KELNA_TEST_DATA) / "bmpsuite" / "g" / "pal8.bmp", folder / "bitmap.foe");
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
      {1, "pack @m.json @missing/out.anm", "@missing/out.anm: no such folder"},  // m.json: the scene's
      {1, "trace @missing.anm", "@missing.anm: no such file"},
      {1, "trace @orphan.anm", "@orphan.anm: object file @gone.foe: no such file"},
      {1, "trace @scene.anm --random @random.txt", R"(@random.txt: line 2: "-5" is not a value from 0 to 2147483647)"},
      {1, "render @scene.anm --out @out --background @gone.bmp", "@gone.bmp: no such file"},
      {2, "trace", "no animation file named"},
      {2, "trace @scene.anm @scene.anm", "one animation file only (@scene.anm is a second)"},
      {2, "trace @scene.anm --size 0x480", R"(--size: "0x480" is not WIDTHxHEIGHT with sizes from 1 to 32767)"},
      {2, "trace @scene.anm --size 640", R"(--size: "640" is not WIDTHxHEIGHT with sizes from 1 to 32767)"},
      {2, "trace @scene.anm --size 20000x20000", "--size: 20000x20000 is more than the raster draws (256 MiB of pixels)"},
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
  EXPECT_FALSE(fs::exists(folder / "out")) << "unpack and render make no folder when they fail";

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
      {R"({"objects": [{"behaviour": 4, "locations": [[1, 2, 3]]}]})", "objects[0].locations[0]: must be [x, y]"},
      {R"({"objects": [{"locations": [[1, 2]]}]})",
       "objects[0].locations: only objects of behaviour 4 (specified position) keep locations"},
      {R"({"objects": [{"name": "abcdefghijabcdefghijabcdefghi魚"}]})",
       R"(objects[0].name: "abcdefghijabcdefghijabcdefghi魚" takes 31 bytes in code page 932, more than 30)"},
      {R"({"objects": [{"name": "€"}]})", R"(objects[0].name: "€" has characters that code page 932 cannot hold)"},
      {R"({"objects": [{"sound": {"file": "empty.wav"}}]})",
       R"(objects[0].sound.file: cannot read "empty.wav": the file is empty)"},
      {R"({"objects": [{"sound": {"playFrame": 1}}]})", R"(objects[0].sound: needs "file" or "fileName")"},
      {R"({"objectFile": "a.foe"})", R"(top level: no "sprites" list)"},
      {R"({"objectFile": "", "sprites": []})", "objectFile: must name the object file"},
      // inspect's "type" is taken, but only an animation's.
      {R"({"type": "objects", "objectFile": "a.foe", "sprites": []})", R"(type: must be "animation" when present)"},
      // The reader takes any value but 1 as off: it would not read back.
      {R"({"objectFile": "a.foe", "sprites": [{"soundOn": 2}]})",
       "sprites[0].soundOn: 2 is neither 0 (off) nor 1 (on)"},
  };
  for (const auto& c : manifests) {
    WriteBytes(folder / "m.json", c.manifest);
    const bool animation = std::string(c.manifest).find("objectFile") != std::string::npos;
    const ToolRun run = RunTool(animation ? "pack @m.json @out.anm" : "pack @m.json @out.foe", folder.Path());
    EXPECT_EQ(run.status, 1) << c.manifest;
    EXPECT_EQ(run.errors, At("kelna-tool: @m.json: ", folder.Path()) + c.message + "\n");
  }
  EXPECT_FALSE(fs::exists(folder / "out.foe") || fs::exists(folder / "out.anm"));

  // Broken JSON says where; a failed pack leaves an earlier output whole.
  WriteBytes(folder / "out.foe", "earlier");
  WriteBytes(folder / "m.json", "{\"objects\": [\n");
  const ToolRun broken = RunTool("pack @m.json @out.foe", folder.Path());
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.errors.rfind(At("kelna-tool: @m.json: not valid JSON: ", folder.Path()), 0), 0u) << broken.errors;
  EXPECT_NE(broken.errors.find("line 2"), std::string::npos) << broken.errors;
  EXPECT_EQ(Contents(folder / "out.foe"), "earlier");
}

}  // namespace
}  // namespace kelna::test
