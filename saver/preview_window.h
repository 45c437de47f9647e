#pragma once
// TSmallWindow: the preview shown inside the host's preview pane. It fills the pane and
// draws the program's icon in its middle; nothing moves.

#include "app/framework/frame_window.h"

namespace kelna {

class TSmallWindow : public TFrameWindow {
 public:
  explicit TSmallWindow(TWindow* host);

  // Where the 32 x 32 icon goes in a preview of the given size: (size - 32) / 2, truncated
  // towards zero, so a pane narrower than 31 pixels puts it at a negative offset.
  static POINT IconPosition(int width, int height);

 protected:
  void SetupWindow() override;
  void Paint(HDC dc, bool erase, const RECT& rect) override;

 private:
  int width = 0;   // the host's width + 1
  int height = 0;  // the host's height + 1
};

}  // namespace kelna
