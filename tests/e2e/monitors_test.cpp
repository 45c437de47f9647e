// kelna.scr on two monitors side by side: the saver covers both, shows on each what
// kelna-tool renders for the whole virtual screen, ends on input over either one, and in
// desktop mode shows what both showed before it started. CTest runs it in a session of its
// own per layout (scripts/wine/wine-session --monitors): KELNA_MONITORS says where the
// second monitor lies, right or left of the primary; KELNA_DPI is the session's DPI.

#include "tests/e2e/saver_process.h"

#include <algorithm>

namespace kelna {
namespace {

using namespace e2e;

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// A window of one colour, shown and painted by this process.
HWND Patch(std::uint32_t colour, const RECT& at) {
  const std::wstring name = L"KelnaPatch" + std::to_wstring(colour);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hbrBackground = ::CreateSolidBrush(RGB(colour >> 16, colour >> 8 & 0xFF, colour & 0xFF));
  windowClass.lpszClassName = name.c_str();
  ::RegisterClassW(&windowClass);
  HWND window = ::CreateWindowExW(WS_EX_NOACTIVATE, name.c_str(), L"", WS_POPUP | WS_VISIBLE, at.left, at.top,
                                  at.right - at.left, at.bottom - at.top, nullptr, nullptr, nullptr, nullptr);
  ::UpdateWindow(window);
  return window;
}

// The DPI awareness of another process's window (2: per monitor), or -1 where the system
// does not say.
int AwarenessOf(HWND window) {
  HMODULE user = ::GetModuleHandleW(L"user32.dll");
  const auto context = reinterpret_cast<void*(WINAPI*)(HWND)>(
      reinterpret_cast<void*>(::GetProcAddress(user, "GetWindowDpiAwarenessContext")));
  const auto awareness = reinterpret_cast<int(WINAPI*)(void*)>(
      reinterpret_cast<void*>(::GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
  return context && awareness ? awareness(context(window)) : -1;
}

class TwoMonitors : public ScreenSaver {
 protected:
  void SetUp() override {
    ::SetProcessDPIAware();  // physical pixels, as the saver sees them
    // The primary 1280 x 1024 at 0,0; the other 1024 x 768, right or left of it.
    const bool left = Variable("KELNA_MONITORS") == "left";
    monitors = {{0, 0, 1280, 1024}, left ? RECT{-1024, 0, 0, 768} : RECT{1280, 0, 2304, 768}};
    all = left ? RECT{-1024, 0, 1280, 1024} : RECT{0, 0, 2304, 1024};
    std::vector<RECT> reported;
    ::EnumDisplayMonitors(nullptr, nullptr, [](HMONITOR, HDC, RECT* rect, LPARAM list) {
      reinterpret_cast<std::vector<RECT>*>(list)->push_back(*rect);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&reported));
    ASSERT_EQ(reported.size(), 2u) << "not a two-monitor session";
    for (const RECT& monitor : monitors)
      ASSERT_TRUE(std::ranges::any_of(reported, [&](const RECT& m) { return ::EqualRect(&m, &monitor); }));
    const RECT virtualScreen = VirtualScreenRect();
    ASSERT_TRUE(::EqualRect(&virtualScreen, &all)) << virtualScreen.left << "," << virtualScreen.right;
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, Variable("KELNA_DPI").empty() ? 96 : std::stoi(Variable("KELNA_DPI")));
  }

  // A screen point as a point in the saver window, which lies at the virtual screen's origin.
  LPARAM InWindow(POINT at) const { return MAKELPARAM(at.x - all.left, at.y - all.top); }

  std::vector<RECT> monitors;  // the primary, then the other
  RECT all{};
};

TEST_F(TwoMonitors, SaverCoversBothWithWhatTheToolRendersUntilInputOverEither) {
  POINT start{};
  ASSERT_TRUE(::GetCursorPos(&start));
  const RECT second = monitors[1];
  const POINT onSecond{second.left + 300, second.top + 500};
  // One patch of colour per monitor, for the desktop mode to show.
  const struct {
    std::uint32_t colour;
    RECT at;
  } patches[] = {{0x20C0C0, {100, 120, 420, 360}}, {0xC020C0, {second.left + 200, 100, second.left + 600, 400}}};
  const struct {
    int mode;
    const char* image;
    UINT input;
    POINT at;
  } runs[] = {
      {0, "centre.bmp", WM_MOUSEMOVE, onSecond},
      {1, "tile.bmp", WM_LBUTTONDOWN, onSecond},
      {2, nullptr, WM_MOUSEMOVE, {start.x, start.y + 1}},  // on the primary
  };
  for (const auto& r : runs) {
    SCOPED_TRACE(r.mode);
    WriteSettings(SettingsText(r.mode, r.image ? PathToCp932(folder / r.image) : ""));
    const std::filesystem::path background = folder / (r.image ? r.image : "desktop.bmp");
    std::vector<HWND> shownBefore;
    if (!r.image) {
      for (const auto& patch : patches) shownBefore.push_back(Patch(patch.colour, patch.at));
      Pump(500ms);
      WriteBmp(CaptureScreen(all), background);  // what the tool takes as the desktop
    }
    Process run(L"/s");
    HWND saver = run.WaitFor(L"SaverWnd");
    ASSERT_NE(saver, nullptr);
    RECT window{};
    ::GetWindowRect(saver, &window);
    EXPECT_TRUE(::EqualRect(&window, &all)) << window.left << "," << window.top << "-" << window.right << ","
                                            << window.bottom;
    EXPECT_EQ(AwarenessOf(saver), 2) << "per-monitor DPI aware, as the manifest says";
    ::PostMessageW(saver, WM_MOUSEMOVE, 0, InWindow(start));
    EXPECT_FALSE(run.ExitCode(1500ms)) << "a report at the start position ended it";
    const PamPicture shown = CaptureScreen(all);
    if (r.mode == 1) SaveScreenshot("two-monitors-" + Variable("KELNA_MONITORS"));
    ::PostMessageW(saver, r.input, 0, InWindow(r.at));
    EXPECT_EQ(run.ExitCode(5s), 0u) << "input at " << r.at.x << "," << r.at.y;
    for (HWND patch : shownBefore) ::DestroyWindow(patch);

    // Each monitor shows its part of the tool's picture of the whole virtual screen.
    const PamPicture expected = Rendered(shown.width, shown.height, r.mode, background);
    for (RECT monitor : monitors) {
      ::OffsetRect(&monitor, -all.left, -all.top);
      EXPECT_EQ(FirstDifference(shown, expected, monitor), "") << "monitor at " << monitor.left;
    }
    // The pictures are not empty: sprites show (at this size and seed one hides another),
    // and in desktop mode what was on the screen before, save where a sprite covers it.
    EXPECT_TRUE(std::ranges::any_of(shown.pixels, [](std::uint32_t p) {
      return std::ranges::count(kColours, p) != 0;
    }));
    if (r.image) continue;
    for (const auto& patch : patches) {
      const int area = (patch.at.right - patch.at.left) * (patch.at.bottom - patch.at.top);
      EXPECT_GE(std::ranges::count(shown.pixels, patch.colour), area - 3 * 48 * 48)
          << std::hex << patch.colour;
    }
  }
}

}  // namespace
}  // namespace kelna
