#pragma once
// What the player asks of the X server through a connection of its own: the desktop as it
// was before the saver's window appeared, for the desktop background mode (inside
// XScreenSaver the screenshot it took before blanking, the pixmap its window names in
// _SCREENSAVER_SCREENSHOT; otherwise the root window's picture), and the root window.

#include <atomic>
#include <memory>

#include "platform/raster.h"

struct _XImage;
struct _XDisplay;

namespace kelna {

// An open connection to the X server named by DISPLAY.
class XConnection {
 public:
  // Throws PlayerError when the display cannot be opened.
  XConnection();
  ~XConnection();
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  unsigned long Root() const;
  // The picture in a memory context that owns it, or nullptr when the X server gives none
  // (the scene then shows black, as the centred mode without a picture). `saverWindow` is
  // XScreenSaver's window (0: none).
  std::unique_ptr<MemoryDC> CaptureDesktop(unsigned long saverWindow) const;

 private:
  _XDisplay* display_;
};

// From now on an X error about a window or drawable sets `windowLost` instead of ending
// the process (the window given to us goes away when XScreenSaver is done with it).
void NoteLostWindows(std::atomic<bool>& windowLost);

// An X image (of any depth and byte order) as our pixels; nullptr for an image whose
// colours are not true colour masks or whose size the raster cannot hold.
std::unique_ptr<Bitmap> BitmapFromImage(_XImage& image);

}  // namespace kelna
