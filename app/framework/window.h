#pragma once
// TWindow: a C++ object bound to a Win32 window. One window procedure serves every class;
// it finds the object from the window (bound when WM_NCCREATE arrives), looks the message
// up in the object's response table and falls back to DefaultProcessing().

#include <windows.h>

#include <string>
#include <string_view>

#include "app/framework/response_table.h"

namespace kelna {

class TApplication;

// Creation attributes, used when the platform window is made.
struct TWindowAttr {
  DWORD Style = WS_CHILD | WS_VISIBLE;
  DWORD ExStyle = 0;
  int X = CW_USEDEFAULT;
  int Y = CW_USEDEFAULT;
  int W = CW_USEDEFAULT;
  int H = CW_USEDEFAULT;
  int Id = 0;            // child id; for a top-level window, the menu resource (0: none)
};

class TWindow : public TEventHandler {
 public:
  // A window of our own, made later by Create().
  TWindow(TWindow* parent, std::wstring_view title);
  // Stands for a window that exists already and belongs to someone else (a host's preview
  // pane, say): it can be a parent, and it is never destroyed by this object.
  explicit TWindow(HWND foreign);
  ~TWindow() override;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  static const TResponseTable& Table();
  const TResponseTable& ResponseTable() const override { return Table(); }

  // Makes the platform window, then runs SetupWindow. Throws std::system_error on failure.
  virtual void Create();
  void Destroy();

  HWND GetHandle() const { return handle_; }
  TWindow* GetParent() const { return parent_; }
  // Only before Create(): a frame adopts the client it was given.
  void SetParent(TWindow* parent) { parent_ = parent; }
  TApplication* GetApplication() const { return application_; }
  void SetApplication(TApplication* application) { application_ = application; }

  // The object bound to a window of ours, or null.
  static TWindow* FromHandle(HWND handle);

  void SetCaption(std::wstring_view title);
  std::wstring GetCaption() const;
  bool SetWindowPos(HWND insertAfter, int x, int y, int w, int h, UINT flags);
  RECT GetWindowRect() const;
  RECT GetClientRect() const;
  bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

  // Whether the window may close now; WM_CLOSE destroys it only when this answers true.
  virtual bool CanClose() { return true; }

  // Offers a menu or accelerator command to this window's table; overridden by frames to
  // offer it to their client first.
  virtual bool RouteCommand(UINT id);
  // Whether RouteCommand would find a handler, without calling it.
  virtual bool TakesCommand(UINT id) const;
  // Whether a menu command sent to this window would find a handler on its way: the
  // focused window and its parents below this one, this window, then the application.
  bool CommandFindsHandler(UINT id) const;

  TWindowAttr Attr;

 protected:
  // Runs once the platform window exists; overrides call the base first.
  virtual void SetupWindow() {}
  // Fills the class record; overrides call the base first, then adjust.
  virtual void GetWindowClass(WNDCLASSEXW& windowClass);
  virtual const wchar_t* GetClassName() const { return L"KelnaWindow"; }
  // WM_PAINT: the device context comes from BeginPaint.
  virtual void Paint(HDC dc, bool erase, const RECT& rect);
  // Messages that no table takes.
  virtual LRESULT DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam);
  // The menu or window id passed to CreateWindowEx.
  virtual HMENU MenuForCreate();

  LRESULT EvClose(WPARAM, LPARAM);

  // Binds this object to a window of ours (found again by FromHandle).
  void Bind(HWND handle);
  void Unbind();
  // Stands for a window that someone else made and destroys (a dialog's control).
  void Attach(HWND handle) { handle_ = handle; foreign_ = true; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleCommand(WPARAM wParam, LPARAM lParam);
  void RegisterClassOnce();

  HWND handle_ = nullptr;
  TWindow* parent_ = nullptr;
  TApplication* application_ = nullptr;
  std::wstring title_;
  bool foreign_ = false;
};

}  // namespace kelna
