// CONTROL.INI as the Windows private-profile calls read and write it.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <vector>

#include "tests/support/bytes.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

namespace fs = std::filesystem;
using test::ScopedVariable;
using test::TemporaryFolder;

constexpr std::string_view kSaver = "Screen Saver.Vesk";
const std::string kHead = "[Screen Saver.Vesk]\r\n";

// A profile read from the folder's CONTROL.INI holding `content` (none: no file).
ProfileFile ProfileWith(const TemporaryFolder& folder, const std::optional<std::string>& content) {
  if (content) { EXPECT_TRUE(test::WriteBytes(folder / "CONTROL.INI", *content)); }
  return ProfileFile(folder / "CONTROL.INI");
}

TEST(ProfileRead, FindsSectionsAndKeysAsWindowsDoes) {
  const std::string twins = kHead + "K=1\r\nK=2\r\n" + kHead + "K=3\r\nL=4\r\n";
  const std::string folded = "[screen saver.VESK]\r\nk\x83\x41y=A\r\n";  // 0x83 0x41, 0x83 0x61 differ
  const std::tuple<std::optional<std::string>, std::string, std::string> rows[] = {  // file, key, read
      {std::nullopt, "K", "default"}, {"K=1\r\n" + kHead, "K", "default"},  // a key before any section
      {kHead + "K=\r\n", "K", ""},                           // empty is not missing
      {kHead + "; K=1\r\n  ;K=2\r\nK\r\n", "K", "default"},  // comments, a line without '='
      {kHead + "[Unclosed\r\nK=3\r\n", "K", "3"},            // not a section: its keys go on
      {twins, "K", "1"}, {twins, "L", "default"},            // the first of twin keys and sections
      {"[Screen Saver.Vesk]\nJ=7\nK=last", "K", "last"},     // LF alone, no last line end
      {"  [ Screen Saver.Vesk ]  \r\n\t K \t=  my anim.anm \t\r\n", "K", "my anim.anm"},
      {folded, "K\x83\x41Y", "A"},                           // ASCII case folds around the character
      {folded, "k\x83\x61y", "default"},                     // but not its second byte
      {folded, "k\x83\x41", "default"},                      // a prefix is not the name
  };
  for (const auto& [file, key, expected] : rows) {
    SCOPED_TRACE(file.value_or("(no file)") + " / " + key);
    TemporaryFolder folder;
    EXPECT_EQ(ProfileWith(folder, file).GetString(kSaver, key, "default"), expected);
  }
  TemporaryFolder folder;
  EXPECT_EQ(ProfileWith(folder, "[\x81\x5D]\r\nx=dash\r\n").GetString("\x81\x5D", "X", "d"), "dash")
      << "a second byte ']' ends no section name";
}

TEST(ProfileRead, TakesQuotesOffCutsAsABufferOfTheGivenSizeWouldAndReadsIntegersAsAtol) {
  const std::string a253(253, 'a'), a254(254, 'a');
  const std::string kana = "\x82\xA0", kanji = "\x88\x9F";  // the kanji's second byte may also lead
  const std::tuple<std::string, std::size_t, std::string> rows[] = {
      {"\"a b.anm\"", 256, "a b.anm"}, {"'a b.anm'", 256, "a b.anm"}, {" \" padded \" ", 256, " padded "},
      {"\"\"", 256, ""}, {"\"", 256, "\""}, {"a\"b\"", 256, "a\"b\""},
      {"\"a.anm", 256, "\"a.anm"},  // quotes that do not match stay
      {"\x83\x5C\x83\x89.anm", 256, "\x83\x5C\x83\x89.anm"},  // a second byte 0x5C, as '\' is
      {std::string(300, 'x'), 256, std::string(255, 'x')},
      {a254 + kana + "b", 256, a254},  // a double-byte character is never cut in two
      {a253 + kana + "b", 256, a253 + kana},
      {a253 + kanji + kanji, 256, a253 + kanji},  // characters are counted from the start
      {"abc", 1, ""}, {"abc", 0, ""},
  };
  for (const auto& [value, buffer, expected] : rows) {
    SCOPED_TRACE(value.substr(0, 20) + ", buffer " + std::to_string(buffer));
    TemporaryFolder folder;
    const ProfileFile profile = ProfileWith(folder, kHead + "K=" + value + "\r\n");
    EXPECT_EQ(profile.GetString(kSaver, "K", "default", buffer), expected);
    if (value.size() < buffer) continue;
    EXPECT_EQ(profile.GetString(kSaver, "Missing", value, buffer), expected) << "the default too";
  }
  // Integers are read as atol reads them once the quotes are off.
  TemporaryFolder folder;
  const ProfileFile profile = ProfileWith(folder, kHead + "Q=\"15\"\r\nE=\r\n");
  EXPECT_EQ(profile.GetInt(kSaver, "Q", 99), 15);
  EXPECT_EQ(profile.GetInt(kSaver, "E", 99), 0) << "present but empty: 0, not the default";
  EXPECT_EQ(profile.GetInt(kSaver, "Missing", 99), 99);
}

