// kelna.scr /c as the Display settings start it: the settings window, its menus, the About
// box, the common dialogs, OK and Exit, driven by messages from outside the process.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "engine/sprite_animation.h"
#include "resources/resource_ids.h"
#include "tests/e2e/screen_saver_process.h"
#include "tests/support/bytes.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using namespace std::chrono_literals;
using test::Cp932;
using test::PumpUntil;
using test::SaveScreenshot;
using test::ScreenSaverProcess;

using test::Contents;

// A window's text as it answers WM_GETTEXT (GetWindowText would not ask another process's
// edit control).
std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  ::SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
  return text;
}

// The text of the next message box captioned "エラー", which is then answered with OK
// (after a screenshot under the given name, if any). Empty when none came.
std::wstring AnswerErrorBox(ScreenSaverProcess& run, const std::string& screenshot = "") {
  HWND box = run.WaitForCaption(L"エラー", 10s);
  if (!box) return {};
  PumpUntil([&] { return !TextOf(::GetDlgItem(box, 0xFFFF)).empty(); }, 2s);
  const std::wstring text = TextOf(::GetDlgItem(box, 0xFFFF));
  PumpUntil([] { return false; }, 500ms);  // let it settle and paint
  if (!screenshot.empty()) SaveScreenshot(screenshot);
  ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  return text;
}

// A settings folder whose CONTROL.INI names an animation of two sprites over an object
// file of two objects, all in the test's own folder.
class SettingsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream objects(std::ios::binary);
    objects << "FO--1.00" << std::string(24, '\0') << char(2) << char(0);
    for (const char* name : {"fish", "crab"}) {
      ZoSpriteData object;
      object.name = name;
      object.Write(objects);
    }
    std::ofstream(folder / "sea.foe", std::ios::binary) << objects.str();
    ZoSpriteAnimation scene;
    for (const char* name : {"a", "b"}) {
      ZoAnimatedSprite* sprite = scene.NewSprite();
      sprite->SetName(name);
      sprite->SetObjectName("fish");
    }
    scene.objectFileName = Cp932(folder / "sea.foe");
    ASSERT_EQ(scene.Write(Cp932(folder / "sea.anm").c_str()), 1);
    animation = Contents(folder / "sea.anm");
    std::ofstream(folder / "CONTROL.INI", std::ios::binary)
        << "[Screen Saver.Vesk]\r\nIntervalTime=100\r\nBGImageMode=1\r\nAnimationFile="
        << Cp932(folder / "sea.anm") << "\r\n";
    settings = Contents(folder / "CONTROL.INI");
  }

  // The settings frame and its client dialog, once shown.
  void Open(ScreenSaverProcess& run) {
    frame = run.WaitForCaption(L"ケルナの設定 - sea.anm -");
    ASSERT_NE(frame, nullptr);
    client = ::FindWindowExW(frame, nullptr, L"#32770", nullptr);
    ASSERT_NE(client, nullptr) << "the settings dialog is the frame's client";
    PumpUntil([] { return false; }, 500ms);  // let it paint
  }

  test::TemporaryFolder folder;
  test::ScopedVariable configDir{test::Text("KELNA_CONFIG_DIR"), folder.Path().native()};
  std::string animation, settings;
  HWND frame = nullptr;
  HWND client = nullptr;
};

TEST_F(SettingsWindow, ShowsTheSettingsDialogInAFrameThatFitsIt) {
  ScreenSaverProcess run(L"/c");
  Open(run);
  RECT area{}, dialog{};
  ::GetClientRect(frame, &area);
  ::GetWindowRect(client, &dialog);
  EXPECT_EQ(area.right, dialog.right - dialog.left);
  EXPECT_EQ(area.bottom, dialog.bottom - dialog.top);
  wchar_t name[64] = {};
  ::GetClassNameW(::GetDlgItem(client, 107), name, 64);
  EXPECT_STREQ(name, L"SysListView32");
  ::GetClassNameW(::GetDlgItem(client, 113), name, 64);
  EXPECT_STREQ(name, L"msctls_trackbar32");
  EXPECT_EQ(TextOf(::GetDlgItem(client, IDOK)), L"ＯＫ");
  SaveScreenshot("settings-window");
  // Alt+F opens the File menu, as a user would.
  ::PostMessageW(frame, WM_SYSCOMMAND, SC_KEYMENU, 'f');
  PumpUntil([] { return false; }, 700ms);
  SaveScreenshot("settings-file-menu");
  ::PostMessageW(frame, WM_CANCELMODE, 0, 0);
  ::PostMessageW(frame, WM_COMMAND, CM_EXIT, 0);
  EXPECT_EQ(run.ExitCode(10s), 0u);
  EXPECT_EQ(Contents(folder / "sea.anm"), animation) << "Exit saves nothing";
  EXPECT_EQ(Contents(folder / "CONTROL.INI"), settings);
}

TEST_F(SettingsWindow, AboutBoxShowsTheProgramAndClosesWithOk) {
  ScreenSaverProcess run(L"/c");
  Open(run);
  ::PostMessageW(frame, WM_COMMAND, CM_HELPABOUT, 0);
  HWND about = run.WaitForCaption(L"ケルナについて", 10s);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(TextOf(::GetDlgItem(about, KELNA_ABOUT_VERSION_ID)), L"ケルナ  Version 1.0");
  EXPECT_FALSE(::IsWindowEnabled(frame)) << "the About box is modal";
  PumpUntil([] { return false; }, 500ms);
  SaveScreenshot("about-box");
  ::SendMessageW(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(about); }, 5s));
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(frame) != FALSE; }, 5s));
  ::PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.ExitCode(10s), 0u);
}

