// kelna.scr as the host starts it: each mode's window, or none, and how each ends.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/sprite_animation.h"
#include "sprites/bmp_image.h"
#include "tests/support/dib_builder.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

#include "tests/e2e/screen_saver_process.h"

namespace kelna {
namespace {

using namespace std::chrono_literals;
using test::CaptureScreen;
using test::Clock;
using test::Picture;
using test::Cp932;
using test::PumpUntil;
using test::ScreenSaverPath;
using test::ScreenSaverProcess;
using test::WriteBmp;


class ScreenSaver : public ::testing::Test {
 protected:
  test::TemporaryFolder settings;  // no CONTROL.INI: every setting at its default
  test::ScopedVariable configDir{test::Text("KELNA_CONFIG_DIR"), settings.Path().native()};
};

TEST_F(ScreenSaver, UnknownCommandLinesEndAtOnceWithoutAWindow) {
  for (const wchar_t* arguments : {L"/x", L"s", L"", L"/p", L"/p 0", L"/p notanumber"}) {
    ScreenSaverProcess run(arguments);
    EXPECT_EQ(run.ExitCode(20s), 0u) << arguments;
    EXPECT_TRUE(run.WindowsSeen().empty()) << arguments;
  }
}

TEST_F(ScreenSaver, SettingsModeOpensTheSettingsFrame) {
  for (const wchar_t* arguments : {L"/c:1234", L"/C"}) {
    ScreenSaverProcess run(arguments);
    HWND frame = run.WaitForWindow(nullptr);
    ASSERT_NE(frame, nullptr) << arguments;
    wchar_t title[128] = {};
    ::GetWindowTextW(frame, title, 128);
    EXPECT_STREQ(title, L"ケルナの設定 - untitled.anm -");
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(frame, GWL_STYLE));
    EXPECT_TRUE(style & WS_DLGFRAME);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    // Wine keeps menus and icons per process: their contents are checked in-process by
    // the framework tests; here it is enough that the frame has a menu.
    EXPECT_NE(::GetMenu(frame), nullptr);
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.ExitCode(10s), 0u) << arguments;
  }
}

TEST_F(ScreenSaver, SaverModeCoversTheDesktopInBlackUntilAKey) {
  // Something white on the screen first, so that black can only come from the saver.
  HWND white = ::CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP | WS_VISIBLE | SS_WHITERECT,
                                 590, 462, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(white, nullptr);
  ::UpdateWindow(white);
  PumpUntil([] { return false; }, 300ms);
  HDC before = ::GetDC(nullptr);
  const COLORREF underneath = ::GetPixel(before, 640, 512);
  ::ReleaseDC(nullptr, before);
  ASSERT_NE(underneath, RGB(0, 0, 0));
  ScreenSaverProcess run(L"/s");
  HWND saver = run.WaitForWindow(L"SaverWnd");
  ASSERT_NE(saver, nullptr);
  RECT window{}, desktop{};
  ::GetWindowRect(saver, &window);
  ::GetWindowRect(::GetDesktopWindow(), &desktop);
  EXPECT_TRUE(::EqualRect(&window, &desktop));
  PumpUntil([] { return false; }, 300ms);  // let it paint
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(::GetPixel(screen, 640, 512), RGB(0, 0, 0));
  ::ReleaseDC(nullptr, screen);
  ::PostMessageW(saver, WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(run.ExitCode(5s), 0u);
  ::DestroyWindow(white);
}

TEST_F(ScreenSaver, SaverModeIgnoresAMouseReportAtTheStartPosition) {
  // Where the pointer is: the saver takes it as its start. (Under Xvfb without a window
  // manager, moving the pointer from here would not move the X pointer, whose motion
  // reports the saver then sees.)
  POINT start{};
  ASSERT_TRUE(::GetCursorPos(&start));
  ScreenSaverProcess run(L"/s");
  HWND saver = run.WaitForWindow(L"SaverWnd");
  ASSERT_NE(saver, nullptr);
  ::PostMessageW(saver, WM_MOUSEMOVE, 0, MAKELPARAM(start.x, start.y));
  EXPECT_FALSE(run.ExitCode(500ms)) << "a report at the start position closed the saver";
  ::PostMessageW(saver, WM_MOUSEMOVE, 0, MAKELPARAM(start.x + 1, start.y));
  EXPECT_EQ(run.ExitCode(5s), 0u);
}

TEST_F(ScreenSaver, PreviewModeFillsTheHostWindowUntilTheHostGoes) {
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
  // Wine does not show a child window that belongs to another process, so the icon's
  // pixels are checked in-process by the application tests.
  ::DestroyWindow(host);  // the host ends the preview
  EXPECT_EQ(run.ExitCode(10s), 0u);
}


// --- The saver with an animation ------------------------------------------------------


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
  std::istringstream is(test::StreamForm(test::SolidDib(width, height, colour)));
  image->Read(is);
  return image;
}

