#pragma once
// TWndw: the saver's full-screen window. It covers the desktop in black, hides the cursor,
// drives the animation with one timer, and ends the saver on the first key, mouse button,
// mouse movement away from where the cursor was at start, or loss of activation.

#include <cstdint>
#include <memory>

#include "app/framework/frame_window.h"

namespace kelna {

class ClientContext;
class ZoSpriteAnimation;

// What the saver window needs from the application.
class SaverHost {
 public:
  virtual ~SaverHost() = default;
  // The tick interval in milliseconds.
  virtual int IntervalTime() const = 0;
  // The first tick's set-up: music, background, scene.
  virtual void InitAnimation() = 0;
  virtual ZoSpriteAnimation& Scene() = 0;
  // The music on `device` has ended (or failed): 1 when it was started again.
  virtual int MusicEnded(std::uint32_t device, HWND window) = 0;
};

class TWndw : public TFrameWindow {
 public:
  static constexpr UINT_PTR SaverTimerId = 1;

  TWndw(SaverHost& host, TWindow* parent, std::wstring_view title, std::unique_ptr<TWindow> client);
  ~TWndw() override;

  static const TResponseTable& Table();
  const TResponseTable& ResponseTable() const override { return Table(); }

  // One tick: the set-up on the first, a frame on every later one.
  void DoSaver();
  bool Started() const { return started; }
  static std::uint32_t RandomSeed();

 protected:
  void SetupWindow() override;
  void GetWindowClass(WNDCLASSEXW& windowClass) override;
  const wchar_t* GetClassName() const override { return L"SaverWnd"; }

 private:
  void Close();
  void Deactivated();
  LRESULT EvCreate(WPARAM wParam, LPARAM create);
  void EvTimer(WPARAM id, LPARAM);
  void EvLButtonDown() { Close(); }
  void EvMButtonDown() { Close(); }
  void EvRButtonDown() { Close(); }
  void EvMouseMove(WPARAM keys, LPARAM point);
  LRESULT EvSysCommand(WPARAM type, LPARAM point);
  void EvActivate(WPARAM state, LPARAM other);
  void EvActivateApp(WPARAM active, LPARAM thread);
  void EvSysKeyDown() { Close(); }
  void EvKeyDown() { Close(); }
  LRESULT EvPlayRepeat(WPARAM flags, LPARAM device);

  SaverHost& host_;
  POINT startPoint{};    // the cursor in screen coordinates when the saver started
  int started = 0;       // 1 once the first tick's set-up has run
  bool settingUp_ = false;    // the set-up is running (it may show a message box)
  bool interrupted_ = false;  // a box of the set-up took the activation
  // The window's own context, taken at the first frame and kept: a context fetched anew on
  // every tick costs a font selection and server round trips each time.
  std::unique_ptr<ClientContext> client_;
};

}  // namespace kelna
