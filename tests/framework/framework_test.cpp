// The window framework with real windows and a real message loop.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/framework/application.h"
#include "app/framework/frame_window.h"
#include "resources/resource_ids.h"

namespace kelna {
namespace {

// --- Response tables, without windows -------------------------------------------------

class Base : public TEventHandler {
 public:
  static const TResponseTable& Table() {
    static constexpr TResponseEntry entries[] = {
        OnMessage<&Base::OnA>(WM_USER + 1),
        OnMessage<&Base::OnB>(WM_USER + 2),
        OnCommand<&Base::Command>(10),
    };
    static const TResponseTable table{entries, &TEventHandler::Table()};
    return table;
  }
  const TResponseTable& ResponseTable() const override { return Table(); }
  std::vector<std::string> calls;

 private:
  LRESULT OnA(WPARAM w, LPARAM) { calls.push_back("Base::A"); return static_cast<LRESULT>(w) + 1; }
  void OnB() { calls.push_back("Base::B"); }
  void Command() { calls.push_back("Base::Command"); }
};

class Derived : public Base {
 public:
  static const TResponseTable& Table() {
    static constexpr TResponseEntry entries[] = {
        OnMessage<&Derived::OnA>(WM_USER + 1),
        OnNotify<&Derived::Notify>(20, 3),
    };
    static const TResponseTable table{entries, &Base::Table()};
    return table;
  }
  const TResponseTable& ResponseTable() const override { return Table(); }

 private:
  LRESULT OnA(WPARAM w, LPARAM l) { calls.push_back("Derived::A"); return static_cast<LRESULT>(w + l); }
  void Notify(WPARAM w, LPARAM) { calls.push_back("Derived::Notify " + std::to_string(HIWORD(w))); }
};

TEST(ResponseTable, SearchesTheClassBeforeItsBases) {
  Derived derived;
  LRESULT result = 0;
  ASSERT_TRUE(derived.DispatchMsg(WM_USER + 1, 5, 7, result));  // both tables: Derived wins
  EXPECT_EQ(result, 12);
  ASSERT_TRUE(derived.DispatchMsg(WM_USER + 2, 0, 0, result));  // only in Base
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(derived.DispatchMsg(WM_USER + 3, 0, 0, result)); // in neither
  EXPECT_TRUE(derived.DispatchCommand(10));
  EXPECT_FALSE(derived.DispatchCommand(11));
  EXPECT_TRUE(derived.DispatchNotify(20, 3, nullptr));
  EXPECT_FALSE(derived.DispatchNotify(20, 4, nullptr));         // same control, other code
  EXPECT_EQ(derived.calls, (std::vector<std::string>{"Derived::A", "Base::B", "Base::Command",
                                                     "Derived::Notify 3"}));
  Base base;
  ASSERT_TRUE(base.DispatchMsg(WM_USER + 1, 5, 7, result));     // a base alone uses its own
  EXPECT_EQ(result, 6);
}

// --- Windows and the application --------------------------------------------------------

using Log = std::vector<std::string>;

// A window that records the commands it takes and runs a script once it exists.
class ScriptedWindow : public TFrameWindow {
 public:
  ScriptedWindow(TWindow* parent, Log& log, std::string name, std::unique_ptr<TWindow> client = nullptr,
                 bool shrink = false)
      : TFrameWindow(parent, L"scripted", std::move(client), shrink), log_(log), name_(std::move(name)) {}

  static const TResponseTable& Table() {
    static constexpr TResponseEntry entries[] = {
        OnCommand<&ScriptedWindow::Cmd1>(1001),
        OnCommand<&ScriptedWindow::Cmd2>(1002),
        OnMessage<&ScriptedWindow::RunScript>(WM_APP),
    };
    static const TResponseTable table{entries, &TFrameWindow::Table()};
    return table;
  }
  const TResponseTable& ResponseTable() const override { return Table(); }

  std::function<void(ScriptedWindow&)> script;
  bool allowClose = true;
  bool CanClose() override { return allowClose; }

 protected:
  void SetupWindow() override {
    TFrameWindow::SetupWindow();
    log_.push_back(name_ + " setup");
    if (script) PostMessage(WM_APP);
  }

