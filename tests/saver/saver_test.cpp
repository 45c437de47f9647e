// The saver window's ticks and input, and the application's music and background image.
// (Backgrounds that read, and the saver's pictures, are compared with kelna-tool's in tests/e2e.)

#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/app.h"
#include "app/app_texts.h"
#include "engine/sprite_animation.h"
#include "platform/text.h"
#include "saver/saver_window.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

class FakeHost : public SaverHost {
 public:
  int IntervalTime() const override { return 60000; }  // ticks only when the test says
  void InitAnimation() override {
    ++setUps;
    if (duringSetUp) duringSetUp();
  }
  ZoSpriteAnimation& Scene() override {
    ++frames;
    return scene;
  }
  int MusicEnded(std::uint32_t device, HWND) override {
    endedDevices.push_back(device);
    return 1;
  }

  int setUps = 0, frames = 0;
  std::vector<std::uint32_t> endedDevices;
  std::function<void()> duringSetUp;
  ZoSpriteAnimation scene;
};

class SaverWindowTest : public ::testing::Test {
 protected:
  SaverWindowTest() : window(host, nullptr, L"", nullptr) {
    window.Create();
    CloseWasPosted();  // nothing from creating it counts
  }
  ~SaverWindowTest() override { window.Destroy(); }

  void Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    ::SendMessageW(window.GetHandle(), message, wParam, lParam);
  }
  // True when a WM_CLOSE is waiting in this thread's queue (it is taken out).
  bool CloseWasPosted() {
    MSG message;
    return ::PeekMessageW(&message, window.GetHandle(), WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
  }

  FakeHost host;
  TWndw window;
};

