// The window framework with real windows, dialogs made from the program's templates and a
// real message loop.

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "app/framework/application.h"
#include "app/framework/controls.h"
#include "app/framework/dialog.h"
#include "app/framework/frame_window.h"
#include "app/framework/open_save_dialog.h"
#include "app/framework/wide.h"
#include "platform/text.h"
#include "resources/resource_ids.h"
#include "tests/support/temporary_folder.h"

#include <commdlg.h>
#include <dlgs.h>

namespace kelna {
namespace {

using Log = std::vector<std::string>;
Log calls;  // what the handlers below did, in order

TEST(Application, SplitsItsCommandLineAsWindowsDoes) {
  TApplication app;
  app.SetCommandLine(L"\"C:\\Program Files\\kelna.scr\"  /p 1234");
  EXPECT_EQ(app.GetCmdLine(), "/p 1234");
  EXPECT_EQ(app.GetArgs(), (std::vector<std::string>{"C:\\Program Files\\kelna.scr", "/p", "1234"}));
  app.SetCommandLine(L"kelna.scr");
  EXPECT_EQ(app.GetCmdLine(), "");
}

// The response table of a class of ours over its base's.
#define TABLE(Base, ...)                                         \
  static const TResponseTable& Table() {                         \
    static constexpr TResponseEntry entries[] = {__VA_ARGS__};   \
    static const TResponseTable table{entries, &Base::Table()};  \
    return table;                                                \
  }                                                              \
  const TResponseTable& ResponseTable() const override { return Table(); }

// Each class logs its name for the commands its table takes.
class Focused : public TWindow {
 public:
  explicit Focused(TWindow* parent) : TWindow(parent, L"") {}
  TABLE(TWindow, OnCommand<&Focused::Take>(1001))
  void Take() { calls.push_back("focused"); }
};

class ClientDialog : public TDialog {
 public:
  ClientDialog() : TDialog(nullptr, KELNA_OPTION_DIALOG_ID) {}
  TABLE(TDialog, OnCommand<&ClientDialog::Take>(1001), OnCommand<&ClientDialog::Take>(1002),
        OnNotify<&ClientDialog::Changed>(108, EN_CHANGE))
  void Take() { calls.push_back("client"); }
  void Changed() { calls.push_back("108 changed"); }
  bool CanClose() override {
    calls.push_back(allowClose ? "may close" : "may not close");
    return allowClose;
  }
  bool allowClose = false;
};

class Frame : public TFrameWindow {
 public:
  Frame() : TFrameWindow(nullptr, L"frame", std::make_unique<ClientDialog>(), true) {
    Attr.Style = WS_DLGFRAME;
    AssignMenu(KELNA_MENU_ID);
    SetIcon(KELNA_ICON_ID);
  }
  TABLE(TFrameWindow, OnCommand<&Frame::Take>(1001), OnCommand<&Frame::Take>(1002),
        OnCommand<&Frame::Take>(1003))
  void Take() { calls.push_back("frame"); }
};

class FrameApp : public TApplication {
 public:
  TABLE(TApplication, OnCommand<&FrameApp::Take>(1002), OnCommand<&FrameApp::Take>(1003),
        OnCommand<&FrameApp::Take>(1004), OnCommand<&FrameApp::Take>(CM_FILESAVE))
  void Take() { calls.push_back("app"); }

