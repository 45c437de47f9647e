// Helpers of the end-to-end tests: kelna.scr and kelna-tool started beside the test, the
// screen as pixels, and a settings folder with an animation whose picture depends on the
// seed only.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>

#include "engine/sprite_animation.h"
#include "platform/text.h"
#include "tests/sprites/pictures.h"
#include "tests/support/pam_reader.h"
#include "tests/support/program_runner.h"
#include "tests/support/scene_file_builder.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna::e2e {

using namespace test;
using namespace std::chrono_literals;
using std::chrono::milliseconds;

// Pumps this thread's messages (a host window of ours must answer the child's messages)
// until `done` says so or the time is up.
inline void PumpMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}
inline bool PumpUntil(const std::function<bool()>& done, milliseconds limit) {
  return Within(limit, [&] {
    if (done()) return true;
    PumpMessages();
    return false;
  });
}
inline void Pump(milliseconds time) { PumpUntil([] { return false; }, time); }

// A program beside the test in bin/.
inline std::wstring BesideTheTest(const std::wstring& program) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::wstring(self, std::wcsrchr(self, L'\\') + 1) + program;
}

// One run of kelna.scr (or another program beside the test), with the windows it shows;
// ended by force if it still runs at the end of the test.
class Process {
 public:
  explicit Process(const std::wstring& arguments) : run_(WordsOf(arguments)) {}

  // The exit status once the process has ended within `limit`; while waiting, this thread's
  // messages are pumped and every window the process shows is recorded.
  std::optional<DWORD> ExitCode(milliseconds limit) {
    const auto status = run_.WaitForExit(limit, [&] {
      if (HWND window = Find(nullptr, nullptr)) seen.push_back(window);
      PumpMessages();
    });
    return status ? std::optional<DWORD>(static_cast<DWORD>(*status)) : std::nullopt;
  }

  // The process's first visible top-level window of this class and caption (null: any).
  HWND WaitFor(const wchar_t* className, const wchar_t* caption = nullptr, milliseconds limit = 20s) {
    HWND found = nullptr;
    PumpUntil([&] { return (found = Find(className, caption)) != nullptr; }, limit);
    return found;
  }

  std::vector<HWND> seen;

 private:
  static std::vector<std::wstring> WordsOf(const std::wstring& arguments) {
    std::vector<std::wstring> words = Words(arguments);
    words.insert(words.begin(), BesideTheTest(L"kelna.scr"));
    return words;
  }

  HWND Find(const wchar_t* className, const wchar_t* caption) const {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, className, caption))) {
      DWORD pid = 0;
      ::GetWindowThreadProcessId(window, &pid);
      if (pid == run_.Id() && ::IsWindowVisible(window)) return window;
    }
    return nullptr;
  }

  Program run_;
};

inline RECT VirtualScreenRect() {
  const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN), top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {left, top, left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN), top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// What the screen shows in `area`.
inline PamPicture CaptureScreen(const RECT& area) {
  PamPicture picture{area.right - area.left, area.bottom - area.top, {}};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), picture.width, -picture.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = ::SelectObject(memory, section);
  ::BitBlt(memory, 0, 0, picture.width, picture.height, screen, area.left, area.top, SRCCOPY);
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

// Where `shown` differs from `expected` within `area`: the first such pixel, or "" when none does.
inline std::string FirstDifference(const PamPicture& shown, const PamPicture& expected, const RECT& area) {
  if (expected.pixels.size() != shown.pixels.size()) return "a picture of another size";
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      const std::size_t i = std::size_t(y) * shown.width + x;
      if (shown.pixels[i] != expected.pixels[i]) {
        std::ostringstream at;
        at << "first difference at " << x << "," << y << ": " << std::hex << shown.pixels[i] << " for "
           << expected.pixels[i];
        return at.str();
      }
    }
  return "";
}

inline void WriteBmp(const PamPicture& picture, const std::filesystem::path& file) {
  Bytes dib = PackedDib(picture.width, picture.height, 32, 0);
  for (int y = 0; y < picture.height; ++y)  // bottom-up rows
    for (std::size_t x = 0; x < std::size_t(picture.width); ++x)
      PutAt(dib, 40 + 4 * ((picture.height - 1 - y) * picture.width + x),
            picture.pixels[y * picture.width + x], 4);
  WriteBytes(file, StreamForm(dib));
}

