// The native player on a private Xvfb: what it draws against kelna-tool render, which input
// ends it where, and what reaches SDL's audio (through SDL's disk driver, counted).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "linux/player_audio.h"
#include "tests/support/bytes.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"
// Last: Xlib's macros (None, Status) would clash with the names above.
#include "tests/linux/x_session.h"

namespace kelna::test {
namespace {

const std::string kDemo = KELNA_DEMO_DIR;
const std::string kAnimation = kDemo + "/demo.anm";
const std::string kBackground = kDemo + "/background.bmp";

class PlayerOnX : public ::testing::Test {
 protected:
  std::unique_ptr<Child> Start(std::vector<std::string> args, std::map<std::string, std::string> environment = {}) {
    args.insert(args.begin(), KELNA_PLAYER);
    environment.emplace("DISPLAY", x.Name());
    environment.emplace("KELNA_CONFIG_DIR", folder.Path().string());
    environment.emplace("SDL_AUDIODRIVER", "dummy");
    environment.erase("XSCREENSAVER_WINDOW");
    return std::make_unique<Child>(args, environment, folder / "kelna.err");
  }

  std::string Errors() const { return Contents(folder / "kelna.err"); }

  Xvfb x{"640x480"};
  TemporaryFolder folder;
};

TEST_F(PlayerOnX, DrawsIntoAGivenWindowWhatRenderDraws) {
  struct Case {
    int width, height, mode;
    long ticks;
    std::uint32_t seed;
  };
  for (const Case c : {Case{320, 240, 0, 25, 7}, Case{400, 300, 1, 12, 3}}) {
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    const Window window = x.MakeWindow(30, 20, c.width, c.height);
    auto kelna = Start({"-window-id", std::to_string(window), "--animation", kAnimation, "--background", kBackground,
                        "--mode", std::to_string(c.mode), "--seed", std::to_string(c.seed), "--ticks",
                        std::to_string(c.ticks), "--interval", "10", "--no-music", "--verbose"});
    ASSERT_TRUE(kelna->WaitForLine("drawing " + size)) << Errors();
    ASSERT_TRUE(kelna->WaitForLine("stopped after " + std::to_string(c.ticks) + " ticks")) << Errors();
    const std::vector<std::uint32_t> shown = x.Pixels(window, c.width, c.height);

    const std::string frames = (folder / ("frames-" + size)).string();
    const ToolRun render = RunProgram(KELNA_TOOL,
                                      "render " + kAnimation + " --out " + frames + " --size " + size + " --seed " +
                                          std::to_string(c.seed) + " --ticks " + std::to_string(c.ticks) +
                                          " --background " + kBackground + " --mode " + std::to_string(c.mode) +
                                          " --format pam",
                                      folder.Path());
    ASSERT_EQ(render.status, 0) << render.errors;
    int width = 0, height = 0;
    char name[32];
    std::snprintf(name, sizeof name, "/tick-%04ld.pam", c.ticks);
    const std::vector<std::uint32_t> expected = PamPixels(frames + name, width, height);
    ASSERT_EQ(width, c.width);
    EXPECT_EQ(Differences(shown, expected), 0) << size << " mode " << c.mode;
    // One tick earlier differs: the comparison sees the animation move.
    std::snprintf(name, sizeof name, "/tick-%04ld.pam", c.ticks - 1);
    EXPECT_GT(Differences(shown, PamPixels(frames + name, width, height)), 0);
    EXPECT_EQ(kelna->Terminate(), 0);
    XDestroyWindow(x.X(), window);
  }
}

// The desktop mode shows the screen as it was: here the root window's colour.
TEST_F(PlayerOnX, DesktopModeShowsTheScreenAsItWas) {
  XSetWindowBackground(x.X(), x.Root(), 0x3366CC);
  XClearWindow(x.X(), x.Root());
  XSync(x.X(), False);
  auto kelna = Start({"--animation", kAnimation, "--mode", "2", "--ticks", "0", "--no-music", "--verbose"});
  ASSERT_TRUE(kelna->WaitForLine("stopped after 0 ticks")) << Errors();
  const std::vector<std::uint32_t> shown = x.Pixels(x.Root(), 640, 480);
  long desktop = 0;
  for (const std::uint32_t pixel : shown) desktop += pixel == 0x3366CC;
  EXPECT_GT(desktop, long(shown.size() * 9 / 10)) << "the scene's background is not the desktop";
  EXPECT_EQ(kelna->Terminate(), 0);
}

struct InputCase {
  const char* what;
  void (*act)(const Xvfb&);
  bool ends;
};

void PrintTo(const InputCase& input, std::ostream* out) { *out << input.what; }

class PlayerInput : public PlayerOnX, public ::testing::WithParamInterface<InputCase> {};

// Full screen, as the Windows saver: the pointer stands at (200, 150) when it starts.
TEST_P(PlayerInput, FullScreen) {
  x.MovePointer(200, 150);
  auto kelna = Start({"--animation", kAnimation, "--interval", "10", "--no-music", "--verbose"});
  ASSERT_TRUE(kelna->WaitForLine("drawing 640x480")) << Errors();
  std::this_thread::sleep_for(300ms);
  GetParam().act(x);
  const std::optional<int> status = kelna->WaitForExit(GetParam().ends ? 5s : 1s);
  if (GetParam().ends) {
    EXPECT_EQ(status, 0) << Errors();
  } else {
    EXPECT_FALSE(status) << "ended by " << GetParam().what;
    EXPECT_EQ(kelna->Terminate(), 0);
  }
}

// Inside someone else's window input is theirs: nothing ends the player but a signal.
TEST_P(PlayerInput, InAGivenWindowInputIsLeftToItsOwner) {
  x.MovePointer(200, 150);
  const Window window = x.MakeWindow(0, 0, 640, 480);
  auto kelna = Start({"--window-id", std::to_string(window), "--animation", kAnimation, "--interval", "10",
                      "--no-music", "--verbose"});
  ASSERT_TRUE(kelna->WaitForLine("drawing 640x480")) << Errors();
  std::this_thread::sleep_for(300ms);
  GetParam().act(x);
  EXPECT_FALSE(kelna->WaitForExit(1s)) << "ended by " << GetParam().what;
  EXPECT_EQ(kelna->Terminate(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PlayerInput,
    ::testing::Values(InputCase{"a key", [](const Xvfb& x) { x.PressKey("a"); }, true},
                      InputCase{"Alt", [](const Xvfb& x) { x.PressKey("Alt_L"); }, true},
                      InputCase{"a left click", [](const Xvfb& x) { x.Click(1); }, true},
                      InputCase{"a right click", [](const Xvfb& x) { x.Click(3); }, true},
                      InputCase{"one pixel right", [](const Xvfb& x) { x.MovePointer(201, 150); }, true},
                      InputCase{"one pixel down", [](const Xvfb& x) { x.MovePointer(200, 151); }, true},
                      InputCase{"a report at the start point", [](const Xvfb& x) { x.MovePointer(200, 150); }, false},
                      InputCase{"the wheel", [](const Xvfb& x) { x.Click(4); }, false}),
    [](const auto& info) {
      std::string name;
      for (const char* c = info.param.what; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
      return name;
    });

// The counts that --verbose prints at the end.
struct Counts {
  long requests = -1, started = -1, music = -1, audible = -1;
};

Counts EndCounts(Child& kelna) {
  Counts counts;
  if (const auto line = kelna.WaitForLine("sound requests"))
    std::sscanf(line->c_str(), "kelna: sound requests %ld, sounds started %ld, music starts %ld, audible frames %ld",
                &counts.requests, &counts.started, &counts.music, &counts.audible);
  return counts;
}

// How many sounds kelna-tool trace asks for in the same run.
long TracedSounds(const std::string& command, const std::filesystem::path& folder) {
  const ToolRun trace = RunProgram(KELNA_TOOL, "trace " + command, folder);
  long sounds = 0;
  for (std::size_t at = trace.out.find("\"sounds\":["); at != std::string::npos;
       at = trace.out.find("\"sounds\":[", at + 1)) {
    const std::size_t end = trace.out.find(']', at);
    sounds += std::count(trace.out.begin() + long(at) + 10, trace.out.begin() + long(end), '"') / 2;
  }
  return sounds;
}

// A General MIDI file of one short note (a quarter of a second).
std::string ShortMidi() {
  const std::string track = std::string("\x00\xFF\x51\x03\x03\xD0\x90", 7) +  // 250 ms a beat
                            std::string("\x00\xC0\x00\x00\x90\x3C\x64", 7) +  // piano, middle C
                            std::string("\x60\x80\x3C\x40\x00\xFF\x2F\x00", 8);
  return std::string("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60", 14) + "MTrk" + Le(0, 2) +
         std::string(1, char(track.size() >> 8)) + std::string(1, char(track.size() & 0xFF)) + track;
}

class PlayerAudioOnX : public PlayerOnX {
 protected:
  std::map<std::string, std::string> Disk() {
    return {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", (folder / "audio.raw").string()}};
  }
};

TEST_F(PlayerAudioOnX, SpriteSoundsReachTheAudioDevice) {
  const Window window = x.MakeWindow(0, 0, 320, 240);
  const std::string run = kAnimation + " --size 320x240 --seed 5 --ticks 80";
  const long traced = TracedSounds(run, folder.Path());
  ASSERT_GT(traced, 0) << "the demo plays no sound in 80 ticks";
  auto kelna = Start({"--window-id", std::to_string(window), "--animation", kAnimation, "--seed", "5", "--ticks", "80",
                      "--interval", "10", "--no-music", "--verbose"},
                     Disk());
  ASSERT_TRUE(kelna->WaitForLine("stopped after 80 ticks", 30s)) << Errors();
  std::this_thread::sleep_for(500ms);  // the last sound is mixed
  ASSERT_EQ(kelna->Terminate(), 0);
  const Counts counts = EndCounts(*kelna);
  EXPECT_EQ(counts.requests, traced);
  EXPECT_GE(counts.started, 1);
  EXPECT_LE(counts.started, counts.requests);  // none over one that still plays
  EXPECT_GT(counts.audible, 0);
  EXPECT_EQ(counts.music, 0);
  const std::string recorded = Contents(folder / "audio.raw");
  EXPECT_NE(recorded.find_first_not_of('\0'), std::string::npos) << "the device was given only silence";
}

TEST_F(PlayerAudioOnX, SilentWithoutSoundsAndMusic) {
  const Window window = x.MakeWindow(0, 0, 320, 240);
  auto kelna = Start({"--window-id", std::to_string(window), "--animation", kAnimation, "--seed", "5", "--ticks", "80",
                      "--interval", "10", "--no-music", "--no-sound", "--verbose"},
                     Disk());
  ASSERT_TRUE(kelna->WaitForLine("stopped after 80 ticks", 30s)) << Errors();
  ASSERT_EQ(kelna->Terminate(), 0);
  const Counts counts = EndCounts(*kelna);
  EXPECT_EQ(counts.requests, 0);
  EXPECT_EQ(counts.started, 0);
  EXPECT_EQ(counts.audible, 0);
}

TEST_F(PlayerAudioOnX, MusicPlaysAndRepeats) {
  if (FindSoundFonts(nullptr).empty()) GTEST_SKIP() << "no General MIDI sound font: install timgm6mb-soundfont";
  ASSERT_TRUE(WriteBytes(folder / "short.mid", ShortMidi()));
  const Window window = x.MakeWindow(0, 0, 320, 240);
  const auto play = [&](const char* repeat) {
    return Start({"--window-id", std::to_string(window), "--animation", kAnimation, "--music",
                  (folder / "short.mid").string(), "--no-sound", "--verbose", repeat},
                 Disk());
  };
  auto repeating = play("--verbose");
  EXPECT_TRUE(repeating->WaitForLine("music started (3)", 20s)) << Errors();
  ASSERT_EQ(repeating->Terminate(), 0);
  EXPECT_GT(EndCounts(*repeating).audible, 0);

  // Once: still one start after what took two repeats above.
  auto once = play("--no-repeat");
  EXPECT_TRUE(once->WaitForLine("music started (1)")) << Errors();
  EXPECT_FALSE(once->WaitForLine("music started (2)", 6s));
  ASSERT_EQ(once->Terminate(), 0);
  const Counts counts = EndCounts(*once);
  EXPECT_EQ(counts.music, 1);
  EXPECT_GT(counts.audible, 0);
}

TEST_F(PlayerAudioOnX, WithoutASoundFontTheAnimationRunsAndSaysWhyOnce) {
  ASSERT_TRUE(WriteBytes(folder / "short.mid", ShortMidi()));
  const Window window = x.MakeWindow(0, 0, 320, 240);
  auto environment = Disk();
  environment["SDL_SOUNDFONTS"] = (folder / "none.sf2").string();
  auto kelna = Start({"--window-id", std::to_string(window), "--animation", kAnimation, "--music",
                      (folder / "short.mid").string(), "--ticks", "20", "--interval", "10", "--verbose"},
                     environment);
  ASSERT_TRUE(kelna->WaitForLine("stopped after 20 ticks")) << Errors();
  ASSERT_EQ(kelna->Terminate(), 0);
  EXPECT_EQ(EndCounts(*kelna).music, 0);
  const std::string errors = Errors();
  const std::size_t first = errors.find("kelna: no music");
  ASSERT_NE(first, std::string::npos) << errors;
  EXPECT_EQ(errors.find("kelna: no music", first + 1), std::string::npos) << errors;
  EXPECT_NE(errors.find("sound font"), std::string::npos) << errors;
}

}  // namespace
}  // namespace kelna::test
