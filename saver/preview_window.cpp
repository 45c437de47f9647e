#include "saver/preview_window.h"

#include "resources/resource_ids.h"

namespace kelna {

TSmallWindow::TSmallWindow(TWindow* host) : TFrameWindow(host, L"", nullptr, false) {
  Attr.Style = WS_CHILD | WS_VISIBLE;
}

POINT TSmallWindow::IconPosition(int width, int height) {
  return POINT{(width - 32) / 2, (height - 32) / 2};
}

void TSmallWindow::SetupWindow() {
  TFrameWindow::SetupWindow();
  RECT host{};
  ::GetWindowRect(GetParent()->GetHandle(), &host);
  height = host.bottom - host.top + 1;
  width = host.right - host.left + 1;
  SetWindowPos(nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TSmallWindow::Paint(HDC dc, bool, const RECT&) {
  HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(KELNA_ICON_ID));
  if (!icon) return;
  const POINT at = IconPosition(width, height);
  ::DrawIcon(dc, at.x, at.y, icon);
  // Icons from LoadIcon are shared by the system and are not destroyed.
}

}  // namespace kelna
