// The window framework with real windows, dialogs made from the program's templates and a
// real message loop.

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/framework/application.h"
#include "app/framework/controls.h"
#include "app/framework/dialog.h"
#include "app/framework/frame_window.h"
#include "app/framework/open_save_dialog.h"
#include "app/framework/wide.h"
#include "resources/resource_ids.h"

namespace kelna {
namespace {

using Log = std::vector<std::string>;
Log calls;  // what the handlers below did, in order

class Base : public TEventHandler {
 public:
  static const TResponseTable& Table() {
    static constexpr TResponseEntry entries[] = {
        OnMessage<&Base::OnA>(WM_USER + 1),
        OnMessage<&Base::OnB>(WM_USER + 2),
    };
    static const TResponseTable table{entries, &TEventHandler::Table()};
    return table;
  }
  const TResponseTable& ResponseTable() const override { return Table(); }

 private:
  LRESULT OnA(WPARAM w, LPARAM) { return static_cast<LRESULT>(w) + 1; }
  void OnB() { calls.push_back("Base::B"); }
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
  LRESULT OnA(WPARAM w, LPARAM l) { return static_cast<LRESULT>(w + l); }
  void Notify(WPARAM w, LPARAM) { calls.push_back("Derived::Notify " + std::to_string(HIWORD(w))); }
};

TEST(ResponseTable, SearchesTheClassBeforeItsBases) {
  calls.clear();
  Derived derived;
  Base base;
  LRESULT result = 0;
  ASSERT_TRUE(derived.DispatchMsg(WM_USER + 1, 5, 7, result));  // in both tables: Derived's
  EXPECT_EQ(result, 12);
  ASSERT_TRUE(base.DispatchMsg(WM_USER + 1, 5, 7, result));     // a base alone uses its own
  EXPECT_EQ(result, 6);
  EXPECT_TRUE(derived.DispatchMsg(WM_USER + 2, 0, 0, result));  // only in Base
  EXPECT_FALSE(derived.DispatchMsg(WM_USER + 3, 0, 0, result));
  EXPECT_TRUE(derived.DispatchNotify(20, 3, nullptr));
  EXPECT_FALSE(derived.DispatchNotify(20, 4, nullptr));         // same control, other code
  EXPECT_EQ(calls, (Log{"Base::B", "Derived::Notify 3"}));
}

TEST(Application, SplitsItsCommandLineAsWindowsDoes) {
  TApplication app;
  app.SetCommandLine(L"\"C:\\Program Files\\kelna.scr\"  /p 1234");
  EXPECT_EQ(app.GetCmdLine(), "/p 1234");
  EXPECT_EQ(app.GetArgs(), (std::vector<std::string>{"C:\\Program Files\\kelna.scr", "/p", "1234"}));
  app.SetCommandLine(L"kelna.scr");
  EXPECT_EQ(app.GetCmdLine(), "");
}

// --- A frame, its client dialog and the application -----------------------------------

// Each window of ours below logs its name for the commands its table takes.
#define TAKES(Class, ...)                                                               \
  static const TResponseTable& Table() {                                                \
    static constexpr TResponseEntry entries[] = {__VA_ARGS__};                          \
    static const TResponseTable table{entries, &Class::Table()};                        \
    return table;                                                                       \
  }                                                                                     \
  const TResponseTable& ResponseTable() const override { return Table(); }

class Focused : public TWindow {
 public:
  explicit Focused(TWindow* parent) : TWindow(parent, L"") {}
  TAKES(TWindow, OnCommand<&Focused::Take>(1001))
  void Take() { calls.push_back("focused"); }
};

class ClientDialog : public TDialog {
 public:
  ClientDialog() : TDialog(nullptr, KELNA_OPTION_DIALOG_ID) {}
  TAKES(TDialog, OnCommand<&ClientDialog::Take>(1001), OnCommand<&ClientDialog::Take>(1002))
  void Take() { calls.push_back("client"); }
  bool CanClose() override {
    calls.push_back(allowClose ? "may close" : "may not close");
    return allowClose;
  }
  bool allowClose = false;
};

class Frame : public TFrameWindow {
 public:
  Frame() : TFrameWindow(nullptr, L"frame", std::make_unique<ClientDialog>(), true) {}
  TAKES(TFrameWindow, OnCommand<&Frame::Take>(1001), OnCommand<&Frame::Take>(1002),
        OnCommand<&Frame::Take>(1003))
  void Take() { calls.push_back("frame"); }
};

class FrameApp : public TApplication {
 public:
  TAKES(TApplication, OnCommand<&FrameApp::Take>(1002), OnCommand<&FrameApp::Take>(1003),
        OnCommand<&FrameApp::Take>(1004), OnCommand<&FrameApp::Take>(CM_FILESAVE))
  void Take() { calls.push_back("app"); }

