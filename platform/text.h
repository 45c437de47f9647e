#pragma once
// Text encodings. Names, paths and settings are kept as the Shift-JIS (code page 932)
// bytes that files hold; they are converted only where they meet the user interface or
// the file system.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace kelna {

// Ill-formed UTF-8 becomes U+FFFD, one for each longest start of a valid sequence (as
// Unicode recommends), and so does a lone surrogate in UTF-16.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Code page 932 as Windows maps it, including the single bytes 0x80, 0xA0 and 0xFD-0xFF,
// which it maps to U+0080 and U+F8F0-U+F8F3. Bytes that cannot be decoded become U+FFFD,
// one for each lead byte with its trail byte or single byte. Characters that code page 932
// cannot hold become '?', one for each character (a surrogate pair is one), as Windows' own
// conversions do with their default character; never a look-alike (U+00A5 YEN SIGN does
// not become '\').
std::u16string Cp932ToUtf16(std::string_view cp932);
std::string Utf16ToCp932(std::u16string_view utf16);
std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);

// True when `c` starts a double-byte character in code page 932.
constexpr bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// True when `c` can be the second byte of a double-byte character. A lead byte followed by
// any other byte stands alone (and cannot be decoded).
constexpr bool IsCp932TrailByte(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Bytes taken by the character that starts at `text[at]`: 2 for a lead byte followed by a
// trail byte, otherwise 1.
constexpr std::size_t Cp932CharacterLength(std::string_view text, std::size_t at) {
  const bool isPair = IsCp932LeadByte(static_cast<unsigned char>(text[at])) &&
                      at + 1 < text.size() &&
                      IsCp932TrailByte(static_cast<unsigned char>(text[at + 1]));
  return isPair ? 2 : 1;
}

// What a buffer of `bufferSize` bytes would receive of `text`: at most bufferSize - 1
// bytes, without the first half of a double-byte character that does not fit.
constexpr std::string_view FitInBuffer(std::string_view text, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  const std::size_t limit = bufferSize - 1;
  if (text.size() <= limit) return text;
  std::size_t end = 0;
  while (end + Cp932CharacterLength(text, end) <= limit) end += Cp932CharacterLength(text, end);
  return text.substr(0, end);
}

// A file-system path for a name held as code page 932 text, and back.
std::filesystem::path Cp932ToPath(std::string_view cp932);
std::string PathToCp932(const std::filesystem::path& path);

// A path as UTF-8 text, for messages on a terminal and JSON.
std::string PathText(const std::filesystem::path& path);

// The path in double quotes, as messages name a file: "C:\Kelna\demo.anm".
std::string QuotedPath(const std::filesystem::path& path);

}  // namespace kelna
