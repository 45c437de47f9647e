// kelna.scr as Windows starts it, driven from outside the process: each mode's window, or
// none, and how each ends; with a fixed seed the saver shows what kelna-tool renders; the
// settings window writes exactly what it should.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sprite_animation.h"
#include "resources/resource_ids.h"
#include "sprites/bmp_image.h"
#include "tests/e2e/screen_saver_process.h"
#include "tests/support/bytes.h"
#include "tests/support/dib_builder.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using namespace test;

// A window's text as it answers WM_GETTEXT (GetWindowText would not ask another process's
// edit control).
std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  ::SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
  return text;
}

void Press(HWND dialog, int button) { ::PostMessageW(::GetDlgItem(dialog, button), BM_CLICK, 0, 0); }

Picture ReadPam(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  Picture picture;
  std::string word;
  while (in >> word && word != "ENDHDR") {
    if (word == "WIDTH") in >> picture.width;
    if (word == "HEIGHT") in >> picture.height;
  }
  in.get();  // the line end after ENDHDR
  for (int i = 0; i < picture.width * picture.height; ++i) {
    unsigned char rgb[3] = {};
    in.read(reinterpret_cast<char*>(rgb), 3);
    picture.pixels.push_back(std::uint32_t(rgb[0]) << 16 | rgb[1] << 8 | rgb[2]);
  }
  return picture;
}

std::unique_ptr<ZoBmpImage> Solid(int width, int height, std::uint32_t colour) {
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream is(StreamForm(SolidDib(width, height, colour)));
  image->Read(is);
  return image;
}

// The settings folder, and sky.anm: three standing sprites placed at random (so the seed
// decides where) of three colours, the middle one with a mask that covers all. Without
// WriteSettings there is no CONTROL.INI.
class ScreenSaver : public ::testing::Test {
 protected:
  ScreenSaver() {
    std::ostringstream objects;
    objects << "FO--1.00" << std::string(24, '\0') << '\x03' << '\0';
    for (int i = 0; i < 3; ++i) {
      ZoSpriteData object;
      object.name = "star" + std::to_string(i);
      object.imageWidth = object.imageHeight = 48;
      object.AddImage(Solid(48, 48, kColours[i]), 0, PairPart::Image);
      if (i == 1) object.AddImage(Solid(48, 48, 0x000000), 0, PairPart::Mask);
      object.Write(objects);
    }
    std::ofstream(folder / "sky.foe", std::ios::binary) << objects.str();
    ZoSpriteAnimation scene;
    scene.objectFileName = Cp932(folder / "sky.foe");
    for (int i = 0; i < 3; ++i) {
      ZoAnimatedSprite* sprite = scene.NewSprite();
      sprite->SetObjectName("star" + std::to_string(i));
      sprite->depth = short(3 - i);
      sprite->imageWidth = sprite->imageHeight = 48;
      sprite->frameCount = 1;
    }
    scene.Write(Cp932(folder / "sky.anm").c_str());
    std::ofstream(folder / "centre.bmp", std::ios::binary) << StreamForm(SolidDib(300, 200, 0x336699));
    Bytes tile = SolidDib(100, 80, 0x996633);
    std::fill(tile.begin() + 40, tile.begin() + 40 + 300, 0x20);  // a dark bottom row
    std::ofstream(folder / "tile.bmp", std::ios::binary) << StreamForm(tile);
  }

  std::string SettingsText(int mode, const std::string& image, const std::string& music = "") const {
    return "[Screen Saver.Vesk]\r\nIntervalTime=40\r\nBGImageFile=" + image + "\r\nBGImageMode=" +
           std::to_string(mode) + "\r\nBGMusicFile=" + music + "\r\nBGMusicRepeat=1\r\nWaveSound=0\r\n" +
           "AnimationFile=" + Cp932(folder / "sky.anm") + "\r\n";
  }
  void WriteSettings(int mode, const std::string& image, const std::string& music = "") {
    std::ofstream(folder / "CONTROL.INI", std::ios::binary) << SettingsText(mode, image, music);
  }

