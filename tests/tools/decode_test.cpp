#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSuite = fs::path(KELNA_TEST_DATA) / "bmpsuite";

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Result {
  int status;
  std::string errors;
};

Result RunTool(const std::string& arguments, const fs::path& errorFile) {
  const std::string command = std::string(KELNA_TOOL) + " " + arguments + " 2>" + errorFile.string();
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Contents(errorFile)};
}

TEST(DecodeCommandTest, EveryGoodFileGivesTheReferencePixels) {
  kelna::test::TemporaryFolder folder;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kSuite / "g")) {
    const std::string name = entry.path().stem().string();
    const fs::path out = folder.Path() / (name + ".pam");
    const Result result = RunTool("decode " + entry.path().string() + " " + out.string(), folder.Path() / "err");
    EXPECT_EQ(result.status, 0) << name << ": " << result.errors;
    EXPECT_TRUE(Contents(out) == Contents(kSuite / "ref" / (name + ".pam"))) << name;
    ++files;
  }
  EXPECT_EQ(files, 27);
}

TEST(DecodeCommandTest, WritesPngWhenAskedFor) {
  kelna::test::TemporaryFolder folder;
  const fs::path out = folder.Path() / "pal8.png";
  ASSERT_EQ(RunTool("decode " + (kSuite / "g" / "pal8.bmp").string() + " " + out.string(), folder.Path() / "err").status, 0);
  EXPECT_EQ(Contents(out).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

TEST(DecodeCommandTest, AnUnreadableFileGivesOneLineNamingItAndStatus1) {
  kelna::test::TemporaryFolder folder;
  const fs::path bad = folder.Path() / "text.bmp";
  std::ofstream(bad) << "not a bitmap";
  const Result result = RunTool("decode " + bad.string() + " " + (folder.Path() / "out.pam").string(), folder.Path() / "err");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find(bad.string() + ": "), std::string::npos) << result.errors;
  EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
  EXPECT_FALSE(fs::exists(folder.Path() / "out.pam"));

  EXPECT_EQ(RunTool("decode " + (folder.Path() / "missing.bmp").string() + " x.pam", folder.Path() / "err").status, 1);
  EXPECT_EQ(RunTool("decode only-one-argument", folder.Path() / "err").status, 2);
}

}  // namespace
