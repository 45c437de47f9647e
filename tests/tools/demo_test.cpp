// The demo animation: drawn by make_demo.py and packed by kelna-tool from scratch, read back
// by inspect, and played by trace.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json Inspect(const fs::path& file, const fs::path& scratch) {
  const ToolRun run = RunTool({"inspect", file.string()}, scratch);
  EXPECT_EQ(run.status, 0) << file << ": " << run.errors;
  return run.status == 0 ? json::parse(run.out) : json::object();
}

std::uint32_t BigEndian(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) value = value << 8 | std::uint8_t(bytes.at(at + i));
  return value;
}

// The notes of a format 0 MIDI file, each started and ended once, in a well-formed track:
// the number of notes, or -1 for anything out of place.
int CountMidiNotes(const std::string& midi) {
  if (midi.substr(0, 4) != "MThd" || BigEndian(midi, 4, 4) != 6 || BigEndian(midi, 8, 2) != 0 ||
      BigEndian(midi, 10, 2) != 1 || midi.substr(14, 4) != "MTrk" || BigEndian(midi, 18, 4) != midi.size() - 22)
    return -1;
  std::map<int, int> sounding;  // channel × 128 + key: notes on
  int notes = 0;
  std::size_t at = 22;
  while (at < midi.size()) {
    while (std::uint8_t(midi.at(at++)) & 0x80) {}  // the delta time
    const std::uint8_t status = std::uint8_t(midi.at(at++));
    if (status == 0xFF) {
      const std::uint8_t type = std::uint8_t(midi.at(at++));
      const std::size_t length = std::uint8_t(midi.at(at++));
      at += length;
      if (type == 0x2F) return at == midi.size() && sounding.empty() ? notes : -1;
    } else if ((status & 0xE0) == 0x80) {  // note off, note on
      const int note = (status & 0x0F) * 128 + midi.at(at);
      const bool on = (status & 0xF0) == 0x90 && midi.at(at + 1) != 0;
      if (on ? sounding[note]++ != 0 : --sounding[note] != 0) return -1;
      if (!on) sounding.erase(note);
      notes += on;
      at += 2;
    } else if ((status & 0xF0) == 0xB0) {
      at += 2;  // controller
    } else if ((status & 0xF0) == 0xC0) {
      at += 1;  // program
    } else {
      return -1;
    }
  }
  return -1;  // no end of track
}

TEST(DemoTest, TheDemoBuildsAndPlaysEveryBehaviourWithSound) {
  TemporaryFolder folder;
  const fs::path out = folder / "demo";
  const ToolRun build = RunProgram(KELNA_PYTHON, {KELNA_DEMO_SCRIPT, "--tool", KELNA_TOOL, "--out", out.string()},
                                   folder.Path());
  ASSERT_EQ(build.status, 0) << build.errors;

  // The animation names its object file by the absolute path it was built for.
  const json animation = Inspect(out / "demo.anm", folder.Path());
  EXPECT_EQ(animation["objectFile"], (out / "demo.foe").string());
  std::set<int> behaviours, depths;
  std::map<std::string, int> behaviourOf;
  bool delayed = false, once = false;
  for (const json& sprite : animation["sprites"]) {
    behaviours.insert(sprite["behaviour"].get<int>());
    depths.insert(sprite["depth"].get<int>());
    behaviourOf[sprite["name"]] = sprite["behaviour"];
    delayed |= sprite["startFrame"] > 0;
    once |= sprite["behaviour"] == 2 && sprite["autoRepeat"] == 0;
  }
  EXPECT_EQ(behaviours, (std::set<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_GE(depths.size(), 3u);
  EXPECT_TRUE(delayed) << "a sprite that starts late";
  EXPECT_TRUE(once) << "a one-shot sprite that plays once";

  // Every sprite shows an object of the object file, at its frames' size; one object sounds
  // the chime written beside it.
  const json objects = Inspect(out / "demo.foe", folder.Path());
  std::map<std::string, json> objectNamed;
  for (const json& object : objects["objects"]) objectNamed[object["name"]] = object;
  for (const json& sprite : animation["sprites"]) {
    ASSERT_TRUE(objectNamed.contains(sprite["objectName"])) << sprite["name"];
    const json& object = objectNamed[sprite["objectName"]];
    const json& first = object["frames"][0]["image"].is_object() ? object["frames"][0] : object["frames"][1];
    EXPECT_EQ(sprite["imageWidth"], first["image"]["width"]) << sprite["name"];
    EXPECT_EQ(sprite["imageHeight"], first["image"]["height"]) << sprite["name"];
    EXPECT_EQ(sprite["frameCount"], object["frameCount"]) << sprite["name"];
  }
  int sounds = 0;
  for (const auto& [name, object] : objectNamed) {
    if (object["sound"].is_null()) continue;
    ++sounds;
    EXPECT_EQ(object["sound"]["waveSize"], fs::file_size(out / "blip.wav"));
  }
  EXPECT_EQ(sounds, 1);
  EXPECT_EQ(Contents(out / "blip.wav").substr(8, 4), "WAVE");

  const json background = Inspect(out / "background.bmp", folder.Path());
  EXPECT_EQ(background["width"], 640);
  EXPECT_EQ(background["height"], 480);
  EXPECT_GT(CountMidiNotes(Contents(out / "music.mid")), 16);

  // Fifty ticks over the background: every behaviour shows, a sound plays, and the one-shot
  // sprite that plays once has done so.
  const ToolRun trace = RunTool({"trace", (out / "demo.anm").string(), "--ticks", "50", "--background",
                                 (out / "background.bmp").string()},
                                folder.Path());
  ASSERT_EQ(trace.status, 0) << trace.errors;
  std::set<int> shown;
  int heard = 0;
  json last;
  std::istringstream lines(trace.out);
  for (std::string line; std::getline(lines, line);) {
    last = json::parse(line);
    heard += int(last["sounds"].size());
    for (const json& sprite : last["sprites"])
      if (sprite["state"] == 1 || sprite["state"] == 2) shown.insert(behaviourOf[sprite["name"]]);
  }
  EXPECT_EQ(last["tick"], 50);
  EXPECT_EQ(shown, behaviours);
  EXPECT_GT(heard, 0);
  const json& sprites = last["sprites"];
  const auto star = std::find_if(sprites.begin(), sprites.end(), [](const json& s) { return s["name"] == "shooting star"; });
  ASSERT_NE(star, sprites.end());
  EXPECT_EQ((*star)["state"], -1);
}

TEST(DemoTest, AnInstallFolderMustBeAbsolute) {
  TemporaryFolder folder;
  const ToolRun build = RunProgram(
      KELNA_PYTHON, {KELNA_DEMO_SCRIPT, "--tool", KELNA_TOOL, "--out", (folder / "demo").string(), "--install-dir", "demo"},
      folder.Path());
  EXPECT_EQ(build.status, 2);
  EXPECT_NE(build.errors.find("--install-dir must be an absolute path: demo"), std::string::npos) << build.errors;
  EXPECT_FALSE(fs::exists(folder / "demo"));
}

}  // namespace
}  // namespace kelna::test
