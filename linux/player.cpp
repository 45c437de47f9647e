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
#include <string_view>
#include <vector>

#include "engine/scene_files.h"
#include "engine/sprite_animation.h"
#include "linux/desktop_capture.h"
#include "linux/file_watch.h"
#include "linux/input_rule.h"
#include "linux/player_audio.h"
#include "linux/sdl_handles.h"
#include "linux/surface_presenter.h"
#include "linux/wayland_capture.h"
#include "platform/profile.h"
#include "platform/random.h"
#include "platform/runtime.h"
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

// --watch looks at the scene's files this often; a scene that does not read is tried again
// on each look, while its files keep still, until it has failed this many times.
constexpr auto kWatchLook = std::chrono::milliseconds(100);
constexpr int kLoadTries = 5;

// The files the scene was read from: the animation, the background, and the object file at
// the path the animation stores and beside it (where the saver looks when the first fails).
std::vector<fs::path> WatchedFiles(const PlayConfig& config, const ZoSpriteAnimation& scene) {
  std::vector<fs::path> files = {config.animation};
  if (config.background && config.bgImageMode != BgDesktop) files.push_back(*config.background);
  if (scene.objectFileName && !scene.objectFileName->empty()) {
    files.push_back(Cp932ToPath(*scene.objectFileName));
    const PathParts object = SplitPath(*scene.objectFileName);
    files.push_back(config.animation.parent_path() / Cp932ToPath(object.name + object.extension));
  }
  return files;
}

// A copy of the captured desktop, for a scene read again to take over.
std::unique_ptr<MemoryDC> CopyOf(const MemoryDC& desktop) {
  const Bitmap& from = *desktop.Surface();
  auto copy = CreateCompatibleDC(nullptr);
  std::vector<Pixel> pixels(from.Pixels().begin(), from.Pixels().end());
  if (!copy->SelectOwned(std::make_unique<Bitmap>(from.Width(), from.Height(), std::move(pixels)))) return nullptr;
  return copy;
}

// The window given to us may go away (XScreenSaver destroys it when it is done): the X
// error that follows ends the player quietly instead of through Xlib's exit.
std::atomic<bool> windowLost{false};

// Wayland's own driver when the session is Wayland's and the picture goes to a window of
// our own; X11's otherwise, and when Wayland's cannot start. A user's SDL_VIDEODRIVER wins
// over both (SDL prefers the environment to a hint).
void StartVideo(std::optional<SdlSubsystems>& video, const PlayerOptions& options) {
  // A screen saver must never keep the screen from locking or blanking: SDL would hold an
  // idle inhibitor (Wayland) or reset the X screen saver while its windows show.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
  if (wayland && *wayland && options.placement != Placement::GivenWindow) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland");
    try {
      video.emplace(SDL_INIT_VIDEO);
      return;
    } catch (const PlayerError&) {
      SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    }
  }
  video.emplace(SDL_INIT_VIDEO);
}

bool OnWayland() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::string_view(driver) == "wayland";
}

// The windows the scene is drawn in, each showing one area of it.
struct Screens {
  std::vector<SdlWindow> windows;
  std::vector<SurfacePresenter::Output> outputs;
  int width = 0, height = 0;  // the scene's size
};

std::vector<SDL_Rect> DisplayBounds() {
  std::vector<SDL_Rect> displays;
  for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(i, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) displays.push_back(bounds);
  }
  if (displays.empty()) throw PlayerError(std::string("no display to show on: ") + SDL_GetError());
  return displays;
}

constexpr Uint32 kFullScreenFlags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR;

SDL_Window* Checked(SDL_Window* window) {
  if (!window) throw PlayerError(std::string("cannot open the window: ") + SDL_GetError());
  return window;
}

// Full screen the saver covers every monitor with one scene laid out over their bounding
// box. X11 lets one window cover them all; a Wayland client cannot place its windows, so
// there each output gets a full-screen window of its own showing its part of the scene.
void OpenFullScreen(Screens& screens) {
  const std::vector<SDL_Rect> displays = DisplayBounds();
  SDL_Rect all = displays.front();
  for (const SDL_Rect& bounds : displays) SDL_UnionRect(&all, &bounds, &all);
  if (!OnWayland()) {
    const Uint32 fullScreen = displays.size() == 1 ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
    screens.windows.emplace_back(Checked(SDL_CreateWindow("Kelna", all.x, all.y, all.w, all.h, kFullScreenFlags | fullScreen)));
    return;
  }
  for (int i = 0; i < int(displays.size()); ++i) {
    const SDL_Rect& bounds = displays[std::size_t(i)];
    screens.windows.emplace_back(Checked(SDL_CreateWindow("Kelna", SDL_WINDOWPOS_CENTERED_DISPLAY(i), SDL_WINDOWPOS_CENTERED_DISPLAY(i),
                                                          bounds.w, bounds.h, kFullScreenFlags | SDL_WINDOW_FULLSCREEN_DESKTOP)));
    screens.outputs.push_back({screens.windows.back().get(), {bounds.x - all.x, bounds.y - all.y,
                                                              bounds.x - all.x + bounds.w, bounds.y - all.y + bounds.h}});
  }
  screens.width = all.w;
  screens.height = all.h;
}

