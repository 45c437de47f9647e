#include "tools/scene_run.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>

#include "platform/dib.h"
#include "platform/random.h"
#include "platform/wave_player.h"
#include "sprites/bmp_image.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;

constexpr long kMaxTicks = 1'000'000;
constexpr long long kMaxInterval = 60'000;  // the settings window's and the player's limit
constexpr std::uintmax_t kMaxRandomFileSize = 64u << 20;

std::string Text(std::string_view view) { return std::string(view); }

// The whole text as a decimal number in min ... max, or nothing.
std::optional<long long> Decimal(std::string_view text, long long min, long long max) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max) return {};
  return value;
}

long long Number(std::string_view option, std::string_view text, long long min, long long max) {
  if (const auto value = Decimal(text, min, max)) return *value;
  throw OptionError(Text(option) + ": \"" + Text(text) + "\" is not a number from " + std::to_string(min) +
                    " to " + std::to_string(max));
}

// WIDTHxHEIGHT: a window the raster can make bitmaps of (each side up to 32767 pixels, and
// at most 256 MiB of pixels).
void ParseSize(std::string_view text, SceneOptions& options) {
  const std::size_t x = text.find('x');
  const auto width = x == text.npos ? std::nullopt : Decimal(text.substr(0, x), 1, kMaxDibDimension);
  const auto height = x == text.npos ? std::nullopt : Decimal(text.substr(x + 1), 1, kMaxDibDimension);
  if (!width || !height)
    throw OptionError("--size: \"" + Text(text) + "\" is not WIDTHxHEIGHT with sizes from 1 to " +
                      std::to_string(kMaxDibDimension));
  if (std::size_t(*width) * std::size_t(*height) * sizeof(Pixel) > kMaxDibPixelBytes)
    throw OptionError("--size: " + Text(text) + " is more than the raster draws (" +
                      std::to_string(kMaxDibPixelBytes >> 20) + " MiB of pixels)");
  options.width = int(*width);
  options.height = int(*height);
}

void ParseFormat(std::string_view text, SceneOptions& options) {
  if (text != "png" && text != "pam") throw OptionError("--format: \"" + Text(text) + "\" is neither png nor pam");
  options.pam = text == "pam";
}

// The values of a random file: decimal numbers, one a line; blank lines are skipped.
std::vector<std::int32_t> RandomValues(const fs::path& file) {
  const std::string shown = PathText(file);
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadWholeFile(file, kMaxRandomFileSize);
  } catch (const ToolError& failure) {
    throw ToolError(shown + ": " + failure.what());
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::vector<std::int32_t> values;
  std::size_t lineNumber = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty()) continue;
    const auto value = Decimal(line, 0, std::numeric_limits<std::int32_t>::max());
    if (!value)
      throw ToolError(shown + ": line " + std::to_string(lineNumber) + ": \"" + Text(line) +
                      "\" is not a value from 0 to 2147483647");
    values.push_back(std::int32_t(*value));
  }
  return values;
}

// What InitAnimation takes: a picture for the centred and tiled modes, or the captured
// desktop in a context of its own.
struct Background {
  std::unique_ptr<ZoImage> image;
  std::unique_ptr<MemoryDC> desktop;
};

Background LoadBackground(const SceneOptions& options) {
  if (!options.background) return {};
  const std::string shown = PathText(*options.background);
  TDib dib = [&] {
    try {
      return LoadBitmap(*options.background);
    } catch (const ToolError& failure) {
      throw ToolError(shown + ": " + failure.what());
    }
  }();
  if (options.mode != BgDesktop) return {std::make_unique<ZoBmpImage>(std::make_unique<TDib>(std::move(dib))), nullptr};
  auto desktop = CreateCompatibleDC(nullptr);
  auto capture = CreateDIBitmap(*desktop, dib.Info(), dib.Bits());
  if (!capture || !desktop->SelectOwned(std::move(capture)))
    throw ToolError(shown + ": the bitmap cannot be converted for display");
  return {nullptr, std::move(desktop)};
}

class SilentPlayer final : public WavePlayer {
  void Play(std::span<const std::uint8_t>) override {}
  void Stop() override {}
};

}  // namespace

