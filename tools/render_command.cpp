// kelna-tool render FILE.anm --out DIR: plays the scene as the saver does and writes the
// window after preparing it and after each tick as DIR/tick-0000.png, tick-0001.png, ...

#include <cstdio>
#include <system_error>

#include "tools/commands.h"
#include "tools/image_output.h"
#include "tools/scene_run.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "render FILE.anm --out DIR [--size WxH] [--ticks N] [--random FILE | --seed N]"
    " [--background FILE.bmp] [--mode 0|1|2] [--no-sound] [--format png|pam]";

std::string TickFileName(long tick, bool pam) {
  char name[32];
  std::snprintf(name, sizeof name, "tick-%04ld.%s", tick, pam ? "pam" : "png");
  return name;
}

void MakeFolder(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder)) throw ToolError(PathText(folder) + ": cannot make this folder");
}

}  // namespace

int Render(std::span<const std::string_view> args) {
  SceneOptions options;
  try {
    options = ParseSceneOptions(args, true);
  } catch (const OptionError& problem) {
    std::fprintf(stderr, "kelna-tool: %s\n", problem.what());
    return UsageError(kUsage);
  }
  try {
    RunScene(options, [&](const TickView& view) {
      if (view.tick == 0) MakeFolder(*options.outFolder);  // once the scene has been read
      const fs::path file = *options.outFolder / TickFileName(view.tick, options.pam);
      if (const Status written = WritePicture(view.presenter.Window(), file); !written)
        throw ToolError(written.message());
    });
  } catch (const ToolError& failure) {
    return Report(failure.what());
  }
  return 0;
}

}  // namespace kelna::tool
