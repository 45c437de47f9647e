#include "app/framework/window.h"

#include <system_error>

#include "app/framework/application.h"

namespace kelna {

namespace {

// The window property that holds a window's object. A property (rather than the class's
// user data) works for every kind of window, dialogs and subclassed controls included.
constexpr wchar_t kObjectProperty[] = L"KelnaWindowObject";

// Windows of our own classes keep their object in the window's extra bytes as well: the
// window procedure reads it for every message, and reading a property is a round trip to
// the server under Wine (twice a frame for the running saver's timer alone).
constexpr int kObjectSlot = 0;

}  // namespace

TWindow::TWindow(TWindow* parent, std::wstring_view title)
    : parent_(parent), application_(parent ? parent->GetApplication() : nullptr), title_(title) {}

TWindow::TWindow(HWND foreign) : handle_(foreign), foreign_(true) {}

TWindow::~TWindow() {
  if (!foreign_ && handle_) Destroy();
}

const TResponseTable& TWindow::Table() {
  static constexpr TResponseEntry entries[] = {
      OnMessage<&TWindow::EvClose>(WM_CLOSE),
  };
  static const TResponseTable table{entries, &TEventHandler::Table()};
  return table;
}

TWindow* TWindow::FromHandle(HWND handle) {
  return handle ? static_cast<TWindow*>(::GetPropW(handle, kObjectProperty)) : nullptr;
}

void TWindow::GetWindowClass(WNDCLASSEXW& windowClass) {
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &TWindow::WindowProc;
  windowClass.cbWndExtra = sizeof(TWindow*);  // kObjectSlot
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = GetClassName();
}

void TWindow::RegisterClassOnce() {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(::GetModuleHandleW(nullptr), GetClassName(), &existing)) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  GetWindowClass(windowClass);
  if (!::RegisterClassExW(&windowClass)) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "RegisterClassEx");
  }
}

HMENU TWindow::MenuForCreate() {
  if (Attr.Style & WS_CHILD) return reinterpret_cast<HMENU>(static_cast<INT_PTR>(Attr.Id));
  return nullptr;
}

void TWindow::Create() {
  if (handle_) return;
  RegisterClassOnce();
  // CW_USEDEFAULT is only meaningful for overlapped windows; popups and children start at 0.
  const bool overlapped = !(Attr.Style & (WS_CHILD | WS_POPUP));
  auto place = [overlapped](int value) { return value == CW_USEDEFAULT && !overlapped ? 0 : value; };
  HWND parentHandle = parent_ ? parent_->GetHandle() : nullptr;
  HWND created = ::CreateWindowExW(Attr.ExStyle, GetClassName(), title_.c_str(), Attr.Style,
                                   place(Attr.X), place(Attr.Y), place(Attr.W), place(Attr.H),
                                   parentHandle, MenuForCreate(), ::GetModuleHandleW(nullptr), this);
  if (!created) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "CreateWindowEx");
  }
  SetupWindow();
}

void TWindow::Destroy() {
  if (handle_ && !foreign_) ::DestroyWindow(handle_);
}

void TWindow::Bind(HWND handle) {
  handle_ = handle;
  ::SetPropW(handle, kObjectProperty, this);
}

void TWindow::Unbind() {
  ::RemovePropW(handle_, kObjectProperty);
  handle_ = nullptr;
}

void TWindow::SetCaption(std::wstring_view title) {
  title_ = title;
  if (handle_) ::SetWindowTextW(handle_, title_.c_str());
}

std::wstring TWindow::GetCaption() const {
  if (!handle_) return title_;
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(handle_)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(handle_, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool TWindow::SetWindowPos(HWND insertAfter, int x, int y, int w, int h, UINT flags) {
  return ::SetWindowPos(handle_, insertAfter, x, y, w, h, flags) != FALSE;
}

RECT TWindow::GetWindowRect() const {
  RECT rect{};
  ::GetWindowRect(handle_, &rect);
  return rect;
}

RECT TWindow::GetClientRect() const {
  RECT rect{};
  ::GetClientRect(handle_, &rect);
  return rect;
}

bool TWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageW(handle_, message, wParam, lParam) != FALSE;
}

LRESULT TWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageW(handle_, message, wParam, lParam);
}

