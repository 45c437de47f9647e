#include "saver/saver_window.h"

#include <windowsx.h>

#include <ctime>

#include "platform/random.h"

namespace kelna {

TWndw::TWndw(TWindow* parent, std::wstring_view title, std::unique_ptr<TWindow> client)
    : TFrameWindow(parent, title, std::move(client), false) {
  ::GetCursorPos(&startPoint);
  ::ShowCursor(FALSE);
  Attr.Style = WS_POPUP;
  Attr.X = 0;
  Attr.Y = 0;
  Attr.W = ::GetSystemMetrics(SM_CXFULLSCREEN);
  Attr.H = ::GetSystemMetrics(SM_CYFULLSCREEN) + ::GetSystemMetrics(SM_CYCAPTION);
  SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
}

TWndw::~TWndw() {
  ::ShowCursor(TRUE);
}

const TResponseTable& TWndw::Table() {
  static constexpr TResponseEntry entries[] = {
      OnMessage<&TWndw::EvLButtonDown>(WM_LBUTTONDOWN),
      OnMessage<&TWndw::EvMButtonDown>(WM_MBUTTONDOWN),
      OnMessage<&TWndw::EvRButtonDown>(WM_RBUTTONDOWN),
      OnMessage<&TWndw::EvMouseMove>(WM_MOUSEMOVE),
      OnMessage<&TWndw::EvSysCommand>(WM_SYSCOMMAND),
      OnMessage<&TWndw::EvActivate>(WM_ACTIVATE),
      OnMessage<&TWndw::EvActivateApp>(WM_ACTIVATEAPP),
      OnMessage<&TWndw::EvSysKeyDown>(WM_SYSKEYDOWN),
      OnMessage<&TWndw::EvKeyDown>(WM_KEYDOWN),
  };
  static const TResponseTable table{entries, &TFrameWindow::Table()};
  return table;
}

void TWndw::SetupWindow() {
  TFrameWindow::SetupWindow();
  RECT desktop{};
  ::GetWindowRect(::GetDesktopWindow(), &desktop);
  SetWindowPos(nullptr, desktop.left, desktop.top, desktop.right - desktop.left,
               desktop.bottom - desktop.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TWndw::GetWindowClass(WNDCLASSEXW& windowClass) {
  TFrameWindow::GetWindowClass(windowClass);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
}

// Posted, not sent: the handler that saw the input returns before the window goes.
void TWndw::Close() {
  PostMessage(WM_CLOSE);
}

// The window lies at the desktop's origin, so client coordinates are screen coordinates.
// The report that comes when the window appears under a still cursor is not a movement.
void TWndw::EvMouseMove(WPARAM, LPARAM point) {
  if (GET_X_LPARAM(point) != startPoint.x || GET_Y_LPARAM(point) != startPoint.y) Close();
}

// A request to start the screen saver while it runs is swallowed.
LRESULT TWndw::EvSysCommand(WPARAM type, LPARAM point) {
  if ((type & 0xFFF0) == SC_SCREENSAVE) return 0;
  return DefaultProcessing(WM_SYSCOMMAND, type, point);
}

void TWndw::EvActivate(WPARAM state, LPARAM) {
  if (LOWORD(state) == WA_INACTIVE) Close();
}

void TWndw::EvActivateApp(WPARAM active, LPARAM) {
  if (!active) Close();
}

}  // namespace kelna
