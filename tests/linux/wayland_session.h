#pragma once
// Test support for the native player on Wayland: a private headless sway whose outputs stand
// side by side, screenshots of them through grim, and a pointer and keyboard of our own
// (virtual_input.cpp).

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
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

// How often `text` holds `word`.
inline long Occurrences(const std::string& text, const std::string& word) {
  long count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++count;
  return count;
}

// Whether `holds` becomes true within `timeout`.
template <typename Test>
bool Within(std::chrono::milliseconds timeout, Test holds) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (; !holds(); std::this_thread::sleep_for(20ms))
    if (std::chrono::steady_clock::now() >= end) return false;
  return true;
}

// The seat's pointer and keyboard, for as long as the object lives: our virtual-input client,
// which reads its commands through a named pipe.
class VirtualInput {
 public:
  VirtualInput(const fs::path& folder, const std::vector<std::string>& environment, const std::string& layout) {
    const fs::path pipe = folder / "input-commands";
    if (mkfifo(pipe.c_str(), 0600) != 0 || (commands_ = open(pipe.c_str(), O_RDWR)) < 0)
      throw std::runtime_error("cannot make the input's pipe");
    client_.emplace(std::vector<std::string>{KELNA_VIRTUAL_INPUT, layout},
                    ProgramSetup{.environment = environment, .out = folder / "input.log", .in = pipe});
    if (!client_->Says("ready", 10s)) throw std::runtime_error("no virtual input: " + client_->Log());
  }
  ~VirtualInput() {
    client_.reset();
    close(commands_);
  }

  // Gives `command` and waits until the compositor has had it.
  void Do(const std::string& command) {
    const std::string line = command + "\n";
    ASSERT_EQ(write(commands_, line.data(), line.size()), ssize_t(line.size()));
    ++given_;
    ASSERT_TRUE(Within(10s, [&] { return Occurrences(client_->Log(), "done") == given_; }))
        << command << "\n" << client_->Log();
  }

 private:
  int commands_ = -1;
  long given_ = 0;
  std::optional<Program> client_;
};

// sway on wlroots' headless backend with `outputs` outputs of kWidth x kHeight, HEADLESS-1 at
// the left, the next to its right, and so on; black, no bar, no Xwayland; its seat has our
// pointer and keyboard (a headless one has none of its own). sway will not run as
// root: then it runs as nobody, whose runtime folder holds its sockets; root's clients still
// reach them.
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
    input_.emplace(folder_.Path(), Environment(), std::to_string(kWidth * outputs) + "x" + std::to_string(kHeight));
  }
  ~HeadlessSway() {  // before the folder with its sockets goes
    input_.reset();
    sway_.reset();
  }

  static bool Installed() {
    return Program({"sh", "-c", "command -v sway && command -v grim && command -v swayidle"})
               .WaitForExit(10s) == 0;
  }

  static std::string Output(int index) { return "HEADLESS-" + std::to_string(index + 1); }
  int Outputs() const { return outputs_; }
  const fs::path& Folder() const { return folder_.Path(); }

  // What a client of this sway needs; X and other Wayland displays removed.
  std::vector<std::string> Environment() const {
    return {"XDG_RUNTIME_DIR=" + run_.string(), "WAYLAND_DISPLAY=" + display_, "SWAYSOCK=" + ipc_.string(),
            "DISPLAY", "WAYLAND_SOCKET", "SDL_VIDEODRIVER"};
  }

  // What output `index` shows (without the pointer). With KELNA_SCREENSHOT_DIR set, saved
  // there too as NAME.png, to look at.
  Pixels Shot(int index, const std::string& name = "") const {
    const fs::path shot = folder_ / "shot.ppm";
    fs::remove(shot);
    Run("grim -t ppm -o " + Output(index) + " " + shot.string());
    if (const char* to = std::getenv("KELNA_SCREENSHOT_DIR"); to && !name.empty())
      Run("grim -o " + Output(index) + " " + to + "/" + name + ".png");
    return ReadPpm(shot);
  }

  // Input as a user gives it, through the seat's one pointer and keyboard: "move X Y" in the
  // layout, "click", "key" (A).
  void Do(const std::string& command) { input_->Do(command); }

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
  std::optional<Program> sway_;
  std::optional<VirtualInput> input_;
};

}  // namespace kelna::test