// A file with comments, another section, blank lines and a line without '=' about the keys.
std::string Rewritten(const std::string& interval, const std::string& image) {
  return "; Kelna settings\r\n[Other]\r\nIntervalTime=5\r\n\r\n" + kHead + interval + "\r\n" + image +
         "\r\n; a comment inside\r\nno equals\r\n  \r\n[Another]\r\nKey = spaced value ";
}

TEST(ProfileWrite, ChangesOnlyWhatIsWrittenInTheFilesOwnStyle) {
  using Writes = std::vector<std::pair<std::string, std::string>>;
  const Writes wave = {{"WaveSound", "1"}};
  const std::tuple<std::optional<std::string>, Writes, std::string> rows[] = {  // file, writes, saved
      // A new file: CR LF, keys in the order written.
      {std::nullopt, {{"IntervalTime", "120"}, {"AnimationFile", "\x83\x5C.anm"}},
       kHead + "IntervalTime=120\r\nAnimationFile=\x83\x5C.anm\r\n"},
      // An existing key keeps its line and spelling; nothing else changes.
      {Rewritten("  intervaltime = 50  ", "BGImageFile=a"), {{"intervalTime", "60"}, {"BGImageFile", "b"}},
       Rewritten("intervaltime=60", "BGImageFile=b")},
      // A new key goes after the last key of its section.
      {kHead + "IntervalTime=50\r\n; end\r\n\r\n[Other]\r\nx=1\r\n", wave,
       kHead + "IntervalTime=50\r\nWaveSound=1\r\n; end\r\n\r\n[Other]\r\nx=1\r\n"},
      {kHead + "\r\n[Other]\r\nx=1\r\n", wave, kHead + "WaveSound=1\r\n\r\n[Other]\r\nx=1\r\n"},
      {"[Other]\r\nWaveSound=0\r\n" + kHead, wave, "[Other]\r\nWaveSound=0\r\n" + kHead + "WaveSound=1\r\n"},
      {kHead + "IntervalTime=50", wave, kHead + "IntervalTime=50\r\nWaveSound=1\r\n"},
      {"[Screen Saver.Vesk]\nIntervalTime=50\n", wave, "[Screen Saver.Vesk]\nIntervalTime=50\nWaveSound=1\n"},
      // A new section goes at the end, after one blank line.
      {"[Other]\r\nx=1\r\n", wave, "[Other]\r\nx=1\r\n\r\n" + kHead + "WaveSound=1\r\n"},
      {"[Other]\r\nx=1\r\n\r\n", wave, "[Other]\r\nx=1\r\n\r\n" + kHead + "WaveSound=1\r\n"},
      {"[Other]\nx=1", wave, "[Other]\nx=1\n\n[Screen Saver.Vesk]\nWaveSound=1\n"},
      // CR and LF in a value cannot add lines.
      {kHead, {{"A", "a\r\n[Other]\nB=1\rx"}}, kHead + "A=a  [Other] B=1 x\r\n"},
  };
  for (const auto& [before, writes, after] : rows) {
    SCOPED_TRACE(before.value_or("(no file)"));
    TemporaryFolder folder;
    ProfileFile profile = ProfileWith(folder, before);
    for (const auto& [key, value] : writes) profile.WriteString(kSaver, key, value);
    ASSERT_EQ(profile.Flush().message(), "");
    EXPECT_EQ(test::Contents(profile.Path()), after);
    EXPECT_EQ(folder.Names(), std::set<fs::path>{"CONTROL.INI"}) << "a temporary file remains";
  }
}

