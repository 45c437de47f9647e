// The native player on a private headless sway: what each output shows against kelna-tool
// render, which input ends it, and swayidle starting it again and again, which it would not
// if the player kept the seat from going idle.

#include <gtest/gtest.h>

#include <string>

#include "tests/linux/sessions.h"

namespace kelna::test {
namespace {

const std::string kScene = " --animation " + kDemo + "/demo.anm" + kBackground;
constexpr int kWidth = HeadlessSway::kWidth, kHeight = HeadlessSway::kHeight;

// Each test makes its sway with the outputs it needs. Under ASan no leak check: SDL 2.26's
// Wayland driver and the libraries it loads and unloads leave some kilobytes at the end
// whose stacks LSan cannot follow (address errors still count).
class PlayerOnWayland : public PlayerTest {
 protected:
  void SetUp() override {
    if (!HeadlessSway::Installed()) GTEST_SKIP() << "sway, grim or swayidle is not installed";
  }
  std::vector<std::string> Display() const override {
    std::vector<std::string> environment = sway->Environment();
    environment.push_back("ASAN_OPTIONS=detect_leaks=0");
    return environment;
  }

  std::optional<HeadlessSway> sway;  // after the folder, so that it ends first
};

// The part of a frame of the whole scene (kWidth outputs wide) that output `index` shows.
Pixels PartFor(const PamPicture& frame, int index) {
  Pixels part;
  for (int y = 0; y < kHeight && y < frame.height; ++y)
    for (int x = index * kWidth; x < (index + 1) * kWidth && x < frame.width; ++x)
      part.push_back(frame.pixels[std::size_t(y) * std::size_t(frame.width) + std::size_t(x)]);
  return part;
}

// After N ticks with a fixed seed each output shows exactly its part of the frame that
// kelna-tool render makes of the scene over all the outputs, not the frame before.
TEST_F(PlayerOnWayland, EachOutputShowsItsPartOfWhatRenderDraws) {
  struct Case {
    int outputs, mode, ticks, seed;
  };
  for (const Case c : {Case{1, 0, 25, 7}, Case{2, 1, 14, 3}}) {
    sway.emplace(c.outputs);
    const std::string run = kBackground + " --mode " + std::to_string(c.mode) + " --seed " +
                            std::to_string(c.seed) + " --ticks " + std::to_string(c.ticks);
    const std::string size = std::to_string(kWidth * c.outputs) + "x" + std::to_string(kHeight);
    auto kelna = Start(" --animation " + kDemo + "/demo.anm" + run + " --interval 10 --no-music --no-sound --verbose");
    const std::string windows = c.outputs == 1 ? " in 1 window" : " in 2 windows";
    ASSERT_TRUE(kelna->Says("drawing " + size + windows)) << kelna->Log();
    ASSERT_TRUE(kelna->Says("stopped after " + std::to_string(c.ticks) + " ticks")) << kelna->Log();

    const auto frame = Render(kDemo + "/demo.anm" + run + " --size " + size);
    for (int output = 0; output < c.outputs; ++output) {
      const Pixels wanted = PartFor(frame(c.ticks), output);
      Pixels shown;  // the compositor shows the last frame soon after the player draws it
      Within(5s, [&] { return Unlike(shown = sway->Shot(output), wanted) == 0; });
      sway->Shot(output, "kelna-wayland-" + size + "-" + std::to_string(output + 1));
      EXPECT_EQ(Unlike(shown, wanted), 0) << HeadlessSway::Output(output) << " of " << c.outputs;
      EXPECT_GT(Unlike(shown, PartFor(frame(c.ticks - 1), output)), 0)
          << "the comparison does not see the animation move on " << HeadlessSway::Output(output);
    }
    EXPECT_EQ(kelna->Terminate(), 0) << kelna->Log();
    sway.reset();
  }
}

// A key, a button, or the pointer's moving (on its output or onto the other) ends the player
// calmly; the pointer that is already on the screen when its windows appear does not.
TEST_F(PlayerOnWayland, InputEndsItButNotThePointerWhereItAlreadyWas) {
  sway.emplace(2);
  for (const char* input : {"key", "click", "move 201 150", "move 200 149", "move 900 300"}) {
    sway->Do("move 200 150");
    auto kelna = Start(kScene + " --interval 10 --no-music --no-sound --verbose");
    ASSERT_TRUE(kelna->Says("in 2 windows")) << kelna->Log();
    EXPECT_FALSE(kelna->WaitForExit(2s)) << "ended with no input: " << input << "\n" << kelna->Log();
    sway->Do(input);
    EXPECT_EQ(kelna->WaitForExit(5s), 0) << input << "\n" << kelna->Log();
  }
}

// swayidle starts the player once the seat is idle; the seat goes idle again while the player
// shows (no inhibitor), and after a key has ended it swayidle starts it again by itself.
TEST_F(PlayerOnWayland, SwayidleStartsItWheneverTheSeatIsIdle) {
  sway.emplace(1);
  const std::string log = (folder / "idle-kelna.log").string(), idle = (folder / "idle.log").string();
  const std::string kelna = std::string(KELNA_PLAYER) + kScene + " --no-music --no-sound --verbose";
  const std::vector<std::string> environment = Environment();
  Program saver({"swayidle", "-w", "timeout", "1", kelna + " >>" + log + " 2>&1; echo status $? >>" + log},
                {.environment = environment, .out = folder / "swayidle.log"});
  const auto runs = [&](const std::string& word, long count) {
    return Within(15s, [&] { return Occurrences(Contents(log), word) == count; });
  };
  ASSERT_TRUE(runs("kelna: drawing", 1)) << Contents(log) << saver.Log();
  Program watcher({"swayidle", "timeout", "1", "echo idle >>" + idle}, {.environment = environment});
  EXPECT_TRUE(Within(10s, [&] { return Occurrences(Contents(idle), "idle") > 0; }))
      << "the seat does not go idle while the player shows";
  EXPECT_EQ(Occurrences(Contents(log), "status"), 0) << Contents(log);
  for (long run = 1; run <= 2; ++run) {
    ASSERT_TRUE(runs("kelna: drawing", run)) << Contents(log) << saver.Log();
    std::this_thread::sleep_for(500ms);
    sway->Do("key");
    ASSERT_TRUE(runs("status", run)) << Contents(log);
    EXPECT_EQ(Occurrences(Contents(log), "status 0"), run) << Contents(log);
  }
}

}  // namespace
}  // namespace kelna::test
