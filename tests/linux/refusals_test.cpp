// Broken files named to kelna-tool inspect and to the player: each says which file and what
// is wrong with it, on one line, and ends with status 1.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/bytes.h"
#include "tests/support/program_runner.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna::test {
namespace {

const fs::path kFrames = fs::path(KELNA_TEST_DATA) / "bmpsuite" / "g";

class BrokenFiles : public ::testing::Test {
 protected:
  BrokenFiles() {
    const std::string frames = kFrames.string();
    Pack(R"({"objects": [{"name": "a", "frames": [{"image": ")" + frames + R"(/pal8.bmp", "mask": ")" + frames +
             R"(/pal1.bmp"}, {"image": ")" + frames + R"(/pal8.bmp"}]}, {"name": "b"}]})",
         "objects.foe");
    Pack(R"({"objectFile": "@objects.foe", "sprites": [{}, {}, {}]})", "scene.anm");
    Pack(R"({"objectFile": "@cut.foe", "sprites": [{}]})", "cut-objects.anm");
    Pack(R"({"objectFile": "@many.foe", "sprites": [{}]})", "many-objects.anm");
  }

  void Pack(const std::string& manifest, const std::string& output) const {
    WriteBytes(folder / "m.json", At(manifest, folder.Path()));
    ASSERT_EQ(RunTool("pack @m.json @" + output, folder.Path()).errors, "") << output;
  }

  TemporaryFolder folder;
  // The player's settings come from the folder's own (absent) CONTROL.INI.
  ScopedVariable home{"HOME", folder.Path().string()};
  ScopedVariable config{"XDG_CONFIG_HOME", folder.Path().string()};
};

TEST_F(BrokenFiles, AreNamedWithWhatIsWrongByInspectAndThePlayer) {
  const std::string objects = Contents(folder / "objects.foe");
  // Inside the first frame's picture: the 34-byte header, the object's fixed 79 bytes, the
  // frame's marker, 300 bytes of its BMP (room for the second object's fixed part).
  WriteBytes(folder / "cut.foe", objects.substr(0, 34 + 79 + 4 + 300));
  std::string many = objects;
  many[32] = 40;  // objects announced, where the file holds two
  WriteBytes(folder / "many.foe", many);
  // Three sprites of 115 bytes announced, one and a half held.
  WriteBytes(folder / "cut.anm", Contents(folder / "scene.anm").substr(0, 294 + 115 + 50));
  // pal8.bmp: 127 x 64 pixels, rows of 128 bytes after 1062 bytes of headers and colours.
  WriteBytes(folder / "cut.bmp", Contents(kFrames / "pal8.bmp").substr(0, 1062 + 6 * 128 + 10));

  const struct {
    const char* file;     // what inspect reads
    const char* reason;   // what inspect says after "kelna-tool: "
    const char* options;  // what the player is given
    const char* says;     // what the player says after "kelna: "
  } cases[] = {
      {"@cut.foe", "@cut.foe: object 1 of 2 cut short in frame 1 of 2 (its picture announces 9,254 bytes, 300 present)",
       "--animation @cut-objects.anm",
       "@cut-objects.anm: object file @cut.foe: object 1 of 2 cut short in frame 1 of 2 (its picture announces 9,254 "
       "bytes, 300 present)"},
      {"@many.foe", "@many.foe: object 3 of 40 cut short in its first 79 bytes", "--animation @many-objects.anm",
       "@many-objects.anm: object file @many.foe: object 3 of 40 cut short in its first 79 bytes"},
      {"@cut.anm", "@cut.anm: 3 sprites announced, 1 present", "--animation @cut.anm",
       "@cut.anm: 3 sprites announced, 1 present"},
      {"@cut.bmp", "@cut.bmp: file is truncated: its pixel data ends in row 7 of 64",
       "--animation @scene.anm --background @cut.bmp",
       "background @cut.bmp: file is truncated: its pixel data ends in row 7 of 64"},
  };
  for (const auto& c : cases) {
    const ToolRun inspect = RunTool(std::string("inspect ") + c.file, folder.Path());
    EXPECT_EQ(inspect.status, 1) << c.file;
    EXPECT_EQ(inspect.out, "") << c.file;
    EXPECT_EQ(inspect.errors, "kelna-tool: " + At(c.reason, folder.Path()) + "\n") << c.file;

    const ToolRun player = RunProgram(KELNA_PLAYER, c.options, folder.Path());
    EXPECT_EQ(player.status, 1) << c.options;
    EXPECT_EQ(player.errors, "kelna: " + At(c.says, folder.Path()) + "\n") << c.options;
  }
}

}  // namespace
}  // namespace kelna::test
