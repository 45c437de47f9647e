#pragma once
// Presenting the scene's blits in an SDL window: the blits land in a copy of the window's
// pixels kept by a RecordingPresenter (the same one kelna-tool draws with), and Present()
// sends only the rectangles they touched to the window's surface, which SDL's X11 driver
// puts on the screen rectangle by rectangle.

#include <vector>

#include "linux/sdl_handles.h"
#include "platform/raster.h"

namespace kelna {

class SurfacePresenter final : public Presenter {
 public:
  // The window's surface must be width × height pixels (the scene's size).
  SurfacePresenter(SDL_Window* window, int width, int height);

  void Blit(const Rect& target, const Bitmap& source, int sourceX, int sourceY, RasterOp op) override;
  void Fill(const Rect& target, Pixel colour) override;

  // Shows what changed since the last call. Throws PlayerError when the window has no
  // surface to draw on.
  void Present();
  // Shows the whole picture again (after the window was exposed or its surface renewed).
  void PresentAll();

  const Bitmap& Picture() const { return shadow_.Window(); }

 private:
  void Show(const std::vector<SDL_Rect>& rects);

  SDL_Window* window_;
  RecordingPresenter shadow_;
};

}  // namespace kelna