TEST(ProfileFlush, WritesOnlyWhenSomethingChangedAndMakesTheFolder) {
  TemporaryFolder folder;
  ProfileFile profile = ProfileWith(folder, kHead + "  IntervalTime = 50 \r\n");
  fs::remove(profile.Path());
  EXPECT_TRUE(profile.Flush());
  profile.WriteString(kSaver, "intervaltime", "50");  // what is stored already
  EXPECT_TRUE(profile.Flush());
  EXPECT_FALSE(fs::exists(profile.Path())) << "written without a change";
  profile.WriteString(kSaver, "IntervalTime", "60");
  ASSERT_EQ(profile.Flush().message(), "");
  fs::remove(profile.Path());
  EXPECT_TRUE(profile.Flush());
  EXPECT_FALSE(fs::exists(profile.Path())) << "saved twice";
  ProfileFile deeper(folder / "not yet" / "CONTROL.INI");
  deeper.WriteString(kSaver, "IntervalTime", "60");
  ASSERT_EQ(deeper.Flush().message(), "");
  EXPECT_EQ(test::Contents(deeper.Path()), kHead + "IntervalTime=60\r\n");
}

// A failed save says why in one line that names the file.
void ExpectSaveFails(ProfileFile& profile) {
  profile.WriteString(kSaver, "IntervalTime", "60");
  const Status flushed = profile.Flush();
  EXPECT_FALSE(flushed);
  EXPECT_NE(flushed.message().find(profile.Path().string()), std::string::npos) << flushed.message();
  EXPECT_EQ(flushed.message().find('\n'), std::string::npos) << flushed.message();
}

TEST(ProfileFlush, AFailedSaveLeavesEveryFileAsItWasAndNeverReplacesAnUnreadOne) {
  TemporaryFolder folder;
  const fs::path ini = folder / "CONTROL.INI";
  ProfileFile readWithoutFile(ini);
  fs::create_directories(ini / "inside");
  ProfileFile unread(ini);  // a folder stands there: as a locked file, it cannot be read
  ExpectSaveFails(readWithoutFile);  // the temporary file is written but cannot replace a folder
  EXPECT_TRUE(fs::is_directory(ini / "inside"));
  EXPECT_EQ(folder.Names(), std::set<fs::path>{"CONTROL.INI"});
  fs::remove_all(ini);  // the way is clear, yet the settings it may have held are unknown
  ExpectSaveFails(unread);
  EXPECT_FALSE(fs::exists(ini));
  // A name so long that the temporary file's longer one is refused: the file stays whole.
  const std::string before = "; keep me\r\n" + kHead + "IntervalTime=50\r\n";
  const fs::path path = folder / (std::string(240, 'C') + ".INI");
  if (!test::WriteBytes(path, before)) GTEST_SKIP() << "this system does not take a name that long";
  ProfileFile profile(path);
  ASSERT_EQ(profile.GetInt(kSaver, "IntervalTime", 0), 50);
  ExpectSaveFails(profile);
  EXPECT_EQ(test::Contents(path), before);
  EXPECT_EQ(folder.Names(), std::set<fs::path>{path.filename()});
}

#ifdef _WIN32
TEST(SettingsLocation, IsTheOverrideOrAppDataEvenOutsideTheAnsiCodePage) {
  const std::wstring japanese = L"C:\\\u30E6\u30FC\u30B6\\Roaming";  // a katakana user name
  const std::optional<std::wstring> none;
  const std::tuple<std::optional<std::wstring>, std::optional<std::wstring>, std::wstring> rows[] = {
      {japanese, L"C:\\elsewhere", japanese}, {none, japanese, japanese + L"\\Kelna"}, {none, none, L"."},
  };
  for (const auto& [config, appData, expected] : rows) {
    const ScopedVariable configDir(L"KELNA_CONFIG_DIR", config), appDataDir(L"APPDATA", appData);
    EXPECT_EQ(SettingsDirectory().wstring(), expected);
    EXPECT_EQ(ControlIniPath(), fs::path(expected) / L"CONTROL.INI");
  }
}
#else
TEST(SettingsLocation, IsTheOverrideOrFollowsTheXdgRules) {
  const std::optional<std::string> none;
  const std::optional<std::string> rows[][4] = {  // KELNA_CONFIG_DIR, XDG_CONFIG_HOME, HOME, expected
      {"/mine", "/xdg", "/home/u", "/mine"}, {none, "/xdg", "/home/u", "/xdg/kelna"},
      {none, "rel/xdg", "/home/u", "/home/u/.config/kelna"},  // relative: ignored
      {"", none, "/home/u", "/home/u/.config/kelna"},         // an empty override too
      {none, none, none, "."},
  };
  for (const auto& row : rows) {
    const ScopedVariable config("KELNA_CONFIG_DIR", row[0]), xdg("XDG_CONFIG_HOME", row[1]), home("HOME", row[2]);
    EXPECT_EQ(SettingsDirectory(), fs::path(*row[3]));
    EXPECT_EQ(ControlIniPath(), fs::path(*row[3]) / "CONTROL.INI");
  }
}
#endif

}  // namespace
}  // namespace kelna
