#include "platform/text.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelna {
namespace {

TEST(TextCp932, ConvertsKnownCharactersBothWaysFromUtf16AndUtf8) {
  const std::pair<std::u16string_view, std::string_view> rows[] = {
      {u"ケルナの設定", "\x83\x50\x83\x8B\x83\x69\x82\xCC\x90\xDD\x92\xE8"},
      {u"ｱ", "\xB1"},                          // half-width katakana is a single byte
      {u"ソ＼", "\x83\x5C\x81\x5F"},           // ソ's second byte is '\'
      {u"～", "\x81\x60"},                     // U+FF5E, not the wave dash U+301C
      {u"①Ⅰⅰ", "\x87\x40\x87\x54\xFA\x40"},  // NEC and IBM extensions
      {u"\\~", "\\~"},                         // ASCII stays ASCII: no yen sign, no overline
      {u"", ""}, {u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3", "\x80\xA0\xFD\xFE\xFF"},  // Windows' unassigned bytes
  };
  for (const auto& [utf16, cp932] : rows) {
    EXPECT_EQ(Cp932ToUtf16(cp932), utf16);
    EXPECT_EQ(Utf16ToCp932(utf16), cp932);
    EXPECT_EQ(Cp932ToUtf8(cp932), Utf16ToUtf8(utf16));
    EXPECT_EQ(Utf8ToCp932(Utf16ToUtf8(utf16)), cp932);
  }
}

TEST(TextCp932, ReplacesWhatItCannotConvertOnceEach) {
  const std::pair<std::string_view, std::u16string_view> undecodable[] = {
      {"A\x83", u"A\uFFFD"},                                 // a lead byte at the end
      {"\x83 A", u"\uFFFD A"}, {"\x81\n", u"\uFFFD\n"},      // a lead byte without a trail byte
      {"a\x85\x40" "b", u"a\uFFFDb"},                        // an unassigned pair is one spot
      {"\x85\x40\xFC\x4C\x83\x5C", u"\uFFFD\uFFFDソ"},
  };
  for (const auto& [cp932, expected] : undecodable) EXPECT_EQ(Cp932ToUtf16(cp932), expected);
  const std::pair<std::u16string_view, std::string_view> unencodable[] = {
      {u"é", "?"}, {u"¥", "?"},  // no look-alike: '\' is another character
      {u"〜", "?"},              // U+301C has only a one-way mapping
      {u"a😀b", "a?b"}, {u"\xD83D", "?"}, {u"\xDE00" "A", "?A"}, {u"\xD83D\xD83D\xDE00", "??"},
  };
  for (const auto& [utf16, expected] : unencodable) EXPECT_EQ(Utf16ToCp932(utf16), expected);
  EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80" "b\xE3\x81" "c"), "a?b?c");
}

TEST(TextCp932, DuplicateCodesDecodeAlikeAndEncodeToOne) {
  const std::vector<std::string> rows[] = {  // the code it encodes to first
      {"\x81\xE6", "\x87\x9A", "\xFA\x5B"}, {"\x87\x54", "\xFA\x4A"},
      {"\xFA\x5C", "\xED\x40"},  // the NEC-selected row gives way to IBM's
  };
  for (const auto& codes : rows)
    for (const std::string& code : codes) {
      EXPECT_EQ(Cp932ToUtf16(code), Cp932ToUtf16(codes[0]));
      EXPECT_EQ(Utf16ToCp932(Cp932ToUtf16(code)), codes[0]);
    }
}

TEST(TextCp932, EveryDoubleByteCodeIsOneUnitAndEveryEncodedCharacterDecodesBack) {
  for (unsigned char lead = 0x81; lead <= 0xFC; ++lead)
    for (unsigned char trail = 0x40; trail <= 0xFC && IsCp932LeadByte(lead); ++trail) {
      if (!IsCp932TrailByte(trail)) continue;
      ASSERT_EQ(Cp932ToUtf16(std::string{char(lead), char(trail)}).size(), 1u) << std::hex << +lead << ' ' << +trail;
    }
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

// Ill-formed UTF-8: each longest start of a valid sequence is one U+FFFD, and the byte that
// breaks it starts the next character. A lone surrogate is one U+FFFD too.
TEST(TextUtf8, ConvertsEveryLengthOfSequenceBothWaysAndReplacesEachIllFormedPartOnce) {
  const std::pair<std::u8string_view, std::u16string_view> valid[] = {
      {u8"", u""}, {u8"A\u007F", u"A\x7F"}, {u8"\u0080\u07FF", u"\x80\x7FF"}, {u8"\u0800ケ\uFFFF", u"\x800ケ\xFFFF"},
      {u8"\U00010000", u"\xD800\xDC00"}, {u8"😀", u"\xD83D\xDE00"}, {u8"\U0010FFFF", u"\xDBFF\xDFFF"},
  };
  for (const auto& [u8, utf16] : valid) {
    const std::string utf8(u8.begin(), u8.end());
    EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << utf8;
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8) << utf8;
  }
  const std::pair<std::string_view, std::u16string_view> illFormed[] = {
      {"\xFF", u"\uFFFD"}, {"\x80" "a", u"\uFFFDa"}, {"\xE3\x81" "a", u"\uFFFDa"},
      {"\xF0\x9F\x98", u"\uFFFD"}, {"\xE3\x81\xE3\x81\xAA", u"\uFFFDな"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"}, {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},  // overlong
      {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, {"\xED\x9F\xBF", u"\xD7FF"},  // surrogates, and just below
      {"\xF3\xBF\xBF\xBF", u"\xDBBF\xDFFF"}, {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
  };
  for (const auto& [utf8, expected] : illFormed) EXPECT_EQ(Utf8ToUtf16(utf8), expected);
  EXPECT_EQ(Utf16ToUtf8(u"a\xDE00\xD83D" "b"), "a\xEF\xBF\xBD\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(u"\xD83D\xD83D\xDE00"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

// Written and read back through the file system: tests/sprites (TDibFile) and tests/e2e.
TEST(TextPath, NamesFilesByTheirCp932Names) {
  const std::string name = "\x83\x5C\x83\x74\x83\x67.bmp";  // ソフト.bmp
  EXPECT_EQ(Cp932ToPath(name), std::filesystem::path(u8"ソフト.bmp"));
  EXPECT_EQ(PathToCp932(std::filesystem::path(u8"ソフト.bmp")), name);
  EXPECT_EQ(Cp932ToPath(""), std::filesystem::path());
}

}  // namespace
}  // namespace kelna
