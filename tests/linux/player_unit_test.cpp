// The native player's parts that need no display: options and settings, the tick
// interval, the input rule, sound font discovery, X images to pixels; and the program's
// refusals of a wrong command line or a file it cannot read.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "linux/desktop_capture.h"
#include "linux/input_rule.h"
#include "linux/player.h"
#include "linux/player_audio.h"
#include "linux/player_options.h"
#include "platform/profile.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

// Last: Xlib's macros (None, Status) would clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kelna {
namespace {

using test::TemporaryFolder;

PlayerOptions Parse(std::vector<std::string_view> args, const char* environmentWindow = nullptr) {
  return ParsePlayerOptions(args, environmentWindow);
}

TEST(PlayerOptions, OneOrTwoDashesAndAttachedValues) {
  for (const std::vector<std::string_view>& spelling :
       {std::vector<std::string_view>{"-animation", "a.anm", "-mode", "1", "-interval", "120", "-no-sound"},
        std::vector<std::string_view>{"--animation=a.anm", "--mode=1", "--interval", "120", "--no-sound"}}) {
    const PlayerOptions options = Parse(spelling);
    EXPECT_EQ(options.animation, "a.anm");
    EXPECT_EQ(options.mode, 1);
    EXPECT_EQ(options.interval, 120);
    EXPECT_TRUE(options.noSound);
    EXPECT_EQ(options.placement, Placement::FullScreen);
  }
}

TEST(PlayerOptions, Placement) {
  struct Case {
    std::vector<std::string_view> args;
    const char* environment;
    Placement placement;
    std::optional<unsigned long> window;
  };
  const Case cases[] = {
      {{}, nullptr, Placement::FullScreen, {}},
      {{"-window"}, nullptr, Placement::OwnWindow, {}},
      {{"--window-id", "0x2a"}, nullptr, Placement::GivenWindow, 42},
      {{"-window-id", "77"}, "0x99", Placement::GivenWindow, 77},  // the option wins
      {{"--root"}, nullptr, Placement::GivenWindow, {}},            // the root window itself
      {{"--root"}, "0x400007", Placement::GivenWindow, 0x400007},   // as XScreenSaver starts hacks
      {{}, "4194311", Placement::GivenWindow, 4194311},
      {{"-window"}, "0x400007", Placement::OwnWindow, {}},
      {{}, "rubbish", Placement::FullScreen, {}},
  };
  for (const Case& c : cases) {
    const PlayerOptions options = Parse(c.args, c.environment);
    EXPECT_EQ(options.placement, c.placement) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(options.windowId, c.window) << (c.args.empty() ? "" : c.args[0]);
  }
}

TEST(PlayerOptions, RefusesWhatItCannotUse) {
  const std::vector<std::vector<std::string_view>> wrong = {
      {"--mode", "3"},        {"--mode"},           {"--interval", "-5"},    {"--interval", "12ms"},
      {"--window-id", "0"},   {"--window-id", "x"}, {"--root", "--window"},  {"--frobnicate"},
      {"--no-sound=1"},       {"stray.anm"},        {"--size", "640"},       {"--seed", "-1"},
  };
  for (const auto& args : wrong) EXPECT_THROW(Parse(args), UsageError) << args[0];
}

TEST(PlayerOptions, SettingsFileThenOptionsOverEachKey) {
  TemporaryFolder folder;
  const std::string ini =
      "[Screen Saver.Vesk]\r\nIntervalTime=120ms\r\nBGImageFile=back.bmp\r\nBGMusicFile=\r\n"
      "BGImageMode=1\r\nBGMusicRepeat=0\r\nWaveSound=1\r\nAnimationFile=\x83\x65.anm\r\n";
  ASSERT_TRUE(test::WriteBytes(folder / "CONTROL.INI", ini));
  const SaverSettings settings = ReadSaverSettings(ProfileFile(folder / "CONTROL.INI"));
  EXPECT_EQ(settings.bgMusicFile, kNoFileMarker);

  const PlayConfig fromFile = Resolve(settings, Parse({}));
  EXPECT_EQ(fromFile.intervalTime, 120);
  EXPECT_EQ(fromFile.background, std::filesystem::path("back.bmp"));
  EXPECT_FALSE(fromFile.music);
  EXPECT_EQ(fromFile.bgImageMode, 1);
  EXPECT_FALSE(fromFile.musicRepeat);
  EXPECT_TRUE(fromFile.waveSound);
  EXPECT_EQ(fromFile.animation, std::filesystem::path("\xE3\x83\x86.anm"));  // code page 932 テ

  const PlayConfig overridden = Resolve(settings, Parse({"--interval", "30", "--background", "", "--music", "m.mid",
                                                         "--mode", "2", "--animation", "b.anm", "--no-sound"}));
  EXPECT_EQ(overridden.intervalTime, 30);
  EXPECT_FALSE(overridden.background);
  EXPECT_EQ(overridden.music, std::filesystem::path("m.mid"));
  EXPECT_EQ(overridden.bgImageMode, 2);
  EXPECT_EQ(overridden.animation, std::filesystem::path("b.anm"));
  EXPECT_FALSE(overridden.waveSound);

  SaverSettings withMusic = settings;
  withMusic.bgMusicFile = "song.mid";
  withMusic.bgMusicRepeat = 1;
  EXPECT_TRUE(Resolve(withMusic, Parse({})).musicRepeat);
  EXPECT_FALSE(Resolve(withMusic, Parse({"--no-repeat"})).musicRepeat);
  EXPECT_FALSE(Resolve(withMusic, Parse({"--no-music"})).music);
}

TEST(PlayerOptions, MissingSettingsAreTheSaverDefaults) {
  TemporaryFolder folder;
  const PlayConfig config = Resolve(ReadSaverSettings(ProfileFile(folder / "CONTROL.INI")), Parse({}));
  EXPECT_EQ(config.animation, std::filesystem::path("untitled.anm"));
  EXPECT_EQ(config.intervalTime, 50);
  EXPECT_FALSE(config.background);
  EXPECT_FALSE(config.music);
  EXPECT_EQ(config.bgImageMode, 0);
  EXPECT_TRUE(config.musicRepeat);
  EXPECT_TRUE(config.waveSound);
}

TEST(PlayerTicks, IntervalAsAWindowsTimerKeepsIt) {
  const std::array<std::pair<int, long>, 5> cases = {{{50, 50}, {10, 10}, {3, 10}, {0, 10}, {-1, 2147483647}}};
  for (const auto& [setting, milliseconds] : cases) EXPECT_EQ(TickInterval(setting).count(), milliseconds) << setting;
}

SDL_Event Motion(int x, int y) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.x = x;
  event.motion.y = y;
  return event;
}

