// Dialogs, their controls and data transfer, with real dialog windows made from the
// program's templates, driven by messages.

#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <array>
#include <functional>
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

std::wstring TextOf(HWND window) {
  wchar_t text[128] = {};
  ::GetWindowTextW(window, text, 128);
  return text;
}

// A record of four fields for a dialog on the sprite template, whose edits 125, 114 and
// check box 124 and list 113 are made in an order unlike the template's.
struct Record {
  std::array<char, 8> depth{};
  std::array<char, 32> name{};
  std::uint32_t repeat = 0;
  TComboBoxData kinds;

  TTransferBuffer Fields() { return {std::span<char>(depth), std::span<char>(name), &repeat, &kinds}; }
};

class RecordDialog : public TDialog {
 public:
  RecordDialog(TWindow* parent, Record& record, Log& log)
      : TDialog(parent, KELNA_SPRITE_DIALOG_ID), log_(log) {
    SetTransferBuffer(record.Fields());
  }

  bool allowClose = true;
  bool CanClose() override {
    log_.push_back(allowClose ? "CanClose yes" : "CanClose no");
    return allowClose;
  }

  TEdit depth{this, 125, 8};
  TStatic label{this, 111};  // takes no part in the transfer
  TEdit name{this, 114, 32};
  TCheckBox repeat{this, 124};
  TComboBox kinds{this, 113};
  TUpDown arrows{this, 115};

 private:
  Log& log_;
};

class DialogApp : public TApplication {
 public:
  using TApplication::InitInstance;
};

HWND Item(TDialog& dialog, int id) { return ::GetDlgItem(dialog.GetHandle(), id); }

void Click(TDialog& dialog, int id) { ::SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }

