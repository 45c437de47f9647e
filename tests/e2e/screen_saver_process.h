#pragma once
// Test support for the end-to-end tests: kelna.scr (or kelna-tool) started as a process,
// its windows watched, and the screen captured.

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

// A program beside the test executable (in bin/).
inline std::wstring BesideTest(const std::wstring& name) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring self(path);
  return self.substr(0, self.find_last_of(L"\\/") + 1) + name;
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
inline void Pump(Clock::duration time) { PumpUntil([] { return false; }, time); }

// One run of a program, ended by force if it is still running at the end of the test.
class ScreenSaverProcess {
 public:
  explicit ScreenSaverProcess(const std::wstring& arguments, const std::wstring& program = L"kelna.scr") {
    std::wstring commandLine = L"\"" + BesideTest(program) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process_)) {
      ADD_FAILURE() << "the program did not start: error " << ::GetLastError();
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
    const auto ended = [&] { return ::WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; };
    PumpUntil([&] {
      if (HWND window = Find(nullptr, nullptr)) seen_.push_back(window);
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

  const std::vector<HWND>& WindowsSeen() const { return seen_; }

 private:
  HWND Find(const wchar_t* className, const wchar_t* caption) {
    struct Search {
      DWORD pid;
      const wchar_t* className;
      const wchar_t* caption;
      HWND found;
    } search{process_.dwProcessId, className, caption, nullptr};
    ::EnumWindows([](HWND window, LPARAM param) -> BOOL {
      auto& s = *reinterpret_cast<Search*>(param);
      DWORD pid = 0;
      ::GetWindowThreadProcessId(window, &pid);
      wchar_t name[64] = {};
      wchar_t text[256] = {};
      ::GetClassNameW(window, name, 64);
      ::GetWindowTextW(window, text, 256);
      if (pid != s.pid || !::IsWindowVisible(window)) return TRUE;
      if ((s.className && std::wstring(name) != s.className) || (s.caption && std::wstring(text) != s.caption))
        return TRUE;
      s.found = window;
      return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
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
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), picture.width, -picture.height, 1, 32};  // rows top first
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
inline void WriteBmp(const Picture& picture, const std::filesystem::path& file) {
  Bytes dib = PackedDib(picture.width, picture.height, 32, 0);
  for (int y = 0; y < picture.height; ++y)  // bottom-up rows
    for (int x = 0; x < picture.width; ++x)
      PutAt(dib, 40 + 4 * (std::size_t(picture.height - 1 - y) * picture.width + x), picture.At(x, y), 4);
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