SDL_Event OfType(Uint32 type) {
  SDL_Event event{};
  event.type = type;
  return event;
}

SDL_Event WindowEvent(Uint8 what) {
  SDL_Event event = OfType(SDL_WINDOWEVENT);
  event.window.event = what;
  return event;
}

TEST(PlayerInput, WhatEndsThePlayerWhere) {
  const InputState atStart{{110, 70}, {10, 20}, true};
  InputState beforeFocus = atStart;
  beforeFocus.hadFocus = false;
  struct Case {
    const char* what;
    SDL_Event event;
    const InputState& state;
    bool fullScreen, ownWindow, givenWindow;
  };
  const Case cases[] = {
      {"key", OfType(SDL_KEYDOWN), atStart, true, true, false},
      {"button", OfType(SDL_MOUSEBUTTONDOWN), atStart, true, true, false},
      {"key release", OfType(SDL_KEYUP), atStart, false, false, false},
      {"wheel", OfType(SDL_MOUSEWHEEL), atStart, false, false, false},
      {"report at the start", Motion(100, 50), atStart, false, false, false},
      {"one pixel right", Motion(101, 50), atStart, true, false, false},
      {"one pixel up", Motion(100, 49), atStart, true, false, false},
      {"focus lost", WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), atStart, true, false, false},
      {"focus lost before it came", WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), beforeFocus, false, false, false},
      {"window closed", WindowEvent(SDL_WINDOWEVENT_CLOSE), atStart, true, true, false},
      {"termination signal", OfType(SDL_QUIT), atStart, true, true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EndsPlayer(c.event, Placement::FullScreen, c.state), c.fullScreen) << c.what;
    EXPECT_EQ(EndsPlayer(c.event, Placement::OwnWindow, c.state), c.ownWindow) << c.what;
    EXPECT_EQ(EndsPlayer(c.event, Placement::GivenWindow, c.state), c.givenWindow) << c.what;
  }
}

TEST(PlayerAudio, SoundFontsFromTheEnvironmentMustExist) {
  TemporaryFolder folder;
  ASSERT_TRUE(test::WriteBytes(folder / "a.sf2", "x"));
  ASSERT_TRUE(test::WriteBytes(folder / "b.sf2", "x"));
  const std::string a = (folder / "a.sf2").string(), b = (folder / "b.sf2").string();
  EXPECT_EQ(FindSoundFonts((a + ";" + (folder / "gone.sf2").string() + ";" + b).c_str()), a + ";" + b);
  EXPECT_EQ(FindSoundFonts((folder / "gone.sf2").string().c_str()), "");
  // Without the variable: a system font when one is installed.
  const std::string system = FindSoundFonts(nullptr);
  if (!system.empty()) {
    EXPECT_TRUE(std::filesystem::is_regular_file(system)) << system;
  }
}

// An X image over `data` with the given layout.
XImage MakeImage(std::vector<std::uint8_t>& data, int width, int height, int bitsPerPixel, unsigned long red,
                 unsigned long green, unsigned long blue, int byteOrder) {
  XImage image{};
  image.width = width;
  image.height = height;
  image.format = ZPixmap;
  image.data = reinterpret_cast<char*>(data.data());
  image.byte_order = byteOrder;
  image.bitmap_unit = 32;
  image.bitmap_bit_order = byteOrder;
  image.bitmap_pad = 32;
  image.depth = bitsPerPixel == 32 ? 24 : 16;
  image.bits_per_pixel = bitsPerPixel;
  image.bytes_per_line = ((width * bitsPerPixel + 31) / 32) * 4;
  image.red_mask = red;
  image.green_mask = green;
  image.blue_mask = blue;
  EXPECT_NE(XInitImage(&image), 0);
  return image;
}