TEST_F(SettingsWindow, TheOpenDialogIsTheCommonOneAndCancelChangesNothing) {
  ScreenSaverProcess run(L"/c");
  Open(run);
  ::PostMessageW(frame, WM_COMMAND, CM_FILEOPEN, 0);
  HWND dialog = nullptr;
  PumpUntil([&] {
    dialog = ::GetLastActivePopup(frame);
    return dialog && dialog != frame && ::IsWindowVisible(dialog);
  }, 10s);
  ASSERT_NE(dialog, frame);
  PumpUntil([] { return false; }, 1s);
  SaveScreenshot("open-dialog");
  ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(dialog); }, 5s));
  EXPECT_EQ(TextOf(frame), L"ケルナの設定 - sea.anm -");
  ::PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.ExitCode(10s), 0u);
}

TEST_F(SettingsWindow, OkSavesTheAnimationAndTheSettingsThenCloses) {
  ScreenSaverProcess run(L"/c");
  Open(run);
  ::SendMessageW(::GetDlgItem(client, 103), BM_CLICK, 0, 0);  // already tiled: stays 1
  ::SendMessageW(::GetDlgItem(client, 104), BM_CLICK, 0, 0);  // the desktop
  ::PostMessageW(::GetDlgItem(client, IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(run.ExitCode(10s), 0u);
  EXPECT_EQ(Contents(folder / "sea.anm"), animation);
  EXPECT_EQ(Contents(folder / "CONTROL.INI"),
            "[Screen Saver.Vesk]\r\nIntervalTime=100\r\nBGImageMode=2\r\nAnimationFile=" +
                Cp932(folder / "sea.anm") +
                "\r\nBGImageFile=(\x82\xC8\x82\xB5)\r\nBGMusicFile=(\x82\xC8\x82\xB5)\r\n"
                "BGMusicRepeat=1\r\nWaveSound=1\r\n");
}

TEST_F(SettingsWindow, CancelAfterChangesWritesNothing) {
  ScreenSaverProcess run(L"/c");
  Open(run);
  for (int control : {102, 114, 120}) ::SendMessageW(::GetDlgItem(client, control), BM_CLICK, 0, 0);
  ::SendMessageW(client, WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(::GetDlgItem(client, 113)));
  ::PostMessageW(::GetDlgItem(client, 112), BM_CLICK, 0, 0);  // delete: no row selected, nothing
  ::PostMessageW(::GetDlgItem(client, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(run.ExitCode(10s), 0u);
  EXPECT_EQ(Contents(folder / "sea.anm"), animation);
  EXPECT_EQ(Contents(folder / "CONTROL.INI"), settings);
}

TEST_F(SettingsWindow, AFailedSaveSaysSoAndKeepsTheWindowOpen) {
  std::ofstream(folder / "CONTROL.INI", std::ios::binary)
      << "[Screen Saver.Vesk]\r\nAnimationFile=" << Cp932(folder / "gone" / "sea.anm") << "\r\n";
  settings = Contents(folder / "CONTROL.INI");
  ScreenSaverProcess run(L"/c");
  frame = run.WaitForCaption(L"ケルナの設定 - sea.anm -");
  ASSERT_NE(frame, nullptr);
  client = ::FindWindowExW(frame, nullptr, L"#32770", nullptr);
  ::PostMessageW(::GetDlgItem(client, IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(AnswerErrorBox(run), L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが保存できませんでした．\nﾌｧｲﾙ名が異常かも知れません．");
  EXPECT_FALSE(run.ExitCode(1s)) << "the settings window closed";
  EXPECT_TRUE(::IsWindow(client));
  EXPECT_EQ(Contents(folder / "CONTROL.INI"), settings);
  ::PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.ExitCode(10s), 0u);
}

// The sprite edit dialog as a user meets it, and its first refusal.
TEST_F(SettingsWindow, NewSpriteOpensTheEditDialogWhichRefusesItsProposedName) {
  ScreenSaverProcess run(L"/c");
  Open(run);
  ::PostMessageW(::GetDlgItem(client, 106), BM_CLICK, 0, 0);
  HWND edit = run.WaitForCaption(L"スプライトの編集", 10s);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(TextOf(::GetDlgItem(edit, 114)), L"newsprite");
  EXPECT_EQ(::SendMessageW(::GetDlgItem(edit, 113), CB_GETCOUNT, 0, 0), 2) << "fish and crab";
  PumpUntil([] { return false; }, 500ms);
  SaveScreenshot("sprite-edit-dialog");
  ::PostMessageW(::GetDlgItem(edit, IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(AnswerErrorBox(run, "sprite-name-refused"), L"\"newsprite\"はスプライト名として使用できません．");
  ::PostMessageW(::GetDlgItem(edit, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(edit); }, 5s));
  ::PostMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.ExitCode(10s), 0u);
  EXPECT_EQ(Contents(folder / "sea.anm"), animation);
}

}  // namespace
}  // namespace kelna
