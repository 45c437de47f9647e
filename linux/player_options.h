#pragma once
// The native player's settings: the seven keys of CONTROL.INI's [Screen Saver.Vesk]
// section, read as the Windows saver reads them, each one overridden by a command-line
// option; and where to draw, by XScreenSaver's conventions.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kelna {

class ProfileFile;

// What CONTROL.INI says. Texts are code page 932, as the file holds them on every system.
struct SaverSettings {
  int intervalTime = 50;
  std::string bgImageFile;  // the no-file marker "(なし)" when none
  std::string bgMusicFile;
  int bgImageMode = 0;
  int bgMusicRepeat = 1;
  int waveSound = 1;
  std::string animationFile;
};

inline constexpr char kSettingsSection[] = "Screen Saver.Vesk";
inline constexpr char kNoFileMarker[] = "(\x82\xC8\x82\xB5)";  // "(なし)"
// The animation CONTROL.INI names until the user chooses one (the saver's default).
inline constexpr char kDefaultAnimation[] = "untitled.anm";

// The seven keys with the Windows saver's defaults and rules (an empty image or music name
// reads as the marker; IntervalTime is the text's leading number).
SaverSettings ReadSaverSettings(const ProfileFile& profile);

// True when a file setting names no file ("(なし)" or empty).
bool NamesNoFile(std::string_view setting);

// Where the picture goes.
enum class Placement {
  FullScreen,  // a window over every monitor, ended by input (the default)
  OwnWindow,   // -window: an ordinary window
  GivenWindow, // -window-id, -root or XSCREENSAVER_WINDOW: input is XScreenSaver's
};

struct PlayerOptions {
  // Overrides of the settings (command-line texts: paths in the system's own encoding).
  std::optional<std::string> animation, background, music;
  std::optional<int> mode, interval;
  bool noSound = false, noMusic = false, noRepeat = false;

  Placement placement = Placement::FullScreen;
  bool root = false;                   // -root without a window id
  std::optional<unsigned long> windowId;  // the X window to draw in
  int windowWidth = 640, windowHeight = 480;  // -window's size (--size)

  std::optional<std::uint32_t> seed;  // fixed random source instead of the clock
  std::optional<long> ticks;          // stop animating after this many frame steps
  bool verbose = false;
  bool watch = false;  // reload the scene when its files change
  bool help = false;
  bool version = false;
};

// A wrong command line; main prints it with the usage and ends with status 2.
class UsageError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// The arguments after the program's name. Options take one or two dashes ("-root",
// "--root"); a value follows as the next argument or after "=". `xscreensaverWindow` is
// the XSCREENSAVER_WINDOW variable (or null): the window to draw in with -root or when no
// placement is asked for.
PlayerOptions ParsePlayerOptions(std::span<const std::string_view> args, const char* xscreensaverWindow);

// What the player plays: CONTROL.INI's settings with the options laid over them. A file
// that is not named is empty; paths from CONTROL.INI are code page 932 text, those from
// the command line the system's own.
struct PlayConfig {
  std::filesystem::path animation;
  std::optional<std::filesystem::path> background, music;
  int intervalTime = 50;
  int bgImageMode = 0;
  bool musicRepeat = true;
  bool waveSound = true;
};

PlayConfig Resolve(const SaverSettings& settings, const PlayerOptions& options);

// The demo installed with the player: these files in one folder, its background meant to
// be tiled (it is drawn larger than any screen, so every screen shows it whole).
inline constexpr char kDemoAnimation[] = "demo.anm";
inline constexpr char kDemoBackground[] = "background.bmp";
inline constexpr char kDemoMusic[] = "music.mid";
inline constexpr int kDemoBackgroundMode = 1;

// Whether the user has chosen no animation: no --animation, and CONTROL.INI names none but
// the default untitled.anm, which does not exist (a new user's first run).
bool NoAnimationIsChosen(const SaverSettings& settings, const PlayerOptions& options);

// Plays the demo in `folder` instead: its animation, and its background, music and
// background mode wherever neither CONTROL.INI's key nor an option chooses one.
void PlayDemo(PlayConfig& config, const ProfileFile& profile, const PlayerOptions& options,
              const std::filesystem::path& folder);

// What --help prints.
extern const char kPlayerHelp[];

}  // namespace kelna
