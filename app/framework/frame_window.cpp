#include "app/framework/frame_window.h"

namespace kelna {

TFrameWindow::TFrameWindow(TWindow* parent, std::wstring_view title, std::unique_ptr<TWindow> client,
                           bool shrinkToClient)
    : TWindow(parent, title), client_(std::move(client)), shrinkToClient_(shrinkToClient) {
  Attr.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  if (client_) {
    client_->SetParent(this);
    client_->Attr.Style |= WS_CHILD | WS_VISIBLE;
  }
}

TFrameWindow::~TFrameWindow() {
  // The client goes first, while the frame it lives in still exists.
  client_.reset();
  Destroy();
  if (bigIcon_) ::DestroyIcon(bigIcon_);
  if (smallIcon_) ::DestroyIcon(smallIcon_);
}

const TResponseTable& TFrameWindow::Table() {
  static constexpr TResponseEntry entries[] = {
      OnMessage<&TFrameWindow::EvSize>(WM_SIZE),
      OnMessage<&TFrameWindow::EvSetFocus>(WM_SETFOCUS),
      OnMessage<&TFrameWindow::EvInitMenuPopup>(WM_INITMENUPOPUP),
      OnCommand<&TFrameWindow::CmExit>(kExitCommand),
  };
  static const TResponseTable table{entries, &TWindow::Table()};
  return table;
}

HMENU TFrameWindow::MenuForCreate() {
  if (Attr.Style & WS_CHILD || !menuResourceId_) return TWindow::MenuForCreate();
  return ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuResourceId_));
}

void TFrameWindow::SetupWindow() {
  TWindow::SetupWindow();
  ShowIcon();
  if (client_) {
    client_->SetApplication(GetApplication());
    client_->Create();
    if (shrinkToClient_) FitToClient();
    RECT area = GetClientRect();
    ::MoveWindow(client_->GetHandle(), 0, 0, area.right, area.bottom, TRUE);
  }
}

void TFrameWindow::FitToClient() {
  RECT wanted = client_->GetWindowRect();
  ::OffsetRect(&wanted, -wanted.left, -wanted.top);
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(GetHandle(), GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(GetHandle(), GWL_EXSTYLE));
  ::AdjustWindowRectEx(&wanted, style, ::GetMenu(GetHandle()) != nullptr, exStyle);
  SetWindowPos(nullptr, 0, 0, wanted.right - wanted.left, wanted.bottom - wanted.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFrameWindow::SetIcon(int iconResourceId) {
  iconResourceId_ = iconResourceId;
  if (GetHandle()) ShowIcon();
}

void TFrameWindow::ShowIcon() {
  if (!iconResourceId_) return;
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  auto load = [&](int metricX, int metricY) {
    return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(iconResourceId_), IMAGE_ICON,
                                           ::GetSystemMetrics(metricX), ::GetSystemMetrics(metricY), 0));
  };
  HICON big = load(SM_CXICON, SM_CYICON);
  HICON small = load(SM_CXSMICON, SM_CYSMICON);
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (bigIcon_) ::DestroyIcon(bigIcon_);
  if (smallIcon_) ::DestroyIcon(smallIcon_);
  bigIcon_ = big;
  smallIcon_ = small;
}

void TFrameWindow::AssignMenu(int menuResourceId) {
  menuResourceId_ = menuResourceId;
  if (!GetHandle()) return;
  HMENU previous = ::GetMenu(GetHandle());
  ::SetMenu(GetHandle(), ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuResourceId)));
  if (previous) ::DestroyMenu(previous);
}

bool TFrameWindow::RouteCommand(UINT id) {
  if (client_ && client_->RouteCommand(id)) return true;
  return TWindow::RouteCommand(id);
}

bool TFrameWindow::TakesCommand(UINT id) const {
  return (client_ && client_->TakesCommand(id)) || TWindow::TakesCommand(id);
}

bool TFrameWindow::CanClose() { return !client_ || !client_->GetHandle() || client_->CanClose(); }

LRESULT TFrameWindow::EvInitMenuPopup(WPARAM wParam, LPARAM lParam) {
  auto* menu = reinterpret_cast<HMENU>(wParam);
  const int count = ::GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    const UINT id = ::GetMenuItemID(menu, position);
    if (id == 0 || id == static_cast<UINT>(-1)) continue;  // a separator or a submenu
    if (CommandFindsHandler(id)) ::EnableMenuItem(menu, static_cast<UINT>(position), MF_BYPOSITION | MF_ENABLED);
  }
  return DefaultProcessing(WM_INITMENUPOPUP, wParam, lParam);
}

void TFrameWindow::CmExit() { PostMessage(WM_CLOSE); }

LRESULT TFrameWindow::EvSize(WPARAM wParam, LPARAM lParam) {
  if (client_ && client_->GetHandle() && wParam != SIZE_MINIMIZED) {
    ::MoveWindow(client_->GetHandle(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
  }
  return DefaultProcessing(WM_SIZE, wParam, lParam);
}

void TFrameWindow::EvSetFocus() {
  if (client_ && client_->GetHandle()) ::SetFocus(client_->GetHandle());
}

}  // namespace kelna