TEST_F(SaverWindowTest, TheFirstTickSetsUpWithoutTheUserAndLaterTicksDrawFrames) {
  // As a message box of the set-up would: more ticks arrive and the activation goes.
  host.duringSetUp = [&] {
    Send(WM_TIMER, TWndw::SaverTimerId);
    Send(WM_ACTIVATE, WA_INACTIVE);
    Send(WM_ACTIVATEAPP, FALSE);
  };
  Send(WM_TIMER, 2);  // not the frame timer
  EXPECT_EQ(host.setUps, 0);
  Send(WM_TIMER, TWndw::SaverTimerId);
  EXPECT_EQ(host.setUps, 1);
  EXPECT_EQ(host.frames, 0) << "no frame on the set-up tick";
  EXPECT_TRUE(window.Started());
  EXPECT_FALSE(CloseWasPosted());
  Send(WM_TIMER, TWndw::SaverTimerId);
  Send(WM_TIMER, TWndw::SaverTimerId);
  EXPECT_EQ(host.setUps, 1);
  EXPECT_EQ(host.frames, 2);
  Send(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_TRUE(CloseWasPosted()) << "afterwards losing the activation ends the saver";
}

TEST_F(SaverWindowTest, InputClosesAndTheScreenSaverCommandIsSwallowed) {
  const struct {
    const char* what;
    UINT message;
    WPARAM wParam;
    bool closes;
  } cases[] = {
      {"key", WM_KEYDOWN, VK_SPACE, true},
      {"system key", WM_SYSKEYDOWN, VK_MENU, true},
      {"left button", WM_LBUTTONDOWN, 0, true},
      {"middle button", WM_MBUTTONDOWN, 0, true},
      {"right button", WM_RBUTTONDOWN, 0, true},
      {"application deactivated", WM_ACTIVATEAPP, FALSE, true},
      {"application activated", WM_ACTIVATEAPP, TRUE, false},
      {"start the screen saver", WM_SYSCOMMAND, SC_SCREENSAVE | 3, false},
      {"key up", WM_KEYUP, 'A', false},
      {"the music ended", MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, false},
  };
  for (const auto& c : cases) {
    Send(c.message, c.wParam, 0x12340007);
    EXPECT_EQ(CloseWasPosted(), c.closes) << c.what;
  }
  EXPECT_EQ(host.endedDevices, std::vector<std::uint32_t>{7}) << "the application hears of the music's device";
}

class RecordingMusicPlayer : public MusicPlayer {
 public:
  std::uint32_t Open(std::string_view path, std::uint32_t& device) override {
    log.push_back("open " + std::string(path));
    device = nextDevice++;
    return openError;
  }
  std::uint32_t Play(std::uint32_t device, void*) override {
    log.push_back("play " + std::to_string(device));
    return playError;
  }
  std::uint32_t Close(std::uint32_t device, bool wait) override {
    log.push_back("close " + std::to_string(device) + (wait ? " wait" : ""));
    return 0;
  }
  std::string ErrorText(std::uint32_t error) override { return "error " + std::to_string(error); }

  std::vector<std::string> log;
  std::uint32_t nextDevice = 1, openError = 0, playError = 0;
};

TEST(AppMusic, StartsAgainOnlyWithRepeatOnAndErrorsShowThePlatformsText) {
  RecordingMusicPlayer player;
  TApp app;
  app.musicPlayer = &player;
  std::vector<std::wstring> boxes;  // text|caption (none: the program's)
  app.answers.messageBox = [&](HWND, std::wstring_view text, std::wstring_view caption, UINT) {
    boxes.push_back(std::wstring(text) + L"|" + std::wstring(caption));
    return IDOK;
  };
  app.bgMusicFile = "C:\\MUSIC\\A.MID";
  app.PlayMIDI(app.bgMusicFile, nullptr);
  app.bgMusicRepeat = 0;
  EXPECT_EQ(app.MusicEnded(1, nullptr), 0);
  app.bgMusicRepeat = 1;
  EXPECT_EQ(app.MusicEnded(1, nullptr), 1);
  EXPECT_EQ(player.log, (std::vector<std::string>{"open C:\\MUSIC\\A.MID", "play 1", "close 1",
                                                  "open C:\\MUSIC\\A.MID", "play 2"}));
  {
    TApp ending;
    ending.musicPlayer = &player;
    ending.PlayMIDI("x.mid", nullptr);
  }
  EXPECT_EQ(player.log.back(), "close 3 wait") << "the music ends with the application";
  player.log.clear();
  player.playError = 277;
  app.PlayMIDI("x.mid", nullptr);
  EXPECT_EQ(player.log, (std::vector<std::string>{"open x.mid", "play 4", "close 4"}));
  EXPECT_EQ(app.musicDevice, 0u) << "nothing left open";
  player.openError = 263;
  app.PlayMIDI("y.mid", nullptr);
  EXPECT_EQ(boxes, (std::vector<std::wstring>{L"error 277|ケルナ", L"error 263|ケルナ"}));
}

TEST(AppBackground, TheImageIsReadOnlyFromAFileThatOpens) {
  TApp app;
  test::TemporaryFolder folder;
  app.bgImageFile = PathToCp932(folder / "missing.bmp");
  EXPECT_EQ(app.ReadBgImage(), 0);
  EXPECT_EQ(app.backgroundImage, nullptr);
  std::ofstream(folder / "text.bmp") << "not a bitmap";
  app.bgImageFile = PathToCp932(folder / "text.bmp");
  EXPECT_EQ(app.ReadBgImage(), 1);
  ASSERT_NE(app.backgroundImage, nullptr);
  EXPECT_FALSE(app.backgroundImage->HasDib()) << "an image without a picture";
  // The marker for no image names none, even where a file of that name is there.
  const std::filesystem::path marker = std::filesystem::current_path() / L"(なし)";
  std::filesystem::copy_file(folder / "text.bmp", marker);
  app.bgImageFile = texts::kNoFileMarker;
  EXPECT_EQ(app.ReadBgImage(), 0);
  EXPECT_EQ(app.backgroundImage, nullptr);
  app.bgImageFile = PathToCp932(marker);  // the same file by its whole path is read
  EXPECT_EQ(app.ReadBgImage(), 1);
  std::filesystem::remove(marker);
}

}  // namespace
}  // namespace kelna
