// The native player on a private Xvfb (what it draws against kelna-tool render, which input
// ends it, what reaches SDL's audio, the XScreenSaver daemon running it) and on a private
// headless sway (each output, input, swayidle starting it again and again).

#include <gtest/gtest.h>
#include <pwd.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "engine/file_headers.h"
#include "linux/player_audio.h"
#include "linux/player_options.h"
#include "platform/profile.h"
#include "tests/support/program_runner.h"
// Last: Xlib's macros (None, Status) would clash with the names above.
#include "tests/linux/sessions.h"

namespace kelna::test {
namespace {

const std::string kAnimation = " --animation " + kDemo + "/demo.anm";
const std::string kScene = kAnimation + kBackground;

// The screen shows `prepared` (the scene before any sprite) but where sprites are, and moves.
void ExpectToPlay(const Xvfb& x, const PamPicture& prepared, const std::string& name) {
  const Pixels shown = x.Screen(name);
  EXPECT_LT(Unlike(shown, prepared.pixels), 0.2) << "the screen does not show the scene";
  std::this_thread::sleep_for(500ms);
  EXPECT_GT(Unlike(shown, x.Screen()), 0) << "the animation does not move";
}

// A first run: kelna installed under a prefix, with no settings, plays the demo installed with
// it, says so once, and a key ends it; an animation chosen but missing still ends it.
TEST_F(PlayerOnX, InstalledWithNoSettingsItPlaysTheInstalledDemo) {
  const fs::path prefix = folder / "prefix", demo = prefix / "share/kelna";
  const ToolRun install = RunProgram({KELNA_CMAKE, "--install", KELNA_BINARY_DIR, "--prefix", prefix.string()}, folder.Path());
  ASSERT_EQ(install.status, 0) << install.out << install.errors;
  program = (prefix / "bin/kelna").string();  // through the link, as a user starts it
  auto kelna = Start("");
  const std::string says = "playing the demo in " + demo.string();
  ASSERT_TRUE(kelna->Says(says)) << kelna->Log();
  // The window is black until the first tick, which comes once the demo's files are read.
  EXPECT_TRUE(Within(10s, [&] {
    const Pixels shown = x.Screen();
    return std::count_if(shown.begin(), shown.end(), [](std::uint32_t rgb) {
      return (rgb & 0xFF) > ((rgb >> 16) & 0xFF) + 8;  // the night sky is blue, not grey or black
    }) > long(shown.size() / 2);
  })) << "no night sky";
  ExpectToPlay(x, Render((demo / "demo.anm").string() + " --background " + (demo / "background.bmp").string() +
                         " --mode 1 --size 640x480 --ticks 0")(0), "kelna-first-run");
  x.Do("key a");
  EXPECT_EQ(kelna->WaitForExit(5s), 0) << kelna->Log();
  EXPECT_EQ(Occurrences(kelna->Log(), says), 1) << kelna->Log();

  const std::string gone = "[Screen Saver.Vesk]\r\nAnimationFile=" + (folder / "gone.anm").string();
  ASSERT_TRUE(WriteBytes(folder / "CONTROL.INI", gone));
  for (const std::string options : {"", "--animation @missing.anm"}) {
    auto chosen = Start(At(options, folder.Path()));
    EXPECT_EQ(chosen->WaitForExit(10s), 1) << options;
    EXPECT_NE(chosen->Log().find(options.empty() ? "gone.anm: no such file" : "missing.anm: no such file"),
              std::string::npos) << chosen->Log();
  }
}

// With no animation chosen the demo gives each setting that neither CONTROL.INI nor an option
// chooses; a key present with "(なし)" or an empty value is a choice too.
TEST(FirstRun, TheDemoFillsInOnlyWhatIsNotChosen) {
  TemporaryFolder folder;
  const fs::path demo = "/opt/demo";
  struct Case {
    std::string settings;
    std::vector<std::string_view> options;
    bool playsDemo;
    std::optional<fs::path> background, music;
    int mode;
  };
  const std::string none = kNoFileMarker;
  const Case cases[] = {
      {"", {}, true, demo / "background.bmp", demo / "music.mid", 1},
      {"AnimationFile=untitled.anm\nBGImageFile=" + none + "\nBGMusicFile=\nBGImageMode=0", {}, true, {}, {}, 0},
      {"BGImageFile=/a.bmp", {"--no-music", "--mode", "2"}, true, "/a.bmp", {}, 2},
      {"", {"--background", "/b.bmp", "--music", ""}, true, "/b.bmp", {}, 1},
      {"AnimationFile=/mine.anm", {}, false, {}, {}, 0},
      {"", {"--animation", "untitled.anm"}, false, {}, {}, 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteBytes(folder / "CONTROL.INI", "[Screen Saver.Vesk]\n" + c.settings + "\n"));
    const ProfileFile profile(folder / "CONTROL.INI");
    const SaverSettings settings = ReadSaverSettings(profile);
    const PlayerOptions options = ParsePlayerOptions(c.options, nullptr);
    PlayConfig config = Resolve(settings, options);
    ASSERT_EQ(NoAnimationIsChosen(settings, options), c.playsDemo) << c.settings;
    if (!c.playsDemo) continue;
    PlayDemo(config, profile, options, demo);
    EXPECT_EQ(config.animation, demo / "demo.anm");
    EXPECT_EQ(config.background, c.background) << c.settings;
    EXPECT_EQ(config.music, c.music) << c.settings;
    EXPECT_EQ(config.bgImageMode, c.mode) << c.settings;
  }
}

// CONTROL.INI's settings, an option over one of them: after N ticks with a fixed seed the
// window shows exactly the frame kelna-tool render makes of the same run, not the one before.
TEST_F(PlayerOnX, DrawsIntoAGivenWindowWhatRenderDraws) {
  const std::string settings = "[Screen Saver.Vesk]\r\nAnimationFile=" + kDemo + "/demo.anm\r\nBGImageFile=" +
                               kDemo + "/background.bmp\r\nBGImageMode=1\r\nIntervalTime=10ms\r\n";
  ASSERT_TRUE(WriteBytes(folder / "CONTROL.INI", settings));
  struct Case {
    int width, height;
    const char* option;
    int mode, ticks, seed;
  };
  for (const Case c : {Case{320, 240, " --mode 0", 0, 25, 7}, Case{400, 300, "", 1, 12, 3}}) {
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    const std::string run = " --seed " + std::to_string(c.seed) + " --ticks " + std::to_string(c.ticks);
    const Window window = x.MakeWindow(30, 20, c.width, c.height);
    auto kelna = Start("-window-id " + std::to_string(window) + c.option + run + " --verbose");
    ASSERT_TRUE(kelna->Says("stopped after " + std::to_string(c.ticks) + " ticks")) << kelna->Log();
    const Pixels shown = x.Of(window, c.width, c.height, "kelna-window-" + size);
    const auto frame = Render(kDemo + "/demo.anm" + kBackground + run + " --size " + size + " --mode " +
                              std::to_string(c.mode));
    EXPECT_EQ(Unlike(shown, frame(c.ticks).pixels), 0) << size << " mode " << c.mode;
    EXPECT_GT(Unlike(shown, frame(c.ticks - 1).pixels), 0) << "the comparison does not see the animation move";
    EXPECT_EQ(kelna->Terminate(), 0);
  }
}

TEST_F(PlayerOnX, DesktopModeShowsTheScreenAsItWas) {
  x.MakeWindow(0, 0, 640, 480, 0x3366CC);
  auto kelna = Start(kAnimation + " --mode 2 --ticks 0 --no-music --verbose");
  ASSERT_TRUE(kelna->Says("stopped after 0 ticks")) << kelna->Log();
  const Pixels shown = x.Screen();
  EXPECT_GT(std::count(shown.begin(), shown.end(), 0x3366CCu), long(shown.size() * 9 / 10));
}

// Full screen, as the Windows saver: a key, a button or the pointer's moving at all ends it;
// the wheel and a report at the start point do not. In a window of someone else's (as
// XScreenSaver's) input is theirs.
TEST_F(PlayerOnX, InputEndsTheFullScreenPlayerOnly) {
  const std::pair<const char*, bool> cases[] = {{"key a", true},           {"click 1", true},
                                                 {"mousemove 201 150", true}, {"mousemove 200 149", true},
                                                 {"click 4", false},          {"mousemove 200 150", false}};
  const std::string given = "-window-id " + std::to_string(x.MakeWindow(0, 0, 320, 240));
  for (const auto& [input, ends] : cases) {
    for (const std::string& where : {std::string(), given}) {
      x.Do("mousemove 200 150");
      auto kelna = Start(where + kAnimation + " --interval 10 --no-music --verbose");
      ASSERT_TRUE(kelna->Says("drawing")) << kelna->Log();
      std::this_thread::sleep_for(300ms);
      x.Do(input);
      const bool expected = ends && where.empty();
      EXPECT_EQ(kelna->WaitForExit(expected ? 5s : 1s).has_value(), expected) << input << " " << where;
      EXPECT_EQ(kelna->Terminate(), 0) << kelna->Log();
    }
  }
}

// The counts that --verbose prints at the end.
struct Counts { long requests = -1, started = -1, music = -1, audible = -1; };

Counts EndCounts(const Program& kelna) {
  Counts n;
  const std::string log = kelna.Log();
  if (const std::size_t at = log.find("kelna: sound requests"); at != std::string::npos)
    std::sscanf(log.c_str() + at, "kelna: sound requests %ld, sounds started %ld, music starts %ld, "
                "audible frames %ld", &n.requests, &n.started, &n.music, &n.audible);
  return n;
}

TEST_F(PlayerOnX, SpriteSoundsReachSdlAudioAsTheSceneAsks) {
  const std::string run = " --seed 5 --ticks 80", key = "\"sounds\":[";
  const std::string trace = RunTool("trace " + kDemo + "/demo.anm --size 640x480" + run, folder.Path()).out;
  long traced = 0;  // the names in the trace's "sounds" lists
  for (std::size_t at = trace.find(key); at != std::string::npos; at = trace.find(key, at + 1))
    traced += std::count(trace.begin() + long(at), trace.begin() + long(trace.find(']', at)), '"') / 2 - 1;
  ASSERT_GT(traced, 0) << "the demo plays no sound in 80 ticks";
  for (const bool sound : {true, false}) {
    fs::remove(folder / "audio.raw");
    const std::string options = kAnimation + run + " --interval 10 --no-music --verbose";
    auto kelna = Start("-window" + options + (sound ? "" : " --no-sound"), {"SDL_AUDIODRIVER=disk"});
    ASSERT_TRUE(kelna->Says("stopped after 80 ticks", 30s)) << kelna->Log();
    std::this_thread::sleep_for(500ms);  // the last sound is mixed
    ASSERT_EQ(kelna->Terminate(), 0) << kelna->Log();
    const Counts n = EndCounts(*kelna);
    EXPECT_EQ(n.requests, sound ? traced : 0);
    EXPECT_EQ(n.started > 0, sound);
    EXPECT_LE(n.started, n.requests);  // none over one that still plays
    EXPECT_EQ(n.audible > 0, sound);
    EXPECT_EQ(n.music, 0);
    EXPECT_EQ(Contents(folder / "audio.raw").find_first_not_of('\0') != std::string::npos, sound);
  }
}

// Sounds that are no wave files play nothing, the animation goes on, and each is named once.
TEST_F(PlayerOnX, SoundsThatAreNoWaveFilesAreSkippedWithTheirReasonOnce) {
  std::string objects = Contents(fs::path(kDemo) / "demo.foe");
  int spoiled = 0;
  for (std::size_t at = objects.find("RIFF"); at != std::string::npos; at = objects.find("RIFF", at + 1)) {
    if (objects.compare(at + 8, 4, "WAVE") != 0) continue;
    objects.replace(at + 8, 4, "WAVX");
    ++spoiled;
  }
  ASSERT_GT(spoiled, 0) << "the demo has no sounds";
  WriteBytes(folder / "broken.foe", objects);
  std::string animation = Contents(fs::path(kDemo) / "demo.anm");
  std::string objectFile = (folder / "broken.foe").string();
  objectFile.resize(kPathFieldSize, '\0');
  animation.replace(kMagicFieldSize, kPathFieldSize, objectFile);
  WriteBytes(folder / "broken.anm", animation);

  auto kelna = Start("-window --animation " + (folder / "broken.anm").string() +
                         " --seed 5 --ticks 80 --interval 10 --no-music --verbose",
                     {"SDL_AUDIODRIVER=disk"});
  ASSERT_TRUE(kelna->Says("stopped after 80 ticks", 30s)) << kelna->Log();
  ASSERT_EQ(kelna->Terminate(), 0) << kelna->Log();
  std::istringstream log(kelna->Log());
  std::vector<std::string> refused;
  for (std::string line; std::getline(log, line);)
    if (line.starts_with("kelna: the sound ")) refused.push_back(line);
  ASSERT_FALSE(refused.empty()) << kelna->Log();
  for (const std::string& line : refused) EXPECT_TRUE(line.ends_with(" cannot be played: it is a RIFF file but not a WAVE file")) << line;
  EXPECT_EQ(std::set<std::string>(refused.begin(), refused.end()).size(), refused.size()) << "each sound once";
  EXPECT_EQ(EndCounts(*kelna).started, 0);
}

// The device is paused until a wave starts, and again once it has ended.
TEST(PlayerAudioDevice, MixesOnlyWhileSomethingPlays) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  PlayerAudio audio(true, false);
  const auto mixesIn = [&audio](std::chrono::milliseconds wait) {
    const long before = audio.Counts().mixes;
    std::this_thread::sleep_for(wait);
    return audio.Counts().mixes - before;
  };
  EXPECT_EQ(mixesIn(300ms), 0);
  const std::string blip = Contents(kDemo + "/blip.wav");  // 0.45 s
  audio.Play({reinterpret_cast<const std::uint8_t*>(blip.data()), blip.size()});
  EXPECT_GT(mixesIn(300ms), 2);
  EXPECT_GT(audio.Counts().audibleFrames, 0);
  std::this_thread::sleep_for(500ms);
  audio.Poll();
  EXPECT_EQ(mixesIn(300ms), 0);
  EXPECT_EQ(audio.Counts().soundsStarted, 1);
}

// Music of one short note (FluidSynth plays it for 3.3 s).
bool WriteShortMusic(const fs::path& file) {
  const std::string note("\0\xFF\x51\3\3\xD0\x90\0\xC0\0\0\x90\x3C\x64\x60\x80\x3C\x40\0\xFF\x2F\0", 22);
  const std::string header("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x16", 22);  // one track of 22 bytes
  return WriteBytes(file, header + note);
}

// Music that fits is synthesised once and repeats; longer music is synthesised on every start.
TEST(PlayerAudioDevice, MusicIsSynthesisedOnceWhenItFits) {
  if (FindSoundFonts(nullptr).empty()) GTEST_SKIP() << "no General MIDI sound font (timgm6mb-soundfont)";
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  TemporaryFolder folder;
  ASSERT_TRUE(WriteShortMusic(folder / "short.mid"));
  struct Case { double fits; bool repeat; long starts, syntheses; };
  for (const Case c : {Case{300, true, 2, 1}, Case{1, true, 2, 2}, Case{300, false, 1, 1}}) {
    PlayerAudio audio(true, false);
    audio.StartMusic(folder / "short.mid", c.repeat, c.fits);
    for (int wait = 0; wait < 50; ++wait) {  // until it starts again, or the device is paused
      const long mixes = audio.Counts().mixes;
      std::this_thread::sleep_for(200ms);
      audio.Poll();
      const AudioCounts n = audio.Counts();
      if (n.musicStarts >= 2 || (n.audibleFrames > 0 && n.mixes == mixes)) break;
    }
    const AudioCounts n = audio.Counts();
    EXPECT_EQ(n.musicStarts, c.starts) << c.fits << c.repeat;
    EXPECT_EQ(n.syntheses, c.syntheses) << c.fits << c.repeat;
    EXPECT_GT(n.audibleFrames, 44100 / 8) << c.fits << c.repeat;  // the note sounds
  }
}

// Music starts again when it repeats, not with --no-repeat, and without a sound font not at
// all, saying why once.
TEST_F(PlayerOnX, MusicRepeatsOnlyWhenAskedAndNeedsASoundFont) {
  if (FindSoundFonts(nullptr).empty()) GTEST_SKIP() << "no General MIDI sound font (timgm6mb-soundfont)";
  ASSERT_TRUE(WriteShortMusic(folder / "short.mid"));
  const std::string music = kAnimation + " --no-sound --verbose --music " + (folder / "short.mid").string();
  const std::string disk = "SDL_AUDIODRIVER=disk", noFont = "SDL_SOUNDFONTS=" + (folder / "none").string();
  const std::tuple<const char*, std::string, long> cases[] = {
      {"", disk, 2}, {" --no-repeat", disk, 1}, {"", noFont, 0}};
  for (const auto& [options, environment, starts] : cases) {
    auto kelna = Start(music + options, {environment});
    const std::string next = "music started (" + std::to_string(std::min(starts + 1, 2L)) + ")";
    EXPECT_EQ(kelna->Says(next, 8s), starts == 2) << options << environment;
    ASSERT_EQ(kelna->Terminate(), 0);
    EXPECT_EQ(std::min(EndCounts(*kelna).music, 2L), starts) << options << environment;
    EXPECT_EQ(EndCounts(*kelna).audible > 0, starts > 0) << options << environment;
  }
  const std::string log = Contents(folder / "kelna-3.log");
  EXPECT_NE(log.find("sound font", log.find("kelna: no music: ")), std::string::npos) << log;
  EXPECT_EQ(log.find("no music", log.find("no music") + 1), std::string::npos) << log;
}

// The XScreenSaver daemon with kelna as its only hack: the animation shows, a key ends it. As
// root the daemon (which will not start hacks as root) runs as kelna-saver, made when missing.
bool Succeeds(const std::string& command) {
  return Program({"sh", "-c", command}).WaitForExit(100s) == 0;
}

std::string WhyTheDaemonCannotRun(const std::string& asUser) {
  if (!Succeeds("command -v xscreensaver && command -v xscreensaver-command"))
    return "the XScreenSaver daemon is not installed (apt-get install xscreensaver)";
  if (!asUser.empty() && !getpwnam("kelna-saver") && !Succeeds("useradd --system kelna-saver"))
    return "running as root, and the user kelna-saver cannot be made";
  if (!Succeeds(asUser + "test -x " KELNA_PLAYER " -a -r " KELNA_DEMO_DIR "/demo.foe"))
    return "the daemon's user cannot run kelna and read the demo (no runuser, or a folder not readable)";
  return "";
}

TEST_F(PlayerOnX, XScreenSaverRunsKelnaAsItsHackAndAKeyEndsIt) {
  const std::string asUser = geteuid() == 0 ? "runuser -u kelna-saver -- " : "";
  if (const std::string why = WhyTheDaemonCannotRun(asUser); !why.empty()) GTEST_SKIP() << why;
  const fs::path home = folder / "home";
  fs::create_directory(home);
  ASSERT_TRUE(asUser.empty() || Succeeds("chown kelna-saver " + home.string()));
  ASSERT_TRUE(WriteBytes(home / ".xscreensaver", "timeout: 0:30:00\nlock: False\nfade: False\nunfade: False\n"
                         "mode: one\nselected: 0\nprograms: \"Kelna\" " KELNA_PLAYER " --root" + kScene +
                         " --no-music --no-sound --interval 20 --verbose \\n\n"));
  const std::string as = "exec " + asUser + "env HOME=" + home.string() + " DISPLAY=" + x.Name() + " ";
  Program daemon({"sh", "-c", as + "xscreensaver -no-splash -verbose"}, {.out = folder / "daemon.log"});
  bool activated = false;
  for (int attempt = 0; attempt < 50 && !activated; ++attempt) {
    std::this_thread::sleep_for(200ms);
    Program command({"sh", "-c", as + "xscreensaver-command -activate"}, {.out = folder / "command.log"});
    activated = command.WaitForExit(10s) == 0;
  }
  ASSERT_TRUE(activated) << "xscreensaver-command -activate never succeeded\n" << daemon.Log();
  ASSERT_TRUE(daemon.Says("kelna: drawing 640x480")) << daemon.Log();
  std::this_thread::sleep_for(1s);

  const PamPicture prepared = Render(kDemo + "/demo.anm" + kBackground + " --size 640x480 --ticks 0")(0);
  ExpectToPlay(x, prepared, "xscreensaver-kelna");

  // The daemon ignores input for a moment after it blanks: keys until it ends its hack calmly.
  bool ended = false;
  for (int key = 0; key < 10 && !ended; ++key) {
    x.Do("key a");
    ended = daemon.Says("kelna: sound requests", 1s);
  }
  EXPECT_TRUE(ended) << daemon.Log();
  std::this_thread::sleep_for(500ms);
  EXPECT_GT(Unlike(x.Screen(), prepared.pixels), 0.5) << "the animation is still on the screen";
}

constexpr int kWidth = HeadlessSway::kWidth, kHeight = HeadlessSway::kHeight;

// Each test makes its sway with the outputs it needs. No leak check under ASan: SDL 2.26's
// Wayland driver leaves some kilobytes whose stacks LSan cannot follow.
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

// After N ticks with a fixed seed each output shows exactly its part of the frame render makes
// of the scene over all the outputs, not the frame before.
TEST_F(PlayerOnWayland, EachOutputShowsItsPartOfWhatRenderDraws) {
  struct Case {
    int outputs, mode, ticks, seed;
  };
  for (const Case c : {Case{1, 0, 25, 7}, Case{2, 1, 14, 3}}) {
    sway.emplace(c.outputs);
    const std::string run = kBackground + " --mode " + std::to_string(c.mode) + " --seed " +
                            std::to_string(c.seed) + " --ticks " + std::to_string(c.ticks);
    const std::string size = std::to_string(kWidth * c.outputs) + "x" + std::to_string(kHeight);
    auto kelna = Start(kAnimation + run + " --interval 10 --no-music --no-sound --verbose");
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

// swayidle starts the player once the seat is idle; the seat goes idle again while it shows
// (no inhibitor), and after a key has ended it swayidle starts it again.
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
