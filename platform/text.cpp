// The portable half of the text conversions: UTF-8 <-> UTF-16 and the file-system paths.
// The code page 932 tables come from the system (text_iconv.cpp, win32/text_win32.cpp).
#include "platform/text.h"

namespace kelna {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t code) {
  const auto byte = [&out](char32_t bits) { out.push_back(static_cast<char>(bits)); };
  if (code < 0x80) {
    byte(code);
  } else if (code < 0x800) {
    byte(0xC0 | (code >> 6));
    byte(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    byte(0xE0 | (code >> 12));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  } else {
    byte(0xF0 | (code >> 18));
    byte(0x80 | ((code >> 12) & 0x3F));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out.push_back(static_cast<char16_t>(code));
  } else {
    code -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 | (code >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
  }
}

// What a lead byte promises: the number of continuation bytes and the range allowed for
// the first of them (which rules out overlong forms, surrogates and values past U+10FFFF).
struct Utf8Lead {
  int continuations;
  unsigned char secondMin;
  unsigned char secondMax;
  char32_t bits;
};

bool DescribeUtf8Lead(unsigned char lead, Utf8Lead& out) {
  if (lead >= 0xC2 && lead <= 0xDF) out = {1, 0x80, 0xBF, lead & 0x1Fu};
  else if (lead == 0xE0) out = {2, 0xA0, 0xBF, 0};
  else if (lead == 0xED) out = {2, 0x80, 0x9F, 0xD};
  else if (lead >= 0xE1 && lead <= 0xEF) out = {2, 0x80, 0xBF, lead & 0x0Fu};
  else if (lead == 0xF0) out = {3, 0x90, 0xBF, 0};
  else if (lead >= 0xF1 && lead <= 0xF3) out = {3, 0x80, 0xBF, lead & 0x07u};
  else if (lead == 0xF4) out = {3, 0x80, 0x8F, 4};
  else return false;
  return true;
}

// Decodes the character at `utf8[at]` and advances `at`. An ill-formed sequence gives
// U+FFFD for its longest valid-looking start, which is how Unicode recommends replacing
// (one U+FFFD per "maximal subpart"); the byte that broke it is read again afterwards.
char32_t DecodeUtf8(std::string_view utf8, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(utf8[at++]);
  if (lead < 0x80) return lead;
  Utf8Lead form;
  if (!DescribeUtf8Lead(lead, form)) return kReplacement;
  char32_t code = form.bits;
  for (int i = 0; i < form.continuations; ++i) {
    if (at == utf8.size()) return kReplacement;
    const auto next = static_cast<unsigned char>(utf8[at]);
    const unsigned char min = i == 0 ? form.secondMin : 0x80;
    const unsigned char max = i == 0 ? form.secondMax : 0xBF;
    if (next < min || next > max) return kReplacement;
    code = (code << 6) | (next & 0x3Fu);
    ++at;
  }
  return code;
}

// Decodes the character at `utf16[at]` and advances `at`; a lone surrogate is U+FFFD.
char32_t DecodeUtf16(std::u16string_view utf16, std::size_t& at) {
  const char32_t unit = utf16[at++];
  if (IsHighSurrogate(unit) && at < utf16.size() && IsLowSurrogate(utf16[at])) {
    const char32_t low = utf16[at++];
    return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
  }
  return IsHighSurrogate(unit) || IsLowSurrogate(unit) ? kReplacement : unit;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) AppendUtf16(out, DecodeUtf8(utf8, at));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (std::size_t at = 0; at < utf16.size();) AppendUtf8(out, DecodeUtf16(utf16, at));
  return out;
}

std::string Cp932ToUtf8(std::string_view cp932) { return Utf16ToUtf8(Cp932ToUtf16(cp932)); }

std::string Utf8ToCp932(std::string_view utf8) { return Utf16ToCp932(Utf8ToUtf16(utf8)); }

// Windows paths are UTF-16; elsewhere they are UTF-8 bytes.
std::filesystem::path Cp932ToPath(std::string_view cp932) {
#ifdef _WIN32
  const std::u16string utf16 = Cp932ToUtf16(cp932);
  return std::filesystem::path(std::wstring(utf16.begin(), utf16.end()));
#else
  return std::filesystem::path(Cp932ToUtf8(cp932));
#endif
}

std::string PathToCp932(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::wstring& wide = path.native();
  return Utf16ToCp932(std::u16string(wide.begin(), wide.end()));
#else
  return Utf8ToCp932(path.native());
#endif
}

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string QuotedPath(const std::filesystem::path& path) {
  // Appended piece by piece: GCC 12 warns (-Wrestrict) wrongly about "\"" + name + "\"".
  const std::string name = PathToCp932(path);
  std::string quoted;
  quoted.reserve(name.size() + 2);
  return quoted.append(1, '"').append(name).append(1, '"');
}

}  // namespace kelna
