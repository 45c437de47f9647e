#pragma once
// Test support for the native player: programs whose output goes to a log, a private Xvfb
// with input through xdotool, the screen's pixels and those of kelna-tool's PAM frames.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/bytes.h"
#include "tests/support/pam_reader.h"
#include "tests/support/temporary_folder.h"

extern char** environ;

namespace kelna::test {

using namespace std::chrono_literals;
using Pixels = std::vector<std::uint32_t>;  // 0x00RRGGBB, rows top first

// A started program (variables first, through env), its output and errors both in `log`.
// Ended (SIGTERM, then SIGKILL) if it still runs when the object goes.
class Child {
 public:
  Child(std::vector<std::string> words, std::filesystem::path log) : log_(std::move(log)) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (std::string& word : words) args.push_back(word.data());
    args.push_back(nullptr);
    const int failed = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + words[0]);
  }
  ~Child() {
    if (Terminate()) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  std::string Log() const { return Contents(log_); }

  // Whether the log holds `text` within `timeout`.
  bool Says(const std::string& text, std::chrono::milliseconds timeout = 20s) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (; Log().find(text) == std::string::npos; std::this_thread::sleep_for(20ms))
      if (std::chrono::steady_clock::now() >= end) return false;
    return true;
  }

  // The exit status (minus the signal) once the program has ended within `timeout`; nothing while it runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (int raw = 0; !status_ && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms))
      if (waitpid(pid_, &raw, WNOHANG) == pid_) status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
    return status_;
  }

  // SIGTERM, as XScreenSaver ends its hacks; the exit status.
  std::optional<int> Terminate() {
    if (!status_) kill(pid_, SIGTERM);
    return WaitForExit(10s);
  }

 private:
  std::filesystem::path log_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// A private Xvfb on a display number it picks itself. Without access control (-ac), so that
// another local user may draw on it; it listens on no network.
class Xvfb {
 public:
  explicit Xvfb(const std::string& size)
      : server_({"Xvfb", "-displayfd", "1", "-screen", "0", size + "x24", "-nolisten", "tcp", "-ac"},
                logs_ / "xvfb.log") {
    for (int wait = 0; wait < 500 && !display_; ++wait) {
      std::this_thread::sleep_for(20ms);
      std::istringstream lines(server_.Log());  // the number comes as a line of its own
      for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) name_ = ":" + line;
      if (!name_.empty()) display_ = XOpenDisplay(name_.c_str());
    }
    if (!display_) throw std::runtime_error("Xvfb did not start: " + server_.Log());
  }
  ~Xvfb() { XCloseDisplay(display_); }  // then the server ends calmly, removing its lock file

  const std::string& Name() const { return name_; }
  Window Root() const { return DefaultRootWindow(display_); }

  // A mapped window of our own at (x, y), of one colour (0xRRGGBB).
  Window MakeWindow(int x, int y, unsigned width, unsigned height, unsigned long colour = 0) const {
    const Window window = XCreateSimpleWindow(display_, Root(), x, y, width, height, 0, 0, colour);
    XMapWindow(display_, window);
    XSync(display_, False);
    return window;
  }

  Pixels Of(Drawable drawable, int width, int height) const {
    XImage* image = XGetImage(display_, drawable, 0, 0, width, height, AllPlanes, ZPixmap);
    Pixels pixels;
    for (int y = 0; image && y < height; ++y)
      for (int x = 0; x < width; ++x) pixels.push_back(std::uint32_t(XGetPixel(image, x, y) & 0xFFFFFF));
    if (image) XDestroyImage(image);
    return pixels;
  }

  // With KELNA_SCREENSHOT_DIR set, saves what the window shows there as NAME.png, to look at.
  void Screenshot(Window window, const std::string& name) const {
    if (const char* to = std::getenv("KELNA_SCREENSHOT_DIR"))
      Run("import -window " + std::to_string(window) + " " + to + "/" + name + ".png");
  }

  // Input as a user gives it: "key a", "click 1", "mousemove 200 150".
  void Do(const std::string& input) const { Run("xdotool " + input); }
  void Run(const std::string& command) const {
    ASSERT_EQ(std::system(("DISPLAY=" + name_ + " " + command).c_str()), 0) << command;
  }

 private:
  TemporaryFolder logs_;
  Child server_;
  std::string name_;
  Display* display_ = nullptr;
};

// The share of pixels that differ (1 when the sizes differ).
inline double Unlike(const Pixels& a, const Pixels& b) {
  if (a.size() != b.size() || a.empty()) return 1;
  long count = 0;
  for (std::size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
  return double(count) / double(a.size());
}

// The fixture of the tests on X: a private Xvfb and a folder for settings, logs and frames.
// kelna starts there with SDL's audio discarded, or recorded into the folder's audio.raw
// with "SDL_AUDIODRIVER=disk" among `environment`.
class PlayerOnX : public ::testing::Test {
 protected:
  std::unique_ptr<Child> Start(const std::string& options, const std::vector<std::string>& environment = {}) {
    std::vector<std::string> words = {"env", "-u", "XSCREENSAVER_WINDOW", "DISPLAY=" + x.Name(),
                                      "KELNA_CONFIG_DIR=" + folder.Path().string(), "SDL_AUDIODRIVER=dummy",
                                      "SDL_DISKAUDIOFILE=" + (folder / "audio.raw").string()};
    words.insert(words.end(), environment.begin(), environment.end());
    words.push_back(program);
    std::istringstream split(options);
    for (std::string word; split >> word;) words.push_back(word);
    return std::make_unique<Child>(words, folder / ("kelna-" + std::to_string(++started_) + ".log"));
  }

  std::string program = KELNA_PLAYER;  // what Start runs
  Xvfb x{"640x480"};
  TemporaryFolder folder;
  int started_ = 0;
};

}  // namespace kelna::test