 private:
  void Cmd1() { log_.push_back(name_ + " 1001"); }
  void Cmd2() { log_.push_back(name_ + " 1002"); }
  void RunScript() { script(*this); }

  Log& log_;
  std::string name_;
};

class TestApp : public TApplication {
 public:
  static const TResponseTable& Table() {
    static constexpr TResponseEntry entries[] = {
        OnCommand<&TestApp::Cmd>(1003),
        OnCommand<&TestApp::Cmd>(1002),
    };
    static const TResponseTable table{entries, &TApplication::Table()};
    return table;
  }
  const TResponseTable& ResponseTable() const override { return Table(); }

  std::function<std::unique_ptr<TFrameWindow>()> makeMainWindow;
  Log log;

 protected:
  void InitMainWindow() override {
    log.push_back("InitMainWindow");
    if (makeMainWindow) SetMainWindow(makeMainWindow());
  }

 private:
  void Cmd() { log.push_back("app command"); }
};

TEST(Application, CreatesAndShowsTheMainWindowAndEndsWhenItIsDestroyed) {
  TestApp app;
  HWND seen = nullptr;
  bool visibleInLoop = false;
  app.makeMainWindow = [&] {
    auto window = std::make_unique<ScriptedWindow>(nullptr, app.log, "main");
    window->script = [&](ScriptedWindow& self) {
      seen = self.GetHandle();
      visibleInLoop = ::IsWindowVisible(seen) != FALSE;
      self.PostMessage(WM_CLOSE);  // no handler of ours: the default destroys the window
    };
    return window;
  };
  EXPECT_EQ(app.Run(), 0);
  EXPECT_EQ(app.log, (Log{"InitMainWindow", "main setup"}));
  EXPECT_TRUE(visibleInLoop);
  EXPECT_FALSE(::IsWindow(seen));
}

TEST(Application, WithoutAMainWindowRunReturnsAtOnce) {
  TestApp app;
  EXPECT_EQ(app.Run(), 0);
  EXPECT_EQ(app.log, (Log{"InitMainWindow"}));
}

TEST(Application, CloseIsRefusedWhileCanCloseSaysNo) {
  TestApp app;
  app.makeMainWindow = [&] {
    auto window = std::make_unique<ScriptedWindow>(nullptr, app.log, "main");
    window->allowClose = false;
    window->script = [&](ScriptedWindow& self) {
      self.SendMessage(WM_CLOSE);
      app.log.push_back(::IsWindow(self.GetHandle()) ? "still there" : "gone");
      self.allowClose = true;
      self.SendMessage(WM_CLOSE);
    };
    return window;
  };
  app.Run();
  EXPECT_EQ(app.log, (Log{"InitMainWindow", "main setup", "still there"}));
}

TEST(Application, SplitsItsCommandLine) {
  TestApp app;
  app.SetCommandLine(L"\"C:\\Program Files\\kelna.scr\"  /p 1234");
  EXPECT_EQ(app.GetCmdLine(), "/p 1234");
  EXPECT_EQ(app.GetArgs(), (std::vector<std::string>{"C:\\Program Files\\kelna.scr", "/p", "1234"}));
  app.SetCommandLine(L"kelna.scr /c:1234");
  EXPECT_EQ(app.GetCmdLine(), "/c:1234");
  app.SetCommandLine(L"kelna.scr");
  EXPECT_EQ(app.GetCmdLine(), "");
  EXPECT_EQ(app.GetArgs().size(), 1u);
}

// Commands go to the focused window, then the frame's client, then the frame, then the
// application; the first table that has the id takes it.
TEST(CommandRouting, FocusThenClientThenFrameThenApplication) {
  TestApp app;
  app.makeMainWindow = [&] {
    auto client = std::make_unique<ScriptedWindow>(nullptr, app.log, "client");
    client->Attr.Style = WS_CHILD | WS_VISIBLE;
    auto frame = std::make_unique<ScriptedWindow>(nullptr, app.log, "frame", std::move(client));
    frame->script = [&](ScriptedWindow& self) {
      auto* clientWindow = static_cast<ScriptedWindow*>(self.GetClientWindow());
      // A focused window inside the client, with a table of its own.
      ScriptedWindow focused(clientWindow, app.log, "focused");
      focused.Attr.Style = WS_CHILD | WS_VISIBLE;
      focused.Create();
      ::SetFocus(focused.GetHandle());
      ASSERT_EQ(::GetFocus(), focused.GetHandle());
      self.SendMessage(WM_COMMAND, 1001);  // focused, client and frame all have it
      ::SetFocus(self.GetHandle());         // the frame passes the focus to its client
      self.SendMessage(WM_COMMAND, 1001);  // client and frame have it
      self.SendMessage(WM_COMMAND, 1002);  // client, frame and app have it
      self.SendMessage(WM_COMMAND, 1003);  // only the app
      self.SendMessage(WM_COMMAND, 1004);  // nobody: default processing
      focused.Destroy();
      self.PostMessage(WM_CLOSE);
    };
    return frame;
  };
  app.Run();
  EXPECT_EQ(app.log, (Log{"InitMainWindow", "client setup", "frame setup", "focused setup",
                          "focused 1001", "client 1001", "client 1002", "app command"}));
}

// A control's notification goes to its parent's table by id and code; a button click that
// has no notification entry is a command.
class NotifyWindow : public TFrameWindow {
 public:
  explicit NotifyWindow(Log& log) : TFrameWindow(nullptr, L"notify"), log_(log) {}
  static const TResponseTable& Table() {
    static constexpr TResponseEntry entries[] = {
        OnNotify<&NotifyWindow::EditChanged>(40, EN_CHANGE),
        OnCommand<&NotifyWindow::Clicked>(41),
    };
    static const TResponseTable table{entries, &TFrameWindow::Table()};
    return table;
  }
  const TResponseTable& ResponseTable() const override { return Table(); }

