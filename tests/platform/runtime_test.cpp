#include "platform/runtime.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelna {
namespace {

constexpr long kInt32Min = INT32_MIN;

TEST(RuntimeAsciiToLong, ReadsLikeAtol) {
  struct Case {
    std::string_view text;
    long expected;
  };
  const Case cases[] = {
      {"42", 42},
      {"  -12ab", -12},         // stops at the first non-digit
      {"+7", 7},
      {" \t\n\v\f\r42", 42},    // every white space atol skips
      {"120ms", 120},
      {"007", 7},
      {"-0", 0},
      {"12 34", 12},
      {"abc", 0},               // no digits
      {"", 0},
      {"-", 0},
      {"- 5", 0},               // nothing may come between the sign and the digits
      {"+-5", 0},               // one sign only
      {"x12", 0},               // no skipping to the first digit
      {"\xA0" "5", 0},          // only ASCII white space is skipped
      {"2147483647", 2147483647},
      {"-2147483648", kInt32Min},
      // Past the 32-bit range the value wraps modulo 2^32, as a 32-bit long would, even
      // where long is wider: 4294967297 = 2^32 + 1.
      {"4294967297", 1},
      {"2147483648", kInt32Min},
      {"-4294967295", 1},
      {"99999999999", 1215752191},  // 99999999999 - 23 * 2^32
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AsciiToLong(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(RuntimeIntToDecimal, WritesDecimalDigits) {
  struct Case {
    int value;
    std::string_view expected;
  };
  const Case cases[] = {
      {0, "0"},
      {7, "7"},
      {10, "10"},
      {-1, "-1"},
      {-10, "-10"},
      {INT_MAX, "2147483647"},
      {INT_MIN, "-2147483648"},
  };
  for (const Case& c : cases) EXPECT_EQ(IntToDecimal(c.value), c.expected) << c.value;
}

// Shift-JIS characters whose second byte is 0x5C, the code of '\'.
constexpr std::string_view kSo = "\x83\x5C";      // ソ
constexpr std::string_view kHyou = "\x95\x5C";    // 表
constexpr std::string_view kHankakuA = "\xB1";    // ｱ, a single byte

std::string Join(std::initializer_list<std::string_view> pieces) {
  std::string joined;
  for (std::string_view piece : pieces) joined += piece;
  return joined;
}

TEST(RuntimeSplitPath, SplitsLikeFnsplit) {
  struct Case {
    std::string path, drive, directory, name, extension;
  };
  const Case cases[] = {
      {"C:\\ANIM\\FISH.ANM", "C:", "\\ANIM\\", "FISH", ".ANM"},
      {"D:\\WORK\\A.ANM", "D:", "\\WORK\\", "A", ".ANM"},
      {"untitled.anm", "", "", "untitled", ".anm"},
      {"/home/u/x.y.bmp", "", "/home/u/", "x.y", ".bmp"},   // the last dot counts
      {"dir.d/file", "", "dir.d/", "file", ""},             // a dot in a directory does not
      {"dir/", "", "dir/", "", ""},
      {"C:", "C:", "", "", ""},
      {"C:name", "C:", "", "name", ""},
      {"c:\\", "c:", "\\", "", ""},
      {"1:x", "", "", "1:x", ""},                           // a drive is a letter
      {"\\\\server\\share\\f.txt", "", "\\\\server\\share\\", "f", ".txt"},
      {"C:/a\\b/c.d", "C:", "/a\\b/", "c", ".d"},           // both separators
      {".profile", "", "", "", ".profile"},                 // all extension, as in fnsplit
      {"a.", "", "", "a", "."},
      {".", "", "", ".", ""},                               // "." and ".." are names
      {"..", "", "", "..", ""},
      {"..\\x", "", "..\\", "x", ""},
      {"", "", "", "", ""},
      // The 0x5C of a double-byte character is not a separator.
      {Join({"C:\\", kSo, "\\a.bmp"}), "C:", Join({"\\", kSo, "\\"}), "a", ".bmp"},
      {Join({kSo, ".bmp"}), "", "", std::string(kSo), ".bmp"},
      {Join({"C:\\DATA\\", kHyou}), "C:", "\\DATA\\", std::string(kHyou), ""},
      {Join({kHyou, kSo, "\\", kSo}), "", Join({kHyou, kSo, "\\"}), std::string(kSo), ""},
      // A half-width katakana is a single byte, so the '\' after it separates.
      {Join({kHankakuA, "\\x"}), "", Join({kHankakuA, "\\"}), "x", ""},
      // '.' cannot be a second byte, so it is a dot even after a lead byte.
      {"\x83.txt", "", "", "\x83", ".txt"},
  };
  for (const Case& c : cases) {
    const PathParts parts = SplitPath(c.path);
    EXPECT_EQ(parts.drive, c.drive) << c.path;
    EXPECT_EQ(parts.directory, c.directory) << c.path;
    EXPECT_EQ(parts.name, c.name) << c.path;
    EXPECT_EQ(parts.extension, c.extension) << c.path;
  }
}

// Every path of up to four bytes drawn from the bytes that matter to the split.
std::vector<std::string> AllShortPaths() {
  constexpr std::string_view kBytes = "C:\\/.a\x83\x5C\xB1";
  std::vector<std::string> paths = {""};
  for (std::size_t begin = 0, length = 1; length <= 4; ++length) {
    const std::size_t end = paths.size();
    for (std::size_t i = begin; i < end; ++i) {
      for (char byte : kBytes) paths.push_back(paths[i] + byte);
    }
    begin = end;
  }
  return paths;
}

TEST(RuntimeSplitPath, PartsJoinBackIntoThePath) {
  for (const std::string& path : AllShortPaths()) {
    const PathParts parts = SplitPath(path);
    EXPECT_EQ(parts.drive + parts.directory + parts.name + parts.extension, path);
    EXPECT_TRUE(parts.extension.empty() || parts.extension[0] == '.') << path;
    EXPECT_TRUE(parts.directory.empty() || parts.directory.back() == '\\' ||
                parts.directory.back() == '/') << path;
  }
}

}  // namespace
}  // namespace kelna
