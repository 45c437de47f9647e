// The demo animation: drawn by make_demo.py and packed by kelna-tool from scratch, read back
// by inspect, and played by trace.

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

using nlohmann::json;

TEST(DemoTest, TheDemoBuildsAndPlaysEveryBehaviourWithSound) {
  TemporaryFolder folder;
  const std::string build = std::string(KELNA_DEMO_SCRIPT) + " --tool " + KELNA_TOOL + " --out @demo";
  const ToolRun relative = RunProgram(KELNA_PYTHON, build + " --install-dir demo", folder.Path());
  EXPECT_EQ(relative.status, 2);
  EXPECT_NE(relative.errors.find("--install-dir must be an absolute path: demo"), std::string::npos) << relative.errors;
  EXPECT_FALSE(fs::exists(folder / "demo"));
  const ToolRun built = RunProgram(KELNA_PYTHON, build, folder.Path());
  ASSERT_EQ(built.status, 0) << built.errors;

  // The animation names its object file by the absolute path it was built for. Every sprite
  // shows an object of it, at its frames' size; one object sounds the chime beside it.
  const json animation = json::parse(RunTool("inspect @demo/demo.anm", folder.Path()).out);
  EXPECT_EQ(animation["objectFile"], (folder / "demo" / "demo.foe").string());
  const json objectFile = json::parse(RunTool("inspect @demo/demo.foe", folder.Path()).out);
  std::map<std::string, json> objects;
  for (const json& object : objectFile["objects"]) objects[object["name"]] = object;
  std::set<int> behaviours;
  std::map<std::string, int> behaviourOf;
  for (const json& sprite : animation["sprites"]) {
    behaviours.insert(behaviourOf[sprite["name"]] = sprite["behaviour"]);
    const json& object = objects[sprite["objectName"]];
    const json& image = object["frames"][object["frames"][0]["image"].is_object() ? 0 : 1]["image"];
    EXPECT_EQ(sprite["imageWidth"], image["width"]) << sprite["name"];
    EXPECT_EQ(sprite["imageHeight"], image["height"]) << sprite["name"];
    EXPECT_EQ(sprite["frameCount"], object["frameCount"]) << sprite["name"];
  }
  EXPECT_EQ(behaviours, (std::set<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(objects["twinkle"]["sound"]["waveSize"], fs::file_size(folder / "demo" / "blip.wav"));
  // music.mid: one track of format 0, ended properly.
  const std::string midi = Contents(folder / "demo" / "music.mid");
  EXPECT_EQ(midi.substr(0, 12), std::string("MThd\0\0\0\x06\0\0\0\x01", 12));
  EXPECT_EQ(midi.substr(midi.size() - 3), std::string("\xFF\x2F\0", 3));

  // Fifty ticks over the background: every behaviour shows, a sound plays, and the shooting
  // star, which plays once, has done so.
  const ToolRun trace = RunTool("trace @demo/demo.anm --ticks 50 --background @demo/background.bmp", folder.Path());
  ASSERT_EQ(trace.status, 0) << trace.errors;
  std::set<int> shown;
  int heard = 0;
  json last, star;
  std::istringstream lines(trace.out);
  for (std::string line; std::getline(lines, line);) {
    last = json::parse(line);
    heard += int(last["sounds"].size());
    for (const json& sprite : last["sprites"]) {
      if (sprite["state"] == 1 || sprite["state"] == 2) shown.insert(behaviourOf[sprite["name"]]);
      if (sprite["name"] == "shooting star") star = sprite["state"];
    }
  }
  EXPECT_EQ(last["tick"], 50);
  EXPECT_EQ(shown, behaviours);
  EXPECT_GT(heard, 0);
  EXPECT_EQ(star, -1);
}

}  // namespace
}  // namespace kelna::test
