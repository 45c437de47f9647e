#include "platform/runtime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kelna {
namespace {

TEST(RuntimeAsciiToLong, ReadsLikeAtolOfA32BitLong) {
  const std::pair<std::string_view, long> rows[] = {
      {"42", 42}, {"  -12ab", -12}, {"+7", 7}, {"120ms", 120}, {"abc", 0}, {"", 0}, {"-", 0},
      {" \t\n\v\f\r42", 42}, {"\xA0" "5", 0},  // every white space atol skips, and only those
      {"- 5", 0}, {"+-5", 0},                  // one sign, right before the digits
      {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
      // Past the 32-bit range the value wraps modulo 2^32, even where long is wider.
      {"4294967297", 1}, {"2147483648", INT32_MIN}, {"-4294967295", 1},
      {"99999999999", 1215752191},  // 99999999999 - 23 * 2^32
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(AsciiToLong(text), expected) << '"' << text << '"';
}

TEST(RuntimeSplitPath, SplitsLikeFnsplit) {
  // ソ (83 5C) and 表 (95 5C) end in the code of '\'; ｱ (B1) is a single byte.
  const std::string_view rows[][5] = {  // path, drive, directory, name, extension
      {"C:\\ANIM\\FISH.ANM", "C:", "\\ANIM\\", "FISH", ".ANM"}, {"C:name", "C:", "", "name", ""},
      {"/home/u/x.y.bmp", "", "/home/u/", "x.y", ".bmp"},  // the last dot counts
      {"dir.d/file", "", "dir.d/", "file", ""},            // a dot in a directory does not
      {"1:x", "", "", "1:x", ""},                          // a drive is a letter
      {"C:/a\\b/c.d", "C:", "/a\\b/", "c", ".d"},          // both separators
      {".profile", "", "", "", ".profile"}, {"a.", "", "", "a", "."},
      {"..", "", "", "..", ""},                            // "." and ".." are names
      {"C:\\\x83\x5C\\a.bmp", "C:", "\\\x83\x5C\\", "a", ".bmp"},
      {"\x95\x5C\x83\x5C\\\x83\x5C", "", "\x95\x5C\x83\x5C\\", "\x83\x5C", ""}, {"\xB1\\x", "", "\xB1\\", "x", ""},
      {"\x83.txt", "", "", "\x83", ".txt"},                // '.' is never a second byte
      {"a\\\x83", "", "a\\", "\x83", ""},                  // a lead byte that ends the path
  };
  for (const auto& row : rows) {
    const PathParts parts = SplitPath(row[0]);
    EXPECT_EQ((std::vector<std::string_view>{parts.drive, parts.directory, parts.name, parts.extension}),
              (std::vector<std::string_view>(row + 1, row + 5))) << row[0];
  }
}

}  // namespace
}  // namespace kelna
