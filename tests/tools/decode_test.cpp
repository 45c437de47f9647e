#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSuite = fs::path(KELNA_TEST_DATA) / "bmpsuite";

TEST(DecodeCommandTest, EveryGoodFileGivesTheReferencePixels) {
  kelna::test::TemporaryFolder folder;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kSuite / "g")) {
    const std::string name = entry.path().stem().string();
    const fs::path out = folder / (name + ".pam");
    const ToolRun result = RunTool({"decode", entry.path().string(), out.string()}, folder.Path());
    EXPECT_EQ(result.status, 0) << name << ": " << result.errors;
    EXPECT_TRUE(Contents(out) == Contents(kSuite / "ref" / (name + ".pam"))) << name;
    ++files;
  }
  EXPECT_EQ(files, 27);
}

TEST(DecodeCommandTest, WritesPngWhenAskedFor) {
  kelna::test::TemporaryFolder folder;
  const fs::path out = folder / "pal8.png";
  ASSERT_EQ(RunTool({"decode", (kSuite / "g" / "pal8.bmp").string(), out.string()}, folder.Path()).status, 0);
  EXPECT_EQ(Contents(out).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

TEST(DecodeCommandTest, AnUnreadableFileGivesOneLineNamingItAndStatus1) {
  kelna::test::TemporaryFolder folder;
  const fs::path bad = folder / "text.bmp";
  kelna::test::WriteBytes(bad, "not a bitmap");
  const ToolRun result = RunTool({"decode", bad.string(), (folder / "out.pam").string()}, folder.Path());
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find(bad.string() + ": "), std::string::npos) << result.errors;
  EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
  EXPECT_FALSE(fs::exists(folder / "out.pam"));

  EXPECT_EQ(RunTool({"decode", (folder / "missing.bmp").string(), "x.pam"}, folder.Path()).status, 1);
  EXPECT_EQ(RunTool({"decode", "only-one-argument"}, folder.Path()).status, 2);
}

}  // namespace
}  // namespace kelna::test