 protected:
  void InitMainWindow() override { SetMainWindow(std::make_unique<Frame>()); }
};

TEST(FrameWindow, ShowsItsClientDialogRoutesCommandsEnablesMenusAndClosesOnOk) {
  calls.clear();
  FrameApp app;
  // The script runs from a timer, one step a tick, inside the application's message loop.
  static FrameApp* running = nullptr;
  static int step = 0;
  running = &app;
  step = 0;
  ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR timer, DWORD) {
    TFrameWindow& frame = *running->GetMainWindow();
    TWindow& dialog = *frame.GetClientWindow();
    HWND firstEdit = ::GetDlgItem(dialog.GetHandle(), 108);
    HWND ok = ::GetDlgItem(dialog.GetHandle(), IDOK);
    if (step++ == 0) {
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
      // A notification reaches the entry of its control and code only.
      dialog.SendMessage(WM_COMMAND, MAKEWPARAM(108, EN_UPDATE), LPARAM(firstEdit));
      dialog.SendMessage(WM_COMMAND, MAKEWPARAM(108, EN_CHANGE), LPARAM(firstEdit));
      EXPECT_EQ(calls, (Log{"focused", "client", "client", "frame", "app", "108 changed"}));
      // An opening menu enables what some handler takes; what none takes stays grayed.
      HMENU menu = ::GetMenu(frame.GetHandle());
      wchar_t text[64] = {};
      ::GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
      EXPECT_STREQ(text, L"ファイル(&F)");
      EXPECT_TRUE(::GetMenuState(menu, CM_FILESAVE, MF_BYCOMMAND) & MF_GRAYED);
      frame.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(::GetSubMenu(menu, 0)), 0);
      EXPECT_FALSE(::GetMenuState(menu, CM_FILESAVE, MF_BYCOMMAND) & MF_GRAYED);
      EXPECT_TRUE(::GetMenuState(menu, CM_FILESAVEAS, MF_BYCOMMAND) & MF_GRAYED);
      // The frame closes only when its client may.
      calls.clear();
      frame.SendMessage(WM_CLOSE);
      EXPECT_TRUE(::IsWindow(frame.GetHandle()));
      static_cast<ClientDialog&>(dialog).allowClose = true;
      // Dialog keys: Tab moves the focus on.
      ::SetFocus(firstEdit);
      ::PostMessageW(firstEdit, WM_KEYDOWN, VK_TAB, 0);
      return;
    }
    EXPECT_NE(::GetFocus(), firstEdit);
    EXPECT_EQ(::GetParent(::GetFocus()), dialog.GetHandle());
    // Enter on OK presses it: the dialog and its frame close.
    ::SetFocus(ok);
    ::PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 0);
    ::KillTimer(nullptr, timer);
  });
  EXPECT_EQ(app.Run(), 0);
  EXPECT_EQ(step, 2);
  EXPECT_EQ(calls, (Log{"may not close", "may close", "may close"}));
}

// A dialog on the sprite template whose controls are made in an order unlike the template's.
struct Record {
  std::array<char, 8> depth{};
  std::array<char, 32> name{};
  std::uint32_t repeat = 0;
};

