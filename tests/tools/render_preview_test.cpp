// kelna-tool render --out FILE.webp: the WebP shows, tick by tick, exactly the PNG frames of
// the same run, each for the interval; and the progress bar that a terminal gets.

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>

#include <webp/demux.h>

#include "tests/support/dib_builder.h"
#include "tests/tools/tool_files.h"

namespace kelna::test {
namespace {

using nlohmann::json;
using Rgba = std::vector<std::uint8_t>;

// One picture of the animation and the time it ends at, in milliseconds.
struct Shown {
  Rgba rgba;
  int endsAt;
};

std::vector<Shown> DecodeAnimation(const std::string& file, int& width, int& height) {
  const std::string bytes = Contents(file);
  const WebPData data{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_RGBA;
  std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> decoder(WebPAnimDecoderNew(&data, &options),
                                                                       WebPAnimDecoderDelete);
  WebPAnimInfo info{};
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) return {};
  width = int(info.canvas_width), height = int(info.canvas_height);
  std::vector<Shown> frames;
  std::uint8_t* pixels = nullptr;
  int endsAt = 0;
  while (WebPAnimDecoderHasMoreFrames(decoder.get()) && WebPAnimDecoderGetNext(decoder.get(), &pixels, &endsAt))
    frames.push_back({Rgba(pixels, pixels + std::size_t(width) * std::size_t(height) * 4), endsAt});
  return frames;
}

// scene.anm of `sprites` over bg.bmp: a ball of two frames (a disc) and a box.
void WriteScene(const TemporaryFolder& folder, const json& sprites) {
  for (int frame = 0; frame < 2; ++frame) {
    Rgba disc;
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 12; ++x) {
        const bool inside = (x - 6) * (x - 6) + (y - 6) * (y - 6) < 30;
        for (int v : {frame ? 40 : 250, 20 * y, 20 * x, inside ? 255 : 0}) disc.push_back(std::uint8_t(v));
      }
    WritePng(folder / ("ball-" + std::to_string(frame) + ".png"), 12, 12, disc);
  }
  WriteBytes(folder / "box.bmp", StreamForm(SolidDib(10, 8, 0x33CC66)));
  WriteBytes(folder / "bg.bmp", StreamForm(PackedDib(64, 48, 24, 0)));
  PackScene(folder, R"({"objects": [{"name": "ball", "frames": [{"png": "ball-0.png"},
      {"png": "ball-1.png"}]}, {"name": "box", "frames": [{"image": "box.bmp"}]}]})", sprites,
            {{"randomStart", 0}, {"imageWidth", 12}, {"imageHeight", 12}, {"frameCount", 2}});
}

TEST(RenderPreviewTest, TheWebpShowsEachTickRenderWritesForTheInterval) {
  TemporaryFolder folder;
  const struct {
    const char* name;
    json sprites;
    const char* options;
    int interval;  // what each frame should last
    bool moves;    // or every tick shows the same
  } cases[] = {
      {"moving", json::parse(R"([{"name": "a", "objectName": "ball", "behaviour": 1, "randomStart": 1,
           "speedX": 3, "speedY": 2}, {"name": "b", "objectName": "box", "frameCount": 1, "behaviour": 3,
           "randomStart": 1, "speedX": 2, "speedY": 2, "depth": 2}, {"name": "c", "objectName": "ball",
           "x": 150, "y": 20, "speedX": -4, "skipCount": 2}])"), "--seed 9 --interval 40", 40, true},
      {"still", json::parse(R"([{"name": "a", "objectName": "box", "frameCount": 1, "x": 30, "y": 40}])"),
       "--mode 0", 50, false},
      {"fast", json::parse(R"([{"name": "a", "objectName": "ball", "x": 5, "y": 5, "speedX": 1}])"),
       "--interval 3 --mode 1", 10, true},  // as the saver's timer: 10 ms at least
  };
  for (const auto& c : cases) {
    WriteScene(folder, c.sprites);
    const std::string run = "render scene.anm --size 200x150 --ticks 14 --background bg.bmp " + std::string(c.options);
    ASSERT_EQ(RunTool(run + " --out " + c.name + ".webp", folder.Path()).errors, "") << c.name;
    ASSERT_EQ(RunTool(run + " --out " + c.name, folder.Path()).errors, "") << c.name;
    int width = 0, height = 0;
    const std::vector<Shown> shown = DecodeAnimation((folder / (std::string(c.name) + ".webp")).string(), width, height);
    ASSERT_EQ(std::pair(width, height), std::pair(200, 150)) << c.name;
    ASSERT_FALSE(shown.empty());
    // Ticks that show the same picture are one frame, lasting as long as they do together.
    EXPECT_EQ(shown.back().endsAt, 15 * c.interval) << c.name;
    EXPECT_EQ(shown.size() > 5, c.moves) << c.name;
    std::size_t at = 0;
    for (int tick = 0; tick <= 14; ++tick) {
      while (at < shown.size() && shown[at].endsAt <= tick * c.interval) ++at;
      ASSERT_LT(at, shown.size()) << c.name << " tick " << tick;
      char png[32];
      std::snprintf(png, sizeof png, "tick-%04d.png", tick);
      EXPECT_TRUE(shown[at].rgba == ReadPng(folder / c.name / png, 4).bytes) << c.name << " tick " << tick;
    }
  }
}

// The whole of what the program wrote on a terminal's side of a pseudo-terminal, and its status.
std::pair<std::string, int> RunOnTerminal(const std::vector<std::string>& words, const fs::path& folder) {
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    if (chdir(folder.c_str()) == 0) execv(argv[0], argv.data());
    _exit(127);
  }
  std::string said;
  char buffer[4096];
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) said.append(buffer, std::size_t(n));
  close(terminal);
  int status = 0;
  waitpid(child, &status, 0);
  return {said, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(RenderPreviewTest, ALongRenderShowsItsProgressOnATerminalOnly) {
  TemporaryFolder folder;
  WriteScene(folder, json::parse(R"([{"name": "a", "objectName": "ball", "x": 5, "y": 5, "speedX": 1}])"));
  // Large PNG frames: over a second on any machine (some 1.6 s here, ten times that under ASan).
  const std::string run = "render scene.anm --size 800x600 --ticks 50 --background bg.bmp --mode 1 --out frames";
  std::vector<std::string> words = {KELNA_TOOL};
  for (const std::string& word : Words(run)) words.push_back(word);
  const auto [said, status] = RunOnTerminal(words, folder.Path());
  ASSERT_EQ(status, 0) << said;
  EXPECT_NE(said.find("\r["), std::string::npos) << said;
  EXPECT_NE(said.find("##] 50/50 ticks, 0:00 left"), std::string::npos) << said;
  EXPECT_TRUE(said.ends_with("\n")) << said;
  EXPECT_EQ(RunTool(run, folder.Path()).errors, "");  // not a terminal
  // A short one says nothing even there.
  words = {KELNA_TOOL, "render", "scene.anm", "--size", "200x150", "--ticks", "2", "--out", "short.webp"};
  EXPECT_EQ(RunOnTerminal(words, folder.Path()), std::pair(std::string(), 0));
}

}  // namespace
}  // namespace kelna::test