Screens OpenScreens(const PlayerOptions& options, const XConnection* x) {
  Screens screens;
  switch (options.placement) {
    case Placement::GivenWindow: {
      const unsigned long target = options.windowId ? *options.windowId : x->Root();
      screens.windows.emplace_back(Checked(SDL_CreateWindowFrom(reinterpret_cast<const void*>(target))));
      break;
    }
    case Placement::OwnWindow:
      screens.windows.emplace_back(Checked(SDL_CreateWindow("Kelna", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                                            options.windowWidth, options.windowHeight, SDL_WINDOW_SHOWN)));
      break;
    case Placement::FullScreen:
      OpenFullScreen(screens);
      SDL_ShowCursor(SDL_DISABLE);
      break;
  }
  if (screens.outputs.empty()) {  // one window showing all of the scene, at its surface's size
    SDL_Surface* surface = SDL_GetWindowSurface(screens.windows.front().get());
    if (!surface) throw PlayerError(std::string("the window cannot be drawn on: ") + SDL_GetError());
    screens.width = surface->w;
    screens.height = surface->h;
    screens.outputs.push_back({screens.windows.front().get(), {0, 0, surface->w, surface->h}});
  }
  if (screens.width <= 0 || screens.height <= 0 || screens.width > 32767 || screens.height > 32767)
    throw PlayerError("the window's size " + std::to_string(screens.width) + "x" + std::to_string(screens.height) +
                      " is not one the scene can be drawn at");
  return screens;
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
  void LookAtFiles();
  void Replace(SceneFiles files);
  bool Handle(const SDL_Event& event);
  SDL_Point OriginOf(Uint32 windowId) const;
  bool FocusIsOurs() const;

  const PlayerOptions& options_;
  const PlayConfig& config_;
  SceneFiles files_;  // first: the scene goes last, after the sound it may stop
  std::unique_ptr<MemoryDC> desktop_;
  std::unique_ptr<MemoryDC> desktopKept_;  // under --watch, for every scene read again
  FileWatch watch_;
  bool reloadPending_ = false;  // the files changed, and the scene has not been read since
  int failedLoads_ = 0;
  bool musicStarted_ = false;
  std::optional<SdlSubsystems> video_;
  std::optional<PlayerAudio> audio_;
  std::optional<ScopedWavePlayer> wavePlayer_;
  Screens screens_;
  InputState input_;
  std::optional<SurfacePresenter> presenter_;
  std::optional<WindowDC> context_;
  int width_ = 0, height_ = 0;
  bool started_ = false;
  long steps_ = 0;
  long soundRequests_ = 0;
};

