#pragma once
// Presenting the scene's blits in SDL windows. Each window shows one area of the scene
// (full screen on Wayland one window per output, elsewhere one window for all of it). The
// blits are drawn straight into the window's surface when its pixels are laid out as ours
// (32-bit 0x00RRGGBB: X11 at depth 24, SDL's texture framebuffer); otherwise into a copy
// of the area that each Present() converts. Present() sends only the rectangles drawn
// since the last call to the display.

#include <vector>

#include "linux/sdl_handles.h"
#include "platform/raster.h"

namespace kelna {

class SurfacePresenter final : public Presenter {
 public:
  struct Output {
    SDL_Window* window = nullptr;
    Rect area;  // the part of the scene this window shows, in scene coordinates
  };
  // Throws PlayerError when a window has no surface to draw on.
  explicit SurfacePresenter(std::vector<Output> outputs);

  void Blit(const Rect& target, const Bitmap& source, int sourceX, int sourceY, RasterOp op) override;
  void Fill(const Rect& target, Pixel colour) override;

  // Shows what was drawn since the last call.
  void Present();
  // Shows all of a window again (after it was exposed).
  void PresentAll(SDL_Window* window);
  // After a window's size changed: takes its new surface, keeping what it showed.
  void Renew(SDL_Window* window);

  // Whether every window is drawn into directly (no copy of our own).
  bool DrawsDirectly() const;

 private:
  struct Screen {
    Output output;
    SDL_Surface* surface = nullptr;
    bool direct = true;  // the surface's pixels are laid out as ours
    std::vector<Pixel> copy;  // the area's pixels otherwise
    std::vector<SDL_Rect> drawn;  // since the last Present, in window coordinates
    PixelRows Rows();
  };
  template <typename Draw>
  void DrawOnEach(const Rect& target, Draw draw);
  static void Attach(Screen& screen);
  static void Show(Screen& screen, std::vector<SDL_Rect>& rects);

  std::vector<Screen> screens_;
};

}  // namespace kelna
