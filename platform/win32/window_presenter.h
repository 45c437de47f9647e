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

// The virtual screen: the rectangle that holds every monitor, in physical pixels. Its
// origin is negative when a monitor lies left of or above the primary one. With one
// monitor it is the desktop window's rectangle.
RECT VirtualScreen();

// Every monitor as it is now, in a memory context that owns the picture: the virtual
// screen plus one pixel to the right and below (left black), its top-left pixel being the
// virtual screen's.
std::unique_ptr<MemoryDC> CaptureDesktop();

}  // namespace kelna