// Three standing sprites placed at random (so the seed decides where), of three colours,
// the middle one with a round mask, over the background that CONTROL.INI names.
class SaverWithAnimation : public ScreenSaver {
 protected:
  SaverWithAnimation() {
    std::ostringstream objects;
    objects << "FO--1.00" << std::string(24, '\0') << '\x03' << '\0';
    const std::uint32_t colours[] = {0xE04040, 0x40E040, 0x4040E0};
    for (int i = 0; i < 3; ++i) {
      ZoSpriteData object;
      object.name = "star" + std::to_string(i);
      object.imageWidth = object.imageHeight = 48;
      object.AddImage(Solid(48, 48, colours[i]), 0, PairPart::Image);
      if (i == 1) object.AddImage(Solid(48, 48, 0x000000), 0, PairPart::Mask);  // a mask that covers all
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
    std::ofstream(folder / "centre.bmp", std::ios::binary) << test::StreamForm(test::SolidDib(300, 200, 0x336699));
    test::Bytes tile = test::SolidDib(100, 80, 0x996633);
    std::fill(tile.begin() + 40, tile.begin() + 40 + 300, 0x20);  // a dark bottom row
    std::ofstream(folder / "tile.bmp", std::ios::binary) << test::StreamForm(tile);
  }

  void WriteSettings(int mode, const std::string& image, const std::string& music = "") {
    std::ofstream(settings / "CONTROL.INI", std::ios::binary)
        << "[Screen Saver.Vesk]\r\nIntervalTime=40\r\nBGImageFile=" << image << "\r\nBGImageMode=" << mode
        << "\r\nBGMusicFile=" << music << "\r\nBGMusicRepeat=1\r\nWaveSound=0\r\nAnimationFile="
        << Cp932(folder / "sky.anm") << "\r\n";
  }

  // What kelna-tool renders for the same animation, seed and background.
  Picture Render(int mode, const std::filesystem::path& background) {
    const Picture screen = CaptureScreen();
    std::wstring arguments = L"render \"" + (folder / "sky.anm").wstring() + L"\" --size " +
                             std::to_wstring(screen.width) + L"x" + std::to_wstring(screen.height) +
                             L" --ticks 3 --seed 42 --format pam --no-sound --mode " + std::to_wstring(mode) +
                             L" --out \"" + (folder / "render").wstring() + L"\"";
    if (!background.empty()) arguments += L" --background \"" + background.wstring() + L"\"";
    std::wstring commandLine = L"\"" + ToolPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
      return {};
    ::WaitForSingleObject(process.hProcess, 60000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return ReadPam(folder / "render" / "tick-0003.pam");
  }

  static std::wstring ToolPath() {
    std::wstring saver = ScreenSaverPath();
    return saver.substr(0, saver.find_last_of(L"\\/") + 1) + L"kelna-tool.exe";
  }

  // Runs the saver until it has drawn a few frames and compares the whole screen with
  // what the tool renders.
  void ExpectTheSaverShowsWhatTheToolRenders(int mode, const std::filesystem::path& background,
                                             const std::filesystem::path& toolBackground) {
    WriteSettings(mode, background.empty() ? std::string() : Cp932(background));
    ScreenSaverProcess run(L"/s");
    HWND saver = run.WaitForWindow(L"SaverWnd");
    ASSERT_NE(saver, nullptr);
    PumpUntil([] { return false; }, 1500ms);
    const Picture shown = CaptureScreen();
    ::PostMessageW(saver, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(run.ExitCode(5s), 0u);
    const Picture expected = Render(mode, toolBackground);
    ASSERT_EQ(expected.width, shown.width);
    ASSERT_EQ(expected.height, shown.height);
    std::size_t differences = 0;
    int firstX = -1, firstY = -1;
    for (int y = 0; y < shown.height; ++y)
      for (int x = 0; x < shown.width; ++x)
        if (shown.At(x, y) != expected.At(x, y) && differences++ == 0) firstX = x, firstY = y;
    EXPECT_EQ(differences, 0u) << "first at " << firstX << "," << firstY << ": shown " << std::hex
                               << shown.At(std::max(firstX, 0), std::max(firstY, 0)) << ", rendered "
                               << expected.At(std::max(firstX, 0), std::max(firstY, 0));
    // And the sprites are there at all: the three colours show.
    for (std::uint32_t colour : {0xE04040u, 0x40E040u, 0x4040E0u})
      EXPECT_NE(std::find(shown.pixels.begin(), shown.pixels.end(), colour), shown.pixels.end()) << std::hex << colour;
  }

  test::TemporaryFolder folder;
  test::ScopedVariable seed{test::Text("KELNA_RANDOM_SEED"), test::Text("42")};
};

TEST_F(SaverWithAnimation, CentredImageWithSpritesWhereTheToolPutsThem) {
  ExpectTheSaverShowsWhatTheToolRenders(0, folder / "centre.bmp", folder / "centre.bmp");
}

TEST_F(SaverWithAnimation, TiledImageWithSpritesWhereTheToolPutsThem) {
  ExpectTheSaverShowsWhatTheToolRenders(1, folder / "tile.bmp", folder / "tile.bmp");
}

TEST_F(SaverWithAnimation, DesktopWithSpritesWhereTheToolPutsThem) {
  // The tool takes the screen as it is now as its desktop. (Under Wine a process sees the
  // windows of other processes as black when it copies the screen, so this screen holds
  // none; the saver tests check the capture of a visible window in-process.)
  WriteBmp(CaptureScreen(), folder / "desktop.bmp");
  ExpectTheSaverShowsWhatTheToolRenders(2, {}, folder / "desktop.bmp");
}

// What a user does: open the settings, add a sprite, bring the deepest one to the front,
// OK; then the saver shows the changed animation exactly as the tool renders the saved file.
TEST_F(SaverWithAnimation, ChangesMadeInTheSettingsWindowReachTheSaver) {
  WriteSettings(0, Cp932(folder / "centre.bmp"));
  {
    ScreenSaverProcess settings(L"/c");
    HWND frame = settings.WaitForCaption(L"ケルナの設定 - sky.anm -");
    ASSERT_NE(frame, nullptr);
    HWND client = ::FindWindowExW(frame, nullptr, L"#32770", nullptr);
    ASSERT_NE(client, nullptr);
    const auto editSprite = [&](int button, const std::function<void(HWND)>& fill) {
      ::PostMessageW(::GetDlgItem(client, button), BM_CLICK, 0, 0);
      HWND edit = settings.WaitForCaption(L"スプライトの編集", 10s);
      ASSERT_NE(edit, nullptr);
      fill(edit);
      ::PostMessageW(::GetDlgItem(edit, IDOK), BM_CLICK, 0, 0);
      ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(edit); }, 10s)) << "the edit dialog refused OK";
    };
    editSprite(106, [](HWND edit) {  // a new sprite of star1 at (10, 20), standing still
      ::SendMessageW(::GetDlgItem(edit, 114), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"moon"));
      HWND objects = ::GetDlgItem(edit, 113);
      ::SendMessageW(objects, CB_SETCURSEL, 1, 0);
      ::SendMessageW(edit, WM_COMMAND, MAKEWPARAM(113, CBN_SELCHANGE), reinterpret_cast<LPARAM>(objects));
      ::SendMessageW(::GetDlgItem(edit, 106), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"10"));
      ::SendMessageW(::GetDlgItem(edit, 107), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"20"));
      ::SendMessageW(::GetDlgItem(edit, 125), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"2"));
    });
    // The first row is the deepest sprite (star0, depth 3): to the front.
    ::PostMessageW(::GetDlgItem(client, 107), WM_KEYDOWN, VK_DOWN, 0);
    PumpUntil([] { return false; }, 300ms);
    editSprite(105, [](HWND edit) {  // its name "newsprite" must go too
      ::SendMessageW(::GetDlgItem(edit, 114), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"sun"));
      ::SendMessageW(::GetDlgItem(edit, 125), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"0"));
    });
    ::PostMessageW(::GetDlgItem(client, IDOK), BM_CLICK, 0, 0);
    ASSERT_EQ(settings.ExitCode(10s), 0u);
  }
  ZoSpriteAnimation saved;
  ASSERT_EQ(saved.Read(Cp932(folder / "sky.anm").c_str(), false), 1);
  std::vector<std::string> rows;
  for (const auto& sprite : saved.sprites)
    rows.push_back(std::string(sprite->Name()) + " " + sprite->ObjectName() + " " + std::to_string(sprite->depth));
  EXPECT_EQ(rows, (std::vector<std::string>{"newsprite star1 2", "moon star1 2", "newsprite star2 1", "sun star0 0"}));
  ExpectTheSaverShowsWhatTheToolRenders(0, folder / "centre.bmp", folder / "centre.bmp");
}

