#pragma once
// Presenting raster regions in a real window: each blit reaches the window's device
// context in one StretchDIBits call straight from the source bitmap's rows.

#include <windows.h>

#include "platform/raster.h"

namespace kelna {

class WindowPresenter final : public Presenter {
 public:
  explicit WindowPresenter(HDC dc) : dc_(dc) {}
  void Blit(const Rect& target, const Bitmap& source, int sourceX, int sourceY, RasterOp op) override;
  void Fill(const Rect& target, Pixel colour) override;

 private:
  HDC dc_;
};

// A window's client area as a raster context for the time the object lives: GetDC on
// construction, ReleaseDC on destruction.
class ClientContext {
 public:
  explicit ClientContext(HWND window);
  ~ClientContext();
  ClientContext(const ClientContext&) = delete;
  ClientContext& operator=(const ClientContext&) = delete;

  WindowDC& Context() { return *context_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  HWND window_;
  HDC dc_;
  int width_ = 0;
  int height_ = 0;
  WindowPresenter presenter_;
  std::unique_ptr<WindowDC> context_;
};

// The screen as it is now, in a memory context that owns the picture: the desktop
// window's rectangle plus one pixel in each direction.
std::unique_ptr<MemoryDC> CaptureDesktop();

}  // namespace kelna
