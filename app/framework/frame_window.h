#pragma once
// TFrameWindow: a top-level (or, with WS_CHILD, embedded) window that may show a client
// window filling its client area, carry a menu and an icon.

#include <memory>

#include "app/framework/window.h"

namespace kelna {

// The framework's own command: close the main window (File > Exit).
inline constexpr UINT kExitCommand = 24310;

class TFrameWindow : public TWindow {
 public:
  // With shrinkToClient the frame takes the size that fits the client exactly.
  TFrameWindow(TWindow* parent, std::wstring_view title, std::unique_ptr<TWindow> client = nullptr,
               bool shrinkToClient = false);
  ~TFrameWindow() override;

  static const TResponseTable& Table();
  const TResponseTable& ResponseTable() const override { return Table(); }

  TWindow* GetClientWindow() const { return client_.get(); }

  // The icon of a resource of this program, shown in the caption and the task switcher.
  void SetIcon(int iconResourceId);
  // The menu resource of this program; before creation it is used when the window is made.
  void AssignMenu(int menuResourceId);

  bool RouteCommand(UINT id) override;
  bool TakesCommand(UINT id) const override;
  // A frame may close when its client may.
  bool CanClose() override;

 protected:
  void SetupWindow() override;
  HMENU MenuForCreate() override;

  LRESULT EvSize(WPARAM, LPARAM);
  void EvSetFocus();
  // Enables every item of an opening menu whose command some handler takes.
  LRESULT EvInitMenuPopup(WPARAM, LPARAM);
  // The framework's exit command: closes the window.
  void CmExit();

 private:
  void ShowIcon();
  void FitToClient();

  std::unique_ptr<TWindow> client_;
  bool shrinkToClient_;
  int iconResourceId_ = 0;
  int menuResourceId_ = 0;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
};

}  // namespace kelna