 protected:
  void InitMainWindow() override {
    auto frame = std::make_unique<Frame>();
    frame->Attr.Style = WS_DLGFRAME;
    frame->AssignMenu(KELNA_MENU_ID);
    frame->SetIcon(KELNA_ICON_ID);
    SetMainWindow(std::move(frame));
  }
};

// Runs `step` 0, 1, ... from a timer inside the application's own message loop, until it
// answers false.
void RunScript(TApplication& app, bool (*step)(TApplication&, int)) {
  static TApplication* running = nullptr;
  static bool (*script)(TApplication&, int) = nullptr;
  static int next = 0;
  running = &app;
  script = step;
  next = 0;
  ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
    if (!script(*running, next++)) ::KillTimer(nullptr, id);
  });
  EXPECT_EQ(app.Run(), 0);
  EXPECT_GE(next, 2);
}

TEST(FrameWindow, ShowsItsClientDialogRoutesCommandsEnablesMenusAndClosesOnOk) {
  calls.clear();
  FrameApp app;
  RunScript(app, [](TApplication& app, int step) {
    TFrameWindow& frame = *app.GetMainWindow();
    TWindow& dialog = *frame.GetClientWindow();
    HWND firstEdit = ::GetDlgItem(dialog.GetHandle(), 108);
    if (step == 0) {
      EXPECT_TRUE(::IsWindowVisible(frame.GetHandle()));
      const RECT area = frame.GetClientRect();
      const RECT dialogRect = dialog.GetWindowRect();
      EXPECT_EQ(area.right, dialogRect.right - dialogRect.left) << "the frame fits its client";
      EXPECT_EQ(area.bottom, dialogRect.bottom - dialogRect.top);
      EXPECT_NE(frame.SendMessage(WM_GETICON, ICON_BIG), 0);
      EXPECT_NE(frame.SendMessage(WM_GETICON, ICON_SMALL), 0);
      // Commands go to the focused window, then the client, the frame, the application.
      Focused focused(&dialog);
      focused.Create();
      ::SetFocus(focused.GetHandle());
      frame.SendMessage(WM_COMMAND, 1001);
      focused.Destroy();
      ::SetFocus(frame.GetHandle());  // the frame passes the focus to its client
      for (UINT id : {1001, 1002, 1003, 1004, 1005}) frame.SendMessage(WM_COMMAND, id);
      EXPECT_EQ(calls, (Log{"focused", "client", "client", "frame", "app"}));
      // An opening menu enables what some handler takes; what none takes stays grayed.
      HMENU file = ::GetSubMenu(::GetMenu(frame.GetHandle()), 0);
      wchar_t text[64] = {};
      ::GetMenuStringW(::GetMenu(frame.GetHandle()), 0, text, 64, MF_BYPOSITION);
      EXPECT_STREQ(text, L"ファイル(&F)");
      EXPECT_TRUE(::GetMenuState(file, CM_FILESAVE, MF_BYCOMMAND) & MF_GRAYED);
      frame.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
      EXPECT_FALSE(::GetMenuState(file, CM_FILESAVE, MF_BYCOMMAND) & MF_GRAYED);
      EXPECT_TRUE(::GetMenuState(file, CM_FILESAVEAS, MF_BYCOMMAND) & MF_GRAYED);
      // The frame closes only when its client may.
      calls.clear();
      frame.SendMessage(WM_CLOSE);
      EXPECT_TRUE(::IsWindow(frame.GetHandle()));
      static_cast<ClientDialog&>(dialog).allowClose = true;
      // Dialog keys: Tab moves the focus on.
      ::SetFocus(firstEdit);
      ::PostMessageW(firstEdit, WM_KEYDOWN, VK_TAB, 0);
      return true;
    }
    if (step == 1) {
      EXPECT_NE(::GetFocus(), firstEdit);
      EXPECT_EQ(::GetParent(::GetFocus()), dialog.GetHandle());
      // Enter on OK presses it: the dialog and its frame close.
      ::SetFocus(::GetDlgItem(dialog.GetHandle(), IDOK));
      ::PostMessageW(::GetDlgItem(dialog.GetHandle(), IDOK), WM_KEYDOWN, VK_RETURN, 0);
    }
    return false;
  });
  EXPECT_EQ(calls, (Log{"may not close", "may close", "may close"}));
}

