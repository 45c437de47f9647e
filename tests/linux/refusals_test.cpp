// Broken files given to kelna-tool inspect and to the player: one line naming the file and
// what is wrong, status 1; and the player's other refusals, before any window.

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
    Pack(R"({"objectFile": "@gone.foe", "sprites": []})", "lonely.anm");
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

  WriteBytes(folder / "short.anm", Contents(folder / "lonely.anm").substr(0, 38));
  WriteBytes(folder / "text.bmp", "not a bitmap");
  const struct {
    const char* options;
    int status;  // 2: a wrong command line, which the player says how to mend
    const char* says;
  } refusals[] = {
      {"", 1, "untitled.anm: no such file"},  // the saver's default, without a settings file
      {"--animation @missing.anm", 1, "@missing.anm: no such file"},
      {"--animation @short.anm", 1, "@short.anm: cut short in its header"},
      {"--animation @text.bmp", 1, "@text.bmp: not an animation file"},
      {"--animation @lonely.anm", 1, "@lonely.anm: object file @gone.foe: no such file"},
      {"--animation @scene.anm --background @text.bmp", 1, "background @text.bmp: not a BMP file"},
      {"--animation @scene.anm --background @absent.bmp", 1, "background @absent.bmp: no such file"},
      {"--mode 3", 2, "--mode: \"3\" is not a number from 0 to 2"},
      {"--window-id=0", 2, "--window-id: \"0\" is not a window id"},
      {"-root --window", 2, "--root, --window and --window-id exclude each other"},
      {"--bogus", 2, "unknown option --bogus"},
  };
  for (const auto& c : refusals) {
    const ToolRun player = RunProgram(KELNA_PLAYER, c.options, folder.Path());
    EXPECT_EQ(player.status, c.status) << c.options;
    EXPECT_EQ(player.errors, "kelna: " + At(c.says, folder.Path()) + "\n" +
                                 (c.status == 2 ? "(kelna --help lists the options)\n" : ""))
        << c.options;
  }
}

}  // namespace
}  // namespace kelna::test
