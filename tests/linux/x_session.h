#pragma once
// Test support for the native player: a private Xvfb, programs started on it with their
// output read line by line, input through XTEST, and the screen's pixels.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kelna::test {

using namespace std::chrono_literals;

// A started program: its standard output comes through a pipe, its errors go to a file.
// Killed (SIGKILL) if it is still running when the object goes.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
        const std::filesystem::path& errors = "/dev/null") {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
      const std::string text = *entry;
      merged[text.substr(0, text.find('='))] = text.substr(text.find('=') + 1);
    }
    for (const auto& [name, value] : environment) merged[name] = value;
    std::vector<std::string> texts;
    for (const auto& [name, value] : merged) texts.push_back(name + "=" + value);
    std::vector<char*> env, args;
    for (std::string& text : texts) env.push_back(text.data());
    env.push_back(nullptr);
    std::vector<std::string> words = argv;
    for (std::string& word : words) args.push_back(word.data());
    args.push_back(nullptr);
    const int failed = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
    if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
  }
  ~Child() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Reads the output until a line containing `text`: the line, or nothing after `timeout`
  // or when the output ends.
  std::optional<std::string> WaitForLine(const std::string& text, std::chrono::milliseconds timeout = 20s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      for (std::size_t newline; (newline = buffer_.find('\n')) != std::string::npos;) {
        std::string line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        lines_.push_back(line);
        if (line.find(text) != std::string::npos) return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left <= 0ms) return {};
      pollfd ready{out_, POLLIN, 0};
      if (poll(&ready, 1, int(left.count())) <= 0) return {};
      char chunk[4096];
      const ssize_t got = read(out_, chunk, sizeof chunk);
      if (got <= 0) return {};
      buffer_.append(chunk, std::size_t(got));
    }
  }

  // The exit status once the program has ended by itself within `timeout`; nothing while
  // it runs on.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        break;
      }
      if (std::chrono::steady_clock::now() >= end) return {};
      std::this_thread::sleep_for(20ms);
    }
    return status_;
  }

  // SIGTERM, as XScreenSaver ends its hacks; the exit status.
  std::optional<int> Terminate(std::chrono::milliseconds timeout = 10s) {
    if (!status_) kill(pid_, SIGTERM);
    return WaitForExit(timeout);
  }

  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
  std::vector<std::string> lines_;
  std::optional<int> status_;
};

// A private Xvfb of its own display number (Xvfb picks a free one), ended with the object.
class Xvfb {
 public:
  explicit Xvfb(const std::string& size = "640x480") {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    const std::string fd = std::to_string(fds[1]);
    server_ = std::make_unique<Child>(
        std::vector<std::string>{"Xvfb", "-displayfd", fd, "-screen", "0", size + "x24", "-nolisten", "tcp"},
        std::map<std::string, std::string>{});
    close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    name_ = ":" + number;
    display_ = XOpenDisplay(name_.c_str());
    if (!display_) throw std::runtime_error("cannot open " + name_);
  }
  ~Xvfb() {
    if (display_) XCloseDisplay(display_);
    server_->Terminate();
  }
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  const std::string& Name() const { return name_; }
  Display* X() const { return display_; }
  Window Root() const { return DefaultRootWindow(display_); }

  // A mapped window of our own, black, at (x, y).
  Window MakeWindow(int x, int y, int width, int height) const {
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display_, DefaultScreen(display_));
    attributes.override_redirect = True;
    const Window window = XCreateWindow(display_, Root(), x, y, unsigned(width), unsigned(height), 0,
                                        CopyFromParent, InputOutput, CopyFromParent,
                                        CWBackPixel | CWOverrideRedirect, &attributes);
    XMapWindow(display_, window);
    XSync(display_, False);
    return window;
  }

  // The drawable's pixels as 0x00RRGGBB, rows top first (a 24-bit Xvfb: 32-bit pixels).
  std::vector<std::uint32_t> Pixels(Drawable drawable, int width, int height) const {
    XImage* image = XGetImage(display_, drawable, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    std::vector<std::uint32_t> pixels;
    if (!image) return pixels;
    pixels.reserve(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) pixels.push_back(std::uint32_t(XGetPixel(image, x, y) & 0xFFFFFF));
    XDestroyImage(image);
    return pixels;
  }

  void MovePointer(int x, int y) const {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XSync(display_, False);
  }
  void PressKey(const char* name) const {
    const KeyCode key = XKeysymToKeycode(display_, XStringToKeysym(name));
    XTestFakeKeyEvent(display_, key, True, CurrentTime);
    XTestFakeKeyEvent(display_, key, False, CurrentTime);
    XSync(display_, False);
  }
  void Click(unsigned button) const {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XSync(display_, False);
  }

 private:
  std::unique_ptr<Child> server_;
  std::string name_;
  Display* display_ = nullptr;
};

// The pixels of a PAM file that kelna-tool render wrote (RGB or RGB_ALPHA, 8 bits).
inline std::vector<std::uint32_t> PamPixels(const std::filesystem::path& file, int& width, int& height) {
  std::ifstream in(file, std::ios::binary);
  std::string word;
  int depth = 0;
  while (in >> word && word != "ENDHDR") {
    if (word == "WIDTH") in >> width;
    if (word == "HEIGHT") in >> height;
    if (word == "DEPTH") in >> depth;
  }
  in.get();  // the newline after ENDHDR
  std::vector<std::uint32_t> pixels;
  std::vector<unsigned char> pixel(std::size_t(depth > 0 ? depth : 3));
  for (long i = 0; i < long(width) * height && in.read(reinterpret_cast<char*>(pixel.data()), long(pixel.size())); ++i)
    pixels.push_back(std::uint32_t(pixel[0]) << 16 | std::uint32_t(pixel[1]) << 8 | pixel[2]);
  return pixels;
}

// How many pixels differ.
inline long Differences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size()) return -1;
  long count = 0;
  for (std::size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
  return count;
}

}  // namespace kelna::test
