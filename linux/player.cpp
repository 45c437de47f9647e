#include "linux/player.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "engine/scene_files.h"
#include "engine/sprite_animation.h"
#include "linux/desktop_capture.h"
#include "linux/input_rule.h"
#include "linux/player_audio.h"
#include "linux/sdl_handles.h"
#include "linux/surface_presenter.h"
#include "platform/profile.h"
#include "platform/random.h"
#include "platform/text.h"
#include "sprites/bmp_image.h"

namespace kelna {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What the files give before anything is shown: a file that cannot be read ends the player
// here, with its reason, before a window appears.
struct SceneFiles {
  std::unique_ptr<ZoSpriteAnimation> scene;
  std::unique_ptr<ZoImage> image;  // centred or tiled background
};

SceneFiles LoadFiles(const PlayConfig& config) {
  if (config.animation.empty())
    throw PlayerError("no animation file is set (AnimationFile in " + PathText(ControlIniPath()) +
                      ", or --animation FILE)");
  Result<std::unique_ptr<ZoSpriteAnimation>> scene = LoadScene(config.animation);
  if (!scene) throw PlayerError(scene.message());
  SceneFiles files{std::move(scene).value(), nullptr};
  // The desktop mode shows the capture: its picture file would not be seen.
  if (config.background && config.bgImageMode != BgDesktop) {
    Result<TDib> dib = LoadBitmapFile(*config.background);
    if (!dib) throw PlayerError("background " + dib.message());
    files.image = std::make_unique<ZoBmpImage>(std::make_unique<TDib>(std::move(dib).value()));
  }
  return files;
}

// The window given to us may go away (XScreenSaver destroys it when it is done): the X
// error that follows ends the player quietly instead of through Xlib's exit.
std::atomic<bool> windowLost{false};

struct OpenedWindow {
  SdlWindow window;
  InputState input;
};

// The union of every display's bounds: the saver covers every monitor.
SDL_Rect AllDisplays() {
  SDL_Rect all{0, 0, 0, 0};
  for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(i, &bounds) == 0) SDL_UnionRect(&all, &bounds, &all);
  }
  return all;
}

