// kelna.scr as Windows starts it, driven from outside the process: each mode's window, or
// none, and how each ends; with a fixed seed the saver shows what kelna-tool renders; the
// settings window writes exactly what it should.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sprite_animation.h"
#include "platform/text.h"
#include "resources/resource_ids.h"
#include "sprites/bmp_image.h"
#include "tests/support/bytes.h"
#include "tests/support/dib_builder.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using namespace test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Pumps this thread's messages (a host window of ours must answer the child's messages)
// until `done` says so or the time is up.
bool PumpUntil(const std::function<bool()>& done, Clock::duration limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (done()) return true;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    ::Sleep(10);
  }
  return done();
}
void Pump(Clock::duration time) { PumpUntil([] { return false; }, time); }

// One run of kelna.scr (or another program beside the test in bin/), ended by force if it
// still runs at the end of the test.
class Process {
 public:
  explicit Process(const std::wstring& arguments, const std::wstring& program = L"kelna.scr") {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring folder(self, std::wcsrchr(self, L'\\') + 1);
    std::wstring commandLine = L"\"" + folder + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process_)) {
      ADD_FAILURE() << "the program did not start: error " << ::GetLastError();
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process() {
    if (!process_.hProcess) return;
    if (!ExitCode(0ms)) ::TerminateProcess(process_.hProcess, 99);
    ::WaitForSingleObject(process_.hProcess, 5000);
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }

  // The exit status once the process has ended within `limit`; while waiting, every window
  // the process shows is recorded.
  std::optional<DWORD> ExitCode(Clock::duration limit) {
    const auto ended = [&] { return ::WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; };
    PumpUntil([&] {
      if (HWND window = Find(nullptr, nullptr)) seen.push_back(window);
      return ended();
    }, limit);
    DWORD code = STILL_ACTIVE;
    if (!ended()) return std::nullopt;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  // The process's first visible top-level window of this class and caption (null: any).
  HWND WaitFor(const wchar_t* className, const wchar_t* caption = nullptr, Clock::duration limit = 20s) {
    HWND found = nullptr;
    PumpUntil([&] { return (found = Find(className, caption)) != nullptr; }, limit);
    return found;
  }

  std::vector<HWND> seen;

 private:
  HWND Find(const wchar_t* className, const wchar_t* caption) const {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, className, caption))) {
      DWORD pid = 0;
      ::GetWindowThreadProcessId(window, &pid);
      if (pid == process_.dwProcessId && ::IsWindowVisible(window)) return window;
    }
    return nullptr;
  }

  PROCESS_INFORMATION process_{};
};

// The screen as 0x00RRGGBB pixels, rows top first.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

Picture CaptureScreen() {
  RECT desktop{};
  ::GetWindowRect(::GetDesktopWindow(), &desktop);
  Picture picture{desktop.right - desktop.left, desktop.bottom - desktop.top, {}};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), picture.width, -picture.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = ::SelectObject(memory, section);
  ::BitBlt(memory, 0, 0, picture.width, picture.height, screen, 0, 0, SRCCOPY);
  ::GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  picture.pixels.assign(pixels, pixels + std::size_t(picture.width) * picture.height);
  for (auto& p : picture.pixels) p &= 0xFFFFFF;
  ::SelectObject(memory, previous);
  ::DeleteObject(section);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return picture;
}

// A 32-bit BMP file of the picture.
void WriteBmp(const Picture& picture, const std::filesystem::path& file) {
  Bytes dib = PackedDib(picture.width, picture.height, 32, 0);
  for (int y = 0; y < picture.height; ++y)  // bottom-up rows
    for (std::size_t x = 0; x < std::size_t(picture.width); ++x)
      PutAt(dib, 40 + 4 * ((picture.height - 1 - y) * picture.width + x),
            picture.pixels[y * picture.width + x], 4);
  std::ofstream(file, std::ios::binary) << StreamForm(dib);
}