SceneOptions ParseSceneOptions(std::span<const std::string_view> args, bool render) {
  SceneOptions options;
  std::optional<fs::path> animation;
  bool seeded = false, formatted = false, filesOnly = false;  // filesOnly: after "--"
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view option = args[i];
    if (!filesOnly && option == "--") {
      filesOnly = true;
      continue;
    }
    const auto value = [&]() -> std::string_view {
      if (++i >= args.size()) throw OptionError(Text(option) + " needs a value");
      return args[i];
    };
    if (filesOnly || option.size() < 2 || option.front() != '-') {
      if (animation) throw OptionError("one animation file only (" + Text(option) + " is a second)");
      animation = fs::path(Text(option));
      continue;
    }
    if (option == "--size") {
      ParseSize(value(), options);
    } else if (option == "--ticks") {
      options.ticks = long(Number(option, value(), 0, kMaxTicks));
    } else if (option == "--random") {
      options.randomFile = fs::path(Text(value()));
    } else if (option == "--seed") {
      options.seed = std::uint32_t(Number(option, value(), 0, std::numeric_limits<std::uint32_t>::max()));
      seeded = true;
    } else if (option == "--background") {
      options.background = fs::path(Text(value()));
    } else if (option == "--mode") {
      options.mode = std::int32_t(Number(option, value(), BgCenter, BgDesktop));
    } else if (option == "--no-sound") {
      options.sound = false;
    } else if (render && option == "--out") {
      options.outFolder = fs::path(Text(value()));
    } else if (render && option == "--format") {
      ParseFormat(value(), options);
      formatted = true;
    } else if (render && option == "--interval") {
      // As the saver's timer takes IntervalTime: below 10 ms is 10 ms.
      options.frameMilliseconds = std::max(10, int(Number(option, value(), 0, kMaxInterval)));
    } else {
      throw OptionError("unknown option " + Text(option));
    }
  }
  if (!animation) throw OptionError("no animation file named");
  if (render && !options.outFolder) throw OptionError("--out DIR is missing");
  options.webp = render && LowerExtension(*options.outFolder) == ".webp";
  if (options.webp && formatted) throw OptionError("--format is for a folder of frames, not a .webp file");
  if (options.webp && (long long)(options.ticks + 1) * options.frameMilliseconds > std::numeric_limits<int>::max())
    throw OptionError("--ticks " + std::to_string(options.ticks) + " of " + std::to_string(options.frameMilliseconds) +
                      " ms last longer than a WebP animation can (24 days)");
  if (options.randomFile && seeded) throw OptionError("--random and --seed exclude each other");
  options.animation = *animation;
  return options;
}

void RunScene(const SceneOptions& options, const std::function<void(const TickView&)>& observe) {
  // The player is replaced before the scene exists, so that its sounds stop silently too.
  SilentPlayer silent;
  const ScopedWavePlayer quiet(silent);
  const std::unique_ptr<ZoSpriteAnimation> scene = Take(LoadScene(options.animation));
  Background background = LoadBackground(options);
  std::unique_ptr<ScriptedRandom> script;
  if (options.randomFile)
    script = std::make_unique<ScriptedRandom>(RandomValues(*options.randomFile));
  else
    SeedRandom(options.seed);

  RecordingPresenter presenter(options.width, options.height);
  WindowDC window(presenter, options.width, options.height);
  std::vector<std::string> sounds;
  scene->soundListener = [&](const ZoAnimatedSprite& sprite) { sounds.emplace_back(sprite.Name()); };
  scene->bgMode = options.mode;
  scene->waveSoundOn = options.sound ? 1 : 0;
  const auto width = std::uint16_t(options.width), height = std::uint16_t(options.height);
  for (long tick = 0; tick <= options.ticks; ++tick) {
    try {
      if (tick == 0)
        scene->InitAnimation(window, width, height, std::move(background.image), std::move(background.desktop));
      else
        scene->Animate(window, 0, 0);
    } catch (const RandomScriptExhausted&) {
      throw ToolError(PathText(*options.randomFile) + ": the scripted random values ran out at tick " +
                      std::to_string(tick));
    }
    observe({tick, *scene, presenter, sounds});
    presenter.ClearLog();
    sounds.clear();
  }
}

}  // namespace kelna::tool
