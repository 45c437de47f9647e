// kelna-tool trace FILE.anm: plays the scene as the saver does and prints, after preparing
// it and after each tick, one JSON line: the blits into the window, the sprites whose sounds
// played, and every sprite's run-time state in the scene's order.

#include <cstdio>

#include "platform/text.h"
#include "tools/commands.h"
#include "tools/manifest_values.h"
#include "tools/scene_run.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

constexpr char kUsage[] =
    "trace FILE.anm [--size WxH] [--ticks N] [--random FILE | --seed N] [--background FILE.bmp]"
    " [--mode 0|1|2] [--no-sound]";

// x, y, width and height of each copy (and fill) into the window, in the order made.
Json Blits(const RecordingPresenter& presenter) {
  Json blits = Json::array();
  for (const RecordingPresenter::Record& record : presenter.Log()) {
    const Rect& r = record.target;
    blits.push_back(Json::array({r.left, r.top, r.Width(), r.Height()}));
  }
  return blits;
}

Json Sprite(const ZoAnimatedSprite& sprite) {
  return {{"name", Cp932ToUtf8(sprite.Name())}, {"state", sprite.state},
          {"curFrame", sprite.curFrame},        {"x", sprite.x},
          {"y", sprite.y},                      {"speedX", sprite.speedX},
          {"speedY", sprite.speedY},            {"tickCounter", sprite.tickCounter},
          {"frameCount", sprite.frameCount},    {"flags", sprite.flags}};
}

void PrintTick(const TickView& view) {
  Json sounds = Json::array();
  for (const std::string& name : view.soundNames) sounds.push_back(Cp932ToUtf8(name));
  Json sprites = Json::array();
  for (const auto& sprite : view.scene.sprites) sprites.push_back(Sprite(*sprite));
  const Json line = {{"tick", view.tick},
                     {"blits", Blits(view.presenter)},
                     {"sounds", std::move(sounds)},
                     {"sprites", std::move(sprites)}};
  std::puts(line.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
}

}  // namespace

int Trace(std::span<const std::string_view> args) {
  SceneOptions options;
  try {
    options = ParseSceneOptions(args, false);
  } catch (const OptionError& problem) {
    std::fprintf(stderr, "kelna-tool: %s\n", problem.what());
    return UsageError(kUsage);
  }
  try {
    RunScene(options, PrintTick);
  } catch (const ToolError& failure) {
    std::fflush(stdout);  // the ticks before the failure stay printed, ahead of the message
    return Report(failure.what());
  }
  return 0;
}

}  // namespace kelna::tool
