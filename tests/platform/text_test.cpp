#include "platform/text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace kelna {
namespace {

// Bytes written as hex pairs, "83 5C" for ソ.
std::string Hex(std::string_view pairs) {
  std::string bytes;
  for (std::size_t at = 0; at + 1 < pairs.size(); at += 3) {
    bytes.push_back(static_cast<char>(std::stoi(std::string(pairs.substr(at, 2)), nullptr, 16)));
  }
  return bytes;
}

std::string Utf8(std::u8string_view text) { return {text.begin(), text.end()}; }

// Characters that code page 932 holds, with their exact bytes: each must convert both ways.
struct Mapping {
  std::u16string_view utf16;
  std::string_view cp932;
};
constexpr Mapping kMappings[] = {
    {u"ケルナの設定", "83 50 83 8B 83 69 82 CC 90 DD 92 E8"},
    {u"(なし)", "28 82 C8 82 B5 29"},
    {u"ｱ", "B1"},                     // half-width katakana is a single byte
    {u"ソ", "83 5C"},                 // its second byte is '\'
    {u"＼", "81 5F"},
    {u"～", "81 60"},                 // U+FF5E, not the wave dash U+301C
    {u"①Ⅰⅰ", "87 40 87 54 FA 40"},  // NEC and IBM extensions
    {u"\\~", "5C 7E"},                // ASCII stays ASCII: no yen sign, no overline
    {u"C:\\ANIM\\FISH.ANM", "43 3A 5C 41 4E 49 4D 5C 46 49 53 48 2E 41 4E 4D"},
    {u"", ""},
    // Bytes that Shift-JIS leaves unassigned keep Windows' mapping, so they survive.
    {u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3", "80 A0 FD FE FF"},
};

TEST(TextCp932, ConvertsKnownCharactersBothWays) {
  for (const Mapping& m : kMappings) {
    const std::string cp932 = Hex(m.cp932);
    EXPECT_EQ(Cp932ToUtf16(cp932), m.utf16) << m.cp932;
    EXPECT_EQ(Utf16ToCp932(m.utf16), cp932) << m.cp932;
  }
}

TEST(TextCp932, ReplacesEachUndecodableSpotOnce) {
  struct Case {
    std::string_view cp932;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {"83", u"\uFFFD"},                      // a lead byte at the end
      {"41 83", u"A\uFFFD"},
      {"83 20 41", u"\uFFFD A"},              // a lead byte without a trail byte
      {"81 0A", u"\uFFFD\n"},
      {"85 40", u"\uFFFD"},                   // an unassigned pair is one spot
      {"61 85 40 62", u"a\uFFFDb"},           // and decoding goes on after it
      {"85 40 FC 4C 83 5C", u"\uFFFD\uFFFDソ"},
  };
  for (const Case& c : cases) EXPECT_EQ(Cp932ToUtf16(Hex(c.cp932)), c.expected) << c.cp932;
}

TEST(TextCp932, DuplicateCodesDecodeAlikeAndEncodeToOne) {
  struct Case {
    std::vector<std::string_view> codes;
    std::u16string_view character;
    std::string_view encoded;
  };
  const Case cases[] = {
      {{"81 E6", "87 9A", "FA 5B"}, u"∵", "81 E6"},
      {{"87 54", "FA 4A"}, u"Ⅰ", "87 54"},
      {{"ED 40", "FA 5C"}, u"纊", "FA 5C"},  // the NEC-selected row gives way to IBM's
  };
  for (const Case& c : cases) {
    for (std::string_view code : c.codes) EXPECT_EQ(Cp932ToUtf16(Hex(code)), c.character);
    EXPECT_EQ(Utf16ToCp932(c.character), Hex(c.encoded));
  }
}

TEST(TextCp932, ReplacesEachUnencodableCharacterWithOneQuestionMark) {
  struct Case {
    std::u16string_view utf16;
    std::string_view expected;
  };
  const Case cases[] = {
      {u"é", "?"},
      {u"¥", "?"},            // no look-alike: '\' would be another character
      {u"〜", "?"},           // U+301C has only a one-way mapping
      {u"\uFFFD", "?"},
      {u"😀", "?"},           // a surrogate pair is one character
      {u"a😀b", "a?b"},
      {u"\xD83D", "?"},       // lone surrogates
      {u"\xDE00" "A", "?A"},
      {u"\xD83D\xD83D\xDE00", "??"},
      {u"é設定", "?\x90\xDD\x92\xE8"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf16ToCp932(c.utf16), c.expected);
}

// Every pair of a lead byte and a trail byte is one character, or one replacement.
TEST(TextCp932, DecodesEachDoubleByteCodeAsOneUnit) {
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsCp932TrailByte(static_cast<unsigned char>(trail))) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      ASSERT_EQ(Cp932ToUtf16(code).size(), 1u) << std::hex << lead << ' ' << trail;
    }
  }
}