TEST(DialogTransfer, FillsControlsInConstructionOrderAndReadsThemBackOnlyAfterAnAcceptedOk) {
  Record record;
  SetFieldText(record.depth, "12");
  SetFieldText(record.name, "fish");
  record.repeat = 1;
  record.kinds.AddString("a");
  record.kinds.AddString("b", true);
  record.kinds.AddString("c");
  DialogApp app;
  TFrameWindow owner(nullptr, L"owner");
  owner.SetApplication(&app);
  owner.Create();
  Log log;
  RecordDialog dialog(&owner, record, log);
  app.answers.modalDialogShown = [&](TDialog& shown) {
    EXPECT_EQ(&shown, &dialog);
    EXPECT_FALSE(::IsWindowEnabled(owner.GetHandle())) << "the owner is disabled while it runs";
    EXPECT_EQ(TextOf(Item(dialog, 125)), L"12");
    EXPECT_EQ(TextOf(Item(dialog, 114)), L"fish");
    EXPECT_EQ(::SendMessageW(Item(dialog, 124), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(dialog.kinds.GetCount(), 3);
    EXPECT_EQ(dialog.kinds.GetSelIndex(), 1);
    // Text limits count the closing NUL; an up-down keeps the range it was given.
    EXPECT_EQ(::SendMessageW(Item(dialog, 125), EM_GETLIMITTEXT, 0, 0), 7);
    ::SetWindowTextW(Item(dialog, 125), L"99");
    ::SetWindowTextW(Item(dialog, 114), L"鯨");
    Click(dialog, 124);
    ::SendMessageW(Item(dialog, 113), CB_SETCURSEL, 2, 0);
    dialog.allowClose = false;
    Click(dialog, IDOK);  // refused: the record keeps what it had
    EXPECT_TRUE(::IsWindow(dialog.GetHandle()));
    EXPECT_EQ(FieldText(record.depth), "12");
    EXPECT_EQ(record.repeat, 1u);
    EXPECT_EQ(record.kinds.GetSelIndex(), 1);
    dialog.allowClose = true;
    Click(dialog, IDOK);
  };
  EXPECT_EQ(dialog.Execute(), IDOK);
  EXPECT_TRUE(::IsWindowEnabled(owner.GetHandle()));
  EXPECT_EQ(log, (Log{"CanClose no", "CanClose yes"}));
  EXPECT_EQ(FieldText(record.depth), "99");
  EXPECT_EQ(FieldText(record.name), Narrow(L"鯨"));
  EXPECT_EQ(record.repeat, 0u);
  EXPECT_EQ(record.kinds.GetSelIndex(), 2);
  EXPECT_EQ(record.kinds.GetSelection(), "c");
  EXPECT_EQ(record.kinds.GetStrings().size(), 3u);
}

TEST(DialogTransfer, CancelAndCloseEndWithoutValidationOrTransfer) {
  for (const UINT how : {UINT(IDCANCEL), UINT(WM_CLOSE), UINT(VK_ESCAPE)}) {
    Record record;
    SetFieldText(record.depth, "5");
    DialogApp app;
    Log log;
    RecordDialog dialog(nullptr, record, log);
    dialog.SetApplication(&app);
    app.answers.modalDialogShown = [&](TDialog&) {
      ::SetWindowTextW(Item(dialog, 125), L"7");
      if (how == IDCANCEL) Click(dialog, IDCANCEL);
      if (how == WM_CLOSE) dialog.PostMessage(WM_CLOSE);
      if (how == VK_ESCAPE) ::PostMessageW(Item(dialog, 125), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    EXPECT_EQ(dialog.Execute(), IDCANCEL) << how;
    EXPECT_TRUE(log.empty()) << how;
    EXPECT_EQ(FieldText(record.depth), "5") << how;
  }
}

TEST(DialogTransfer, TextFieldsKeepWholeCharactersAndAWrongFieldKindIsCaught) {
  std::array<char, 6> field{};
  SetFieldText(field, Narrow(L"あいう"));  // 6 bytes do not fit in 5 + NUL: two characters
  EXPECT_EQ(FieldText(field), Narrow(L"あい"));
  SetFieldText(field, "ab");
  EXPECT_EQ(FieldText(field), "ab");
  EXPECT_EQ(field[4], '\0');  // the rest is cleared

  Record record;
  Log log;
  RecordDialog dialog(nullptr, record, log);
  std::uint32_t state = 0;
  dialog.SetTransferBuffer({&state});  // a check state for an edit
  dialog.Attr.Style = WS_POPUP;
  EXPECT_THROW(dialog.Create(), std::logic_error);
}

TEST(ComboBoxData, SelectionFollowsAddAndSelect) {
  TComboBoxData data;
  data.AddString("x");
  EXPECT_EQ(data.GetSelIndex(), -1);
  data.AddString("y", true);
  data.AddString("y", true);  // the last of equal names ends up selected
  EXPECT_EQ(data.GetSelIndex(), 2);
  data.Select(7);
  EXPECT_EQ(data.GetSelIndex(), -1);
  EXPECT_EQ(data.GetSelection(), "");
  data.Clear();
  EXPECT_TRUE(data.GetStrings().empty());
}

// The settings template as a frame's client: the frame fits it, the dialog keys work, a
// menu command reaches the dialog before the application, and OK closes the frame.
class ClientDialog : public TDialog {
 public:
  explicit ClientDialog(Log& log) : TDialog(nullptr, KELNA_OPTION_DIALOG_ID), log_(log) {}
  static const TResponseTable& Table() {
    static constexpr TResponseEntry entries[] = {
        OnCommand<&ClientDialog::NewSprite>(CM_NEWSPRITE),
    };
    static const TResponseTable table{entries, &TDialog::Table()};
    return table;
  }
  const TResponseTable& ResponseTable() const override { return Table(); }
  void CmOk() override {
    log_.push_back("dialog OK");
    TDialog::CmOk();
  }
  TEdit objectFile{this, 108, 260};

 private:
  void NewSprite() { log_.push_back("dialog new sprite"); }
  Log& log_;
};

class ScriptApp : public TApplication {
 public:
  static const TResponseTable& Table() {
    static constexpr TResponseEntry entries[] = {
        OnCommand<&ScriptApp::NewSprite>(CM_NEWSPRITE),
        OnCommand<&ScriptApp::About>(CM_HELPABOUT),
    };
    static const TResponseTable table{entries, &TApplication::Table()};
    return table;
  }
  const TResponseTable& ResponseTable() const override { return Table(); }
  Log log;

 protected:
  void InitMainWindow() override {
    auto frame = std::make_unique<TFrameWindow>(nullptr, L"settings", std::make_unique<ClientDialog>(log), true);
    frame->Attr.Style = WS_DLGFRAME;
    frame->AssignMenu(KELNA_MENU_ID);
    SetMainWindow(std::move(frame));
  }

 private:
  void NewSprite() { log.push_back("app new sprite"); }
  void About() { log.push_back("app about"); }
};

TEST(ModelessDialog, AsAFramesClientItFitsTakesDialogKeysAndClosesTheFrameOnOk) {
  ScriptApp app;
  // The script runs from a timer, inside the application's own message loop.
  struct Script {
    ScriptApp* app;
    int step = 0;
  };
  static Script* running = nullptr;
  Script script{&app};
  running = &script;
  ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
    ScriptApp& app = *running->app;
    TFrameWindow& frame = *app.GetMainWindow();
    auto& dialog = static_cast<ClientDialog&>(*frame.GetClientWindow());
    switch (running->step++) {
      case 0: {
        const RECT area = frame.GetClientRect();
        const RECT dialogRect = dialog.GetWindowRect();
        EXPECT_EQ(area.right, dialogRect.right - dialogRect.left) << "the frame fits its client";
        EXPECT_EQ(area.bottom, dialogRect.bottom - dialogRect.top);
        // Menu commands: the client first, the application for what the client lacks.
        frame.SendMessage(WM_COMMAND, CM_NEWSPRITE);
        frame.SendMessage(WM_COMMAND, CM_HELPABOUT);
        // Save and Save As are grayed in the resource; nobody here takes them. Exit is
        // the frame's, New Sprite the dialog's.
        HMENU file = ::GetSubMenu(::GetMenu(frame.GetHandle()), 0);
        frame.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
        EXPECT_TRUE(::GetMenuState(file, CM_FILESAVE, MF_BYCOMMAND) & MF_GRAYED);
        EXPECT_FALSE(::GetMenuState(file, CM_EXIT, MF_BYCOMMAND) & MF_GRAYED);
        HMENU sprites = ::GetSubMenu(::GetMenu(frame.GetHandle()), 1);
        ::EnableMenuItem(sprites, CM_NEWSPRITE, MF_BYCOMMAND | MF_GRAYED);
        frame.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sprites), 1);
        EXPECT_FALSE(::GetMenuState(sprites, CM_NEWSPRITE, MF_BYCOMMAND) & MF_GRAYED);
        // Tab moves the focus from the first control to the next one.
        ::SetFocus(::GetDlgItem(dialog.GetHandle(), 108));
        ::PostMessageW(::GetDlgItem(dialog.GetHandle(), 108), WM_KEYDOWN, VK_TAB, 0);
        break;
      }
      case 1:
        EXPECT_NE(::GetFocus(), ::GetDlgItem(dialog.GetHandle(), 108));
        EXPECT_EQ(::GetParent(::GetFocus()), dialog.GetHandle());
        // Enter on a push button presses it: OK closes the dialog and its frame.
        ::SetFocus(::GetDlgItem(dialog.GetHandle(), IDOK));
        ::PostMessageW(::GetDlgItem(dialog.GetHandle(), IDOK), WM_KEYDOWN, VK_RETURN, 0);
        break;
      default:
        ::KillTimer(nullptr, id);
    }
  });
  EXPECT_EQ(app.Run(), 0);
  EXPECT_EQ(app.log, (Log{"dialog new sprite", "app about", "dialog OK"}));
  EXPECT_GE(script.step, 2);
  running = nullptr;
}

