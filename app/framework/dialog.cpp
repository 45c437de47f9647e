#include "app/framework/dialog.h"

#include <stdexcept>
#include <system_error>

#include "app/framework/application.h"
#include "app/framework/controls.h"
#include "app/framework/frame_window.h"

namespace kelna {

namespace {

// Posted to a modal dialog once it is set up, so that the application's answers can drive
// it from inside its own message loop.
UINT ShownMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"KelnaDialogShown");
  return message;
}

}  // namespace

TDialog::TDialog(TWindow* parent, int templateId) : TWindow(parent, L""), templateId_(templateId) {}

TDialog::~TDialog() {
  // Controls that outlive us (they never should) must not call back.
  for (TControl* control : controls_) control->BindTo(nullptr);
  Destroy();
}

const TResponseTable& TDialog::Table() {
  static constexpr TResponseEntry entries[] = {
      OnCommand<&TDialog::CmOk>(IDOK),
      OnCommand<&TDialog::CmCancel>(IDCANCEL),
      OnMessage<&TDialog::EvClose>(WM_CLOSE),
  };
  static const TResponseTable table{entries, &TWindow::Table()};
  return table;
}

void TDialog::Register(TControl& control) { controls_.push_back(&control); }

void TDialog::Unregister(TControl& control) { std::erase(controls_, &control); }

int TDialog::Execute() {
  modal_ = true;
  HWND owner = GetParent() ? GetParent()->GetHandle() : nullptr;
  const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_),
                                           owner, &TDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  modal_ = false;
  if (result == -1) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "DialogBoxParam");
  }
  return static_cast<int>(result);
}

void TDialog::Create() {
  if (GetHandle()) return;
  modal_ = false;
  HWND parent = GetParent() ? GetParent()->GetHandle() : nullptr;
  if (!::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                            &TDialog::DialogProc, reinterpret_cast<LPARAM>(this))) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateDialogParam");
  }
}

void TDialog::SetupWindow() {
  TWindow::SetupWindow();
  for (TControl* control : controls_) control->BindTo(GetHandle());
  TransferData(TTransferDirection::SetData);
}

void TDialog::TransferData(TTransferDirection direction) {
  if (transferBuffer_.empty()) return;
  std::size_t next = 0;
  for (TControl* control : controls_) {
    if (!control->Transfers()) continue;
    if (next == transferBuffer_.size()) throw std::logic_error("transfer buffer shorter than the controls");
    control->Transfer(transferBuffer_[next++], direction);
  }
}

void TDialog::CmOk() {
  if (!CanClose()) return;
  TransferData(TTransferDirection::GetData);
  CloseWindow(IDOK);
}

void TDialog::CmCancel() { CloseWindow(IDCANCEL); }

LRESULT TDialog::EvClose(WPARAM, LPARAM) {
  CmCancel();
  return 0;
}

void TDialog::CloseWindow(int result) {
  if (modal_) {
    ::EndDialog(GetHandle(), result);
    return;
  }
  auto* frame = dynamic_cast<TFrameWindow*>(GetParent());
  if (frame && frame->GetClientWindow() == this) {
    frame->PostMessage(WM_CLOSE);
    return;
  }
  Destroy();
}

LRESULT TDialog::DefaultProcessing(UINT, WPARAM, LPARAM) {
  defaulted_ = true;
  return 0;
}

void TDialog::NotifyShown() {
  TApplication* application = GetApplication();
  if (modal_ && application && application->answers.modalDialogShown) PostMessage(ShownMessage());
}

void TDialog::EvShown() {
  TApplication* application = GetApplication();
  if (!application || !application->answers.modalDialogShown) return;
  // The dialog manager shows a modal dialog only once its queue is empty, which our posted
  // message is not: show it now, so that the answer meets a dialog as the user would.
  if (!::IsWindowVisible(GetHandle())) ::ShowWindow(GetHandle(), SW_SHOWNORMAL);
  application->answers.modalDialogShown(*this);
}

INT_PTR TDialog::Answer(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ShownMessage()) {
    EvShown();
    return TRUE;
  }
  // Painting is the dialog manager's unless a table asks for it.
  if (message == WM_PAINT && !ResponseTable().Find(TResponseEntry::Kind::Message, WM_PAINT)) return FALSE;
  if (message == WM_COMMAND && lParam != 0) {
    for (TControl* control : controls_) {
      if (control->GetId() == LOWORD(wParam)) control->Notified(HIWORD(wParam));
    }
  }
  const bool outer = defaulted_;
  defaulted_ = false;
  const LRESULT result = HandleMessage(message, wParam, lParam);
  const bool defaulted = defaulted_;
  defaulted_ = outer;
  if (defaulted) return FALSE;
  if (GetHandle()) ::SetWindowLongPtrW(GetHandle(), DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CALLBACK TDialog::DialogProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<TDialog*>(lParam);
    dialog->Bind(handle);
    dialog->SetupWindow();
    dialog->NotifyShown();
    return TRUE;  // the dialog manager focuses the first control
  }
  auto* dialog = dynamic_cast<TDialog*>(FromHandle(handle));
  return dialog ? dialog->Answer(message, wParam, lParam) : FALSE;
}

}  // namespace kelna
