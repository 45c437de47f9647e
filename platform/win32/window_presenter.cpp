#include "platform/win32/window_presenter.h"

#include <vector>

namespace kelna {
namespace {

// Our bitmaps as a top-down 32-bit DIB: rows top first, 0x00RRGGBB is blue, green, red, 0.
BITMAPINFO TopDownInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace

void WindowPresenter::Blit(const Rect& target, const Bitmap& source, int sourceX, int sourceY, RasterOp op) {
  const BITMAPINFO info = TopDownInfo(source.Width(), source.Height());
  // In a top-down DIB the source rectangle is measured from the top row.
  ::StretchDIBits(dc_, target.left, target.top, target.Width(), target.Height(), sourceX, sourceY,
                  target.Width(), target.Height(), source.Pixels().data(), &info, DIB_RGB_COLORS,
                  static_cast<DWORD>(op));
}

void WindowPresenter::Fill(const Rect& target, Pixel colour) {
  HBRUSH brush = ::CreateSolidBrush(RGB(colour >> 16 & 0xFF, colour >> 8 & 0xFF, colour & 0xFF));
  const RECT rect{target.left, target.top, target.right, target.bottom};
  ::FillRect(dc_, &rect, brush);
  ::DeleteObject(brush);
}

ClientContext::ClientContext(HWND window)
    : window_(window), dc_(::GetDC(window)), presenter_(dc_) {
  RECT client{};
  ::GetClientRect(window, &client);
  width_ = client.right - client.left;
  height_ = client.bottom - client.top;
  context_ = std::make_unique<WindowDC>(presenter_, width_, height_);
}

ClientContext::~ClientContext() {
  context_.reset();
  ::ReleaseDC(window_, dc_);
}

RECT VirtualScreen() {
  const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN), top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN), height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width > 0 && height > 0) return {left, top, left + width, top + height};
  RECT desktop{};  // a system without the metrics: the primary monitor
  ::GetWindowRect(::GetDesktopWindow(), &desktop);
  return desktop;
}

// A GDI object selected into a device context while this lives; the one before comes back.
class SelectedGdiObject {
 public:
  SelectedGdiObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~SelectedGdiObject() { ::SelectObject(dc_, previous_); }
  SelectedGdiObject(const SelectedGdiObject&) = delete;
  SelectedGdiObject& operator=(const SelectedGdiObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

std::unique_ptr<MemoryDC> CaptureDesktop() {
  const RECT desktop = VirtualScreen();
  const int width = desktop.right - desktop.left + 1;
  const int height = desktop.bottom - desktop.top + 1;
  auto capture = std::make_unique<MemoryDC>();
  auto bitmap = CreateCompatibleBitmap(*capture, width, height);
  if (!bitmap) return capture;

  // The screen is copied into a 32-bit DIB section whose rows are then our pixels.
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info = TopDownInfo(width, height);
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section && bits) {
    const SelectedGdiObject selected(memory, section);
    // The picture is a pixel larger than the screen each way; the copy takes the screen
    // itself (Wine refuses a copy that reaches past it) and leaves the rest black.
    ::BitBlt(memory, 0, 0, width - 1, height - 1, screen, desktop.left, desktop.top, SRCCOPY);
    ::GdiFlush();
    const auto* pixels = static_cast<const Pixel*>(bits);
    auto out = bitmap->Pixels();
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = pixels[i] & 0xFFFFFF;
  }
  if (section) ::DeleteObject(section);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  // Should the picture not go in, the capture stays empty, as when it could not be made.
  static_cast<void>(capture->SelectOwned(std::move(bitmap)));
  return capture;
}

}  // namespace kelna