TEST(DesktopCapture, XImagesOfEveryLayoutBecomeOurPixels) {
  // Two pixels: orange (0xFF8000) and a blue-green (0x0080FF), in three layouts.
  struct Case {
    const char* layout;
    int bits;
    unsigned long red, green, blue;
    int byteOrder;
    std::vector<std::uint8_t> bytes;
    std::array<Pixel, 2> expected;
  };
  Case cases[] = {
      {"32-bit little-endian", 32, 0xFF0000, 0xFF00, 0xFF, LSBFirst,
       {0x00, 0x80, 0xFF, 0xAA, 0xFF, 0x80, 0x00, 0xAA}, {0xFF8000, 0x0080FF}},
      {"32-bit big-endian", 32, 0xFF0000, 0xFF00, 0xFF, MSBFirst,
       {0xAA, 0xFF, 0x80, 0x00, 0xAA, 0x00, 0x80, 0xFF}, {0xFF8000, 0x0080FF}},
      {"32-bit BGR", 32, 0xFF, 0xFF00, 0xFF0000, LSBFirst,
       {0xFF, 0x80, 0x00, 0x00, 0x00, 0x80, 0xFF, 0x00}, {0xFF8000, 0x0080FF}},
      // RGB565, little-endian: full red, then white.
      {"16-bit 565", 16, 0xF800, 0x07E0, 0x001F, LSBFirst, {0x00, 0xF8, 0xFF, 0xFF}, {0xFF0000, 0xFFFFFF}},
  };
  for (Case& c : cases) {
    c.bytes.resize(8, 0);
    XImage image = MakeImage(c.bytes, 2, 1, c.bits, c.red, c.green, c.blue, c.byteOrder);
    const std::unique_ptr<Bitmap> bitmap = BitmapFromImage(image);
    ASSERT_TRUE(bitmap) << c.layout;
    EXPECT_EQ(bitmap->At(0, 0), c.expected[0]) << c.layout;
    EXPECT_EQ(bitmap->At(1, 0), c.expected[1]) << c.layout;
  }
  std::vector<std::uint8_t> bytes(8);
  XImage paletted = MakeImage(bytes, 2, 1, 32, 0, 0, 0, LSBFirst);
  EXPECT_FALSE(BitmapFromImage(paletted));
}

// The program refuses before it opens any window, so these need no display.
TEST(PlayerProgram, RefusalsSayWhyAndEndWithAStatus) {
  TemporaryFolder folder;
  ASSERT_TRUE(test::WriteBytes(folder / "short.anm", std::string("AN--1.00") + std::string(30, '\0')));
  ASSERT_TRUE(test::WriteBytes(folder / "text.bmp", "not a bitmap"));
  std::string noObjects = std::string("AN--1.00") + std::string(24, '\0') + (folder / "gone.foe").string();
  noObjects.resize(32 + 260, '\0');
  noObjects += std::string(2, '\0');
  ASSERT_TRUE(test::WriteBytes(folder / "lonely.anm", noObjects));
  const std::string demo = std::string(KELNA_DEMO_DIR) + "/demo.anm";
  struct Case {
    std::string command;
    int status;
    std::string says;
  };
  const Case cases[] = {
      {"--animation @missing.anm", 1, "missing.anm: no such file"},
      {"--animation @short.anm", 1, "short.anm: broken animation file"},
      {"--animation @text.bmp", 1, "text.bmp: not an animation file"},
      {"--animation @lonely.anm", 1, "gone.foe: no such file"},
      {"--animation " + demo + " --background @text.bmp", 1, "background"},
      {"--animation " + demo + " --background @absent.bmp", 1, "absent.bmp: no such file"},
      {"--mode 5", 2, "--mode: \"5\" is not a number from 0 to 2"},
      {"--bogus", 2, "unknown option --bogus"},
  };
  setenv("KELNA_CONFIG_DIR", folder.Path().c_str(), 1);
  for (const Case& c : cases) {
    const test::ToolRun run = test::RunProgram(KELNA_PLAYER, c.command, folder.Path());
    EXPECT_EQ(run.status, c.status) << c.command << "\n" << run.errors;
    EXPECT_NE(run.errors.find(c.says), std::string::npos) << c.command << "\n" << run.errors;
  }
  // With no settings file the saver's default animation is looked for, and named.
  const test::ToolRun defaults = test::RunProgram(KELNA_PLAYER, "", folder.Path());
  EXPECT_EQ(defaults.status, 1);
  EXPECT_NE(defaults.errors.find("untitled.anm: no such file"), std::string::npos) << defaults.errors;
  unsetenv("KELNA_CONFIG_DIR");

  const test::ToolRun help = test::RunProgram(KELNA_PLAYER, "-help", folder.Path());
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--animation", "--background", "--mode", "--music", "--interval", "--no-sound",
                             "--no-music", "--root", "--window-id", "--window", "--seed", "--ticks", "--verbose"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace kelna
