// kelna.scr as Windows starts it, driven from outside the process: each mode's window, or
// none, and how each ends; the settings window writes exactly what it should. (The saver's
// pictures against kelna-tool's are in monitors_test.cpp.)

#include "tests/e2e/saver_process.h"

#include "resources/resource_ids.h"

namespace kelna {
namespace {

using namespace e2e;

TEST_F(ScreenSaver, UnknownCommandLinesEndAtOnceWithoutAWindow) {
  for (const wchar_t* arguments : {L"/x", L"s", L"", L"/p", L"/p 0", L"/p notanumber"}) {
    Process run(arguments);
    EXPECT_EQ(run.ExitCode(20s), 0u) << arguments;
    EXPECT_TRUE(run.seen.empty()) << arguments;
  }
}

TEST_F(ScreenSaver, PreviewFillsTheHostWindowUntilTheHostGoes) {
  HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 300, 200, 152, 112,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  Process run(L"/p " + std::to_wstring(reinterpret_cast<INT_PTR>(host)));
  HWND preview = nullptr;
  RECT rect{};
  PumpUntil([&] {  // made, then sized in its set-up
    preview = ::GetWindow(host, GW_CHILD);
    return preview && ::GetWindowRect(preview, &rect) && rect.right > rect.left;
  }, 20s);
  ASSERT_NE(preview, nullptr);
  const RECT filled{300, 200, 453, 313};  // one pixel past the host's edges, as the host expects
  EXPECT_TRUE(::EqualRect(&rect, &filled)) << rect.right << "," << rect.bottom;
  // Wine does not show a child window of another process: the application tests check the
  // icon's pixels in-process.
  ::DestroyWindow(host);
  EXPECT_EQ(run.ExitCode(10s), 0u);
}

// OK saves the animation as it was read and the settings with the changes; Cancel after
// changes, File > Exit after the About box and the open dialog, and an OK that cannot save
// the animation (which says so and keeps the window) save nothing. With KELNA_SCREENSHOT_DIR
// set it leaves pictures of the window, its File menu and both boxes.
TEST_F(ScreenSaver, SettingsWindowSavesOnOkOnly) {
  HWND frame = nullptr;
  HWND client = nullptr;  // the settings dialog, the frame's client
  const auto aboutOpenAndExit = [&](Process& run) {
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(frame, GWL_STYLE));
    EXPECT_TRUE(style & WS_DLGFRAME);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_NE(::GetMenu(frame), nullptr);  // Wine keeps menus per process: see the framework tests
    SaveScreenshot("settings-window");
    ::PostMessageW(frame, WM_SYSCOMMAND, SC_KEYMENU, 'f');  // Alt+F, as a user would
    SaveScreenshot("settings-file-menu", 700ms);
    ::PostMessageW(frame, WM_CANCELMODE, 0, 0);
    ::PostMessageW(frame, WM_COMMAND, CM_HELPABOUT, 0);
    HWND about = run.WaitFor(nullptr, L"ケルナについて", 10s);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(TextOf(::GetDlgItem(about, KELNA_ABOUT_VERSION_ID)), L"ケルナ  Version 1.0");
    EXPECT_FALSE(::IsWindowEnabled(frame)) << "the About box is modal";
    SaveScreenshot("about-box", 500ms);
    Press(about, IDOK);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(about) && ::IsWindowEnabled(frame); }, 5s));
    ::PostMessageW(frame, WM_COMMAND, CM_FILEOPEN, 0);
    HWND open = nullptr;
    PumpUntil([&] { return (open = ::GetLastActivePopup(frame)) != frame && ::IsWindowVisible(open); }, 10s);
    ASSERT_NE(open, frame);
    SaveScreenshot("open-dialog", 1s);
    ::PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(open); }, 5s));
    EXPECT_EQ(TextOf(frame), L"ケルナの設定 - sky.anm -");
    ::PostMessageW(frame, WM_COMMAND, CM_EXIT, 0);
  };
  const auto failedSave = [&](Process& run) {
    Press(client, IDOK);
    HWND box = run.WaitFor(nullptr, L"エラー", 10s);
    ASSERT_NE(box, nullptr);
    PumpUntil([&] { return !TextOf(::GetDlgItem(box, 0xFFFF)).empty(); }, 2s);
    EXPECT_EQ(TextOf(::GetDlgItem(box, 0xFFFF)),
              L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが保存できませんでした．\nﾌｧｲﾙ名が異常かも知れません．");
    Pump(500ms);
    ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(run.ExitCode(1s)) << "the settings window closed";
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
  };
  const struct {
    const char* what;
    const wchar_t* arguments;
    const wchar_t* animation;  // as the settings name it
    std::function<void(Process&)> act;  // ends with the window closing
    int savedMode;  // 0: nothing saved
  } runs[] = {
      {"OK", L"/c", L"sky.anm", [&](Process&) {
         Press(client, 103);  // tiled, as it was
         Press(client, 104);  // the desktop
         Press(client, IDOK);
       }, 2},
      {"Cancel after changes", L"/c", L"sky.anm", [&](Process&) {
         for (int control : {102, 114, 120}) Press(client, control);
         ::PostMessageW(client, WM_HSCROLL, SB_PAGERIGHT, LPARAM(::GetDlgItem(client, 113)));
         Press(client, 112);  // delete: no row selected, nothing
         Press(client, IDCANCEL);
       }, 0},
      {"Exit", L"/c:1234", L"sky.anm", aboutOpenAndExit, 0},
      {"OK that cannot save", L"/c", L"gone\\sky.anm", failedSave, 0},
  };
  const std::string image = PathToCp932(folder / "centre.bmp");
  for (const auto& r : runs) {
    WriteSettings(SettingsText(1, image, "", r.animation));
    const std::string animation = Contents(folder / "sky.anm");
    Process run(r.arguments);
    frame = run.WaitFor(nullptr, L"ケルナの設定 - sky.anm -");
    ASSERT_NE(frame, nullptr) << r.what;
    client = ::FindWindowExW(frame, nullptr, L"#32770", nullptr);
    ASSERT_NE(client, nullptr) << r.what;
    Pump(500ms);  // let it paint
    r.act(run);
    EXPECT_EQ(run.ExitCode(10s), 0u) << r.what;
    EXPECT_EQ(Contents(folder / "sky.anm"), animation) << r.what << ": saved as read";
    // The empty music name reads as "(なし)" and is written so.
    EXPECT_EQ(Contents(folder / "CONTROL.INI"),
              r.savedMode ? SettingsText(r.savedMode, image, "(\x82\xC8\x82\xB5)", r.animation)
                          : SettingsText(1, image, "", r.animation))
        << r.what;
  }
}

}  // namespace
}  // namespace kelna