class RecordDialog : public TDialog {
 public:
  RecordDialog(TWindow* parent, Record& r) : TDialog(parent, KELNA_SPRITE_DIALOG_ID) {
    SetTransferBuffer({std::span<char>(r.depth), std::span<char>(r.name), &r.repeat});
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
};

HWND Item(TDialog& dialog, int id) { return ::GetDlgItem(dialog.GetHandle(), id); }
void Click(TDialog& dialog, int id) { ::SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
std::wstring TextOf(HWND window) {
  wchar_t text[64] = {};
  ::GetWindowTextW(window, text, 64);
  return text;
}

// Controls are filled in construction order; what they hold reaches the record after an
// accepted OK only: not after a refused OK, nor after Cancel, WM_CLOSE or Esc, which end the
// dialog without asking CanClose.
TEST(DialogTransfer, FillsInConstructionOrderAndReadsBackOnlyAfterAnAcceptedOk) {
  for (const UINT how : {UINT(IDOK), UINT(IDCANCEL), UINT(WM_CLOSE), UINT(VK_ESCAPE)}) {
    SCOPED_TRACE(how);
    calls.clear();
    Record record;
    SetFieldText(record.depth, "12");
    SetFieldText(record.name, "fish");
    record.repeat = 1;
    TApplication app;
    RecordDialog dialog(nullptr, record);
    dialog.SetApplication(&app);
    app.answers.modalDialogShown = [&](TDialog&) {
      EXPECT_EQ(TextOf(Item(dialog, 125)), L"12");
      EXPECT_EQ(TextOf(Item(dialog, 114)), L"fish");
      EXPECT_EQ(::SendMessageW(Item(dialog, 124), BM_GETCHECK, 0, 0), BST_CHECKED);
      EXPECT_EQ(::SendMessageW(Item(dialog, 125), EM_GETLIMITTEXT, 0, 0), 7) << "the limit counts the NUL";
      ::SetWindowTextW(Item(dialog, 125), L"99");
      ::SetWindowTextW(Item(dialog, 114), L"鯨");
      Click(dialog, 124);
      if (how == IDOK) {
        dialog.allowClose = false;
        Click(dialog, IDOK);
        EXPECT_TRUE(::IsWindow(dialog.GetHandle()));
        EXPECT_EQ(FieldText(record.depth), "12");
        dialog.allowClose = true;
      }
      if (how == IDOK || how == IDCANCEL) Click(dialog, int(how));
      if (how == WM_CLOSE) dialog.PostMessage(WM_CLOSE);
      if (how == VK_ESCAPE) ::PostMessageW(Item(dialog, 125), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    const bool ok = how == IDOK;
    EXPECT_EQ(dialog.Execute(), ok ? IDOK : IDCANCEL);
    EXPECT_EQ(calls, ok ? (Log{"may not close", "may close"}) : Log{});
    EXPECT_EQ(FieldText(record.depth), ok ? "99" : "12");
    EXPECT_EQ(FieldText(record.name), ok ? Narrow(L"鯨") : "fish");
    EXPECT_EQ(record.name[3], ok ? '\0' : 'h') << "the rest of a field is cleared";
    EXPECT_EQ(record.repeat, ok ? 0u : 1u);
  }
}

TEST(CommonDialogs, FilterSeparatorsBecomeNulsAfterConversion) {
  // In code page 932 the full-width hyphen-minus is 81 7C: its second byte is the byte of '|'.
  const std::string filter = Narrow(L"A－(*.a)|*.a|");
  ASSERT_EQ(filter.substr(1, 2), "\x81\x7C");
  EXPECT_EQ(CommonDialogFilter(filter), std::wstring(L"A－(*.a)\0*.a\0\0\0", 14));
}

// The real open dialog, answered as a person would: a name typed into its name box, then
// OK. The file in the dialog's folder comes back, and that folder becomes the current one,
// where relative names are then saved.
TEST(CommonDialogs, TheOpenDialogGivesTheTypedNameAndLeavesItsFolderCurrent) {
  test::TemporaryFolder folder;
  std::filesystem::create_directory(folder / "sub");
  std::ofstream(folder / "sub" / "a.anm") << "a";
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  static std::wstring typed;  // for the timer procedure, which takes no context
  typed = L"a.anm";
  const TIMERPROC answer = [](HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
          wchar_t name[16] = {};
          ::GetClassNameW(window, name, 16);
          if (std::wstring_view(name) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
          *reinterpret_cast<HWND*>(found) = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    ::KillTimer(nullptr, timer);
    HWND name = ::GetDlgItem(dialog, cmb13);  // the name box of the Explorer-style dialog
    if (!name) name = ::GetDlgItem(dialog, edt1);
    ::SetWindowTextW(name, typed.c_str());
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
  };
  ::SetTimer(nullptr, 0, 100, answer);
  TOpenSaveDialog::TData record(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, "Animation (*.anm)|*.anm|", "",
                                PathToCp932(folder / "sub"), "ANM");
  EXPECT_EQ(TFileOpenDialog(nullptr, record).Execute(), IDOK);
  const std::filesystem::path current = std::filesystem::current_path();
  std::filesystem::current_path(before);
  EXPECT_EQ(record.FileName, PathToCp932(folder / "sub" / "a.anm"));
  EXPECT_TRUE(std::filesystem::equivalent(current, folder / "sub")) << current;
}

}  // namespace
}  // namespace kelna