OpenedWindow OpenWindow(const PlayerOptions& options, const XConnection* x) {
  OpenedWindow opened;
  switch (options.placement) {
    case Placement::GivenWindow: {
      const unsigned long target = options.windowId ? *options.windowId : x->Root();
      opened.window.reset(SDL_CreateWindowFrom(reinterpret_cast<const void*>(target)));
      break;
    }
    case Placement::OwnWindow:
      opened.window.reset(SDL_CreateWindow("Kelna", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                           options.windowWidth, options.windowHeight, SDL_WINDOW_SHOWN));
      break;
    case Placement::FullScreen: {
      SDL_GetGlobalMouseState(&opened.input.start.x, &opened.input.start.y);
      const SDL_Rect all = AllDisplays();
      const Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR |
                           (SDL_GetNumVideoDisplays() == 1 ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
      opened.window.reset(SDL_CreateWindow("Kelna", all.x, all.y, all.w, all.h, flags));
      SDL_ShowCursor(SDL_DISABLE);
      break;
    }
  }
  if (!opened.window) throw PlayerError(std::string("cannot open the window: ") + SDL_GetError());
  SDL_GetWindowPosition(opened.window.get(), &opened.input.windowOrigin.x, &opened.input.windowOrigin.y);
  return opened;
}

void Say(bool verbose, const std::string& line) {
  if (!verbose) return;
  std::printf("kelna: %s\n", line.c_str());
  std::fflush(stdout);
}

class Player {
 public:
  Player(const PlayerOptions& options, const PlayConfig& config, SceneFiles files)
      : options_(options), config_(config), files_(std::move(files)) {}

  int Run();

 private:
  void Tick();
  void SetUp();
  bool Handle(const SDL_Event& event);

  const PlayerOptions& options_;
  const PlayConfig& config_;
  SceneFiles files_;  // first: the scene goes last, after the sound it may stop
  std::unique_ptr<MemoryDC> desktop_;
  std::optional<SdlSubsystems> video_;
  std::optional<PlayerAudio> audio_;
  std::optional<ScopedWavePlayer> wavePlayer_;
  OpenedWindow window_;
  std::optional<SurfacePresenter> presenter_;
  std::optional<WindowDC> context_;
  int width_ = 0, height_ = 0;
  bool started_ = false;
  long steps_ = 0;
  long soundRequests_ = 0;
};

int Player::Run() {
  // Our own connection for the desktop capture and the root window's id, made before any
  // window of ours exists so that the capture shows none.
  std::optional<XConnection> x;
  if (config_.bgImageMode == BgDesktop || options_.placement == Placement::GivenWindow) {
    x.emplace();
    if (config_.bgImageMode == BgDesktop) {
      desktop_ = x->CaptureDesktop(options_.windowId.value_or(0));
      if (!desktop_)
        std::fprintf(stderr, "kelna: the X server gives no picture of the desktop: black instead\n");
    }
  }
  // X11's own window framebuffer sends each changed rectangle with XShmPutImage; SDL's
  // texture framebuffer would upload and present the whole window on every update.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  video_.emplace(SDL_INIT_VIDEO);
  NoteLostWindows(windowLost);
  window_ = OpenWindow(options_, x ? &*x : nullptr);
  x.reset();

  SDL_Surface* surface = SDL_GetWindowSurface(window_.window.get());
  if (!surface) throw PlayerError(std::string("the window cannot be drawn on: ") + SDL_GetError());
  width_ = surface->w;
  height_ = surface->h;
  if (width_ <= 0 || height_ <= 0 || width_ > 32767 || height_ > 32767)
    throw PlayerError("the window's size " + std::to_string(width_) + "x" + std::to_string(height_) +
                      " is not one the scene can be drawn at");
  presenter_.emplace(window_.window.get(), width_, height_);
  context_.emplace(*presenter_, width_, height_);
  presenter_->PresentAll();  // black until the first tick, as the saver's window class paints it
  Say(options_.verbose, "drawing " + std::to_string(width_) + "x" + std::to_string(height_));

  audio_.emplace(config_.waveSound || config_.music.has_value(), options_.verbose);
  wavePlayer_.emplace(*audio_);
  files_.scene->soundListener = [this](const ZoAnimatedSprite&) { ++soundRequests_; };
  SeedRandom(options_.seed.value_or(std::uint32_t(std::time(nullptr))));

  const auto interval = TickInterval(config_.intervalTime);
  auto next = Clock::now() + interval;
  for (;;) {
    const auto now = Clock::now();
    const auto left = std::max(next - now, Clock::duration::zero());
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(left);
    SDL_Event event;
    bool ended = false;
    if (SDL_WaitEventTimeout(&event, int(std::min<long long>(wait.count(), INT_MAX)))) {
      do {
        ended = Handle(event) || ended;
      } while (SDL_PollEvent(&event));
    }
    if (ended || windowLost) break;
    audio_->Poll();
    if (Clock::now() >= next) {
      Tick();
      next += interval;
      if (next < Clock::now()) next = Clock::now() + interval;  // fell behind: no burst of ticks
    }
  }
  const AudioCounts counts = audio_->Counts();
  Say(options_.verbose, "sound requests " + std::to_string(soundRequests_) + ", sounds started " +
                            std::to_string(counts.soundsStarted) + ", music starts " +
                            std::to_string(counts.musicStarts) + ", audible frames " +
                            std::to_string(counts.audibleFrames));
  return 0;
}

bool Player::Handle(const SDL_Event& event) {
  if (event.type == SDL_WINDOWEVENT) {
    switch (event.window.event) {
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        window_.input.hadFocus = true;
        break;
      case SDL_WINDOWEVENT_MOVED:
        window_.input.windowOrigin = {event.window.data1, event.window.data2};
        break;
      case SDL_WINDOWEVENT_EXPOSED:
      case SDL_WINDOWEVENT_SIZE_CHANGED:
        presenter_->PresentAll();
        break;
      default:
        break;
    }
  }
  return EndsPlayer(event, options_.placement, window_.input);
}

void Player::SetUp() {
  if (config_.music) {
    if (std::ifstream(*config_.music, std::ios::binary).is_open())
      audio_->StartMusic(*config_.music, config_.musicRepeat);
    else
      std::fprintf(stderr, "kelna: no music: %s cannot be opened\n", PathText(*config_.music).c_str());
  }
  ZoSpriteAnimation& scene = *files_.scene;
  scene.waveSoundOn = config_.waveSound ? 1 : 0;
  scene.bgMode = config_.bgImageMode;
  scene.InitAnimation(*context_, std::uint16_t(width_), std::uint16_t(height_), std::move(files_.image),
                      std::move(desktop_));
}

// The first tick sets up; every later one is a frame step, until --ticks are done.
void Player::Tick() {
  if (!started_) {
    SetUp();
    started_ = true;
  } else if (!options_.ticks || steps_ < *options_.ticks) {
    files_.scene->Animate(*context_, 0, 0);
    ++steps_;
  } else {
    return;
  }
  presenter_->Present();
  if (options_.ticks && steps_ == *options_.ticks)
    Say(options_.verbose, "stopped after " + std::to_string(steps_) + " ticks");
}

// The demo installed with the player: KELNA_DEMO_FROM_PLAYER is its folder relative to the
// installed program's, so that any prefix works (/usr, /usr/local, ~/.local). A program run
// from the build folder has none.
std::optional<fs::path> InstalledDemoFolder() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const fs::path folder = (program.parent_path() / KELNA_DEMO_FROM_PLAYER).lexically_normal();
  if (!fs::is_regular_file(folder / kDemoAnimation, error)) return {};
  return folder;
}

PlayConfig ConfigToPlay(const PlayerOptions& options) {
  const ProfileFile profile(ControlIniPath());
  if (const Status& read = profile.ReadStatus(); !read)
    std::fprintf(stderr, "kelna: %s: %s; its settings are not used\n", PathText(profile.Path()).c_str(),
                 read.message().c_str());
  const SaverSettings settings = ReadSaverSettings(profile);
  PlayConfig config = Resolve(settings, options);
  if (!NoAnimationIsChosen(settings, options)) return config;
  if (const std::optional<fs::path> demo = InstalledDemoFolder()) {
    PlayDemo(config, profile, options, *demo);
    std::fprintf(stderr,
                 "kelna: no animation is chosen (--animation FILE, or AnimationFile in %s): "
                 "playing the demo in %s\n",
                 PathText(ControlIniPath()).c_str(), PathText(*demo).c_str());
  }
  return config;
}

}  // namespace

std::chrono::milliseconds TickInterval(int intervalTime) {
  if (intervalTime < 0) return std::chrono::milliseconds(INT_MAX);
  return std::chrono::milliseconds(std::max(intervalTime, 10));
}

int RunPlayer(const PlayerOptions& options) {
  try {
    const PlayConfig config = ConfigToPlay(options);
    Player player(options, config, LoadFiles(config));
    return player.Run();
  } catch (const PlayerError& failure) {
    std::fprintf(stderr, "kelna: %s\n", failure.what());
  }
  return 1;
}

}  // namespace kelna
