// kelna --window --watch: when the animation, its object file or the background changes
// (renamed into place, written in place or in two goes) the window soon shows what render draws
// of the new files; a broken file leaves the scene before playing. And the look at the files.

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "linux/file_watch.h"
#include "tests/support/dib_builder.h"
#include "tests/support/program_runner.h"
// Last: Xlib's macros (None, Status) would clash with the names above.
#include "tests/linux/sessions.h"

namespace kelna::test {
namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

class WatchingPlayer : public PlayerOnX {
 protected:
  // objects.foe: "block", one frame of 40 × 30 of `colour` (pack renames it into place).
  void PackObjects(std::uint32_t colour) {
    WriteBytes(folder / "block.bmp", StreamForm(SolidDib(40, 30, colour)));
    WriteBytes(folder / "m.json", R"({"objects": [{"name": "block", "frames": [{"image": "block.bmp"}]}]})");
    ASSERT_EQ(RunTool("pack m.json objects.foe", folder.Path()).errors, "");
  }
  // scene.anm: the block standing at (x, y).
  void PackScene(int x, int y) {
    const json sprite = {{"objectName", "block"}, {"randomStart", 0}, {"imageWidth", 40}, {"imageHeight", 30},
                         {"frameCount", 1}, {"x", x}, {"y", y}};
    const json scene = {{"objectFile", (folder / "objects.foe").string()}, {"sprites", {sprite}}};
    WriteBytes(folder / "a.json", scene.dump());
    ASSERT_EQ(RunTool("pack a.json scene.anm", folder.Path()).errors, "");
  }
  // What render draws of the files as they are now.
  Pixels Rendered() {
    std::filesystem::remove_all(folder / "frames");
    EXPECT_EQ(RunTool("render scene.anm" + kRun + " --format pam --out frames", folder.Path()).errors, "");
    return ReadPam(folder / "frames/tick-0002.pam").pixels;
  }
  // The window's pixels: SDL centres its 320 × 240 window on the 640 × 480 screen.
  Pixels Shown() const {
    const Pixels screen = x.Of(x.Root(), 640, 480);
    Pixels window;
    for (int y = 120; y < 360; ++y)
      window.insert(window.end(), screen.begin() + y * 640 + 160, screen.begin() + y * 640 + 480);
    return window;
  }

  const std::string kRun = " --size 320x240 --background bg.bmp --mode 0 --seed 4 --ticks 2";
};

TEST_F(WatchingPlayer, PlaysTheNewFilesSoonAfterTheyChangeAndKeepsTheLastGoodScene) {
  PackObjects(0xE03030);
  PackScene(100, 80);
  WriteBytes(folder / "bg.bmp", StreamForm(PackedDib(320, 240, 24, 0)));
  auto kelna = Start(At("--window --watch --animation @scene.anm --background @bg.bmp --mode 0 --size 320x240 "
                        "--seed 4 --ticks 2 --interval 20 --no-music --no-sound --verbose", folder.Path()));
  ASSERT_TRUE(kelna->Says("stopped after 2 ticks")) << kelna->Log();
  ASSERT_EQ(Unlike(Shown(), Rendered()), 0) << "the window is not where it is looked for";

  const std::string objects = Contents(folder / "objects.foe");
  const struct {
    const char* change;
    std::function<void()> make;
    bool reads;  // or the scene before stays
  } cases[] = {
      {"the object file replaced by a rename", [&] { PackObjects(0x30E060); }, true},
      {"the animation replaced by a rename", [&] { PackScene(200, 150); }, true},
      {"the background written again in place",
       [&] { WriteBytes(folder / "bg.bmp", StreamForm(SolidDib(320, 240, 0x203080))); }, true},
      {"the object file cut short", [&] { WriteBytes(folder / "objects.foe", objects.substr(0, 150)); }, false},
      {"the object file written in two goes", [&] {
         PackObjects(0xF0F040);
         const std::string whole = Contents(folder / "objects.foe");
         WriteBytes(folder / "objects.foe", whole.substr(0, whole.size() / 2));
         std::this_thread::sleep_for(30ms);
         WriteBytes(folder / "objects.foe", whole);
       }, true},
  };
  const auto count = [&](const char* word) { return Occurrences(kelna->Log(), word); };
  for (const auto& c : cases) {
    const Pixels before = Shown();
    const long played = count("stopped after 2 ticks"), refused = count("still playing");
    const auto start = Clock::now();
    c.make();
    if (!c.reads) {
      ASSERT_TRUE(kelna->Says("objects.foe: object 1 of 1 cut short")) << c.change << "\n" << kelna->Log();
      EXPECT_TRUE(kelna->Says("; still playing the scene read before")) << kelna->Log();
      EXPECT_EQ(count("still playing"), refused + 1) << kelna->Log();
      EXPECT_EQ(Unlike(Shown(), before), 0) << c.change;
      continue;
    }
    while (Unlike(Shown(), before) == 0 && Clock::now() - start < 10s) std::this_thread::sleep_for(10ms);
    const auto seen = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    for (int wait = 0; wait < 500 && count("stopped after 2 ticks") == played; ++wait)
      std::this_thread::sleep_for(10ms);
    ASSERT_GT(count("stopped after 2 ticks"), played) << c.change << "\n" << kelna->Log();
    x.Screen("watch");  // saved when screenshots are asked for
    EXPECT_EQ(Unlike(Shown(), Rendered()), 0) << c.change;
    // Half a second on a quiet machine; the tests share two cores with builds.
    EXPECT_LT(seen, 2s) << c.change;
    std::printf("%s: the window changed after %lld ms\n", c.change, static_cast<long long>(seen.count()));
  }
  EXPECT_EQ(kelna->Terminate(), 0);
}

TEST(FileWatch, SeesEveryKindOfChangeOnce) {
  TemporaryFolder folder;
  const fs::path file = folder / "a.foe", other = folder / "b.foe";
  WriteBytes(file, "first");
  WriteBytes(other, "first");
  const struct {
    const char* change;
    std::function<void()> make;
    bool seen;
  } cases[] = {
      {"nothing", [] {}, false},
      {"longer", [&] { WriteBytes(file, "first, longer"); }, true},
      // The same size and time: only the inode tells.
      {"replaced by a rename", [&] {
         const auto time = fs::last_write_time(file);
         WriteBytes(other, "first, LONGER");
         fs::last_write_time(other, time);
         fs::rename(other, file);
       }, true},
      {"removed", [&] { fs::remove(file); }, true},
      {"still gone", [] {}, false},
      {"back", [&] { WriteBytes(file, "x"); }, true},
  };
  FileWatch watch({file});
  for (const auto& c : cases) {
    c.make();
    EXPECT_EQ(watch.Look(), c.seen) << c.change;
    EXPECT_FALSE(watch.Look()) << c.change << ", looked at again";
  }
}

}  // namespace
}  // namespace kelna::test