  // The settings frame (once it shows this caption) and the dialog that is its client.
  void OpenSettings(ScreenSaverProcess& run, const wchar_t* caption = L"ケルナの設定 - sky.anm -") {
    frame = run.WaitFor(nullptr, caption);
    ASSERT_NE(frame, nullptr);
    client = ::FindWindowExW(frame, nullptr, L"#32770", nullptr);
    ASSERT_NE(client, nullptr) << "the settings dialog is the frame's client";
    Pump(500ms);  // let it paint
  }

  // Runs the saver for a few frames and compares the whole screen with what the tool
  // renders from the same animation, seed and background.
  void ExpectTheSaverShowsWhatTheToolRenders(int mode, const std::filesystem::path& toolBackground) {
    ScreenSaverProcess run(L"/s");
    HWND saver = run.WaitFor(L"SaverWnd");
    ASSERT_NE(saver, nullptr);
    RECT window{}, desktop{};
    ::GetWindowRect(saver, &window);
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    EXPECT_TRUE(::EqualRect(&window, &desktop));
    Pump(1500ms);
    const Picture shown = CaptureScreen();
    ::PostMessageW(saver, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(run.ExitCode(5s), 0u);
    std::wstring arguments = L"render \"" + (folder / "sky.anm").wstring() + L"\" --size " +
                             std::to_wstring(shown.width) + L"x" + std::to_wstring(shown.height) +
                             L" --ticks 3 --seed 42 --format pam --no-sound --mode " + std::to_wstring(mode) +
                             L" --out \"" + (folder / "render").wstring() + L"\"";
    if (!toolBackground.empty()) arguments += L" --background \"" + toolBackground.wstring() + L"\"";
    EXPECT_EQ(ScreenSaverProcess(arguments, L"kelna-tool.exe").ExitCode(60s), 0u);
    const Picture expected = ReadPam(folder / "render" / "tick-0003.pam");
    ASSERT_EQ(expected.width, shown.width);
    ASSERT_EQ(expected.height, shown.height);
    std::size_t differences = 0;
    int firstX = 0, firstY = 0;
    for (int y = 0; y < shown.height; ++y)
      for (int x = 0; x < shown.width; ++x)
        if (shown.At(x, y) != expected.At(x, y) && differences++ == 0) firstX = x, firstY = y;
    EXPECT_EQ(differences, 0u) << "first at " << firstX << "," << firstY << ": shown " << std::hex
                               << shown.At(firstX, firstY) << ", rendered " << expected.At(firstX, firstY);
    for (std::uint32_t colour : kColours)  // and the sprites are there at all
      EXPECT_NE(std::find(shown.pixels.begin(), shown.pixels.end(), colour), shown.pixels.end()) << std::hex << colour;
  }

  static constexpr std::uint32_t kColours[] = {0xE04040, 0x40E040, 0x4040E0};
  TemporaryFolder folder;
  ScopedVariable configDir{Text("KELNA_CONFIG_DIR"), folder.Path().native()};
  ScopedVariable seed{Text("KELNA_RANDOM_SEED"), Text("42")};
  HWND frame = nullptr;
  HWND client = nullptr;
};

TEST_F(ScreenSaver, UnknownCommandLinesEndAtOnceWithoutAWindow) {
  for (const wchar_t* arguments : {L"/x", L"s", L"", L"/p", L"/p 0", L"/p notanumber"}) {
    ScreenSaverProcess run(arguments);
    EXPECT_EQ(run.ExitCode(20s), 0u) << arguments;
    EXPECT_TRUE(run.WindowsSeen().empty()) << arguments;
  }
}

TEST_F(ScreenSaver, PreviewFillsTheHostWindowUntilTheHostGoes) {
  HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 300, 200, 152, 112,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  ScreenSaverProcess run(L"/p " + std::to_wstring(reinterpret_cast<INT_PTR>(host)));
  HWND preview = nullptr;
  RECT rect{};
  PumpUntil([&] {  // made, then sized in its set-up
    preview = ::GetWindow(host, GW_CHILD);
    return preview && ::GetWindowRect(preview, &rect) && rect.right > rect.left;
  }, 20s);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(rect.left, 300);
  EXPECT_EQ(rect.top, 200);
  EXPECT_EQ(rect.right - rect.left, 153);
  EXPECT_EQ(rect.bottom - rect.top, 113);
  // Wine does not show a child window of another process: the application tests check the
  // icon's pixels in-process.
  ::DestroyWindow(host);
  EXPECT_EQ(run.ExitCode(10s), 0u);
}

TEST_F(ScreenSaver, ShowsWhatTheToolRendersOnEveryBackground) {
  const struct {
    int mode;
    const char* image;  // the saver's and the tool's
  } backgrounds[] = {
      {0, "centre.bmp"},
      {1, "tile.bmp"},
      // The tool takes the screen as it is now as its desktop. (Under Wine a process sees
      // other processes' windows as black when it copies the screen, so this screen holds
      // none; the saver tests check the capture of a visible window in-process.)
      {2, nullptr},
  };
  for (const auto& background : backgrounds) {
    SCOPED_TRACE(background.mode);
    WriteSettings(background.mode, background.image ? Cp932(folder / background.image) : "");
    if (!background.image) WriteBmp(CaptureScreen(), folder / "desktop.bmp");
    ExpectTheSaverShowsWhatTheToolRenders(background.mode, folder / (background.image ? background.image
                                                                                      : "desktop.bmp"));
  }
}

TEST_F(ScreenSaver, TheFirstInputEndsItButNotAMoveReportAtTheStartPosition) {
  WriteSettings(0, "");
  // The saver takes the pointer's position as its start. (Under Xvfb without a window
  // manager, moving the pointer from here would not move the X pointer.)
  POINT start{};
  ASSERT_TRUE(::GetCursorPos(&start));
  const struct {
    const char* what;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool ends;
  } inputs[] = {
      {"move report at the start", WM_MOUSEMOVE, 0, MAKELPARAM(start.x, start.y), false},
      {"key", WM_KEYDOWN, VK_SPACE, 0, true},
      {"click", WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y), true},
      {"move by one pixel", WM_MOUSEMOVE, 0, MAKELPARAM(start.x, start.y + 1), true},
  };
  for (const auto& input : inputs) {
    ScreenSaverProcess run(L"/s");
    HWND saver = run.WaitFor(L"SaverWnd");
    ASSERT_NE(saver, nullptr) << input.what;
    Pump(300ms);  // animating
    ::PostMessageW(saver, input.message, input.wParam, input.lParam);
    if (input.ends) EXPECT_EQ(run.ExitCode(1s), 0u) << input.what;
    if (!input.ends) EXPECT_FALSE(run.ExitCode(500ms)) << input.what;
  }
}

