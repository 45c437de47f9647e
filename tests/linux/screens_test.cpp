// The player's screens without a display: the scene split over several windows (SDL's
// offscreen driver gives real window surfaces), and the input rule.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "linux/input_rule.h"
#include "linux/surface_presenter.h"

namespace kelna {
namespace {

struct Offscreen {
  Offscreen() {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    // The driver's own framebuffer: SDL's texture one would load a GL library for nothing.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    video.emplace(SDL_INIT_VIDEO);
  }
  std::optional<SdlSubsystems> video;
};

std::vector<Pixel> Pattern(int width, int height) {
  std::vector<Pixel> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(Pixel(x * 7 + y * 1000 + 0x10000));
  return pixels;
}

// Two windows side by side, the second lower and narrower than the scene's bounding box
// (outputs of different sizes): every window shows exactly its area of what one window
// the scene's size shows, after blits and fills that cross the border between them.
TEST(SurfacePresenter, EachWindowShowsItsAreaOfOneScene) {
  Offscreen offscreen;
  const Rect areas[] = {{0, 0, 64, 48}, {64, 8, 96, 40}};
  std::vector<SdlWindow> windows;
  std::vector<SurfacePresenter::Output> outputs;
  for (const Rect& area : areas) {
    windows.emplace_back(SDL_CreateWindow("", 0, 0, area.Width(), area.Height(), 0));
    ASSERT_TRUE(windows.back()) << SDL_GetError();
    outputs.push_back({windows.back().get(), area});
  }
  SurfacePresenter screens(outputs);
  RecordingPresenter whole(96, 48);
  EXPECT_TRUE(screens.DrawsDirectly());
  const Bitmap source(50, 40, Pattern(50, 40));
  for (Presenter* presenter : {static_cast<Presenter*>(&screens), static_cast<Presenter*>(&whole)}) {
    presenter->Fill({10, 5, 90, 45}, 0x808080);
    presenter->Blit({40, 2, 80, 30}, source, 3, 4, RasterOp::SourceCopy);
    presenter->Blit({50, 10, 96, 48}, source, 0, 0, RasterOp::SourceAnd);
    presenter->Blit({0, 0, 70, 20}, source, 1, 1, RasterOp::SourcePaint);
  }
  screens.Present();
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    SDL_Surface* surface = SDL_GetWindowSurface(windows[i].get());
    const Rect& area = areas[i];
    for (int y = 0; y < area.Height(); ++y)
      for (int x = 0; x < area.Width(); ++x) {
        const auto* row = reinterpret_cast<const Pixel*>(static_cast<const Uint8*>(surface->pixels) + y * surface->pitch);
        ASSERT_EQ(row[x] & 0xFFFFFF, whole.Window().At(area.left + x, area.top + y))
            << "window " << i << " at " << x << "," << y;
      }
  }
  // A new surface (the window's size changed) keeps what the window showed.
  SDL_SetWindowSize(windows[1].get(), 40, 40);
  SDL_PumpEvents();
  screens.Renew(windows[1].get());
  SDL_Surface* renewed = SDL_GetWindowSurface(windows[1].get());
  ASSERT_EQ(renewed->w, 40);
  const auto* row = reinterpret_cast<const Pixel*>(static_cast<const Uint8*>(renewed->pixels) + 5 * renewed->pitch);
  EXPECT_EQ(row[20] & 0xFFFFFF, whole.Window().At(84, 13));
}

SDL_Event Motion(int x, int y, Uint32 window = 1) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = window;
  event.motion.x = x;
  event.motion.y = y;
  return event;
}

SDL_Event WindowEvent(Uint8 what) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = what;
  return event;
}

TEST(InputRule, PointerMovesFromWhereItWasOrWhereItFirstEntered) {
  struct Case {
    const char* what;
    std::optional<SDL_Point> start;
    std::vector<std::pair<SDL_Point, SDL_Point>> motions;  // window origin, position in it
    bool ends;
  };
  const Case cases[] = {
      {"known start, still", SDL_Point{100, 50}, {{{0, 0}, {100, 50}}}, false},
      {"known start, one pixel", SDL_Point{100, 50}, {{{0, 0}, {101, 50}}}, true},
      {"known start, same place in a window further right", SDL_Point{700, 50}, {{{640, 0}, {60, 50}}}, false},
      {"unknown start: entering is no movement", std::nullopt, {{{640, 0}, {10, 20}}}, false},
      {"unknown start: then a move", std::nullopt, {{{640, 0}, {10, 20}}, {{640, 0}, {10, 21}}}, true},
      {"unknown start: the same place again", std::nullopt, {{{0, 0}, {5, 5}}, {{0, 0}, {5, 5}}}, false},
  };
  for (const Case& c : cases) {
    InputState state{c.start};
    bool ended = false;
    for (const auto& [origin, at] : c.motions)
      ended = EndsPlayer(Motion(at.x, at.y), Placement::FullScreen, state, origin, true) || ended;
    EXPECT_EQ(ended, c.ends) << c.what;
    InputState own{c.start};
    EXPECT_FALSE(EndsPlayer(Motion(1, 1), Placement::OwnWindow, own, {0, 0}, true)) << c.what;
  }
}

TEST(InputRule, FocusEndsOnlyWhenItLeavesEveryWindow) {
  InputState state;
  EXPECT_FALSE(EndsPlayer(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), Placement::FullScreen, state, {}, false))
      << "no window had the focus yet";
  EXPECT_FALSE(EndsPlayer(WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), Placement::FullScreen, state, {}, true));
  EXPECT_FALSE(EndsPlayer(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), Placement::FullScreen, state, {}, true))
      << "the focus went to another of the player's windows";
  EXPECT_TRUE(EndsPlayer(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), Placement::FullScreen, state, {}, false));
  EXPECT_FALSE(EndsPlayer(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST), Placement::OwnWindow, state, {}, false));
}

}  // namespace
}  // namespace kelna
