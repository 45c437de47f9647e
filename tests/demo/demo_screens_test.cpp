// The demo the native build draws, played as it is meant to be (its background tiled) on the
// common screens from 1280 x 720 to 3840 x 2160: no edge of the window is black, the moon and
// the town's lit windows are in it, whole, and the sprites stay in view; and its files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "tests/support/pam_reader.h"
#include "tests/support/program_runner.h"
#include "tests/support/temporary_folder.h"

namespace kelna::test {
namespace {

using nlohmann::json;

const std::string kDemo = KELNA_DEMO_DIR;
const char* const kMode = " --mode 1";  // tiled, as the demo is drawn for
const char* const kScreens[] = {"1280x720", "1366x768", "1920x1080", "2560x1440", "3840x2160"};

// The longest run of pure black pixels along the lines of the 4-pixel bands at the edges.
int LongestBlackRunAtTheEdges(const PamPicture& p) {
  int longest = 0;
  const auto scan = [&](int x, int y, int dx, int dy, int n) {
    for (int run = 0; n-- > 0; x += dx, y += dy) {
      run = p.pixels[std::size_t(y) * p.width + x] ? 0 : run + 1;
      longest = std::max(longest, run);
    }
  };
  for (int d = 0; d < 4; ++d) {
    scan(0, d, 1, 0, p.width);
    scan(0, p.height - 1 - d, 1, 0, p.width);
    scan(d, 0, 0, 1, p.height);
    scan(p.width - 1 - d, 0, 0, 1, p.height);
  }
  return longest;
}

// The rows holding a run of at least 48 moonlit pixels with something else on both sides:
// a moon's disc, not cut by the window's side, gives 40 and more.
int MoonRows(const PamPicture& p) {
  int rows = 0;
  for (int y = 0; y < p.height; ++y) {
    bool found = false;
    for (int x = 0, run = 0; x < p.width && !found; ++x) {
      const auto c = p.Rgb(x, y);
      const bool lit = c[0] >= 150 && c[1] >= 150 && c[2] >= 120;
      found = !lit && run >= 48 && x - run > 0;
      run = lit ? run + 1 : 0;
    }
    rows += found;
  }
  return rows;
}

// The lit windows' warm pixels: how many, and the nearest one's distance to either side.
std::pair<long, int> LitWindows(const PamPicture& p) {
  long count = 0;
  int margin = p.width;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const auto c = p.Rgb(x, y);
      if (c[0] < 180 || c[1] < 110 || c[1] > 215 || c[2] > c[0] * 0.62) continue;
      ++count;
      margin = std::min({margin, x, p.width - 1 - x});
    }
  return {count, margin};
}

// On each screen: the background as render draws it, and where trace places the sprites.
TEST(DemoOnScreensTest, TheBackgroundFillsEveryWindowAndEverySpriteShowsInIt) {
  TemporaryFolder folder;
  const json animation = json::parse(RunTool("inspect " + kDemo + "/demo.anm", folder.Path()).out);
  std::map<std::string, json> records;
  for (const json& sprite : animation["sprites"]) records[sprite["name"]] = sprite;
  ASSERT_FALSE(records.empty());
  for (const std::string size : kScreens) {
    SCOPED_TRACE(size);
    const std::string render = "render " + kDemo + "/demo.anm --background " + kDemo + "/background.bmp" + kMode +
                               " --size " + size + " --ticks 2 --seed 1 --format pam --out @" + size;
    ASSERT_EQ(RunTool(render, folder.Path()).status, 0);
    for (const char* tick : {"tick-0000.pam", "tick-0002.pam"})
      EXPECT_LE(LongestBlackRunAtTheEdges(ReadPam(folder / size / tick)), 16) << tick;
    // Before any sprite: the background as the window shows it.
    const PamPicture prepared = ReadPam(folder / size / "tick-0000.pam");
    EXPECT_GE(MoonRows(prepared), 40);
    const auto [lights, margin] = LitWindows(prepared);
    EXPECT_GE(lights, 150);
    EXPECT_GE(margin, 4) << "a lit window at the window's side: the town is cut";
    fs::remove_all(folder / size);

    // Every sprite shows in the window, and those placed by position whole.
    int width = 0, height = 0;
    std::sscanf(size.c_str(), "%dx%d", &width, &height);
    const std::string run = "trace " + kDemo + "/demo.anm --size " + size + " --ticks 300 --seed 3";
    const ToolRun trace = RunTool(run, folder.Path());
    ASSERT_EQ(trace.status, 0) << trace.errors;
    struct Seen { int drawn = 0, touching = 0, notWhole = 0, state = 0; };
    std::map<std::string, Seen> seen;
    std::istringstream lines(trace.out);
    for (std::string line; std::getline(lines, line);) {
      const json tick = json::parse(line);
      for (const json& sprite : tick["sprites"]) {
        seen[sprite["name"]].state = sprite["state"];
        if (sprite["state"] != 1 && sprite["state"] != 2) continue;
        const json& record = records[sprite["name"]];
        const int x = sprite["x"], y = sprite["y"], w = record["imageWidth"], h = record["imageHeight"];
        // Those whose places the file holds: the listed ones, and the drifting ones' rows.
        const bool placed = record["behaviour"] == 4;
        const bool rowPlaced = record["behaviour"] == 0 && record["speedY"] == 0;
        Seen& s = seen[sprite["name"]];
        ++s.drawn;
        s.touching += x < width && y < height && x + w > 0 && y + h > 0;
        s.notWhole += (placed && (x < 0 || x + w > width)) || ((placed || rowPlaced) && (y < 0 || y + h > height));
      }
    }
    for (const auto& [name, record] : records) {
      const Seen& s = seen[name];
      EXPECT_GT(s.drawn, 0) << name;
      EXPECT_GE(2 * s.touching, s.drawn) << name << " is out of the window more often than in it";
      EXPECT_EQ(s.notWhole, 0) << name << " is not whole in the window";
      EXPECT_TRUE(record["autoRepeat"] != 0 || s.state == -1) << name << " has not played once and ended";
    }
  }
}

// The animation names its object file by the absolute path it was built for. Every sprite
// shows an object of it, at its frames' size, and every behaviour (0 to 5) is there; one
// object sounds the chime beside it; the music is one track of format 0, ended properly.
TEST(DemoFilesTest, TheAnimationItsObjectsTheChimeAndTheMusicFitTogether) {
  TemporaryFolder folder;
  const json animation = json::parse(RunTool("inspect " + kDemo + "/demo.anm", folder.Path()).out);
  EXPECT_EQ(animation["objectFile"], kDemo + "/demo.foe");
  const json objectFile = json::parse(RunTool("inspect " + kDemo + "/demo.foe", folder.Path()).out);
  std::map<std::string, json> objects;
  for (const json& object : objectFile["objects"]) objects[object["name"]] = object;
  std::set<int> behaviours;
  for (const json& sprite : animation["sprites"]) {
    behaviours.insert(int(sprite["behaviour"]));
    const json& object = objects[sprite["objectName"]];
    const json& image = object["frames"][object["frames"][0]["image"].is_object() ? 0 : 1]["image"];
    EXPECT_EQ((json{sprite["imageWidth"], sprite["imageHeight"], sprite["frameCount"]}),
              (json{image["width"], image["height"], object["frameCount"]}))
        << sprite["name"];
  }
  EXPECT_EQ(behaviours, (std::set<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(objects["twinkle"]["sound"]["waveSize"], fs::file_size(kDemo + "/blip.wav"));
  const std::string midi = Contents(kDemo + "/music.mid");
  EXPECT_EQ(midi.substr(0, 12), std::string("MThd\0\0\0\x06\0\0\0\x01", 12));
  EXPECT_EQ(midi.substr(midi.size() - 3), std::string("\xFF\x2F\0", 3));
}

}  // namespace
}  // namespace kelna::test
