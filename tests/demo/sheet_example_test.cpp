// README's sprite sheet example (tools/demo/sheet/): the demo generator draws it as it is kept,
// its grid and its sheet editor's export pack to the same object file, and its frames are the
// demo's own twinkling star's.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/program_runner.h"
#include "tests/support/temporary_folder.h"

namespace kelna::test {
namespace {

const fs::path kKept = fs::path(KELNA_SOURCE_DIR) / "tools/demo/sheet";

TEST(SheetExampleTest, IsWhatTheGeneratorDrawsAndPacksToTheDemosFrames) {
  TemporaryFolder folder;
  const ToolRun drawn = RunProgram({KELNA_PYTHON, (fs::path(KELNA_SOURCE_DIR) / "tools/demo/make_demo.py").string(),
                                    "--sheet-example", (folder / "sheet").string()}, folder.Path());
  ASSERT_EQ(drawn.status, 0) << drawn.errors;
  int files = 0;
  for (const auto& kept : fs::directory_iterator(kKept)) {
    EXPECT_TRUE(Contents(kept.path()) == Contents(folder / "sheet" / kept.path().filename())) << kept.path();
    ++files;
  }
  EXPECT_EQ(files, 4);
  EXPECT_EQ(folder.Names().size(), 3u);  // the sheet folder and the runner's two logs: nothing else made

  const fs::path sheet = folder / "sheet";
  ASSERT_EQ(RunTool("pack twinkle.json grid.foe", sheet).errors, "");
  WriteBytes(sheet / "export.json", R"({"objects": [{"name": "twinkle", "imageWidth": 25, "imageHeight": 25,
      "depth": 8, "behaviour": 2, "frames": {"sheetJson": "twinkle-sheet.json"}}]})");
  ASSERT_EQ(RunTool("pack export.json export.foe", sheet).errors, "");
  EXPECT_TRUE(Contents(sheet / "grid.foe") == Contents(sheet / "export.foe"));

  ASSERT_EQ(RunTool("unpack grid.foe grid", sheet).errors, "");
  ASSERT_EQ(RunTool("unpack " KELNA_DEMO_DIR "/demo.foe demo", sheet).errors, "");
  constexpr int kDemoTwinkle = 6;  // its place among the demo's objects
  ASSERT_NE(Contents(sheet / "demo/manifest.json").find("\"name\": \"twinkle\""), std::string::npos);
  for (int frame = 0; frame < 6; ++frame)
    for (const char* part : {"image", "mask"}) {
      const std::string name = "-" + std::to_string(frame) + "-" + part + ".bmp";
      const std::string own = Contents(sheet / "grid" / ("0" + name));
      EXPECT_FALSE(own.empty()) << name;
      EXPECT_TRUE(own == Contents(sheet / "demo" / (std::to_string(kDemoTwinkle) + name))) << name;
    }
}

}  // namespace
}  // namespace kelna::test
