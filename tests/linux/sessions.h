#pragma once
// The native player's sessions: a private Xvfb with input through xdotool, a private headless
// sway with outputs side by side and our own input (virtual_input.cpp), and the fixture.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/bytes.h"
#include "tests/support/pam_reader.h"
#include "tests/support/program_runner.h"
#include "tests/support/temporary_folder.h"

namespace kelna::test {

const std::string kDemo = KELNA_DEMO_DIR;
const std::string kBackground = " --background " + kDemo + "/background.bmp";

// With KELNA_SCREENSHOT_DIR set, the file there to save picture `name` in, to look at; else none.
inline std::string ScreenshotFile(const std::string& name) {
  const char* to = std::getenv("KELNA_SCREENSHOT_DIR");
  return to && !name.empty() ? std::string(to) + "/" + name + ".png" : "";
}

// How often `text` holds `word`.
inline long Occurrences(const std::string& text, const std::string& word) {
  long count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++count;
  return count;
}

// A private Xvfb on a display number of its choosing; no access control (-ac: another local
// user may draw on it), no network.
class Xvfb {
 public:
  explicit Xvfb(const std::string& size)
      : server_({"Xvfb", "-displayfd", "1", "-screen", "0", size + "x24", "-nolisten", "tcp", "-ac"},
                {.out = logs_ / "xvfb.log"}) {
    Within(10s, [&] {
      std::istringstream lines(server_.Log());  // the number comes as a line of its own
      for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) name_ = ":" + line;
      return !name_.empty() && (display_ = XOpenDisplay(name_.c_str()));
    });
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

  // What `drawable` shows (the root window by default); saved as NAME.png (ScreenshotFile).
  Pixels Of(Drawable drawable, int width, int height, const std::string& name = "") const {
    XImage* image = XGetImage(display_, drawable, 0, 0, width, height, AllPlanes, ZPixmap);
    Pixels pixels;
    for (int y = 0; image && y < height; ++y)
      for (int x = 0; x < width; ++x) pixels.push_back(std::uint32_t(XGetPixel(image, x, y) & 0xFFFFFF));
    if (image) XDestroyImage(image);
    if (const std::string file = ScreenshotFile(name); !file.empty())
      Run("import -window " + std::to_string(drawable) + " " + file);
    return pixels;
  }
  Pixels Screen(const std::string& name = "") const { return Of(Root(), 640, 480, name); }

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

// sway on wlroots' headless backend with `outputs` outputs of kWidth x kHeight from HEADLESS-1
// at the left; black, no bar, no Xwayland; its seat has our virtual-input client's pointer and
// keyboard, given commands through a pipe. As root, sway runs as nobody (it refuses root).
class HeadlessSway {
 public:
  static constexpr int kWidth = 640, kHeight = 480;