// What encodes must decode back to the same character: nothing turns into a look-alike.
TEST(TextCp932, EncodedCharactersDecodeBack) {
  int encodable = 0;
  for (char32_t code = 1; code <= 0xFFFF; ++code) {
    if (code >= 0xD800 && code <= 0xDFFF) continue;
    const std::u16string character(1, static_cast<char16_t>(code));
    const std::string cp932 = Utf16ToCp932(character);
    if (cp932 == "?" && code != u'?') continue;
    ++encodable;
    ASSERT_EQ(Cp932ToUtf16(cp932), character) << std::hex << static_cast<unsigned>(code);
  }
  // ASCII but NUL, half-width katakana, JIS X 0208, the NEC and IBM extensions, the
  // user-defined area and Windows' extra single bytes: the same set in every build.
  EXPECT_EQ(encodable, 9401);
}

TEST(TextUtf8, ConvertsEveryLengthOfSequenceBothWays) {
  struct Case {
    std::u8string_view utf8;
    std::u16string_view utf16;
  };
  const Case cases[] = {
      {u8"", u""},
      {u8"A\u007F", u"A\x7F"},                 // one byte
      {u8"\u0080\u07FF", u"\x80\x7FF"},          // two bytes
      {u8"\u0800ケ\uFFFF", u"\x800ケ\xFFFF"},    // three bytes
      {u8"\U00010000", u"\xD800\xDC00"},         // four bytes, a surrogate pair in UTF-16
      {u8"😀", u"\xD83D\xDE00"},
      {u8"\U0010FFFF", u"\xDBFF\xDFFF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(Utf8(c.utf8)), c.utf16) << Utf8(c.utf8);
    EXPECT_EQ(Utf16ToUtf8(c.utf16), Utf8(c.utf8)) << Utf8(c.utf8);
  }
}

// Each longest start of a valid sequence is one U+FFFD; the byte that breaks it is read
// again as the start of the next character.
TEST(TextUtf8, ReplacesEachIllFormedPartOnce) {
  struct Case {
    std::string_view utf8;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {"\xFF", u"\uFFFD"},                          // never a UTF-8 byte
      {"\x80" "a", u"\uFFFDa"},                     // a continuation without a lead
      {"\xC3", u"\uFFFD"},                          // cut short
      {"\xE3\x81" "a", u"\uFFFDa"},
      {"\xF0\x9F\x98", u"\uFFFD"},
      {"\xE3\x81\xE3\x81\xAA", u"\uFFFDな"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                // overlong '/'
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},      // overlong, three bytes
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},      // an encoded surrogate
      {"\xED\x9F\xBF", u"\xD7FF"},                  // but just below them is fine
      {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong, four bytes
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xF3\xBF\xBF\xBF", u"\xDBBF\xDFFF"},        // U+FFFFF is fine
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.utf8), c.expected);
}

TEST(TextUtf8, ReplacesLoneSurrogates) {
  EXPECT_EQ(Utf16ToUtf8(u"\xD83D"), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"a\xDE00" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // the wrong order
  EXPECT_EQ(Utf16ToUtf8(u"\xD83D\xD83D\xDE00"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

TEST(TextUtf8, ConvertsToAndFromCp932) {
  struct Case {
    std::u8string_view utf8;
    std::string_view cp932;
  };
  const Case cases[] = {
      {u8"ケルナの設定", "83 50 83 8B 83 69 82 CC 90 DD 92 E8"},
      {u8"(なし)", "28 82 C8 82 B5 29"},
      {u8"ｱ～", "B1 81 60"},
      {u8"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp932ToUtf8(Hex(c.cp932)), Utf8(c.utf8)) << c.cp932;
    EXPECT_EQ(Utf8ToCp932(Utf8(c.utf8)), Hex(c.cp932)) << c.cp932;
  }
  EXPECT_EQ(Cp932ToUtf8(Hex("41 83")), Utf8(u8"A\uFFFD"));
  EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80" "b"), "a?b");  // four bytes, one character
  EXPECT_EQ(Utf8ToCp932("\xE3\x81" "a"), "?a");
}

TEST(TextPath, ConvertsNamesToFileSystemPaths) {
  const std::string name = Hex("83 50 83 8B 83 69 82 CC 90 DD 92 E8 2E 69 6E 69");
  const std::filesystem::path path(u8"ケルナの設定.ini");
  EXPECT_EQ(Cp932ToPath(name), path);
  EXPECT_EQ(PathToCp932(path), name);
  EXPECT_EQ(Cp932ToPath(""), std::filesystem::path());
}

TEST(TextPath, OpensFilesByCp932Names) {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kelna-text-" + std::to_string(stamp));
  std::filesystem::create_directory(folder);
  const std::string name = Hex("83 5C 83 74 83 67 2E 62 6D 70");  // ソフト.bmp
  std::ofstream(folder / Cp932ToPath(name)) << "x";

  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    found.push_back(PathToCp932(entry.path().filename()));
  }
  std::filesystem::remove_all(folder);
  EXPECT_EQ(found, std::vector<std::string>{name});
}

}  // namespace
}  // namespace kelna
