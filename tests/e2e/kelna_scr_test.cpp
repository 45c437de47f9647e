// kelna.scr as the host starts it: each mode's window, or none, and how each ends.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::wstring ScreenSaverPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"kelna.scr";
}

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

  const std::vector<HWND>& WindowsSeen() const { return seen_; }

 private:
  HWND FindTopLevel(const wchar_t* className) {
    struct Search {
      DWORD pid;
      const wchar_t* className;
      HWND found;
    } search{process_.dwProcessId, className, nullptr};
    ::EnumWindows([](HWND window, LPARAM param) -> BOOL {
      auto& s = *reinterpret_cast<Search*>(param);
      DWORD pid = 0;
      ::GetWindowThreadProcessId(window, &pid);
      if (pid != s.pid || !::IsWindowVisible(window)) return TRUE;
      wchar_t name[64] = {};
      ::GetClassNameW(window, name, 64);
      if (s.className && std::wstring(name) != s.className) return TRUE;
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
  ASSERT_TRUE(::SetCursorPos(200, 150));
  ScreenSaverProcess run(L"/s");
  HWND saver = run.WaitForWindow(L"SaverWnd");
  ASSERT_NE(saver, nullptr);
  ::PostMessageW(saver, WM_MOUSEMOVE, 0, MAKELPARAM(200, 150));
  EXPECT_FALSE(run.ExitCode(500ms)) << "a report at the start position closed the saver";
  ::PostMessageW(saver, WM_MOUSEMOVE, 0, MAKELPARAM(201, 150));
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

}  // namespace
}  // namespace kelna