  explicit HeadlessSway(int outputs) : outputs_(outputs), run_(folder_ / "run") {
    fs::permissions(folder_.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::create_directory(run_);
    fs::permissions(run_, fs::perms::owner_all);
    std::string config = "xwayland disable\noutput * bg #000000 solid_color\n";
    for (int i = 0; i < outputs; ++i)
      config += "output " + Output(i) + " resolution " + std::to_string(kWidth) + "x" + std::to_string(kHeight) +
                " position " + std::to_string(i * kWidth) + " 0\n";
    if (!WriteBytes(run_ / "config", config)) throw std::runtime_error("cannot write sway's config");
    std::vector<std::string> words = {"sway", "-c", (run_ / "config").string()};
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      if (!nobody || chown(run_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
        throw std::runtime_error("cannot give nobody sway's runtime folder");
      words.insert(words.begin(), {"setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
                                   "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"});
    }
    sway_.emplace(words, ProgramSetup{.environment = {"XDG_RUNTIME_DIR=" + run_.string(), "HOME=" + run_.string(),
                                                       "WLR_BACKENDS=headless", "WLR_RENDERER=pixman",
                                                       "WLR_LIBINPUT_NO_DEVICES=1",
                                                       "WLR_HEADLESS_OUTPUTS=" + std::to_string(outputs),
                                                       "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "DISPLAY", "SWAYSOCK"},
                                      .out = folder_ / "sway.log"});
    if (!Within(20s, [&] { return FindSockets() && OutputsPlaced(); }))
      throw std::runtime_error("sway did not start with its outputs in place:\n" + sway_->Log());
    const fs::path pipe = folder_ / "input-commands";
    if (mkfifo(pipe.c_str(), 0600) != 0 || (commands_ = open(pipe.c_str(), O_RDWR)) < 0)
      throw std::runtime_error("cannot make the input's pipe");
    input_.emplace(std::vector<std::string>{KELNA_VIRTUAL_INPUT, std::to_string(kWidth * outputs) + "x" +
                                                                     std::to_string(kHeight)},
                   ProgramSetup{.environment = Environment(), .out = folder_ / "input.log", .in = pipe});
    if (!input_->Says("ready", 10s)) throw std::runtime_error("no virtual input: " + input_->Log());
  }
  ~HeadlessSway() {  // before the folder with its sockets goes
    input_.reset();
    close(commands_);
    sway_.reset();
  }

  static bool Installed() {
    return Program({"sh", "-c", "command -v sway && command -v grim && command -v swayidle"})
               .WaitForExit(10s) == 0;
  }

  static std::string Output(int index) { return "HEADLESS-" + std::to_string(index + 1); }

  // What a client of this sway needs; X and other Wayland displays removed.
  std::vector<std::string> Environment() const {
    return {"XDG_RUNTIME_DIR=" + run_.string(), "WAYLAND_DISPLAY=" + display_, "SWAYSOCK=" + ipc_.string(),
            "DISPLAY", "WAYLAND_SOCKET", "SDL_VIDEODRIVER"};
  }

  // What output `index` shows (without the pointer); saved as NAME.png (ScreenshotFile).
  Pixels Shot(int index, const std::string& name = "") const {
    const fs::path shot = folder_ / "shot.ppm";
    fs::remove(shot);
    Run("grim -t ppm -o " + Output(index) + " " + shot.string());
    if (const std::string file = ScreenshotFile(name); !file.empty()) Run("grim -o " + Output(index) + " " + file);
    return ReadPpm(shot);
  }

  // Input through the seat's one pointer and keyboard, once the compositor has had it:
  // "move X Y" in the layout, "click", "key" (A).
  void Do(const std::string& command) {
    const std::string line = command + "\n";
    ASSERT_EQ(write(commands_, line.data(), line.size()), ssize_t(line.size()));
    ++given_;
    ASSERT_TRUE(Within(10s, [&] { return Occurrences(input_->Log(), "done") == given_; }))
        << command << "\n" << input_->Log();
  }

  // One of sway's clients: "swaymsg ...".
  void Run(const std::string& command) const {
    const ToolRun run = RunProgram(Words(command), folder_.Path(), Environment(), 20s);
    ASSERT_EQ(run.status, 0) << command << "\n" << run.errors;
  }

 private:
  bool FindSockets() {
    for (const fs::directory_entry& entry : fs::directory_iterator(run_)) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("wayland-") && !name.ends_with(".lock")) display_ = name;
      if (name.starts_with("sway-ipc.")) ipc_ = entry.path();
    }
    return !display_.empty() && !ipc_.empty();
  }

  // Whether sway lists our outputs where its config puts them.
  bool OutputsPlaced() const {
    const ToolRun run = RunProgram({"swaymsg", "-r", "-t", "get_outputs"}, folder_.Path(), Environment(), 10s);
    const nlohmann::json listed = nlohmann::json::parse(run.out, nullptr, false);
    if (run.status != 0 || !listed.is_array()) return false;
    int placed = 0;
    for (const nlohmann::json& output : listed) {
      const nlohmann::json want = {{"x", kWidth * (output.value("name", "").back() - '1')}, {"y", 0},
                                   {"width", kWidth}, {"height", kHeight}};
      placed += output.value("active", false) && output.value("rect", nlohmann::json()) == want;
    }
    return placed == outputs_ && int(listed.size()) == outputs_;
  }

  int outputs_;
  TemporaryFolder folder_;
  fs::path run_, ipc_;
  std::string display_;
  std::optional<Program> sway_, input_;
  int commands_ = -1;
  long given_ = 0;
};

// The player's tests: kelna starts on Display() with the folder's settings (none unless a test
// writes them) and SDL's audio discarded, or kept in audio.raw with "SDL_AUDIODRIVER=disk" in `more`.
class PlayerTest : public ::testing::Test {
 protected:
  virtual std::vector<std::string> Display() const = 0;

  std::vector<std::string> Environment() const {
    std::vector<std::string> environment = Display();
    environment.insert(environment.end(), {"KELNA_CONFIG_DIR=" + folder.Path().string(), "SDL_AUDIODRIVER=dummy",
                                           "SDL_DISKAUDIOFILE=" + (folder / "audio.raw").string()});
    return environment;
  }

  std::unique_ptr<Program> Start(const std::string& options, const std::vector<std::string>& more = {}) {
    std::vector<std::string> environment = Environment(), words = Words(options);
    environment.insert(environment.end(), more.begin(), more.end());
    words.insert(words.begin(), program);
    return std::make_unique<Program>(
        words, ProgramSetup{.environment = environment,
                            .out = folder / ("kelna-" + std::to_string(++started_) + ".log")});
  }

  // The frames kelna-tool render draws of `scene` (an animation file and options), by tick.
  std::function<PamPicture(int)> Render(const std::string& scene) {
    const fs::path out = folder / ("render-" + std::to_string(++renders_));
    const ToolRun run = RunTool("render " + scene + " --format pam --out " + out.string(), folder.Path());
    EXPECT_EQ(run.status, 0) << scene << "\n" << run.errors;
    return [out](int tick) {
      char name[16];
      std::snprintf(name, sizeof name, "tick-%04d.pam", tick);
      return ReadPam(out / name);
    };
  }

  std::string program = KELNA_PLAYER;  // what Start runs
  TemporaryFolder folder;
  int started_ = 0, renders_ = 0;
};

// The player on a private 640 x 480 Xvfb, not as a hack.
class PlayerOnX : public PlayerTest {
 protected:
  std::vector<std::string> Display() const override { return {"XSCREENSAVER_WINDOW", "DISPLAY=" + x.Name()}; }
  Xvfb x{"640x480"};
};

}  // namespace kelna::test
