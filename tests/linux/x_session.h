#pragma once
// Test support for the native player: a private Xvfb with input through xdotool, the
// screen's pixels and those of kelna-tool's PAM frames.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/bytes.h"
#include "tests/support/pam_reader.h"
#include "tests/support/program_runner.h"
#include "tests/support/temporary_folder.h"

namespace kelna::test {

using namespace std::chrono_literals;

// A private Xvfb on a display number it picks itself. Without access control (-ac), so that
// another local user may draw on it; it listens on no network.
class Xvfb {
 public:
  explicit Xvfb(const std::string& size)
      : server_({"Xvfb", "-displayfd", "1", "-screen", "0", size + "x24", "-nolisten", "tcp", "-ac"},
                {.out = logs_ / "xvfb.log"}) {
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
    const ToolRun run = RunProgram(Words(command), logs_.Path(), {"DISPLAY=" + name_});
    ASSERT_EQ(run.status, 0) << command << "\n" << run.errors;
  }

 private:
  TemporaryFolder logs_;
  Program server_;
  std::string name_;
  Display* display_ = nullptr;
};

// The fixture of the tests on X: a private Xvfb and a folder for settings, logs and frames.
// kelna starts there with SDL's audio discarded, or recorded into the folder's audio.raw
// with "SDL_AUDIODRIVER=disk" among `environment`.
class PlayerOnX : public ::testing::Test {
 protected:
  std::unique_ptr<Program> Start(const std::string& options, const std::vector<std::string>& environment = {}) {
    ProgramSetup setup{.environment = {"XSCREENSAVER_WINDOW", "DISPLAY=" + x.Name(),
                                       "KELNA_CONFIG_DIR=" + folder.Path().string(), "SDL_AUDIODRIVER=dummy",
                                       "SDL_DISKAUDIOFILE=" + (folder / "audio.raw").string()},
                       .out = folder / ("kelna-" + std::to_string(++started_) + ".log")};
    setup.environment.insert(setup.environment.end(), environment.begin(), environment.end());
    std::vector<std::string> words = Words(options);
    words.insert(words.begin(), program);
    return std::make_unique<Program>(words, std::move(setup));
  }

  std::string program = KELNA_PLAYER;  // what Start runs
  Xvfb x{"640x480"};
  TemporaryFolder folder;
  int started_ = 0;
};

}  // namespace kelna::test