TEST_F(ScreenSaver, MusicThatIsNotMidiShowsOneMessageAndTheAnimationGoesOn) {
  std::ofstream(folder / "song.mid") << "this is not a MIDI file";
  WriteSettings(0, "", Cp932(folder / "song.mid"));
  ScreenSaverProcess run(L"/s");
  HWND box = run.WaitFor(L"#32770");
  ASSERT_NE(box, nullptr) << "no message box";
  Pump(300ms);  // let the box settle, then press its button
  ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  Pump(1500ms);
  EXPECT_FALSE(run.ExitCode(0ms)) << "the saver ended";
  EXPECT_EQ(run.WaitFor(L"#32770", nullptr, 0ms), nullptr) << "a second message box";
  const Picture shown = CaptureScreen();
  EXPECT_NE(std::find(shown.pixels.begin(), shown.pixels.end(), kColours[0]), shown.pixels.end())
      << "no sprite after the message";
}

// --- The settings window ----------------------------------------------------------------

// The window as shown, its About box and open dialog; Exit then saves nothing. With
// KELNA_SCREENSHOT_DIR set it leaves pictures of each.
TEST_F(ScreenSaver, SettingsWindowItsDialogsAndExit) {
  WriteSettings(1, Cp932(folder / "centre.bmp"));
  const std::string settings = Contents(folder / "CONTROL.INI");
  const std::string animation = Contents(folder / "sky.anm");
  ScreenSaverProcess run(L"/c:1234");
  OpenSettings(run);
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(frame, GWL_STYLE));
  EXPECT_TRUE(style & WS_DLGFRAME);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  // Wine keeps menus per process: the framework tests check their contents in-process.
  EXPECT_NE(::GetMenu(frame), nullptr);
  RECT area{}, dialog{};
  ::GetClientRect(frame, &area);
  ::GetWindowRect(client, &dialog);
  EXPECT_EQ(area.right, dialog.right - dialog.left) << "the frame fits its client";
  EXPECT_EQ(area.bottom, dialog.bottom - dialog.top);
  wchar_t name[64] = {};
  ::GetClassNameW(::GetDlgItem(client, 107), name, 64);
  EXPECT_STREQ(name, L"SysListView32");
  ::GetClassNameW(::GetDlgItem(client, 113), name, 64);
  EXPECT_STREQ(name, L"msctls_trackbar32");
  EXPECT_EQ(TextOf(::GetDlgItem(client, IDOK)), L"ＯＫ");
  SaveScreenshot("settings-window");
  ::PostMessageW(frame, WM_SYSCOMMAND, SC_KEYMENU, 'f');  // Alt+F, as a user would
  Pump(700ms);
  SaveScreenshot("settings-file-menu");
  ::PostMessageW(frame, WM_CANCELMODE, 0, 0);

  ::PostMessageW(frame, WM_COMMAND, CM_HELPABOUT, 0);
  HWND about = run.WaitFor(nullptr, L"ケルナについて", 10s);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(TextOf(::GetDlgItem(about, KELNA_ABOUT_VERSION_ID)), L"ケルナ  Version 1.0");
  EXPECT_FALSE(::IsWindowEnabled(frame)) << "the About box is modal";
  Pump(500ms);
  SaveScreenshot("about-box");
  Press(about, IDOK);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(about) && ::IsWindowEnabled(frame); }, 5s));

  ::PostMessageW(frame, WM_COMMAND, CM_FILEOPEN, 0);
  HWND open = nullptr;
  PumpUntil([&] {
    open = ::GetLastActivePopup(frame);
    return open && open != frame && ::IsWindowVisible(open);
  }, 10s);
  ASSERT_NE(open, frame);
  Pump(1s);
  SaveScreenshot("open-dialog");
  ::PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(open); }, 5s));
  EXPECT_EQ(TextOf(frame), L"ケルナの設定 - sky.anm -");

  ::PostMessageW(frame, WM_COMMAND, CM_EXIT, 0);
  EXPECT_EQ(run.ExitCode(10s), 0u);
  EXPECT_EQ(Contents(folder / "sky.anm"), animation);
  EXPECT_EQ(Contents(folder / "CONTROL.INI"), settings);
}

