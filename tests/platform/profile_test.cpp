#include "platform/profile.h"

#include "tests/support/bytes.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace kelna {
namespace {

using test::ScopedVariable;
using test::TemporaryFolder;
using test::Text;

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr std::string_view kSaver = "Screen Saver.Vesk";
const std::string kNone = "(\x82\xC8\x82\xB5)";  // "(nashi)", meaning "none", in Shift-JIS

void WriteBytes(const fs::path& path, const std::string& bytes) {
  ASSERT_TRUE(test::WriteBytes(path, bytes)) << path;
}

std::string ReadBytes(const fs::path& path) { return test::Contents(path); }

// A profile read from a file holding `content`.
ProfileFile ProfileWith(const TemporaryFolder& folder, const std::string& content) {
  const fs::path path = folder / "CONTROL.INI";
  WriteBytes(path, content);
  return ProfileFile(path);
}

// ---- Reading ----

TEST(ProfileRead, MissingSettingsGiveTheDefaults) {
  const std::optional<std::string> files[] = {
      std::nullopt,                                  // no file at all
      "[Other]\r\nIntervalTime=10\r\n",              // only another section
      "[Screen Saver.Vesk]\r\nUnrelated=1\r\n",      // the section without these keys
      "IntervalTime=10\r\n[Screen Saver.Vesk]\r\n",  // the key comes before any section
  };
  for (const std::optional<std::string>& content : files) {
    SCOPED_TRACE(content.value_or("(no file)"));
    TemporaryFolder folder;
    if (content) WriteBytes(folder / "CONTROL.INI", *content);
    const ProfileFile profile(folder / "CONTROL.INI");

    EXPECT_EQ(profile.GetString(kSaver, "IntervalTime", "50"), "50");
    EXPECT_EQ(profile.GetString(kSaver, "BGImageFile", kNone), "(\x82\xC8\x82\xB5)");
    EXPECT_EQ(profile.GetString(kSaver, "BGMusicFile", kNone), kNone);
    EXPECT_EQ(profile.GetInt(kSaver, "BGImageMode", 0), 0);
    EXPECT_EQ(profile.GetInt(kSaver, "BGMusicRepeat", 1), 1);
    EXPECT_EQ(profile.GetInt(kSaver, "WaveSound", 1), 1);
    EXPECT_EQ(profile.GetString(kSaver, "AnimationFile", "untitled.anm"), "untitled.anm");
  }
}

TEST(ProfileRead, IntegersTakeTheLeadingDecimalNumber) {
  struct Case {
    std::string value;
    int expected;
  };
  const Case cases[] = {
      {"7", 7},         // plain
      {"-3", -3},       // signed
      {"+8", 8},        // explicit plus
      {"120ms", 120},   // trailing text ignored
      {"abc", 0},       // no digits: 0, not the default
      {"", 0},          // present but empty: 0, not the default
      {"  42  ", 42},   // white space around the value
      {"\"15\"", 15},   // quotes come off before the number is read
      {"1 2", 1},       // stops at the first non-digit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("value \"" + c.value + "\"");
    TemporaryFolder folder;
    const ProfileFile profile =
        ProfileWith(folder, "[Screen Saver.Vesk]\r\nBGImageMode=" + c.value + "\r\n");
    EXPECT_EQ(profile.GetInt(kSaver, "BGImageMode", 99), c.expected);
  }
}

TEST(ProfileRead, EmptyValueIsNotTheDefault) {
  TemporaryFolder folder;
  const ProfileFile profile = ProfileWith(folder, "[Screen Saver.Vesk]\r\nAnimationFile=\r\n");
  EXPECT_EQ(profile.GetString(kSaver, "AnimationFile", "untitled.anm"), "");
}

TEST(ProfileRead, ValuesAndNamesLoseSurroundingWhiteSpace) {
  TemporaryFolder folder;
  const ProfileFile profile =
      ProfileWith(folder, "  [ Screen Saver.Vesk ]  \r\n\t AnimationFile \t=  my anim.anm \t\r\n");
  EXPECT_EQ(profile.GetString(kSaver, "AnimationFile", "x"), "my anim.anm");
}

TEST(ProfileRead, NamesMatchWithoutAsciiCaseButDoubleByteCharactersExactly) {
  // "\x83\x41" and "\x83\x61" are two different katakana whose second bytes are 'A' and 'a'.
  TemporaryFolder folder;
  const ProfileFile profile = ProfileWith(folder,
                                          "[screen saver.VESK]\r\n"
                                          "intervaltime=70\r\n"
                                          "k\x83\x41y=katakana A\r\n"
                                          "[\x81\x5D]\r\n"  // a section named with a ']' byte
                                          "x=dash\r\n");
  struct Case {
    std::string section;
    std::string key;
    std::string expected;
  };
  const Case cases[] = {
      {"Screen Saver.Vesk", "IntervalTime", "70"},  // both names in another case
      {"SCREEN SAVER.VESK", "INTERVALTIME", "70"},  // upper case
      {"Screen Saver.Vesk", "K\x83\x41Y", "katakana A"},  // letters around the character fold
      {"Screen Saver.Vesk", "k\x83\x61y", "missing"},     // its second byte does not
      {"Screen Saver.Vesk", "k\x83\x41", "missing"},      // a prefix is not the name
      {"\x81\x5D", "X", "dash"},                          // the ']' byte ends no section name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section + " / " + c.key);
    EXPECT_EQ(profile.GetString(c.section, c.key, "missing"), c.expected);
  }
}

TEST(ProfileRead, MatchingQuotesComeOff) {
  struct Case {
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {"\"a b.anm\"", "a b.anm"},      // double quotes
      {"'a b.anm'", "a b.anm"},        // single quotes, as Windows does too
      {" \" padded \" ", " padded "},  // spaces inside the quotes stay
      {"\"\"", ""},                    // just the quotes
      {"\"a.anm", "\"a.anm"},          // no closing quote
      {"\"a.anm'", "\"a.anm'"},        // quotes that do not match
      {"\"", "\""},                    // a lone quote
      {"a\"b\"", "a\"b\""},            // quotes not around the value
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    TemporaryFolder folder;
    const ProfileFile profile =
        ProfileWith(folder, "[Screen Saver.Vesk]\r\nAnimationFile=" + c.value + "\r\n");
    EXPECT_EQ(profile.GetString(kSaver, "AnimationFile", "x"), c.expected);
  }
}

TEST(ProfileRead, LongValuesAreCutAsByAFixedBuffer) {
  const std::string a254(254, 'a');
  const std::string a253(253, 'a');
  const std::string hiragana = "\x82\xA0";  // a double-byte character
  const std::string kanji = "\x88\x9F";     // its second byte is also a possible first byte
  struct Case {
    std::string value;
    std::size_t bufferSize;
    std::string expected;
  };
  const Case cases[] = {
      {std::string(300, 'x'), 256, std::string(255, 'x')},  // cut to 255 bytes
      {std::string(255, 'x'), 256, std::string(255, 'x')},  // exactly fits
      {a254 + hiragana + "b", 256, a254},                   // the cut character goes whole
      {a253 + hiragana + "b", 256, a253 + hiragana},        // the character just fits
      {a253 + kanji + kanji, 256, a253 + kanji},            // characters counted from the start
      {a254 + "\xB1" + "cc", 256, a254 + "\xB1"},           // half-width kana is one byte
      {a254 + "\x82!" + "c", 256, a254 + "\x82"},           // a lead byte alone is one byte
      {hiragana + "x", 3, hiragana},                        // small buffer
      {"abc", 1, ""},                                       // room for the terminator only
      {"abc", 0, ""},                                       // no buffer at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("value of " + std::to_string(c.value.size()) + " bytes, buffer of " +
                 std::to_string(c.bufferSize));
    TemporaryFolder folder;
    const ProfileFile profile =
        ProfileWith(folder, "[Screen Saver.Vesk]\r\nBGImageFile=" + c.value + "\r\n");
    EXPECT_EQ(profile.GetString(kSaver, "BGImageFile", "x", c.bufferSize), c.expected);
    // A default passes through the same buffer.
    EXPECT_EQ(profile.GetString(kSaver, "Missing", c.value, c.bufferSize), c.expected);
  }
}

