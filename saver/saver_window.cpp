#include "saver/saver_window.h"

#include <imm.h>
#include <mmsystem.h>

#include <ctime>
#include <cwchar>

#include "engine/sprite_animation.h"
#include "platform/random.h"
#include "platform/win32/window_presenter.h"

namespace kelna {

TWndw::TWndw(SaverHost& host, TWindow* parent, std::wstring_view title, std::unique_ptr<TWindow> client)
    : TFrameWindow(parent, title, std::move(client), false), host_(host) {
  ::GetCursorPos(&startPoint);
  ::ShowCursor(FALSE);
  Attr.Style = WS_POPUP;
  Attr.X = 0;
  Attr.Y = 0;
  Attr.W = ::GetSystemMetrics(SM_CXFULLSCREEN);
  Attr.H = ::GetSystemMetrics(SM_CYFULLSCREEN) + ::GetSystemMetrics(SM_CYCAPTION);
  SeedRandom(RandomSeed());
}

// The clock, unless the test hook KELNA_RANDOM_SEED fixes the sequence (end-to-end tests
// compare the saver's pictures with kelna-tool's for the same seed).
std::uint32_t TWndw::RandomSeed() {
  wchar_t text[32] = {};
  if (::GetEnvironmentVariableW(L"KELNA_RANDOM_SEED", text, 32) > 0 && text[0] != L'\0')
    return static_cast<std::uint32_t>(std::wcstoul(text, nullptr, 10));
  return static_cast<std::uint32_t>(std::time(nullptr));
}

TWndw::~TWndw() {
  client_.reset();
  if (GetHandle()) ::KillTimer(GetHandle(), SaverTimerId);
  ::ShowCursor(TRUE);
}

const TResponseTable& TWndw::Table() {
  static constexpr TResponseEntry entries[] = {
      OnMessage<&TWndw::EvCreate>(WM_CREATE),
      OnMessage<&TWndw::EvLButtonDown>(WM_LBUTTONDOWN),
      OnMessage<&TWndw::EvMButtonDown>(WM_MBUTTONDOWN),
      OnMessage<&TWndw::EvRButtonDown>(WM_RBUTTONDOWN),
      OnMessage<&TWndw::EvMouseMove>(WM_MOUSEMOVE),
      OnMessage<&TWndw::EvSysCommand>(WM_SYSCOMMAND),
      OnMessage<&TWndw::EvActivate>(WM_ACTIVATE),
      OnMessage<&TWndw::EvActivateApp>(WM_ACTIVATEAPP),
      OnMessage<&TWndw::EvSysKeyDown>(WM_SYSKEYDOWN),
      OnMessage<&TWndw::EvKeyDown>(WM_KEYDOWN),
      OnMessage<&TWndw::EvTimer>(WM_TIMER),
      OnMessage<&TWndw::EvPlayRepeat>(MM_MCINOTIFY),
  };
  static const TResponseTable table{entries, &TFrameWindow::Table()};
  return table;
}

void TWndw::SetupWindow() {
  TFrameWindow::SetupWindow();
  // Every monitor: a saver that left one showing would show the user's windows.
  const RECT desktop = VirtualScreen();
  SetWindowPos(nullptr, desktop.left, desktop.top, desktop.right - desktop.left,
               desktop.bottom - desktop.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TWndw::GetWindowClass(WNDCLASSEXW& windowClass) {
  TFrameWindow::GetWindowClass(windowClass);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  windowClass.style |= CS_OWNDC;  // the context is kept from frame to frame
}

LRESULT TWndw::EvCreate(WPARAM wParam, LPARAM create) {
  const LRESULT result = DefaultProcessing(WM_CREATE, wParam, create);
  ::SetTimer(GetHandle(), SaverTimerId, static_cast<UINT>(host_.IntervalTime()), nullptr);
  return result;
}

void TWndw::EvTimer(WPARAM id, LPARAM) {
  if (id == SaverTimerId) DoSaver();
}

void TWndw::DoSaver() {
  // A message box shown by the set-up (a music error) runs its own message loop, in
  // which more ticks arrive: the set-up never runs twice, and no frame is drawn before it
  // has finished.
  if (settingUp_) return;
  if (!started) {
    settingUp_ = true;
    if (HWND ime = ::ImmGetDefaultIMEWnd(GetHandle())) ::SendMessageA(ime, WM_IME_CONTROL, IMC_CLOSESTATUSWINDOW, 0);
    host_.InitAnimation();
    started = 1;
    settingUp_ = false;
    // The user answered a box of ours, perhaps with the mouse: from here on only a move
    // away from where the cursor is now ends the saver.
    if (interrupted_) ::GetCursorPos(&startPoint);
    return;
  }
  if (!client_) client_ = std::make_unique<ClientContext>(GetHandle());
  host_.Scene().Animate(client_->Context(), 0, 0);
}

// Posted, not sent: the handler that saw the input returns before the window goes.
void TWndw::Close() {
  PostMessage(WM_CLOSE);
}

// The start point is in screen coordinates; the window lies at the virtual screen's origin,
// which is not (0, 0) when a monitor lies left of or above the primary one. The report that
// comes when the window appears under a still cursor is not a movement.
void TWndw::EvMouseMove(WPARAM, LPARAM point) {
  POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
  ::ClientToScreen(GetHandle(), &at);
  if (at.x != startPoint.x || at.y != startPoint.y) Close();
}

// A request to start the screen saver while it runs is swallowed.
LRESULT TWndw::EvSysCommand(WPARAM type, LPARAM point) {
  if ((type & 0xFFF0) == SC_SCREENSAVE) return 0;
  return DefaultProcessing(WM_SYSCOMMAND, type, point);
}

// The set-up's own message box takes the activation for a moment; that is not the user.
void TWndw::EvActivate(WPARAM state, LPARAM) {
  if (LOWORD(state) == WA_INACTIVE) Deactivated();
}

void TWndw::EvActivateApp(WPARAM active, LPARAM) {
  if (!active) Deactivated();
}

void TWndw::Deactivated() {
  if (settingUp_) {
    interrupted_ = true;
    return;
  }
  Close();
}

LRESULT TWndw::EvPlayRepeat(WPARAM, LPARAM device) {
  return host_.MusicEnded(LOWORD(device), GetHandle());
}

}  // namespace kelna