TEST_F(ScreenSaver, SettingsWindowOkSavesBothFilesAndCancelNothing) {
  const struct {
    const char* what;
    std::function<void(HWND client)> act;
    bool saves;
  } runs[] = {
      {"OK", [](HWND client) {
         Press(client, 103);  // tiled, as it was
         Press(client, 104);  // the desktop
         Press(client, IDOK);
       }, true},
      {"Cancel after changes", [](HWND client) {
         for (int control : {102, 114, 120}) Press(client, control);
         ::PostMessageW(client, WM_HSCROLL, SB_PAGERIGHT, LPARAM(::GetDlgItem(client, 113)));
         Press(client, 112);  // delete: no row selected, nothing
         Press(client, IDCANCEL);
       }, false},
  };
  for (const auto& r : runs) {
    WriteSettings(1, Cp932(folder / "centre.bmp"));
    const std::string animation = Contents(folder / "sky.anm");
    ScreenSaverProcess run(L"/c");
    OpenSettings(run);
    r.act(client);
    EXPECT_EQ(run.ExitCode(10s), 0u) << r.what;
    EXPECT_EQ(Contents(folder / "sky.anm"), animation) << r.what << ": saved as read";
    // The empty music name reads as "(なし)" and is written so.
    EXPECT_EQ(Contents(folder / "CONTROL.INI"),
              r.saves ? SettingsText(2, Cp932(folder / "centre.bmp"), "(\x82\xC8\x82\xB5)")
                      : SettingsText(1, Cp932(folder / "centre.bmp")))
        << r.what;
  }
}

