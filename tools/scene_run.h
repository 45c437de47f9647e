#pragma once
// What render and trace share: their command line, and the scene played exactly as the
// saver plays it: read with its objects, prepared once on a window of the chosen size, then
// one frame step per tick. Sounds are reported, never heard.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sprite_animation.h"
#include "platform/raster.h"

namespace kelna::tool {

struct SceneOptions {
  std::filesystem::path animation;
  int width = 640;
  int height = 480;
  long ticks = 10;
  std::optional<std::filesystem::path> randomFile;  // the random values, one per line
  std::uint32_t seed = 1;                            // without a script
  std::optional<std::filesystem::path> background;
  std::int32_t mode = BgCenter;
  bool sound = true;
  // render's own
  std::optional<std::filesystem::path> outFolder;  // or the .webp file
  bool pam = false;
  bool webp = false;           // --out names a .webp file: one animated picture
  int frameMilliseconds = 50;  // how long each of its frames shows (--interval)
};

// A wrong command line, reported as "kelna-tool: WHAT" with status 2.
class OptionError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// The options after the command's name; render takes --out (required), --format and
// --interval too.
SceneOptions ParseSceneOptions(std::span<const std::string_view> args, bool render);

// What the scene left after one tick (tick 0: after preparing it).
struct TickView {
  long tick;
  const ZoSpriteAnimation& scene;
  const RecordingPresenter& presenter;         // the window, and the blits of this tick
  const std::vector<std::string>& soundNames;  // sprites whose sounds played (code page 932)
};

// Plays the scene and calls `observe` after every tick. ToolError for a file that cannot be
// read and for a random script that runs out.
void RunScene(const SceneOptions& options, const std::function<void(const TickView&)>& observe);

}  // namespace kelna::tool