TEST(ProfileRead, CommentsAndOtherLinesAreNotKeys) {
  TemporaryFolder folder;
  const ProfileFile profile = ProfileWith(folder,
                                          "[Screen Saver.Vesk]\r\n"
                                          "; IntervalTime=10\r\n"
                                          "  ;WaveSound=0\r\n"
                                          "BGImageMode\r\n"
                                          "[Unclosed\r\n"  // not a section: keys go on
                                          "BGMusicRepeat=0\r\n");
  EXPECT_EQ(profile.GetInt(kSaver, "IntervalTime", 50), 50);
  EXPECT_EQ(profile.GetInt(kSaver, "WaveSound", 1), 1);
  EXPECT_EQ(profile.GetInt(kSaver, "BGImageMode", 3), 3);
  EXPECT_EQ(profile.GetInt(kSaver, "BGMusicRepeat", 1), 0);
}

TEST(ProfileRead, FirstOfTwinSectionsAndKeysWins) {
  TemporaryFolder folder;
  const ProfileFile profile = ProfileWith(folder,
                                          "[Screen Saver.Vesk]\r\n"
                                          "IntervalTime=1\r\n"
                                          "IntervalTime=2\r\n"
                                          "[Screen Saver.Vesk]\r\n"
                                          "IntervalTime=3\r\n"
                                          "WaveSound=0\r\n");
  EXPECT_EQ(profile.GetInt(kSaver, "IntervalTime", 50), 1);
  EXPECT_EQ(profile.GetInt(kSaver, "WaveSound", 1), 1);  // only the first section counts
}

