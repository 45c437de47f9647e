#include "linux/player_options.h"

#include <charconv>
#include <limits>

#include "platform/profile.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace kelna {
namespace {

namespace fs = std::filesystem;

std::string Text(std::string_view view) { return std::string(view); }

long long Number(std::string_view option, std::string_view text, long long min, long long max) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
    throw UsageError("--" + Text(option) + ": \"" + Text(text) + "\" is not a number from " +
                     std::to_string(min) + " to " + std::to_string(max));
  return value;
}

// An X window id as XScreenSaver writes it: decimal, or hexadecimal after 0x.
std::optional<unsigned long> WindowId(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  unsigned long id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || id == 0) return {};
  return id;
}

void ParseSize(std::string_view text, PlayerOptions& options) {
  const std::size_t x = text.find('x');
  if (x == text.npos) throw UsageError("--size: \"" + Text(text) + "\" is not WIDTHxHEIGHT");
  options.windowWidth = int(Number("size", text.substr(0, x), 1, 32767));
  options.windowHeight = int(Number("size", text.substr(x + 1), 1, 32767));
}

}  // namespace

SaverSettings ReadSaverSettings(const ProfileFile& profile) {
  const auto text = [&](const char* key, const char* defaultValue) {
    return profile.GetString(kSettingsSection, key, defaultValue);
  };
  const auto fileOrMarker = [&](const char* key) {
    std::string value = text(key, kNoFileMarker);
    return value.empty() ? std::string(kNoFileMarker) : value;
  };
  SaverSettings settings;
  settings.intervalTime = int(AsciiToLong(text("IntervalTime", "50")));
  settings.bgImageFile = fileOrMarker("BGImageFile");
  settings.bgMusicFile = fileOrMarker("BGMusicFile");
  settings.bgImageMode = profile.GetInt(kSettingsSection, "BGImageMode", 0);
  settings.bgMusicRepeat = profile.GetInt(kSettingsSection, "BGMusicRepeat", 1);
  settings.waveSound = profile.GetInt(kSettingsSection, "WaveSound", 1);
  settings.animationFile = text("AnimationFile", kDefaultAnimation);
  return settings;
}

bool NamesNoFile(std::string_view setting) { return setting.empty() || setting == kNoFileMarker; }