TEST_F(SaverWithAnimation, EveryKindOfInputEndsItWithinASecond) {
  WriteSettings(0, "");
  POINT start{};
  ASSERT_TRUE(::GetCursorPos(&start));
  const struct {
    const char* what;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } inputs[] = {
      {"key", WM_KEYDOWN, VK_SPACE, 0},
      {"click", WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y)},
      {"move by one pixel", WM_MOUSEMOVE, 0, MAKELPARAM(start.x, start.y + 1)},
  };
  for (const auto& input : inputs) {
    ScreenSaverProcess run(L"/s");
    HWND saver = run.WaitForWindow(L"SaverWnd");
    ASSERT_NE(saver, nullptr) << input.what;
    PumpUntil([] { return false; }, 300ms);  // animating
    ::PostMessageW(saver, input.message, input.wParam, input.lParam);
    EXPECT_EQ(run.ExitCode(1s), 0u) << input.what;
  }
}

TEST_F(SaverWithAnimation, MusicThatIsNotMidiShowsOneMessageAndTheAnimationGoesOn) {
  std::ofstream(folder / "song.mid") << "this is not a MIDI file";
  WriteSettings(0, "", Cp932(folder / "song.mid"));
  ScreenSaverProcess run(L"/s");
  HWND box = run.WaitForWindow(L"#32770");
  ASSERT_NE(box, nullptr) << "no message box";
  wchar_t text[300] = {};
  ::GetDlgItemTextW(box, 0xFFFF, text, 300);
  EXPECT_GT(std::wcslen(text), 0u);
  PumpUntil([] { return false; }, 300ms);  // let the box settle, then press its button
  ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  PumpUntil([] { return false; }, 1500ms);
  EXPECT_FALSE(run.ExitCode(0ms)) << "the saver ended";
  EXPECT_EQ(run.WaitForWindow(L"#32770", 0ms), nullptr) << "a second message box";
  const Picture shown = CaptureScreen();
  EXPECT_NE(std::find(shown.pixels.begin(), shown.pixels.end(), 0xE04040u), shown.pixels.end())
      << "no sprite after the message";
  HWND saver = run.WaitForWindow(L"SaverWnd", 0ms);
  ASSERT_NE(saver, nullptr);
  ::PostMessageW(saver, WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(run.ExitCode(5s), 0u);
}

}  // namespace
}  // namespace kelna