void TWindow::Paint(HDC, bool, const RECT&) {}

LRESULT TWindow::DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(handle_, message, wParam, lParam);
}

LRESULT TWindow::EvClose(WPARAM, LPARAM) {
  if (CanClose()) Destroy();
  return 0;
}

bool TWindow::RouteCommand(UINT id) { return DispatchCommand(id); }

bool TWindow::TakesCommand(UINT id) const {
  return ResponseTable().Find(TResponseEntry::Kind::Command, id) != nullptr;
}

bool TWindow::CommandFindsHandler(UINT id) const {
  for (HWND focus = ::GetFocus(); focus && focus != handle_; focus = ::GetParent(focus)) {
    const TWindow* window = FromHandle(focus);
    if (window && window->TakesCommand(id)) return true;
  }
  if (TakesCommand(id)) return true;
  return application_ && application_->ResponseTable().Find(TResponseEntry::Kind::Command, id);
}

LRESULT TWindow::HandleCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  const HWND control = reinterpret_cast<HWND>(lParam);
  if (control) {
    // A control's notification goes to its parent's table; a button's click (code 0) is
    // also a command, as from a menu.
    if (DispatchNotify(id, code, control)) return 0;
    if (code == BN_CLICKED && RouteCommand(id)) return 0;
    return DefaultProcessing(WM_COMMAND, wParam, lParam);
  }
  // A menu or accelerator command: offered to the focused window and its parents below
  // this one, then to this window (a frame asks its client first), then to the application.
  for (HWND focus = ::GetFocus(); focus && focus != handle_; focus = ::GetParent(focus)) {
    TWindow* window = FromHandle(focus);
    if (window && window->DispatchCommand(id)) return 0;
  }
  if (RouteCommand(id)) return 0;
  if (application_ && application_->DispatchCommand(id)) return 0;
  return DefaultProcessing(WM_COMMAND, wParam, lParam);
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  switch (message) {
    case WM_COMMAND:
      if (DispatchMsg(message, wParam, lParam, result)) return result;
      return HandleCommand(wParam, lParam);
    case WM_PAINT:
      if (DispatchMsg(message, wParam, lParam, result)) return result;
      {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(handle_, &paint);
        Paint(dc, paint.fErase != FALSE, paint.rcPaint);
        ::EndPaint(handle_, &paint);
      }
      return 0;
    case WM_DESTROY:
      if (!DispatchMsg(message, wParam, lParam, result)) result = DefaultProcessing(message, wParam, lParam);
      // The main window's end is the end of the message loop.
      if (application_ && application_->GetMainWindow() == this) ::PostQuitMessage(0);
      return result;
    case WM_NCDESTROY:
      result = DefaultProcessing(message, wParam, lParam);
      Unbind();
      return result;
    default:
      if (DispatchMsg(message, wParam, lParam, result)) return result;
      return DefaultProcessing(message, wParam, lParam);
  }
}

LRESULT CALLBACK TWindow::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(handle, kObjectSlot, reinterpret_cast<LONG_PTR>(created));
    created->Bind(handle);
  }
  // Messages before WM_NCCREATE (WM_GETMINMAXINFO) have no object yet; after
  // WM_NCDESTROY the object has let the window go.
  auto* window = reinterpret_cast<TWindow*>(::GetWindowLongPtrW(handle, kObjectSlot));
  if (!window) return ::DefWindowProcW(handle, message, wParam, lParam);
  if (message == WM_NCDESTROY) ::SetWindowLongPtrW(handle, kObjectSlot, 0);
  return window->HandleMessage(message, wParam, lParam);
}

}  // namespace kelna
