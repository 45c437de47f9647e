#include "linux/surface_presenter.h"

#include <algorithm>
#include <string>

namespace kelna {

SurfacePresenter::SurfacePresenter(SDL_Window* window, int width, int height)
    : window_(window), shadow_(width, height) {}

void SurfacePresenter::Blit(const Rect& target, const Bitmap& source, int sourceX, int sourceY, RasterOp op) {
  shadow_.Blit(target, source, sourceX, sourceY, op);
}

void SurfacePresenter::Fill(const Rect& target, Pixel colour) { shadow_.Fill(target, colour); }

void SurfacePresenter::Present() {
  std::vector<SDL_Rect> rects;
  rects.reserve(shadow_.Log().size());
  for (const RecordingPresenter::Record& record : shadow_.Log())
    rects.push_back({record.target.left, record.target.top, record.target.Width(), record.target.Height()});
  shadow_.ClearLog();
  if (!rects.empty()) Show(rects);
}

void SurfacePresenter::PresentAll() {
  shadow_.ClearLog();
  Show({{0, 0, Picture().Width(), Picture().Height()}});
}

void SurfacePresenter::Show(const std::vector<SDL_Rect>& rects) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (!surface) throw PlayerError(std::string("the window cannot be drawn on: ") + SDL_GetError());
  const Bitmap& picture = Picture();
  // The window may be smaller than the scene for a moment (a foreign window resized).
  const int width = std::min(surface->w, picture.Width()), height = std::min(surface->h, picture.Height());
  std::vector<SDL_Rect> shown;
  shown.reserve(rects.size());
  for (SDL_Rect rect : rects) {
    rect.w = std::min(rect.x + rect.w, width) - rect.x;
    rect.h = std::min(rect.y + rect.h, height) - rect.y;
    if (rect.w <= 0 || rect.h <= 0) continue;
    // Our pixels are 0x00RRGGBB, SDL's RGB888; SDL converts to the surface's format (a plain
    // copy on a 24-bit X display).
    const Pixel* from = picture.Row(rect.y).data() + rect.x;
    auto* to = static_cast<Uint8*>(surface->pixels) + std::size_t(rect.y) * std::size_t(surface->pitch) +
               std::size_t(rect.x) * surface->format->BytesPerPixel;
    SDL_ConvertPixels(rect.w, rect.h, SDL_PIXELFORMAT_RGB888, from, int(picture.Width() * sizeof(Pixel)),
                      surface->format->format, to, surface->pitch);
    shown.push_back(rect);
  }
  if (!shown.empty()) SDL_UpdateWindowSurfaceRects(window_, shown.data(), int(shown.size()));
}

}  // namespace kelna