TEST(Window, AForeignWindowCanBeAParentAndIsNeverDestroyed) {
  HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 100, 80, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  {
    TWindow foreign(host);
    EXPECT_EQ(TWindow::FromHandle(host), nullptr);  // not one of ours
    TFrameWindow child(&foreign, L"");
    child.Attr.Style = WS_CHILD | WS_VISIBLE;
    child.Create();
    EXPECT_EQ(::GetParent(child.GetHandle()), host);
  }
  EXPECT_TRUE(::IsWindow(host));
  ::DestroyWindow(host);
}

// --- Modal dialogs and their transfer ---------------------------------------------------

// A record for a dialog on the sprite template whose controls are made in an order unlike
// the template's.
struct Record {
  std::array<char, 8> depth{};
  std::array<char, 32> name{};
  std::uint32_t repeat = 0;
  TComboBoxData kinds;
};

class RecordDialog : public TDialog {
 public:
  RecordDialog(TWindow* parent, Record& r) : TDialog(parent, KELNA_SPRITE_DIALOG_ID) {
    SetTransferBuffer({std::span<char>(r.depth), std::span<char>(r.name), &r.repeat, &r.kinds});
  }
  bool CanClose() override {
    calls.push_back(allowClose ? "may close" : "may not close");
    return allowClose;
  }
  bool allowClose = true;
  TEdit depth{this, 125, 8};
  TStatic label{this, 111};  // takes no part in the transfer
  TEdit name{this, 114, 32};
  TCheckBox repeat{this, 124};
  TComboBox kinds{this, 113};
};

