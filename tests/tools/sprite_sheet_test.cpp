// kelna-tool pack with frames cut from a sheet (a grid, or Aseprite's JSON export in array and
// hash forms, trimmed), against the same frames as PNG files; and the sheets it refuses.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/tools/tool_files.h"

namespace kelna::test {
namespace {

using nlohmann::ordered_json;

constexpr int kWidth = 6, kHeight = 5;  // each frame's size

// RGBA pixels, rows top first.
struct Picture {
  int width, height;
  std::vector<std::uint8_t> rgba;
  std::uint8_t* At(int x, int y) { return &rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4]; }
};

struct Box {
  int x, y, w, h;
};

// Frame k's covered block, of a place and size of its own: what a trimmed export keeps.
Box Block(int k) { return {k % 3, k % 2, kWidth - k % 2 - k % 3, kHeight - k / 3 - k % 2}; }

// Frame k: transparent but for its block, each pixel of its own colour, alphas (never 0) on
// both sides of the threshold.
Picture Frame(int k) {
  Picture p{kWidth, kHeight, std::vector<std::uint8_t>(kWidth * kHeight * 4)};
  const Box b = Block(k);
  for (int y = b.y; y < b.y + b.h; ++y)
    for (int x = b.x; x < b.x + b.w; ++x) {
      const std::uint8_t pixel[] = {std::uint8_t(40 * k + x), std::uint8_t(200 - 9 * y), std::uint8_t(17 * (x + y)),
                                    std::uint8_t((x + y + k) % 4 ? 255 : 90)};
      std::copy(pixel, pixel + 4, p.At(x, y));
    }
  return p;
}

// `from`'s rectangle copied into `to` at (x, y).
void Copy(Picture from, Box box, Picture& to, int x, int y) {
  for (int row = 0; row < box.h; ++row)
    for (int column = 0; column < box.w; ++column)
      std::copy_n(from.At(box.x + column, box.y + row), 4, to.At(x + column, y + row));
}

ordered_json Rect(Box b) { return {{"x", b.x}, {"y", b.y}, {"w", b.w}, {"h", b.h}}; }

// The six frames as f0.png ... f5.png; as grid.png, 2 across and 3 down; and as packed.png,
// trimmed, in one row from the last to the first, with an export in either form (whose frame
// names sort otherwise than they come).
void WriteSheets(const TemporaryFolder& folder) {
  Picture grid{2 * kWidth, 3 * kHeight, std::vector<std::uint8_t>(2 * kWidth * 3 * kHeight * 4)};
  Picture packed{6 * kWidth, kHeight, std::vector<std::uint8_t>(6 * kWidth * kHeight * 4)};
  ordered_json array = ordered_json::array(), hash = ordered_json::object();
  for (int k = 0; k < 6; ++k) {
    const Picture frame = Frame(k);
    WritePng(folder / ("f" + std::to_string(k) + ".png"), kWidth, kHeight, frame.rgba);
    Copy(frame, {0, 0, kWidth, kHeight}, grid, k % 2 * kWidth, k / 2 * kHeight);
    const Box trimmed = Block(k);
    const int at = (5 - k) * kWidth;
    Copy(frame, trimmed, packed, at, 0);
    const ordered_json entry = {{"frame", Rect({at, 0, trimmed.w, trimmed.h})}, {"rotated", false},
                                {"trimmed", true}, {"spriteSourceSize", Rect(trimmed)},
                                {"sourceSize", {{"w", kWidth}, {"h", kHeight}}}, {"duration", 100}};
    array.push_back({{"filename", "walk " + std::to_string(12 - k)}});
    array.back().update(entry);
    hash["walk " + std::to_string(12 - k)] = entry;
  }
  WritePng(folder / "grid.png", grid.width, grid.height, grid.rgba);
  WritePng(folder / "packed.png", packed.width, packed.height, packed.rgba);
  const ordered_json meta = {{"app", "http://www.aseprite.org/"}, {"image", "packed.png"}, {"format", "RGBA8888"},
                             {"size", {{"w", 6 * kWidth}, {"h", kHeight}}}};
  WriteBytes(folder / "array.json", ordered_json{{"frames", array}, {"meta", meta}}.dump(1));
  WriteBytes(folder / "hash.json", ordered_json{{"frames", hash}, {"meta", meta}}.dump(1));
}

ToolRun PackFrames(const TemporaryFolder& folder, const std::string& frames, const std::string& options = "") {
  WriteBytes(folder / "m.json", R"({"objects": [{"name": "walker", "frames": )" + frames + "}]}");
  return RunTool("pack m.json out.foe " + options, folder.Path());
}

TEST(SpriteSheetTest, GridsAndExportsPackToTheBytesOfTheSameFramesAsPngs) {
  TemporaryFolder folder;
  WriteSheets(folder);
  const auto separate = [&](int first, int count, const std::string& options) {
    std::string frames = "[";
    for (int k = first; k < first + count; ++k)
      frames += std::string(k > first ? ", " : "") + R"({"png": "f)" + std::to_string(k) + R"(.png"})";
    EXPECT_EQ(PackFrames(folder, frames + "]", options).errors, "");
    return Contents(folder / "out.foe");
  };
  const struct {
    const char* frames;
    int first, count;
    const char* options;
  } cases[] = {
      {R"({"sheet": "grid.png", "cell": [6, 5]})", 0, 6, ""},
      {R"({"sheetJson": "array.json"})", 0, 6, ""},
      {R"({"sheetJson": "hash.json"})", 0, 6, ""},
      {R"({"sheet": "grid.png", "cell": [6, 5], "first": 1, "count": 4})", 1, 4, ""},
      {R"({"sheetJson": "hash.json", "first": 3})", 3, 3, "--palette --alpha-threshold 91"},
      {R"({"sheetJson": "array.json", "count": 2, "palette": true})", 0, 2, "--palette"},
  };
  for (const auto& c : cases) {
    const std::string expected = separate(c.first, c.count, c.options);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(PackFrames(folder, c.frames, c.options).errors, "") << c.frames;
    EXPECT_TRUE(Contents(folder / "out.foe") == expected) << c.frames << " " << c.options;
  }
}

TEST(SpriteSheetTest, RefusesSheetsThatCannotBeCutNamingTheFile) {
  TemporaryFolder folder;
  WriteSheets(folder);
  const ordered_json hash = ordered_json::parse(Contents(folder / "hash.json"));
  // The hash export with one change made to its frames or meta.
  const auto changed = [&](const char* name, const std::string& pointer, const ordered_json& value) {
    ordered_json document = hash;
    document[ordered_json::json_pointer(pointer)] = value;
    WriteBytes(folder / name, document.dump());
  };
  changed("outside.json", "/frames/walk 9/frame/x", 32);
  changed("sizes.json", "/frames/walk 10/sourceSize/w", 7);
  changed("form.json", "/frames", "walk");
  changed("nothing.json", "/frames", ordered_json::array());
  changed("picture.json", "/meta/image", 3);
  changed("rotated.json", "/frames/walk 12/rotated", true);
  changed("scaled.json", "/frames/walk 12/spriteSourceSize/w", 2);
  changed("gone.json", "/meta/image", "gone.png");
  WriteBytes(folder / "broken.json", "{\"frames\": [");
  const std::string json = R"(objects[0].frames.sheetJson: ")";
  const struct {
    const char* frames;
    std::string message;  // after "kelna-tool: m.json: "
  } cases[] = {
      {R"({"sheet": "grid.png", "cell": [5, 5]})",
       R"(objects[0].frames.sheet: "grid.png": 12 x 15 pixels do not divide into cells of 5 x 5)"},
      {R"({"sheet": "grid.png", "cell": [6, 5], "first": 4, "count": 3})",
       R"(objects[0].frames.sheet: "grid.png": frames 4 to 6 are asked for, of the 6 cells it holds)"},
      {R"({"sheet": "gone.png", "cell": [6, 5]})", R"(objects[0].frames.sheet: "gone.png": no such file)"},
      {R"({"sheet": "grid.png", "cell": [0, 5]})", "objects[0].frames.cell[0]: 0 is outside 1 ... 32767"},
      {R"({"sheet": "grid.png"})", R"(objects[0].frames: "sheet" needs "cell": [width, height])"},
      {R"({"sheet": "grid.png", "cell": [6, 5], "sheetJson": "hash.json"})",
       R"(objects[0].frames: needs either "sheet" (with "cell") or "sheetJson")"},
      {R"({"sheetJson": "outside.json"})",
       json + R"(outside.json": frames["walk 9"].frame: the rectangle 32, 0, 5 x 3 lies outside the sheet (36 x 5))"},
      {R"({"sheetJson": "sizes.json"})",
       json + R"(sizes.json": frames["walk 10"]: frames of different sizes: this one is 7 x 5, frames["walk 12"] 6 x 5)"},
      {R"({"sheetJson": "form.json"})",
       json + R"(form.json": frames: not a sheet export of a known form: "frames" must be an array (Aseprite's array)"
              R"( form) or an object keyed by frame name (its hash form))"},
      {R"({"sheetJson": "nothing.json"})", json + R"(nothing.json": frames: holds no frame)"},
      {R"({"sheetJson": "picture.json"})", json + R"(picture.json": meta.image: must name the sheet picture)"},
      {R"({"sheetJson": "rotated.json"})",
       json + R"(rotated.json": frames["walk 12"].rotated: rotated frames are not read; export the sheet without rotation)"},
      {R"({"sheetJson": "scaled.json"})",
       json + R"(scaled.json": frames["walk 12"].spriteSourceSize: 2 x 5 is not the size of its frame rectangle (6 x 5))"},
      {R"({"sheetJson": "gone.json"})", json + R"(gone.json": meta.image: cannot read "gone.png": no such file)"},
      {R"({"sheetJson": "broken.json"})", json + R"(broken.json": not valid JSON: )"},
      {R"({"sheetJson": "hash.json", "first": 6})",
       json + R"(hash.json": frame 6 is asked for first, of the 6 frames it holds)"},
  };
  for (const auto& c : cases) {
    const ToolRun run = PackFrames(folder, c.frames);
    EXPECT_EQ(run.status, 1) << c.frames;
    const std::string expected = "kelna-tool: m.json: " + c.message;
    EXPECT_EQ(run.errors.substr(0, expected.size()), expected) << c.frames;
    EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;  // one line
  }
  EXPECT_FALSE(fs::exists(folder / "out.foe"));
}

}  // namespace
}  // namespace kelna::test