 private:
  void EditChanged(WPARAM w, LPARAM control) {
    log_.push_back("changed " + std::to_string(LOWORD(w)) + (control ? " from control" : ""));
  }
  void Clicked() { log_.push_back("clicked"); }
  Log& log_;
};

TEST(CommandRouting, ControlNotificationsReachTheParentsTable) {
  Log log;
  NotifyWindow window(log);
  window.Create();
  HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, window.GetHandle(),
                                reinterpret_cast<HMENU>(40), nullptr, nullptr);
  HWND button = ::CreateWindowExW(0, L"BUTTON", L"go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 30, 50, 20,
                                  window.GetHandle(), reinterpret_cast<HMENU>(41), nullptr, nullptr);
  ASSERT_TRUE(edit && button);
  ::SetWindowTextW(edit, L"x");  // the edit control sends EN_CHANGE itself
  ::SendMessageW(button, BM_CLICK, 0, 0);
  window.SendMessage(WM_COMMAND, MAKEWPARAM(40, EN_UPDATE), reinterpret_cast<LPARAM>(edit));  // no entry
  EXPECT_EQ(log, (Log{"changed 40 from control", "clicked"}));
}

// --- Frame windows ------------------------------------------------------------------------

TEST(FrameWindow, CaptionPositionAndRectangles) {
  TFrameWindow frame(nullptr, L"first");
  frame.Attr.Style = WS_OVERLAPPED | WS_CAPTION;
  frame.Create();
  EXPECT_EQ(frame.GetCaption(), L"first");
  frame.SetCaption(L"ケルナの設定 - untitled.anm -");
  wchar_t text[64] = {};
  ::GetWindowTextW(frame.GetHandle(), text, 64);
  EXPECT_STREQ(text, L"ケルナの設定 - untitled.anm -");
  ASSERT_TRUE(frame.SetWindowPos(nullptr, 10, 20, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE));
  const RECT outer = frame.GetWindowRect();
  EXPECT_EQ(outer.left, 10);
  EXPECT_EQ(outer.top, 20);
  EXPECT_EQ(outer.right - outer.left, 300);
  EXPECT_EQ(outer.bottom - outer.top, 200);
  const RECT inner = frame.GetClientRect();
  EXPECT_EQ(inner.left, 0);
  EXPECT_EQ(inner.right, 300 - 2 * ::GetSystemMetrics(SM_CXFIXEDFRAME));
  EXPECT_LT(inner.bottom, 200 - ::GetSystemMetrics(SM_CYCAPTION) + 1);
}

TEST(FrameWindow, ShrinksToItsClientAndKeepsItFilled) {
  auto client = std::make_unique<TWindow>(nullptr, L"");
  client->Attr.W = 220;
  client->Attr.H = 130;
  TWindow* clientWindow = client.get();
  TFrameWindow frame(nullptr, L"shrink", std::move(client), true);
  frame.Attr.Style = WS_DLGFRAME;
  frame.AssignMenu(KELNA_MENU_ID);
  frame.Create();
  EXPECT_EQ(frame.GetClientWindow(), clientWindow);
  EXPECT_EQ(::GetParent(clientWindow->GetHandle()), frame.GetHandle());
  const RECT area = frame.GetClientRect();
  EXPECT_EQ(area.right, 220);
  EXPECT_EQ(area.bottom, 130);
  frame.SetWindowPos(nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
  const RECT grown = frame.GetClientRect();
  const RECT clientArea = clientWindow->GetClientRect();
  EXPECT_EQ(clientArea.right, grown.right);
  EXPECT_EQ(clientArea.bottom, grown.bottom);
}

TEST(FrameWindow, MenuAndIconFromTheProgramsResources) {
  TFrameWindow frame(nullptr, L"menu");
  frame.AssignMenu(KELNA_MENU_ID);  // before creation: used when the window is made
  frame.SetIcon(KELNA_ICON_ID);
  frame.Create();
  HMENU menu = ::GetMenu(frame.GetHandle());
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(::GetMenuItemCount(menu), 3);
  wchar_t text[64] = {};
  ::GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
  EXPECT_STREQ(text, L"ファイル(&F)");
  EXPECT_EQ(::GetMenuState(menu, CM_FILESAVE, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  EXPECT_NE(frame.SendMessage(WM_GETICON, ICON_BIG), 0);
  EXPECT_NE(frame.SendMessage(WM_GETICON, ICON_SMALL), 0);
  frame.AssignMenu(KELNA_MENU_ID);  // after creation: replaces the menu
  EXPECT_NE(::GetMenu(frame.GetHandle()), nullptr);
}

TEST(Window, AForeignWindowCanBeAParentAndIsNeverDestroyed) {
  HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 100, 80, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  {
    TWindow foreign(host);
    EXPECT_TRUE(foreign.IsForeign());
    EXPECT_EQ(TWindow::FromHandle(host), nullptr);  // not one of ours
    TFrameWindow child(&foreign, L"");
    child.Attr.Style = WS_CHILD | WS_VISIBLE;
    child.Create();
    EXPECT_EQ(::GetParent(child.GetHandle()), host);
    EXPECT_EQ(TWindow::FromHandle(child.GetHandle()), &child);
  }
  EXPECT_TRUE(::IsWindow(host));
  ::DestroyWindow(host);
}

class BlackWindow : public TWindow {
 public:
  BlackWindow() : TWindow(nullptr, L"") { Attr.Style = WS_POPUP; }

 protected:
  void GetWindowClass(WNDCLASSEXW& windowClass) override {
    TWindow::GetWindowClass(windowClass);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  }
  const wchar_t* GetClassName() const override { return L"KelnaTestBlack"; }
};

TEST(Window, ClassNameAndClassAttributesComeFromTheOverrides) {
  BlackWindow window;
  window.Create();
  wchar_t name[64] = {};
  ::GetClassNameW(window.GetHandle(), name, 64);
  EXPECT_STREQ(name, L"KelnaTestBlack");
  EXPECT_EQ(::GetClassLongPtrW(window.GetHandle(), GCLP_HBRBACKGROUND),
            reinterpret_cast<ULONG_PTR>(::GetStockObject(BLACK_BRUSH)));
  window.Destroy();
  EXPECT_EQ(window.GetHandle(), nullptr);  // unbound when the window went
}

}  // namespace
}  // namespace kelna
