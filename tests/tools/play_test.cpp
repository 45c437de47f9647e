// kelna-tool trace and render: a small scene whose ticks are worked out by hand from the rules
// of the frame step, played with scripted or seeded random values; and the demo animation,
// drawn by make_demo.py, packed by kelna-tool, read back by inspect and played by trace.

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/dib_builder.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

using nlohmann::json;

// scene.anm with these sprites of "red": two frames of a 32 × 32 red square (the second
// borrows the first's picture), whose sound, without data, plays at frame 0.
std::string Scene(const TemporaryFolder& folder, const std::string& sprites) {
  WriteBytes(folder / "red.bmp", StreamForm(SolidDib(32, 32, 0xFF0000)));
  WriteBytes(folder / "m.json", R"({"objects": [{"name": "red", "frames": [{"image": "red.bmp"},
      {"image": "previous"}], "sound": {"fileName": "ping.wav", "playFrame": 0}}]})");
  EXPECT_EQ(RunTool("pack @m.json @objects.foe", folder.Path()).errors, "");
  json scene = {{"objectFile", (folder / "objects.foe").string()}, {"sprites", json::array()}};
  for (const json& sprite : json::parse(sprites)) {
    json full = {{"objectName", "red"}, {"randomStart", 0}, {"imageWidth", 32}, {"imageHeight", 32}};
    full["frameCount"] = 2;
    full.update(sprite);
    scene["sprites"].push_back(full);
  }
  WriteBytes(folder / "m.json", scene.dump());
  EXPECT_EQ(RunTool("pack @m.json @scene.anm", folder.Path()).errors, "");
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
  // Tick 1, one region per sprite in list order, each its old and new place:
  // - the bouncer stands: 32 × 32 where it is;
  // - 玉 sweeps (100, 97) to (136, 132), 36 × 35, and ends at (104, 97);
  // - wrapper sweeps x -32 ... 4, of which 4 columns lie in the window; at -32 it has left
  //   on the left and comes back whole at 640 - 32 - 2 = 606.
  // Each shows frame 0, where the object's sound plays (but for wrapper's), and moves on to frame 1.
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
  const std::string header = "P7\nWIDTH 640\nHEIGHT 480\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n";
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
    const std::string pam = Contents(folder / "frames" / "deeper" / p.file);
    ASSERT_EQ(pam.substr(0, header.size()), header) << p.file;
    const std::string pixel = pam.substr(header.size() + (p.y * 640 + p.x) * 3, 3);
    EXPECT_EQ(pixel, std::string(p.red ? "\xFF\0\0" : "\0\0\0", 3)) << p.file << " at " << p.x << ", " << p.y;
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

TEST(DemoTest, TheDemoBuildsAndPlaysEveryBehaviourWithSound) {
  TemporaryFolder folder;
  const std::string build = std::string(KELNA_DEMO_SCRIPT) + " --tool " + KELNA_TOOL + " --out @demo";
  const ToolRun relative = RunProgram(KELNA_PYTHON, build + " --install-dir demo", folder.Path());
  EXPECT_EQ(relative.status, 2);
  EXPECT_NE(relative.errors.find("--install-dir must be an absolute path: demo"), std::string::npos);
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
  std::map<std::string, int> behaviourOf;
  for (const json& sprite : animation["sprites"]) {
    behaviourOf[sprite["name"]] = sprite["behaviour"];
    const json& object = objects[sprite["objectName"]];
    const json& image = object["frames"][object["frames"][0]["image"].is_object() ? 0 : 1]["image"];
    EXPECT_EQ((json{sprite["imageWidth"], sprite["imageHeight"], sprite["frameCount"]}),
              (json{image["width"], image["height"], object["frameCount"]}))
        << sprite["name"];
  }
  EXPECT_EQ(objects["twinkle"]["sound"]["waveSize"], fs::file_size(folder / "demo" / "blip.wav"));
  // music.mid: one track of format 0, ended properly.
  const std::string midi = Contents(folder / "demo" / "music.mid");
  EXPECT_EQ(midi.substr(0, 12), std::string("MThd\0\0\0\x06\0\0\0\x01", 12));
  EXPECT_EQ(midi.substr(midi.size() - 3), std::string("\xFF\x2F\0", 3));

  // Fifty ticks over the background: every behaviour (0 to 5) shows, a sound plays, and the
  // shooting star, which plays once, has done so.
  const ToolRun trace = RunTool("trace @demo/demo.anm --ticks 50 --background @demo/background.bmp",
                                folder.Path());
  ASSERT_EQ(trace.status, 0) << trace.errors;
  std::set<int> shown;
  int heard = 0;
  json last, star;
  for (const json& tick : Lines(trace.out)) {
    last = tick;
    heard += int(tick["sounds"].size());
    for (const json& sprite : tick["sprites"]) {
      if (sprite["state"] == 1 || sprite["state"] == 2) shown.insert(behaviourOf[sprite["name"]]);
      if (sprite["name"] == "shooting star") star = sprite["state"];
    }
  }
  EXPECT_EQ(last["tick"], 50);
  EXPECT_EQ(shown, (std::set<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_GT(heard, 0);
  EXPECT_EQ(star, -1);
}

}  // namespace
}  // namespace kelna::test