TEST(FrameWindow, TheExitCommandClosesTheMainWindow) {
  ScriptApp app;
  static ScriptApp* running = nullptr;
  running = &app;
  ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    running->GetMainWindow()->SendMessage(WM_COMMAND, kExitCommand);
  });
  EXPECT_EQ(app.Run(), 0);
  running = nullptr;
}

TEST(CommonDialogs, FilterSeparatorsBecomeNulsAfterConversion) {
  // In code page 932 the full-width hyphen-minus is 81 7C: its second byte is the byte of '|'.
  const std::string filter = Narrow(L"A－(*.a)|*.a|");
  ASSERT_EQ(filter.substr(1, 2), "\x81\x7C");
  const std::wstring expected(L"A－(*.a)\0*.a\0\0\0", 14);
  EXPECT_EQ(CommonDialogFilter(filter), expected);
}

TEST(CommonDialogs, AnswersComeFromTheApplicationAndTheRecordKeepsTheName) {
  DialogApp app;
  TFrameWindow owner(nullptr, L"owner");
  owner.SetApplication(&app);
  TOpenSaveDialog::TData data(OFN_HIDEREADONLY, "x|*.x|", "", "\\", "X");
  data.FileName = "before.x";
  std::vector<TOpenSaveDialog::Kind> asked;
  app.answers.fileDialog = [&](TOpenSaveDialog& dialog) {
    asked.push_back(dialog.GetKind());
    if (asked.size() == 2) return IDCANCEL;
    dialog.GetData().FileName = "C:\\chosen.x";
    return IDOK;
  };
  EXPECT_EQ(TFileSaveDialog(&owner, data).Execute(), IDOK);
  EXPECT_EQ(data.FileName, "C:\\chosen.x");
  EXPECT_EQ(TFileOpenDialog(&owner, data).Execute(), IDCANCEL);
  EXPECT_EQ(data.FileName, "C:\\chosen.x");
  EXPECT_EQ(asked, (std::vector{TOpenSaveDialog::Kind::Save, TOpenSaveDialog::Kind::Open}));
}

}  // namespace
}  // namespace kelna
