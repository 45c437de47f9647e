#include "linux/surface_presenter.h"

#include <algorithm>
#include <string>

namespace kelna {
namespace {

bool LaidOutAsOurs(const SDL_PixelFormat& format) {
  return format.BytesPerPixel == 4 && format.Rmask == 0xFF0000 && format.Gmask == 0x00FF00 &&
         format.Bmask == 0x0000FF;
}

Rect Intersect(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

void CopyRows(const PixelRows& from, const PixelRows& to) {
  const int width = std::min(from.width, to.width);
  for (int y = 0; y < std::min(from.height, to.height); ++y) std::copy_n(from.Row(y), width, to.Row(y));
}

}  // namespace

SurfacePresenter::SurfacePresenter(std::vector<Output> outputs) {
  screens_.reserve(outputs.size());
  for (const Output& output : outputs) {
    screens_.emplace_back().output = output;
    Attach(screens_.back());
  }
  // Black until the first tick, as the saver's window class paints it (a new surface's
  // pixels may be anything).
  for (const Output& output : outputs) Fill(output.area, 0);
  Present();
}

PixelRows SurfacePresenter::Screen::Rows() {
  const int width = output.area.Width(), height = output.area.Height();
  if (!direct) return {copy.data(), width, height, width};
  // The window may be smaller than its area for a moment (a foreign window resized).
  return {static_cast<Pixel*>(surface->pixels), std::min(surface->w, width), std::min(surface->h, height),
          surface->pitch / std::ptrdiff_t(sizeof(Pixel))};
}

void SurfacePresenter::Attach(Screen& screen) {
  screen.surface = SDL_GetWindowSurface(screen.output.window);
  if (!screen.surface) throw PlayerError(std::string("the window cannot be drawn on: ") + SDL_GetError());
  screen.direct = LaidOutAsOurs(*screen.surface->format);
  screen.copy.assign(screen.direct ? 0 : std::size_t(screen.output.area.Width()) * std::size_t(screen.output.area.Height()), 0);
}

template <typename Draw>
void SurfacePresenter::DrawOnEach(const Rect& target, Draw draw) {
  for (Screen& screen : screens_) {
    const Rect& area = screen.output.area;
    const PixelRows rows = screen.Rows();
    const Rect shown = Intersect(target, {area.left, area.top, area.left + rows.width, area.top + rows.height});
    if (shown.Empty()) continue;
    const Rect local{shown.left - area.left, shown.top - area.top, shown.right - area.left, shown.bottom - area.top};
    draw(rows, local, shown.left - target.left, shown.top - target.top);
    screen.drawn.push_back({local.left, local.top, local.Width(), local.Height()});
  }
}

void SurfacePresenter::Blit(const Rect& target, const Bitmap& source, int sourceX, int sourceY, RasterOp op) {
  DrawOnEach(target, [&](const PixelRows& rows, const Rect& local, int dx, int dy) {
    BlitInto(rows, local, source, sourceX + dx, sourceY + dy, op);
  });
}

void SurfacePresenter::Fill(const Rect& target, Pixel colour) {
  DrawOnEach(target, [&](const PixelRows& rows, const Rect& local, int, int) { FillInto(rows, local, colour); });
}

void SurfacePresenter::Present() {
  for (Screen& screen : screens_) {
    if (!screen.drawn.empty()) Show(screen, screen.drawn);
    screen.drawn.clear();
  }
}

void SurfacePresenter::PresentAll(SDL_Window* window) {
  for (Screen& screen : screens_) {
    if (screen.output.window != window) continue;
    const PixelRows rows = screen.Rows();
    std::vector<SDL_Rect> all{{0, 0, rows.width, rows.height}};
    Show(screen, all);
    screen.drawn.clear();
  }
}

void SurfacePresenter::Renew(SDL_Window* window) {
  for (Screen& screen : screens_) {
    if (screen.output.window != window) continue;
    // SDL frees the old surface when it makes the new one: what it shows is kept first.
    const PixelRows old = screen.Rows();
    std::vector<Pixel> kept(std::size_t(old.width) * std::size_t(old.height));
    CopyRows(old, {kept.data(), old.width, old.height, old.width});
    Attach(screen);
    CopyRows({kept.data(), old.width, old.height, old.width}, screen.Rows());
    PresentAll(window);
  }
}

void SurfacePresenter::Show(Screen& screen, std::vector<SDL_Rect>& rects) {
  SDL_Surface* surface = screen.surface;
  if (!screen.direct) {
    // Our pixels are SDL's RGB888; SDL converts them to the surface's format.
    const PixelRows rows = screen.Rows();
    for (SDL_Rect& rect : rects) {
      rect.w = std::min(rect.x + rect.w, surface->w) - rect.x;
      rect.h = std::min(rect.y + rect.h, surface->h) - rect.y;
      if (rect.w <= 0 || rect.h <= 0) continue;
      auto* to = static_cast<Uint8*>(surface->pixels) + std::size_t(rect.y) * std::size_t(surface->pitch) +
                 std::size_t(rect.x) * surface->format->BytesPerPixel;
      SDL_ConvertPixels(rect.w, rect.h, SDL_PIXELFORMAT_RGB888, rows.Row(rect.y) + rect.x,
                        int(rows.stride * std::ptrdiff_t(sizeof(Pixel))), surface->format->format, to, surface->pitch);
    }
    std::erase_if(rects, [](const SDL_Rect& rect) { return rect.w <= 0 || rect.h <= 0; });
  }
  if (!rects.empty()) SDL_UpdateWindowSurfaceRects(screen.output.window, rects.data(), int(rects.size()));
}

bool SurfacePresenter::DrawsDirectly() const {
  return std::none_of(screens_.begin(), screens_.end(), [](const Screen& screen) { return !screen.direct; });
}

}  // namespace kelna