// Saves the screen as NAME.bmp in the folder that KELNA_SCREENSHOT_DIR names, if any: a
// look at what the user sees, for people, not a test result.
void SaveScreenshot(const std::string& name) {
  const char* folder = std::getenv("KELNA_SCREENSHOT_DIR");
  if (!folder || !*folder) return;
  std::filesystem::create_directories(folder);
  WriteBmp(CaptureScreen(), std::filesystem::path(folder) / (name + ".bmp"));
}

// A window's text as it answers WM_GETTEXT (GetWindowText would not ask another process's
// edit control).
std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  ::SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
  return text;
}

void Press(HWND dialog, int button) { ::PostMessageW(::GetDlgItem(dialog, button), BM_CLICK, 0, 0); }

std::unique_ptr<ZoBmpImage> Solid(std::uint32_t colour) {
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream is(StreamForm(SolidDib(48, 48, colour)));
  image->Read(is);
  return image;
}

constexpr std::uint32_t kColours[] = {0xE04040, 0x40E040, 0x4040E0};

// The settings folder, and sky.anm: three standing sprites placed at random (so the seed
// decides where) of three colours, the middle one with a mask that covers all. Without
// WriteSettings there is no CONTROL.INI.
class ScreenSaver : public ::testing::Test {
 protected:
  ScreenSaver() {
    std::ostringstream objects;
    objects << "FO--1.00" << std::string(24, '\0') << '\x03' << '\0';
    ZoSpriteAnimation scene;
    scene.objectFileName = PathToCp932(folder / "sky.foe");
    for (int i = 0; i < 3; ++i) {
      ZoSpriteData object;
      object.name = "star" + std::to_string(i);
      object.imageWidth = object.imageHeight = 48;
      object.AddImage(Solid(kColours[i]), 0, PairPart::Image);
      if (i == 1) object.AddImage(Solid(0x000000), 0, PairPart::Mask);
      EXPECT_EQ(object.Write(objects), 1);
      ZoAnimatedSprite* sprite = scene.NewSprite();
      sprite->SetObjectName(object.name);
      sprite->depth = short(3 - i);
      sprite->imageWidth = sprite->imageHeight = 48;
      sprite->frameCount = 1;
    }
    std::ofstream(folder / "sky.foe", std::ios::binary) << objects.str();
    EXPECT_EQ(scene.Write(PathToCp932(folder / "sky.anm").c_str()), 1);
    std::ofstream(folder / "centre.bmp", std::ios::binary) << StreamForm(SolidDib(300, 200, 0x336699));
    Bytes tile = SolidDib(100, 80, 0x996633);
    std::fill(tile.begin() + 40, tile.begin() + 40 + 300, 0x20);  // a dark bottom row
    std::ofstream(folder / "tile.bmp", std::ios::binary) << StreamForm(tile);
  }

  std::string SettingsText(int mode, const std::string& image, const std::string& music = "",
                           const wchar_t* animation = L"sky.anm") const {
    return "[Screen Saver.Vesk]\r\nIntervalTime=40\r\nBGImageFile=" + image + "\r\nBGImageMode=" +
           std::to_string(mode) + "\r\nBGMusicFile=" + music + "\r\nBGMusicRepeat=1\r\nWaveSound=0\r\n" +
           "AnimationFile=" + PathToCp932(folder / animation) + "\r\n";
  }
  void WriteSettings(const std::string& text) {
    std::ofstream(folder / "CONTROL.INI", std::ios::binary) << text;
  }

  TemporaryFolder folder;
  ScopedVariable configDir{Text("KELNA_CONFIG_DIR"), folder.Path().native()};
  ScopedVariable seed{Text("KELNA_RANDOM_SEED"), Text("42")};
};

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