TEST_F(ScreenSaver, SettingsWindowSaysSoWhenSavingFailsAndStaysOpen) {
  std::ofstream(folder / "CONTROL.INI", std::ios::binary)
      << "[Screen Saver.Vesk]\r\nAnimationFile=" << Cp932(folder / "gone" / "sky.anm") << "\r\n";
  const std::string settings = Contents(folder / "CONTROL.INI");
  ScreenSaverProcess run(L"/c");
  OpenSettings(run);
  Press(client, IDOK);
  HWND box = run.WaitFor(nullptr, L"エラー", 10s);
  ASSERT_NE(box, nullptr);
  PumpUntil([&] { return !TextOf(::GetDlgItem(box, 0xFFFF)).empty(); }, 2s);
  EXPECT_EQ(TextOf(::GetDlgItem(box, 0xFFFF)),
            L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが保存できませんでした．\nﾌｧｲﾙ名が異常かも知れません．");
  Pump(500ms);
  ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  EXPECT_FALSE(run.ExitCode(1s)) << "the settings window closed";
  EXPECT_TRUE(::IsWindow(client));
  EXPECT_EQ(Contents(folder / "CONTROL.INI"), settings);
}

// What a user does: add a sprite, bring the deepest one to the front, OK; then the saver
// shows the changed animation exactly as the tool renders the saved file.
TEST_F(ScreenSaver, ChangesMadeInTheSettingsWindowReachTheSaver) {
  WriteSettings(0, Cp932(folder / "centre.bmp"));
  {
    ScreenSaverProcess settings(L"/c");
    OpenSettings(settings);
    const auto editSprite = [&](int button, const std::function<void(HWND)>& fill) {
      Press(client, button);
      HWND edit = settings.WaitFor(nullptr, L"スプライトの編集", 10s);
      ASSERT_NE(edit, nullptr);
      fill(edit);
      Press(edit, IDOK);
      ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(edit); }, 10s)) << "the edit dialog refused OK";
    };
    const auto set = [](HWND edit, int id, const wchar_t* text) {
      ::SendMessageW(::GetDlgItem(edit, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    };
    editSprite(106, [&](HWND edit) {  // a new sprite of star1 at (10, 20), standing still
      set(edit, 114, L"moon");
      HWND objects = ::GetDlgItem(edit, 113);
      ::SendMessageW(objects, CB_SETCURSEL, 1, 0);
      ::SendMessageW(edit, WM_COMMAND, MAKEWPARAM(113, CBN_SELCHANGE), reinterpret_cast<LPARAM>(objects));
      set(edit, 106, L"10");
      set(edit, 107, L"20");
      set(edit, 125, L"2");
    });
    // The first row is the deepest sprite (star0, depth 3): to the front.
    ::PostMessageW(::GetDlgItem(client, 107), WM_KEYDOWN, VK_DOWN, 0);
    Pump(300ms);
    editSprite(105, [&](HWND edit) {  // its name "newsprite" must go too
      set(edit, 114, L"sun");
      set(edit, 125, L"0");
    });
    Press(client, IDOK);
    ASSERT_EQ(settings.ExitCode(10s), 0u);
  }
  ZoSpriteAnimation saved;
  ASSERT_EQ(saved.Read(Cp932(folder / "sky.anm").c_str(), false), 1);
  std::vector<std::string> rows;
  for (const auto& sprite : saved.sprites)
    rows.push_back(std::string(sprite->Name()) + " " + sprite->ObjectName() + " " + std::to_string(sprite->depth));
  EXPECT_EQ(rows, (std::vector<std::string>{"newsprite star1 2", "moon star1 2", "newsprite star2 1", "sun star0 0"}));
  ExpectTheSaverShowsWhatTheToolRenders(0, folder / "centre.bmp");
}

}  // namespace
}  // namespace kelna