PlayerOptions ParsePlayerOptions(std::span<const std::string_view> args, const char* xscreensaverWindow) {
  PlayerOptions options;
  bool ownWindow = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view word = args[i];
    if (word.size() < 2 || word[0] != '-') throw UsageError("unexpected argument \"" + Text(word) + "\"");
    word.remove_prefix(word.starts_with("--") ? 2 : 1);
    std::optional<std::string_view> attached;
    if (const std::size_t equals = word.find('='); equals != word.npos) {
      attached = word.substr(equals + 1);
      word = word.substr(0, equals);
    }
    const std::string_view name = word;
    const auto value = [&]() -> std::string_view {
      if (attached) return *attached;
      if (++i >= args.size()) throw UsageError("--" + Text(name) + " needs a value");
      return args[i];
    };
    const auto flag = [&](bool& target) {
      if (attached) throw UsageError("--" + Text(name) + " takes no value");
      target = true;
    };
    if (name == "help" || name == "h") {
      flag(options.help);
    } else if (name == "version") {
      flag(options.version);
    } else if (name == "animation") {
      options.animation = Text(value());
    } else if (name == "background") {
      options.background = Text(value());
    } else if (name == "music") {
      options.music = Text(value());
    } else if (name == "mode") {
      options.mode = int(Number(name, value(), 0, 2));
    } else if (name == "interval") {
      options.interval = int(Number(name, value(), 0, 60'000));
    } else if (name == "no-sound") {
      flag(options.noSound);
    } else if (name == "no-music") {
      flag(options.noMusic);
    } else if (name == "no-repeat") {
      flag(options.noRepeat);
    } else if (name == "root") {
      flag(options.root);
    } else if (name == "window") {
      flag(ownWindow);
    } else if (name == "window-id") {
      const std::string_view text = value();
      options.windowId = WindowId(text);
      if (!options.windowId) throw UsageError("--window-id: \"" + Text(text) + "\" is not a window id");
    } else if (name == "size") {
      ParseSize(value(), options);
    } else if (name == "seed") {
      options.seed = std::uint32_t(Number(name, value(), 0, std::numeric_limits<std::uint32_t>::max()));
    } else if (name == "ticks") {
      options.ticks = long(Number(name, value(), 0, 100'000'000));
    } else if (name == "verbose") {
      flag(options.verbose);
    } else if (name == "watch") {
      flag(options.watch);
    } else {
      throw UsageError("unknown option " + Text(args[i]));
    }
  }
  if (int(options.root) + int(ownWindow) + int(options.windowId.has_value()) > 1)
    throw UsageError("--root, --window and --window-id exclude each other");
  // XScreenSaver names its window in the environment and starts the hack with --root.
  const auto environmentWindow = xscreensaverWindow ? WindowId(xscreensaverWindow) : std::nullopt;
  if (!options.windowId && !ownWindow && environmentWindow) options.windowId = environmentWindow;
  if (options.windowId) {
    options.placement = Placement::GivenWindow;
    options.root = false;
  } else if (options.root) {
    options.placement = Placement::GivenWindow;
  } else if (ownWindow) {
    options.placement = Placement::OwnWindow;
  }
  return options;
}

PlayConfig Resolve(const SaverSettings& settings, const PlayerOptions& options) {
  // A setting names a file in code page 932; an option in the system's encoding.
  const auto fromSetting = [](const std::string& name) -> std::optional<fs::path> {
    if (NamesNoFile(name)) return {};
    return Cp932ToPath(name);
  };
  const auto fromOption = [](const std::string& name) -> std::optional<fs::path> {
    if (name.empty()) return {};
    return fs::path(name);
  };
  PlayConfig config;
  config.animation = options.animation ? fs::path(*options.animation) : Cp932ToPath(settings.animationFile);
  config.background =
      options.background ? fromOption(*options.background) : fromSetting(settings.bgImageFile);
  config.music = options.music ? fromOption(*options.music) : fromSetting(settings.bgMusicFile);
  if (options.noMusic) config.music.reset();
  config.intervalTime = options.interval.value_or(settings.intervalTime);
  config.bgImageMode = options.mode.value_or(settings.bgImageMode);
  config.musicRepeat = settings.bgMusicRepeat != 0 && !options.noRepeat;
  config.waveSound = settings.waveSound != 0 && !options.noSound;
  return config;
}

bool NoAnimationIsChosen(const SaverSettings& settings, const PlayerOptions& options) {
  if (options.animation || settings.animationFile != kDefaultAnimation) return false;
  std::error_code error;
  return !fs::exists(kDefaultAnimation, error);
}

void PlayDemo(PlayConfig& config, const ProfileFile& profile, const PlayerOptions& options,
              const fs::path& folder) {
  const auto chosen = [&](const char* key, bool byOption) {
    return byOption || profile.Has(kSettingsSection, key);
  };
  config.animation = folder / kDemoAnimation;
  if (!chosen("BGImageFile", options.background.has_value())) config.background = folder / kDemoBackground;
  if (!chosen("BGMusicFile", options.music.has_value() || options.noMusic))
    config.music = folder / kDemoMusic;
  if (!chosen("BGImageMode", options.mode.has_value())) config.bgImageMode = kDemoBackgroundMode;
}

const char kPlayerHelp[] =
    "usage: kelna [OPTION]...\n"
    "Plays a Kelna sprite animation as the screen saver does, with its background, sounds and\n"
    "music. The settings come from CONTROL.INI, section [Screen Saver.Vesk], in the settings\n"
    "folder ($KELNA_CONFIG_DIR, else $XDG_CONFIG_HOME/kelna, else ~/.config/kelna); each option\n"
    "below overrides one key. Options take one dash or two; a value follows or comes after '='.\n"
    "\n"
    "  --animation FILE   the animation file (.anm) to play            (AnimationFile)\n"
    "  --background FILE  the background bitmap (.bmp); '' for none    (BGImageFile)\n"
    "  --mode 0|1|2       background centred, tiled, or the desktop    (BGImageMode)\n"
    "                     as it was before the saver started\n"
    "  --music FILE       the background MIDI file; '' for none        (BGMusicFile)\n"
    "  --no-music         no background music\n"
    "  --no-repeat        play the music once, not again when it ends  (BGMusicRepeat)\n"
    "  --interval MS      milliseconds between frames, 0 to 60000      (IntervalTime)\n"
    "  --no-sound         sprites play no sounds                       (WaveSound)\n"
    "\n"
    "Where to draw (XScreenSaver's conventions):\n"
    "  (none)             full screen, over every monitor; the first key, mouse button or\n"
    "                     mouse movement ends it\n"
    "  --window           in a window of its own (--size WxH, default 640x480); a key, a\n"
    "                     mouse button or closing the window ends it\n"
    "  --window-id ID     into the X window ID (decimal or 0x...), at its size; input is left\n"
    "                     to whoever owns the window\n"
    "  --root             into $XSCREENSAVER_WINDOW when set (as XScreenSaver starts its\n"
    "                     hacks), else into the root window\n"
    "  With XSCREENSAVER_WINDOW set and no placement option, kelna draws into that window.\n"
    "\n"
    "With no animation chosen (no --animation, and no AnimationFile in CONTROL.INI but the\n"
    "default untitled.anm, which does not exist) kelna plays the demo installed with it, over\n"
    "its own background and music unless CONTROL.INI or an option chooses others.\n"
    "\n"
    "For authors:\n"
    "  --watch            play the animation again whenever its file, its object file or the\n"
    "                     background changes on disk (looked at ten times a second), keeping\n"
    "                     the window; a file that does not read leaves the last good scene\n"
    "                     playing and says why on stderr. Meant for --window.\n"
    "\n"
    "For tests and diagnosis:\n"
    "  --seed N           a fixed random sequence instead of one seeded from the clock\n"
    "                     (the same N gives what 'kelna-tool render --seed N' draws)\n"
    "  --ticks N          stop animating after N frame steps and keep showing the last frame\n"
    "  --verbose          report on standard output: the window's size, 'stopped after N\n"
    "                     ticks', 'music started (N)' at each start of the music, and at the\n"
    "                     end the audio counts ('sound requests', 'sounds started', 'music\n"
    "                     starts', 'audible frames': frames with sound that reached SDL's\n"
    "                     audio device)\n"
    "  --help             this text\n"
    "  --version          the program's version\n"
    "\n"
    "MIDI music needs a General MIDI sound font: $SDL_SOUNDFONTS, else the system's\n"
    "(/usr/share/sounds/sf2/default-GM.sf2, from timgm6mb-soundfont). Without one kelna plays\n"
    "no music and says why. Exit status: 0 after input or a termination signal, 1 when a file\n"
    "cannot be read or the display cannot be used, 2 for a wrong command line.\n";

}  // namespace kelna