// After `settle` (pumped whether or not it is saved), saves every monitor as NAME.bmp in the
// folder that KELNA_SCREENSHOT_DIR names, if any: a look at what the user sees, for people.
inline void SaveScreenshot(const std::string& name, milliseconds settle = 0ms) {
  Pump(settle);
  const char* folder = std::getenv("KELNA_SCREENSHOT_DIR");
  if (!folder || !*folder) return;
  std::filesystem::create_directories(folder);
  WriteBmp(CaptureScreen(VirtualScreenRect()), std::filesystem::path(folder) / (name + ".bmp"));
}

// A window's text as it answers WM_GETTEXT (GetWindowText would not ask another process's
// edit control).
inline std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  ::SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
  return text;
}

inline void Press(HWND dialog, int button) { ::PostMessageW(::GetDlgItem(dialog, button), BM_CLICK, 0, 0); }

inline constexpr std::uint32_t kColours[] = {0xE04040, 0x40E040, 0x4040E0};

// The settings folder, and sky.anm: three standing sprites placed at random (so the seed
// decides where) of three colours, the middle one with a mask that covers all. Without
// WriteSettings there is no CONTROL.INI.
class ScreenSaver : public ::testing::Test {
 protected:
  ScreenSaver() {
    std::ostringstream objects;
    objects << ObjectFileBytes(3);
    ZoSpriteAnimation scene;
    scene.objectFileName = PathToCp932(folder / "sky.foe");
    for (int i = 0; i < 3; ++i) {
      ZoSpriteData object;
      object.name = "star" + std::to_string(i);
      object.imageWidth = object.imageHeight = 48;
      object.AddImage(ImageOf(SolidDib(48, 48, kColours[i])), 0, PairPart::Image);
      if (i == 1) object.AddImage(ImageOf(SolidDib(48, 48, 0)), 0, PairPart::Mask);
      EXPECT_EQ(object.Write(objects), 1);
      ZoAnimatedSprite* sprite = scene.NewSprite();
      sprite->SetObjectName(object.name);
      sprite->depth = short(3 - i);
      sprite->imageWidth = sprite->imageHeight = 48;
      sprite->frameCount = 1;
    }
    WriteBytes(folder / "sky.foe", objects.str());
    EXPECT_EQ(scene.Write(PathToCp932(folder / "sky.anm").c_str()), 1);
    WriteBytes(folder / "centre.bmp", StreamForm(SolidDib(300, 200, 0x336699)));
    Bytes tile = SolidDib(100, 80, 0x996633);
    std::fill(tile.begin() + 40, tile.begin() + 40 + 300, 0x20);  // a dark bottom row
    WriteBytes(folder / "tile.bmp", StreamForm(tile));
  }

  std::string SettingsText(int mode, const std::string& image, const std::string& music = "",
                           const wchar_t* animation = L"sky.anm") const {
    return "[Screen Saver.Vesk]\r\nIntervalTime=40\r\nBGImageFile=" + image + "\r\nBGImageMode=" +
           std::to_string(mode) + "\r\nBGMusicFile=" + music + "\r\nBGMusicRepeat=1\r\nWaveSound=0\r\n" +
           "AnimationFile=" + PathToCp932(folder / animation) + "\r\n";
  }
  void WriteSettings(const std::string& text) const { WriteBytes(folder / "CONTROL.INI", text); }

  // What kelna-tool (beside the test) renders of sky.anm after three ticks at this size,
  // seed, mode and background.
  PamPicture Rendered(int width, int height, int mode, const std::filesystem::path& background) const {
    const ToolRun run = RunProgram({BesideTheTest(L"kelna-tool.exe"), L"render", (folder / "sky.anm").wstring(),
                                    L"--size", std::to_wstring(width) + L"x" + std::to_wstring(height), L"--ticks",
                                    L"3", L"--seed", L"42", L"--format", L"pam", L"--no-sound", L"--mode",
                                    std::to_wstring(mode), L"--background", background.wstring(), L"--out",
                                    (folder / "render").wstring()},
                                   folder.Path());
    EXPECT_EQ(run.status, 0) << run.errors;
    return ReadPam(folder / "render" / "tick-0003.pam");
  }

  TemporaryFolder folder;
  ScopedVariable configDir{Text("KELNA_CONFIG_DIR"), folder.Path().native()};
  ScopedVariable seed{Text("KELNA_RANDOM_SEED"), Text("42")};
};

}  // namespace kelna::e2e
