// kelna-tool pack with an animation manifest: animation files built through the scene,
// read back by inspect and packed again from inspect's own output.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

ToolRun Pack(const TemporaryFolder& folder, const std::string& manifest, const std::string& output) {
  WriteBytes(folder / "animation.json", manifest);
  return RunTool({"pack", (folder / "animation.json").string(), (folder / output).string()}, folder.Path());
}

TEST(PackAnimationTest, InspectShowsTheManifestsValuesDeepestFirst) {
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

  const ToolRun inspect = RunTool({"inspect", (folder / "scene.ANM").string()}, folder.Path());
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

  // inspect's output is a manifest that builds the same file.
  const ToolRun again = Pack(folder, inspect.out, "again.anm");
  ASSERT_EQ(again.status, 0) << again.errors;
  EXPECT_TRUE(Contents(folder / "scene.ANM") == Contents(folder / "again.anm"));
}

TEST(PackAnimationTest, ABadEntryIsNamedOnOneLineAndNothingIsWritten) {
  TemporaryFolder folder;
  const std::string longPath(260, 'p');
  const struct {
    std::string manifest;
    std::string message;  // after "kelna-tool: MANIFEST: "
  } cases[] = {
      {R"({"sprites": []})", R"(top level: no "objectFile")"},
      {R"({"objectFile": "a.foe"})", R"(top level: no "sprites" list)"},
      {R"({"objectFile": "", "sprites": []})", "objectFile: must name the object file"},
      {R"({"objectFile": ")" + longPath + R"(", "sprites": []})",
       R"(objectFile: ")" + longPath + R"(" takes 260 bytes in code page 932, more than 259)"},
      // inspect's "type" is taken, but only an animation's.
      {R"({"type": "objects", "objectFile": "a.foe", "sprites": []})", R"(type: must be "animation" when present)"},
      {R"({"objectFile": "a.foe", "sprites": [{}, {"nmae": "x"}]})", R"(sprites[1]: unknown key "nmae")"},
      {R"({"objectFile": "a.foe", "sprites": [{"depth": 40000}]})", "sprites[0].depth: 40000 is outside -32768 ... 32767"},
      {R"({"objectFile": "a.foe", "sprites": [{"x": 1.5}]})", "sprites[0].x: 1.5 is not an integer"},
      // The reader takes any value but 1 as off: it would not read back.
      {R"({"objectFile": "a.foe", "sprites": [{"soundOn": 2}]})", "sprites[0].soundOn: 2 is neither 0 (off) nor 1 (on)"},
      {R"({"objectFile": "a.foe", "sprites": [{"name": "abcdefghijabcdefghijabcdefghi魚"}]})",
       R"(sprites[0].name: "abcdefghijabcdefghijabcdefghi魚" takes 31 bytes in code page 932, more than 30)"},
      {R"({"objectFile": "a.foe", "sprites": [{"objectName": "€"}]})",
       R"(sprites[0].objectName: "€" has characters that code page 932 cannot hold)"},
  };
  for (const auto& c : cases) {
    const ToolRun run = Pack(folder, c.manifest, "out.anm");
    EXPECT_EQ(run.status, 1) << c.manifest;
    EXPECT_EQ(run.errors, "kelna-tool: " + (folder / "animation.json").string() + ": " + c.message + "\n");
    EXPECT_FALSE(fs::exists(folder / "out.anm")) << c.manifest;
  }
  const ToolRun nowhere = Pack(folder, R"({"objectFile": "a.foe", "sprites": []})", "missing/out.anm");
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_EQ(nowhere.errors, "kelna-tool: " + (folder / "missing" / "out.anm").string() + ": no such folder\n");
}

}  // namespace
}  // namespace kelna::test
