#include "linux/desktop_capture.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <bit>
#include <cstdint>
#include <optional>

#include "linux/sdl_handles.h"

namespace kelna {
namespace {

using XImagePtr = std::unique_ptr<XImage, FreeWith<[](XImage* image) { XDestroyImage(image); }>>;

// Xlib's default handler ends the process on an error; a refused capture is no reason to.
bool failed = false;
int RememberError(Display*, XErrorEvent*) {
  failed = true;
  return 0;
}

class QuietErrors {
 public:
  QuietErrors() : previous_(XSetErrorHandler(RememberError)) { failed = false; }
  ~QuietErrors() { XSetErrorHandler(previous_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  int (*previous_)(Display*, XErrorEvent*);
};

// The screenshot pixmap XScreenSaver keeps on its window, if any.
std::optional<Pixmap> SaverScreenshot(Display* display, Window window) {
  if (window == None) return {};
  const Atom property = XInternAtom(display, "_SCREENSAVER_SCREENSHOT", True);
  if (property == None) return {};
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, window, property, 0, 1, False, XA_PIXMAP, &type, &format,
                                        &count, &after, &data);
  std::optional<Pixmap> pixmap;
  if (status == Success && type == XA_PIXMAP && format == 32 && count == 1 && data)
    pixmap = Pixmap(*reinterpret_cast<unsigned long*>(data));
  if (data) XFree(data);
  return pixmap;
}

XImagePtr Picture(Display* display, Drawable drawable) {
  Window root = None;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  if (!XGetGeometry(display, drawable, &root, &x, &y, &width, &height, &border, &depth)) return nullptr;
  XImagePtr image(XGetImage(display, drawable, 0, 0, width, height, AllPlanes, ZPixmap));
  XSync(display, False);
  return failed ? nullptr : std::move(image);
}

// 0 ... 255 from the bits of `mask` in `pixel`.
std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const unsigned long top = mask >> shift;
  return std::uint32_t(((pixel & mask) >> shift) * 255 / top);
}

}  // namespace

std::unique_ptr<Bitmap> BitmapFromImage(XImage& image) {
  if (image.red_mask == 0 || image.green_mask == 0 || image.blue_mask == 0) return nullptr;
  // A size the raster cannot draw (past its side or pixel limit) is no picture.
  auto bitmap = CreateCompatibleBitmap(MemoryDC(), image.width, image.height);
  if (!bitmap) return nullptr;
  const int nativeOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  const bool plain = image.bits_per_pixel == 32 && image.red_mask == 0xFF0000 && image.green_mask == 0xFF00 &&
                     image.blue_mask == 0xFF && image.byte_order == nativeOrder;
  for (int y = 0; y < image.height; ++y) {
    std::span<Pixel> row = bitmap->Row(y);
    if (plain) {
      const char* rowStart = image.data + std::size_t(y) * std::size_t(image.bytes_per_line);
      const auto* from = reinterpret_cast<const std::uint32_t*>(rowStart);
      for (int x = 0; x < image.width; ++x) row[std::size_t(x)] = from[x] & 0xFFFFFF;
      continue;
    }
    for (int x = 0; x < image.width; ++x) {
      const unsigned long pixel = XGetPixel(&image, x, y);
      row[std::size_t(x)] = (Channel(pixel, image.red_mask) << 16) | (Channel(pixel, image.green_mask) << 8) |
                            Channel(pixel, image.blue_mask);
    }
  }
  return bitmap;
}

XConnection::XConnection() : display_(XOpenDisplay(nullptr)) {
  if (!display_) throw PlayerError("cannot open the X display (is DISPLAY set?)");
}

XConnection::~XConnection() { XCloseDisplay(display_); }

unsigned long XConnection::Root() const { return DefaultRootWindow(display_); }

std::unique_ptr<MemoryDC> XConnection::CaptureDesktop(unsigned long saverWindow) const {
  Display* display = display_;
  const QuietErrors quiet;
  XImagePtr image;
  if (const auto screenshot = SaverScreenshot(display, saverWindow)) image = Picture(display, *screenshot);
  if (!image) {
    failed = false;
    image = Picture(display, DefaultRootWindow(display));
  }
  if (!image) return nullptr;
  std::unique_ptr<Bitmap> bitmap = BitmapFromImage(*image);
  auto desktop = CreateCompatibleDC(nullptr);
  if (!bitmap || !desktop->SelectOwned(std::move(bitmap))) return nullptr;
  return desktop;
}

namespace {
std::atomic<bool>* lostFlag = nullptr;
int NoteXError(Display*, XErrorEvent* error) {
  if (lostFlag && (error->error_code == BadWindow || error->error_code == BadDrawable)) *lostFlag = true;
  return 0;
}
}  // namespace

void NoteLostWindows(std::atomic<bool>& windowLost) {
  lostFlag = &windowLost;
  XSetErrorHandler(NoteXError);
}

}  // namespace kelna
