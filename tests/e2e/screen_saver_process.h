#pragma once
// Test support for the end-to-end tests: kelna.scr started as the host starts it, its
// windows watched, and the screen captured.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/dib_builder.h"

namespace kelna::test {


using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline std::wstring ScreenSaverPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"kelna.scr";
}

// Pumps this thread's messages (a host window of ours must answer the child's messages)
// until `done` says so or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, Clock::duration limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (done()) return true;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    ::Sleep(10);
  }
  return done();
}

// One run of kelna.scr with an empty settings folder of its own.
class ScreenSaverProcess {
 public:
  explicit ScreenSaverProcess(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + ScreenSaverPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process_)) {
      ADD_FAILURE() << "kelna.scr did not start: error " << ::GetLastError();
    }
  }
  ~ScreenSaverProcess() {
    if (!process_.hProcess) return;
    if (!ExitCode(0ms)) ::TerminateProcess(process_.hProcess, 99);
    ::WaitForSingleObject(process_.hProcess, 5000);
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }
  ScreenSaverProcess(const ScreenSaverProcess&) = delete;
  ScreenSaverProcess& operator=(const ScreenSaverProcess&) = delete;

  // The exit status once the process has ended within `limit`; while waiting, every window
  // the process shows is recorded.
  std::optional<DWORD> ExitCode(Clock::duration limit) {
    PumpUntil([&] {
      RecordWindows();
      return ::WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
    }, limit);
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) return std::nullopt;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  // The process's first visible top-level window of the given class (any class if null).
  HWND WaitForWindow(const wchar_t* className, Clock::duration limit = 20s) {
    HWND found = nullptr;
    PumpUntil([&] {
      found = FindTopLevel(className);
      return found != nullptr;
    }, limit);
    return found;
  }

  // The process's first visible top-level window whose caption is `caption`.
  HWND WaitForCaption(const std::wstring& caption, Clock::duration limit = 20s) {
    HWND found = nullptr;
    PumpUntil([&] {
      found = FindTopLevel(nullptr, [&](HWND window) {
        wchar_t text[256] = {};
        ::GetWindowTextW(window, text, 256);
        return caption == text;
      });
      return found != nullptr;
    }, limit);
    return found;
  }

  const std::vector<HWND>& WindowsSeen() const { return seen_; }

 private:
  HWND FindTopLevel(const wchar_t* className, const std::function<bool(HWND)>& match = {}) {
    struct Search {
      DWORD pid;
      const wchar_t* className;
      const std::function<bool(HWND)>& match;
      HWND found;
    } search{process_.dwProcessId, className, match, nullptr};
    ::EnumWindows([](HWND window, LPARAM param) -> BOOL {
      auto& s = *reinterpret_cast<Search*>(param);
      DWORD pid = 0;
      ::GetWindowThreadProcessId(window, &pid);
      if (pid != s.pid || !::IsWindowVisible(window)) return TRUE;
      wchar_t name[64] = {};
      ::GetClassNameW(window, name, 64);
      if (s.className && std::wstring(name) != s.className) return TRUE;
      if (s.match && !s.match(window)) return TRUE;
      s.found = window;
      return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  void RecordWindows() {
    if (HWND window = FindTopLevel(nullptr)) seen_.push_back(window);
  }

  PROCESS_INFORMATION process_{};
  std::vector<HWND> seen_;
};

// A path as the program keeps names: code page 932.
inline std::string Cp932(const std::filesystem::path& path) {
  const std::wstring wide = path.wstring();
  const int size = ::WideCharToMultiByte(932, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(std::size_t(size), '\0');
  ::WideCharToMultiByte(932, 0, wide.c_str(), -1, text.data(), size, nullptr, nullptr);
  text.pop_back();
  return text;
}

// 0x00RRGGBB pixels, rows top first.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

inline Picture CaptureScreen() {
  RECT desktop{};
  ::GetWindowRect(::GetDesktopWindow(), &desktop);
  Picture picture{desktop.right - desktop.left, desktop.bottom - desktop.top, {}};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // rows top first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
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

// A 32-bit BMP file of the picture (bottom-up rows of blue, green, red, 0).
inline void WriteBmp(const Picture& picture, const std::filesystem::path& file) {
  Bytes dib;
  Put(dib, 40, 4);
  Put(dib, std::uint32_t(picture.width), 4);
  Put(dib, std::uint32_t(picture.height), 4);
  Put(dib, 1, 2);
  Put(dib, 32, 2);
  Put(dib, 0, 24);
  for (int y = picture.height - 1; y >= 0; --y)
    for (int x = 0; x < picture.width; ++x) Put(dib, picture.At(x, y), 4);
  std::ofstream(file, std::ios::binary) << StreamForm(dib);
}

// Saves the screen as NAME.bmp in the folder that KELNA_SCREENSHOT_DIR names, if any: a
// look at what the user sees, for people, not a test result.
inline void SaveScreenshot(const std::string& name) {
  const char* folder = std::getenv("KELNA_SCREENSHOT_DIR");
  if (!folder || !*folder) return;
  std::filesystem::create_directories(folder);
  WriteBmp(CaptureScreen(), std::filesystem::path(folder) / (name + ".bmp"));
}

}  // namespace kelna::test
