#pragma once
// TWndw: the saver's full-screen window. It covers the desktop in black, hides the cursor
// and ends the saver on the first key, mouse button, mouse movement away from where the
// cursor was at start, or loss of activation.

#include "app/framework/frame_window.h"

namespace kelna {

class TWndw : public TFrameWindow {
 public:
  TWndw(TWindow* parent, std::wstring_view title, std::unique_ptr<TWindow> client);
  ~TWndw() override;

  static const TResponseTable& Table();
  const TResponseTable& ResponseTable() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void GetWindowClass(WNDCLASSEXW& windowClass) override;
  const wchar_t* GetClassName() const override { return L"SaverWnd"; }

 private:
  void Close();
  void EvLButtonDown() { Close(); }
  void EvMButtonDown() { Close(); }
  void EvRButtonDown() { Close(); }
  void EvMouseMove(WPARAM keys, LPARAM point);
  LRESULT EvSysCommand(WPARAM type, LPARAM point);
  void EvActivate(WPARAM state, LPARAM other);
  void EvActivateApp(WPARAM active, LPARAM thread);
  void EvSysKeyDown() { Close(); }
  void EvKeyDown() { Close(); }

  POINT startPoint{};  // the cursor in screen coordinates when the saver started
};

}  // namespace kelna