TEST(ProfileRead, LineFeedsAloneAndAMissingLastLineEndAreRead) {
  TemporaryFolder folder;
  const ProfileFile profile =
      ProfileWith(folder, "[Screen Saver.Vesk]\nBGImageMode=7\nAnimationFile=last.anm");
  EXPECT_EQ(profile.GetInt(kSaver, "BGImageMode", 0), 7);
  EXPECT_EQ(profile.GetString(kSaver, "AnimationFile", "x"), "last.anm");
}

// ---- Writing ----

TEST(ProfileWrite, AllSettingsRoundTripThroughANewFile) {
  TemporaryFolder folder;
  const fs::path path = folder / "not yet" / "CONTROL.INI";  // the folder is made too
  struct Setting {
    const char* key;
    std::string value;
  };
  const Setting settings[] = {
      {"IntervalTime", "120"},
      {"BGImageFile", "C:\\\x89\xE6\x91\x9C\\sky.bmp"},  // Shift-JIS folder name
      {"BGMusicFile", kNone},
      {"BGImageMode", "7"},
      {"BGMusicRepeat", "0"},
      {"WaveSound", "1"},
      {"AnimationFile", "\x83\x5C\x83\x89.anm"},  // second bytes '\' and a letter
  };
  ProfileFile written(path);
  for (const Setting& s : settings) written.WriteString(kSaver, s.key, s.value);
  ASSERT_EQ(written.Flush().message(), "");

  EXPECT_EQ(ReadBytes(path),
            "[Screen Saver.Vesk]\r\n"
            "IntervalTime=120\r\n"
            "BGImageFile=C:\\\x89\xE6\x91\x9C\\sky.bmp\r\n"
            "BGMusicFile=(\x82\xC8\x82\xB5)\r\n"
            "BGImageMode=7\r\n"
            "BGMusicRepeat=0\r\n"
            "WaveSound=1\r\n"
            "AnimationFile=\x83\x5C\x83\x89.anm\r\n");
  const ProfileFile read(path);
  for (const Setting& s : settings) EXPECT_EQ(read.GetString(kSaver, s.key, "?"), s.value);
  EXPECT_EQ(read.GetInt(kSaver, "BGImageMode", 0), 7);
}

TEST(ProfileWrite, RewritingChangesOnlyTheWrittenLines) {
  for (const std::string lineEnd : {"\r\n", "\n"}) {
    SCOPED_TRACE(lineEnd == "\n" ? "LF" : "CR LF");
    const auto file = [&lineEnd](std::string interval, std::string image) {
      return "; Kelna settings" + lineEnd + "[Other]" + lineEnd + "IntervalTime=5" + lineEnd +
             lineEnd + "[Screen Saver.Vesk]" + lineEnd + interval + lineEnd + image + lineEnd +
             "; a comment inside" + lineEnd + "a line without equals" + lineEnd + "  " +
             lineEnd + "[Another]" + lineEnd + "Key = spaced value ";  // no last line end
    };
    TemporaryFolder folder;
    ProfileFile profile = ProfileWith(folder, file("  intervaltime = 50  ", "BGImageFile=a"));
    profile.WriteString(kSaver, "IntervalTime", "60");
    profile.WriteString(kSaver, "BGImageFile", "b.bmp");
    ASSERT_EQ(profile.Flush().message(), "");
    EXPECT_EQ(ReadBytes(profile.Path()), file("intervaltime=60", "BGImageFile=b.bmp"));
  }
}