HWND Item(TDialog& dialog, int id) { return ::GetDlgItem(dialog.GetHandle(), id); }
void Click(TDialog& dialog, int id) { ::SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
std::wstring TextOf(HWND window) {
  wchar_t text[64] = {};
  ::GetWindowTextW(window, text, 64);
  return text;
}

TEST(DialogTransfer, FillsControlsInConstructionOrderAndReadsThemBackOnlyAfterAnAcceptedOk) {
  calls.clear();
  Record record;
  SetFieldText(record.depth, "12");
  SetFieldText(record.name, "fish");
  record.repeat = 1;
  record.kinds.AddString("a");
  record.kinds.AddString("b", true);
  record.kinds.AddString("c");
  TApplication app;
  TFrameWindow owner(nullptr, L"owner");
  owner.SetApplication(&app);
  owner.Create();
  RecordDialog dialog(&owner, record);
  app.answers.modalDialogShown = [&](TDialog&) {
    EXPECT_FALSE(::IsWindowEnabled(owner.GetHandle())) << "the owner is disabled while it runs";
    EXPECT_EQ(TextOf(Item(dialog, 125)), L"12");
    EXPECT_EQ(TextOf(Item(dialog, 114)), L"fish");
    EXPECT_EQ(::SendMessageW(Item(dialog, 124), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(dialog.kinds.GetCount(), 3);
    EXPECT_EQ(dialog.kinds.GetSelIndex(), 1);
    EXPECT_EQ(::SendMessageW(Item(dialog, 125), EM_GETLIMITTEXT, 0, 0), 7) << "the limit counts the NUL";
    ::SetWindowTextW(Item(dialog, 125), L"99");
    ::SetWindowTextW(Item(dialog, 114), L"鯨");
    Click(dialog, 124);
    ::SendMessageW(Item(dialog, 113), CB_SETCURSEL, 2, 0);
    dialog.allowClose = false;
    Click(dialog, IDOK);  // refused: the record keeps what it had
    EXPECT_TRUE(::IsWindow(dialog.GetHandle()));
    EXPECT_EQ(FieldText(record.depth), "12");
    EXPECT_EQ(record.repeat, 1u);
    dialog.allowClose = true;
    Click(dialog, IDOK);
  };
  EXPECT_EQ(dialog.Execute(), IDOK);
  EXPECT_TRUE(::IsWindowEnabled(owner.GetHandle()));
  EXPECT_EQ(calls, (Log{"may not close", "may close"}));
  EXPECT_EQ(FieldText(record.depth), "99");
  EXPECT_EQ(FieldText(record.name), Narrow(L"鯨"));
  EXPECT_EQ(record.repeat, 0u);
  EXPECT_EQ(record.kinds.GetSelection(), "c");
  EXPECT_EQ(record.kinds.GetStrings().size(), 3u);
}

TEST(DialogTransfer, CancelCloseAndEscapeEndWithoutValidationOrTransfer) {
  for (const UINT how : {UINT(IDCANCEL), UINT(WM_CLOSE), UINT(VK_ESCAPE)}) {
    calls.clear();
    Record record;
    SetFieldText(record.depth, "5");
    TApplication app;
    RecordDialog dialog(nullptr, record);
    dialog.SetApplication(&app);
    app.answers.modalDialogShown = [&](TDialog&) {
      ::SetWindowTextW(Item(dialog, 125), L"7");
      if (how == IDCANCEL) Click(dialog, IDCANCEL);
      if (how == WM_CLOSE) dialog.PostMessage(WM_CLOSE);
      if (how == VK_ESCAPE) ::PostMessageW(Item(dialog, 125), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    EXPECT_EQ(dialog.Execute(), IDCANCEL) << how;
    EXPECT_TRUE(calls.empty()) << how;
    EXPECT_EQ(FieldText(record.depth), "5") << how;
  }
}

TEST(DialogTransfer, TextFieldsAndListsKeepWhatFits) {
  std::array<char, 6> field{};
  SetFieldText(field, Narrow(L"あいう"));  // 6 bytes do not fit in 5 + NUL: two characters
  EXPECT_EQ(FieldText(field), Narrow(L"あい"));
  SetFieldText(field, "ab");
  EXPECT_EQ(field[4], '\0');  // the rest is cleared
  TComboBoxData data;
  data.AddString("y", true);
  data.AddString("y", true);  // the last of equal names ends up selected
  EXPECT_EQ(data.GetSelIndex(), 1);
  data.Select(7);
  EXPECT_EQ(data.GetSelection(), "");
}

TEST(CommonDialogs, FilterSeparatorsBecomeNulsAfterConversion) {
  // In code page 932 the full-width hyphen-minus is 81 7C: its second byte is the byte of '|'.
  const std::string filter = Narrow(L"A－(*.a)|*.a|");
  ASSERT_EQ(filter.substr(1, 2), "\x81\x7C");
  EXPECT_EQ(CommonDialogFilter(filter), std::wstring(L"A－(*.a)\0*.a\0\0\0", 14));
}

}  // namespace
}  // namespace kelna
