// Code page 932 through Windows' own tables. Decoding converts the whole text at once and
// only when Windows refuses something goes character by character, so that each bad spot
// gives exactly one U+FFFD (on every Windows version and under Wine), as the iconv build
// does.
#include <windows.h>

#include "platform/text.h"

namespace kelna {
namespace {

constexpr UINT kCp932 = 932;

// Strict decoding: false, with `out` unchanged, when any byte cannot be decoded.
bool TryCp932ToUtf16(std::string_view cp932, std::u16string& out) {
  const int length = static_cast<int>(cp932.size());
  const int units =
      MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, cp932.data(), length, nullptr, 0);
  if (units == 0) return false;
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, cp932.data(), length, wide.data(), units);
  out.append(wide.begin(), wide.end());
  return true;
}

// Windows' table maps the single bytes that Shift-JIS leaves unassigned to U+0080 and to
// private use characters, but Wine refuses all but 0x80 when decoding strictly.
char16_t DecodeBadSpot(std::string_view spot) {
  if (spot.size() != 1) return 0xFFFD;
  switch (static_cast<unsigned char>(spot[0])) {
    case 0x80: return 0x0080;
    case 0xA0: return 0xF8F0;
    case 0xFD: return 0xF8F1;
    case 0xFE: return 0xF8F2;
    case 0xFF: return 0xF8F3;
    default: return 0xFFFD;
  }
}

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

bool IsSurrogatePair(std::u16string_view utf16, std::size_t at) {
  return utf16[at] >= 0xD800 && utf16[at] <= 0xDBFF && at + 1 < utf16.size() &&
         utf16[at + 1] >= 0xDC00 && utf16[at + 1] <= 0xDFFF;
}

// Encodes text without surrogates. WC_NO_BEST_FIT_CHARS: a character that code page 932
// cannot hold becomes '?' rather than a look-alike (U+00A5 would otherwise become '\').
void AppendCp932(std::u16string_view utf16, std::string& out) {
  if (utf16.empty()) return;
  const std::wstring wide(utf16.begin(), utf16.end());
  const int length = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                        nullptr, 0, "?", nullptr);
  const std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(bytes));
  WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), length, out.data() + start,
                      bytes, "?", nullptr);
}

}  // namespace

std::u16string Cp932ToUtf16(std::string_view cp932) {
  std::u16string out;
  if (cp932.empty() || TryCp932ToUtf16(cp932, out)) return out;
  for (std::size_t at = 0; at < cp932.size();) {
    const std::string_view spot = cp932.substr(at, Cp932CharacterLength(cp932, at));
    if (!TryCp932ToUtf16(spot, out)) out.push_back(DecodeBadSpot(spot));
    at += spot.size();
  }
  return out;
}

// Code page 932 holds nothing beyond U+FFFF, so a surrogate pair becomes one '?' (Windows
// itself would give one per unit), and so does a lone surrogate.
std::string Utf16ToCp932(std::u16string_view utf16) {
  std::string out;
  std::size_t runStart = 0;
  for (std::size_t at = 0; at < utf16.size();) {
    if (!IsSurrogate(utf16[at])) {
      ++at;
      continue;
    }
    AppendCp932(utf16.substr(runStart, at - runStart), out);
    out.push_back('?');
    at += IsSurrogatePair(utf16, at) ? 2 : 1;
    runStart = at;
  }
  AppendCp932(utf16.substr(runStart), out);
  return out;
}

}  // namespace kelna