// The saver covers the screen with what the tool renders for the same animation, seed and
// background; a mouse report at the start position goes unnoticed, the first input ends it.
TEST_F(ScreenSaver, ShowsWhatTheToolRendersUntilTheFirstInput) {
  // The saver takes the pointer's position as its start. (Under Xvfb without a window
  // manager, moving the pointer from here would not move the X pointer.)
  POINT start{};
  ASSERT_TRUE(::GetCursorPos(&start));
  const struct {
    int mode;
    const char* image;  // the saver's and the tool's
    UINT input;
    int down;  // how far the input moves the pointer
  } runs[] = {
      {0, "centre.bmp", WM_KEYDOWN, 0},
      {1, "tile.bmp", WM_LBUTTONDOWN, 0},
      // The tool takes the screen as it is now as its desktop. (Under Wine a process sees
      // other processes' windows as black when it copies the screen, so this screen holds
      // none; the saver tests check the capture of a visible window in-process.)
      {2, nullptr, WM_MOUSEMOVE, 1},
  };
  for (const auto& r : runs) {
    SCOPED_TRACE(r.mode);
    WriteSettings(SettingsText(r.mode, r.image ? PathToCp932(folder / r.image) : ""));
    const std::filesystem::path background = folder / (r.image ? r.image : "desktop.bmp");
    if (!r.image) WriteBmp(CaptureScreen(), background);
    Process run(L"/s");
    HWND saver = run.WaitFor(L"SaverWnd");
    ASSERT_NE(saver, nullptr);
    RECT window{}, desktop{};
    ::GetWindowRect(saver, &window);
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    EXPECT_TRUE(::EqualRect(&window, &desktop));
    ::PostMessageW(saver, WM_MOUSEMOVE, 0, MAKELPARAM(start.x, start.y));
    EXPECT_FALSE(run.ExitCode(1500ms)) << "a report at the start position ended it";
    const Picture shown = CaptureScreen();
    const WPARAM key = r.input == WM_KEYDOWN ? VK_SPACE : 0;
    ::PostMessageW(saver, r.input, key, MAKELPARAM(start.x, start.y + r.down));
    EXPECT_EQ(run.ExitCode(1s), 0u);

    const std::wstring arguments =
        L"render \"" + (folder / "sky.anm").wstring() + L"\" --size " + std::to_wstring(shown.width) + L"x" +
        std::to_wstring(shown.height) + L" --ticks 3 --seed 42 --format pam --no-sound --mode " +
        std::to_wstring(r.mode) + L" --background \"" + background.wstring() + L"\" --out \"" +
        (folder / "render").wstring() + L"\"";
    EXPECT_EQ(Process(arguments, L"kelna-tool.exe").ExitCode(60s), 0u);
    // The tool's PAM file: a text header, then RGB bytes, rows top first.
    const std::string pam = Contents(folder / "render" / "tick-0003.pam");
    ASSERT_NE(pam.find("ENDHDR\n"), std::string::npos);
    const std::string expected = pam.substr(pam.find("ENDHDR\n") + 7);
    std::string rgb;
    for (std::uint32_t p : shown.pixels) rgb += {char(p >> 16), char(p >> 8), char(p)};
    ASSERT_EQ(rgb.size(), expected.size());
    const auto first = std::size_t(std::mismatch(rgb.begin(), rgb.end(), expected.begin()).first -
                                   rgb.begin());
    EXPECT_EQ(first, rgb.size()) << "first difference at " << first / 3 % shown.width << ","
                                 << first / 3 / shown.width;
    for (std::uint32_t colour : kColours)  // and the sprites are there at all
      EXPECT_NE(std::count(shown.pixels.begin(), shown.pixels.end(), colour), 0) << std::hex << colour;
  }
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
    PumpUntil([&] { return (open = ::GetLastActivePopup(frame)) != frame && ::IsWindowVisible(open); }, 10s);
    ASSERT_NE(open, frame);
    Pump(1s);
    SaveScreenshot("open-dialog");
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
