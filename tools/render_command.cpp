// kelna-tool render FILE.anm --out DIR: plays the scene as the saver does and writes the
// window after preparing it and after each tick as DIR/tick-0000.png, tick-0001.png, ...;
// with --out FILE.webp, all of them as one animated WebP instead.

#include <chrono>
#include <cstdio>
#include <optional>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform/atomic_file.h"
#include "tools/commands.h"
#include "tools/image_output.h"
#include "tools/scene_run.h"
#include "tools/tool_files.h"
#include "tools/webp_output.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr char kUsage[] =
    "render FILE.anm --out DIR|FILE.webp [--size WxH] [--ticks N] [--random FILE | --seed N]"
    " [--background FILE.bmp] [--mode 0|1|2] [--no-sound] [--format png|pam] [--interval MS]";

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

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr));
#else
  return isatty(fileno(stderr));
#endif
}

// "[#####.....] 120/200 ticks, 3 s left" on one line of stderr, redrawn a few times a
// second, for a render that has taken a second and goes on; nothing when stderr is no
// terminal.
class ProgressBar {
 public:
  explicit ProgressBar(long total) : total_(total), terminal_(StderrIsTerminal()) {}
  ~ProgressBar() {
    if (drawn_) std::fputc('\n', stderr);
  }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Done(long done) {
    const auto now = Clock::now();
    if (!terminal_ || now - start_ < 1s || (now < next_ && done < total_)) return;
    next_ = now + 200ms;
    drawn_ = true;
    constexpr int kWidth = 30;
    const int filled = total_ ? int(done * kWidth / total_) : kWidth;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const long left = done ? long(seconds * double(total_ - done) / double(done) + 0.999) : 0;
    std::fprintf(stderr, "\r[%s%s] %ld/%ld ticks, %ld:%02ld left ", std::string(std::size_t(filled), '#').c_str(),
                 std::string(std::size_t(kWidth - filled), '.').c_str(), done, total_, left / 60, left % 60);
    std::fflush(stderr);
  }

 private:
  long total_;
  bool terminal_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now(), next_ = start_;
};

void RenderFrames(const SceneOptions& options) {
  ProgressBar progress(options.ticks);
  RunScene(options, [&](const TickView& view) {
    if (view.tick == 0) MakeFolder(*options.outFolder);  // once the scene has been read
    const fs::path file = *options.outFolder / TickFileName(view.tick, options.pam);
    if (const Status written = WritePicture(view.presenter.Window(), file); !written)
      throw ToolError(written.message());
    progress.Done(view.tick);
  });
}

void RenderWebp(const SceneOptions& options) {
  const fs::path& file = *options.outFolder;
  std::error_code error;
  if (!fs::is_directory(file.parent_path().empty() ? fs::path(".") : file.parent_path(), error))
    throw ToolError(PathText(file) + ": no such folder");  // said before a long render
  std::optional<AnimatedWebp> animation;
  {
    ProgressBar progress(options.ticks);
    RunScene(options, [&](const TickView& view) {
      if (view.tick == 0) animation.emplace(options.width, options.height, options.frameMilliseconds);
      animation->Add(view.presenter.Window());
      progress.Done(view.tick);
    });
  }
  if (const Status written = ReplaceFileContent(file, animation->Finish()); !written)
    throw ToolError(PathText(file) + ": " + written.message());
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
    if (options.webp) {
      CheckWebpOutput();
      RenderWebp(options);
    } else {
      RenderFrames(options);
    }
  } catch (const ToolError& failure) {
    return Report(failure.what());
  }
  return 0;
}

}  // namespace kelna::tool