int Player::Run() {
  StartVideo(video_, options_);
  const bool wayland = OnWayland();
  // Our own X connection for the desktop capture and the root window's id, made before any
  // window of ours exists so that the capture shows none.
  std::optional<XConnection> x;
  if (!wayland && (config_.bgImageMode == BgDesktop || options_.placement == Placement::GivenWindow)) {
    x.emplace();
    if (config_.bgImageMode == BgDesktop) {
      desktop_ = x->CaptureDesktop(options_.windowId.value_or(0));
      if (!desktop_)
        std::fprintf(stderr, "kelna: the X server gives no picture of the desktop: black instead\n");
    }
  }
  if (wayland && config_.bgImageMode == BgDesktop) {
    if (Result<std::unique_ptr<MemoryDC>> capture = CaptureWaylandDesktop()) {
      desktop_ = std::move(capture).value();
      std::fprintf(stderr, "kelna: the desktop as the compositor shows it (its screen copy)\n");
    } else {
      std::fprintf(stderr, "kelna: no picture of the desktop: %s; black instead\n", capture.message().c_str());
    }
  }
  // X11's own window framebuffer sends each changed rectangle with XShmPutImage; SDL's
  // texture framebuffer would upload and present the whole window on every update. Wayland
  // has only the texture framebuffer.
  if (!wayland) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  NoteLostWindows(windowLost);
  if (options_.watch && desktop_) desktopKept_ = CopyOf(*desktop_);
  if (options_.watch) watch_ = FileWatch(WatchedFiles(config_, *files_.scene));
  if (options_.placement == Placement::FullScreen && !wayland)
    SDL_GetGlobalMouseState(&input_.start.emplace().x, &input_.start->y);
  screens_ = OpenScreens(options_, x ? &*x : nullptr);
  x.reset();
  width_ = screens_.width;
  height_ = screens_.height;
  presenter_.emplace(screens_.outputs);
  context_.emplace(*presenter_, width_, height_);
  Say(options_.verbose, "drawing " + std::to_string(width_) + "x" + std::to_string(height_) + " in " +
                            std::to_string(screens_.windows.size()) + (screens_.windows.size() == 1 ? " window" : " windows") +
                            (presenter_->DrawsDirectly() ? "" : " through a copy"));

  audio_.emplace(config_.waveSound || config_.music.has_value(), options_.verbose);
  wavePlayer_.emplace(*audio_);
  files_.scene->soundListener = [this](const ZoAnimatedSprite&) { ++soundRequests_; };
  SeedRandom(options_.seed.value_or(std::uint32_t(std::time(nullptr))));

  const auto interval = TickInterval(config_.intervalTime);
  auto next = Clock::now() + interval, nextLook = Clock::now() + kWatchLook;
  for (;;) {
    const auto now = Clock::now();
    const auto until = options_.watch ? std::min(next, nextLook) : next;
    const auto left = std::max(until - now, Clock::duration::zero());
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
    if (options_.watch && Clock::now() >= nextLook) {
      LookAtFiles();
      nextLook = Clock::now() + kWatchLook;
    }
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
    SDL_Window* window = SDL_GetWindowFromID(event.window.windowID);
    if (event.window.event == SDL_WINDOWEVENT_EXPOSED) presenter_->PresentAll(window);
    if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) presenter_->Renew(window);
  }
  const Uint32 windowId = event.type == SDL_MOUSEMOTION ? event.motion.windowID : 0;
  return EndsPlayer(event, options_.placement, input_, OriginOf(windowId), FocusIsOurs());
}

// Where the window is on the screen: X11 tells, and a full-screen Wayland window is where
// its output is.
SDL_Point Player::OriginOf(Uint32 windowId) const {
  SDL_Point origin{0, 0};
  if (SDL_Window* window = SDL_GetWindowFromID(windowId)) SDL_GetWindowPosition(window, &origin.x, &origin.y);
  if (OnWayland() && options_.placement == Placement::FullScreen)
    for (std::size_t i = 0; i < screens_.windows.size(); ++i)
      if (SDL_GetWindowID(screens_.windows[i].get()) == windowId)
        origin = {screens_.outputs[i].area.left, screens_.outputs[i].area.top};
  return origin;
}

bool Player::FocusIsOurs() const {
  SDL_Window* focus = SDL_GetKeyboardFocus();
  return std::any_of(screens_.windows.begin(), screens_.windows.end(),
                     [focus](const SdlWindow& window) { return focus && window.get() == focus; });
}

// A change is read once the files have kept still for one look; the new scene starts from
// its first tick, as the saver starts one.
void Player::LookAtFiles() {
  if (watch_.Look()) {
    reloadPending_ = true;
    failedLoads_ = 0;
    return;
  }
  if (!reloadPending_) return;
  try {
    Replace(LoadFiles(config_));
    std::fprintf(stderr, "kelna: %s changed: playing it again\n", PathText(config_.animation).c_str());
  } catch (const PlayerError& failure) {
    if (++failedLoads_ < kLoadTries) return;  // perhaps still being written
    reloadPending_ = false;
    std::fprintf(stderr, "kelna: %s; still playing the scene read before\n", failure.what());
  }
}

void Player::Replace(SceneFiles files) {
  files_ = std::move(files);  // the scene before goes, and with it its sound
  files_.scene->soundListener = [this](const ZoAnimatedSprite&) { ++soundRequests_; };
  if (desktopKept_) desktop_ = CopyOf(*desktopKept_);
  if (options_.seed) SeedRandom(*options_.seed);
  started_ = false;
  steps_ = 0;
  reloadPending_ = false;
  watch_ = FileWatch(WatchedFiles(config_, *files_.scene));
}

void Player::SetUp() {
  if (config_.music && !musicStarted_) {
    musicStarted_ = true;
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