TEST(ProfileWrite, NewKeyGoesAfterTheLastKeyOfItsSection) {
  struct Case {
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      // before the comment and blank line that end the section
      {"[Screen Saver.Vesk]\r\nIntervalTime=50\r\n; end\r\n\r\n[Other]\r\nx=1\r\n",
       "[Screen Saver.Vesk]\r\nIntervalTime=50\r\nWaveSound=1\r\n; end\r\n\r\n[Other]\r\nx=1\r\n"},
      // a section without keys: right after its header
      {"[Screen Saver.Vesk]\r\n\r\n[Other]\r\nx=1\r\n",
       "[Screen Saver.Vesk]\r\nWaveSound=1\r\n\r\n[Other]\r\nx=1\r\n"},
      // the same key in another section is not this one
      {"[Other]\r\nWaveSound=0\r\n[Screen Saver.Vesk]\r\n",
       "[Other]\r\nWaveSound=0\r\n[Screen Saver.Vesk]\r\nWaveSound=1\r\n"},
      // at the end of a file without a last line end: the added line has one
      {"[Screen Saver.Vesk]\r\nIntervalTime=50",
       "[Screen Saver.Vesk]\r\nIntervalTime=50\r\nWaveSound=1\r\n"},
      // in the file's own line end style
      {"[Screen Saver.Vesk]\nIntervalTime=50\n",
       "[Screen Saver.Vesk]\nIntervalTime=50\nWaveSound=1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    TemporaryFolder folder;
    ProfileFile profile = ProfileWith(folder, c.before);
    profile.WriteString(kSaver, "WaveSound", "1");
    ASSERT_EQ(profile.Flush().message(), "");
    EXPECT_EQ(ReadBytes(profile.Path()), c.after);
  }
}

TEST(ProfileWrite, NewSectionGoesAtTheEndOfTheFile) {
  struct Case {
    std::optional<std::string> before;  // nullopt: no file
    std::string after;
  };
  const Case cases[] = {
      {std::nullopt, "[Screen Saver.Vesk]\r\nWaveSound=1\r\n"},  // new files use CR LF
      {"", "[Screen Saver.Vesk]\r\nWaveSound=1\r\n"},            // empty file: no blank line
      {"[Other]\r\nx=1\r\n", "[Other]\r\nx=1\r\n\r\n[Screen Saver.Vesk]\r\nWaveSound=1\r\n"},
      // already ends with a blank line: no second one
      {"[Other]\r\nx=1\r\n\r\n", "[Other]\r\nx=1\r\n\r\n[Screen Saver.Vesk]\r\nWaveSound=1\r\n"},
      // LF file without a last line end
      {"[Other]\nx=1", "[Other]\nx=1\n\n[Screen Saver.Vesk]\nWaveSound=1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before.value_or("(no file)"));
    TemporaryFolder folder;
    const fs::path path = folder / "CONTROL.INI";
    if (c.before) WriteBytes(path, *c.before);
    ProfileFile profile(path);
    profile.WriteString(kSaver, "WaveSound", "1");
    ASSERT_EQ(profile.Flush().message(), "");
    EXPECT_EQ(ReadBytes(path), c.after);
  }
}

TEST(ProfileWrite, LineBreaksInAValueCannotAddLines) {
  TemporaryFolder folder;
  ProfileFile profile = ProfileWith(folder, "[Screen Saver.Vesk]\r\nIntervalTime=50\r\n");
  profile.WriteString(kSaver, "AnimationFile", "a.anm\r\n[Other]\nIntervalTime=1\rx");
  ASSERT_EQ(profile.Flush().message(), "");

  EXPECT_EQ(ReadBytes(profile.Path()),
            "[Screen Saver.Vesk]\r\nIntervalTime=50\r\n"
            "AnimationFile=a.anm  [Other] IntervalTime=1 x\r\n");
  const ProfileFile read(profile.Path());
  EXPECT_EQ(read.GetInt(kSaver, "IntervalTime", 0), 50);
  EXPECT_EQ(read.GetString("Other", "IntervalTime", "none"), "none");
}

// ---- Saving ----

TEST(ProfileFlush, WithoutChangesLeavesTheDiskAlone) {
  TemporaryFolder folder;
  ProfileFile profile = ProfileWith(folder, "[Screen Saver.Vesk]\r\n  IntervalTime = 50 \r\n");
  fs::remove(profile.Path());
  EXPECT_TRUE(profile.Flush());
  EXPECT_FALSE(fs::exists(profile.Path())) << "nothing changed, yet the file was written";

  // Writing what is already stored, in another letter case, changes nothing either.
  profile.WriteString(kSaver, "intervaltime", "50");
  EXPECT_TRUE(profile.Flush());
  EXPECT_FALSE(fs::exists(profile.Path())) << "the same value counted as a change";

  // After a save, there is nothing left to save.
  profile.WriteString(kSaver, "IntervalTime", "60");
  ASSERT_EQ(profile.Flush().message(), "");
  fs::remove(profile.Path());
  EXPECT_TRUE(profile.Flush());
  EXPECT_FALSE(fs::exists(profile.Path())) << "a second save wrote the file again";
}

TEST(ProfileFlush, ReplacesTheFileAndLeavesNothingElseBehind) {
  TemporaryFolder folder;
  ProfileFile profile = ProfileWith(folder, "[Screen Saver.Vesk]\r\nIntervalTime=50\r\n");
  for (const char* value : {"60", "70"}) {  // the second save replaces the first one's file
    profile.WriteString(kSaver, "IntervalTime", value);
    ASSERT_EQ(profile.Flush().message(), "");
    EXPECT_EQ(ReadBytes(profile.Path()),
              "[Screen Saver.Vesk]\r\nIntervalTime=" + std::string(value) + "\r\n");
  }
  EXPECT_EQ(folder.Names(), std::set<fs::path>{"CONTROL.INI"});
}

TEST(ProfileFlush, FailureLeavesThePreviousFileWhole) {
  TemporaryFolder folder;
  // A name so long that the temporary file's longer name is refused, while the file
  // itself is there to be replaced.
  const fs::path path = folder / (std::string(240, 'C') + ".INI");
  const std::string before = "; keep me\r\n[Screen Saver.Vesk]\r\nIntervalTime=50\r\n";
  if (!(std::ofstream(path, std::ios::binary) << before)) {
    GTEST_SKIP() << "this system does not take a name that long (MAX_PATH)";
  }

  ProfileFile profile(path);
  ASSERT_EQ(profile.GetInt(kSaver, "IntervalTime", 0), 50);
  profile.WriteString(kSaver, "IntervalTime", "60");
  const Status flushed = profile.Flush();
  EXPECT_FALSE(flushed);
  EXPECT_THAT(flushed.message(), HasSubstr(path.string()));
  EXPECT_EQ(flushed.message().find('\n'), std::string::npos);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(folder.Names(), std::set<fs::path>{path.filename()});
}

TEST(ProfileFlush, FailedReplaceLeavesNoTemporaryFile) {
  TemporaryFolder folder;
  ProfileFile profile(folder / "CONTROL.INI");
  profile.WriteString(kSaver, "IntervalTime", "60");
  // A folder appears where the file is to go, after it was read: the temporary file can be
  // written, but not renamed over the folder.
  fs::create_directories(folder / "CONTROL.INI" / "inside");
  const Status flushed = profile.Flush();
  EXPECT_FALSE(flushed);
  EXPECT_THAT(flushed.message(), HasSubstr(profile.Path().string()));
  EXPECT_TRUE(fs::is_directory(folder / "CONTROL.INI" / "inside"));
  EXPECT_EQ(folder.Names(), std::set<fs::path>{"CONTROL.INI"});
}

TEST(ProfileFlush, NeverReplacesAFileItCouldNotRead) {
  TemporaryFolder folder;
  // Something that cannot be read stands where the file should be (a folder here; on
  // Windows a file locked by another program, say): the settings it may hold are unknown,
  // so saving must not replace it, even once the way is clear.
  fs::create_directories(folder / "CONTROL.INI");
  ProfileFile profile(folder / "CONTROL.INI");
  fs::remove(folder / "CONTROL.INI");
  profile.WriteString(kSaver, "IntervalTime", "60");
  const Status flushed = profile.Flush();
  EXPECT_FALSE(flushed);
  EXPECT_THAT(flushed.message(), HasSubstr(profile.Path().string()));
  EXPECT_FALSE(fs::exists(folder / "CONTROL.INI"));
}

TEST(ProfileFlush, FailsWhenTheFileCannotBeMadeThere) {
  TemporaryFolder folder;
  WriteBytes(folder / "plain file", "not a folder");
  fs::create_directories(folder / "CONTROL.INI" / "inside");
  const fs::path targets[] = {
      folder / "plain file" / "CONTROL.INI",  // its folder is a file
      folder / "CONTROL.INI",                 // it is a folder, which cannot be read
  };
  for (const fs::path& target : targets) {
    SCOPED_TRACE(target.string());
    ProfileFile profile(target);
    profile.WriteString(kSaver, "IntervalTime", "60");
    const Status flushed = profile.Flush();
    EXPECT_FALSE(flushed);
    EXPECT_THAT(flushed.message(), HasSubstr(target.string()));
    EXPECT_EQ(flushed.message().find('\n'), std::string::npos);
  }
  EXPECT_EQ(ReadBytes(folder / "plain file"), "not a folder");
  EXPECT_TRUE(fs::is_directory(folder / "CONTROL.INI" / "inside"));
  EXPECT_EQ(folder.Names(), (std::set<fs::path>{"plain file", "CONTROL.INI"}));
}

// ---- Where the settings live ----

TEST(SettingsLocation, ConfigDirOverridesEverything) {
  TemporaryFolder folder;
  const ScopedVariable config(Text("KELNA_CONFIG_DIR"), folder.Path().native());
  const ScopedVariable appData(Text("APPDATA"), Text("/elsewhere"));
  const ScopedVariable xdg(Text("XDG_CONFIG_HOME"), Text("/elsewhere"));
  EXPECT_EQ(SettingsDirectory(), folder.Path());
  EXPECT_EQ(ControlIniPath(), folder / "CONTROL.INI");
}

#ifdef _WIN32
TEST(SettingsLocation, WindowsUsesAppDataWithNamesOutsideTheAnsiCodePage) {
  const std::wstring japanese = L"C:\\\u30E6\u30FC\u30B6\\Roaming";  // a katakana user name
  {
    const ScopedVariable config(L"KELNA_CONFIG_DIR", japanese);
    EXPECT_EQ(SettingsDirectory().wstring(), japanese);
  }
  {
    const ScopedVariable config(L"KELNA_CONFIG_DIR", std::nullopt);
    const ScopedVariable appData(L"APPDATA", japanese);
    EXPECT_EQ(SettingsDirectory().wstring(), japanese + L"\\Kelna");
    EXPECT_EQ(ControlIniPath().wstring(), japanese + L"\\Kelna\\CONTROL.INI");
  }
  {
    const ScopedVariable config(L"KELNA_CONFIG_DIR", std::nullopt);
    const ScopedVariable appData(L"APPDATA", std::nullopt);
    EXPECT_EQ(SettingsDirectory(), fs::path("."));
  }
}
#else
TEST(SettingsLocation, ElsewhereFollowsTheXdgRules) {
  struct Case {
    std::optional<std::string> config;
    std::optional<std::string> xdg;
    std::optional<std::string> home;
    std::string expected;
  };
  const Case cases[] = {
      {std::nullopt, "/xdg", "/home/u", "/xdg/kelna"},           // XDG_CONFIG_HOME first
      {std::nullopt, "rel/xdg", "/home/u", "/home/u/.config/kelna"},  // relative: ignored
      {std::nullopt, "", "/home/u", "/home/u/.config/kelna"},    // empty: ignored
      {"", std::nullopt, "/home/u", "/home/u/.config/kelna"},    // empty override: ignored
      {std::nullopt, std::nullopt, std::nullopt, "."},           // nothing: current folder
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const ScopedVariable config("KELNA_CONFIG_DIR", c.config);
    const ScopedVariable xdg("XDG_CONFIG_HOME", c.xdg);
    const ScopedVariable home("HOME", c.home);
    EXPECT_EQ(SettingsDirectory(), fs::path(c.expected));
  }
}
#endif

}  // namespace
}  // namespace kelna
