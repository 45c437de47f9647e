// Code page 932 through iconv (every system but Windows), made to give what Windows' own
// conversions give (win32/text_win32.cpp): the whole text is converted at once, and only
// when iconv refuses something is it converted again character by character, so that each
// bad spot gets exactly one replacement and the rest converts normally.
#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "platform/text.h"

namespace kelna {
namespace {

constexpr const char* kCp932 = "CP932";
constexpr const char* kUtf16 =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // The converted bytes, or nothing when iconv refuses any part of `input`.
  std::optional<std::string> Convert(std::string_view input) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    std::string output;
    char* in = const_cast<char*>(input.data());  // iconv() only reads through it
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
      char buffer[256];
      char* out = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
      const bool refused = result == static_cast<std::size_t>(-1) && errno != E2BIG;
      if (refused) return std::nullopt;
      output.append(buffer, static_cast<std::size_t>(out - buffer));
    }
    return output;
  }

 private:
  iconv_t handle_;
};

std::string_view AsBytes(std::u16string_view utf16) {
  return {reinterpret_cast<const char*>(utf16.data()), utf16.size() * sizeof(char16_t)};
}

std::u16string Utf16FromBytes(std::string_view bytes) {
  std::u16string utf16(bytes.size() / sizeof(char16_t), u'\0');
  std::memcpy(utf16.data(), bytes.data(), utf16.size() * sizeof(char16_t));
  return utf16;
}

// Windows maps the single bytes that Shift-JIS leaves unassigned to U+0080 and to private
// use characters, so that every byte survives a round trip; iconv does not.
constexpr std::pair<unsigned char, char16_t> kWindowsExtraBytes[] = {
    {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

char16_t DecodeBadSpot(std::string_view spot) {
  for (const auto& [byte, unit] : kWindowsExtraBytes) {
    if (spot.size() == 1 && static_cast<unsigned char>(spot[0]) == byte) return unit;
  }
  return 0xFFFD;
}

char EncodeBadSpot(std::u16string_view spot) {
  for (const auto& [byte, unit] : kWindowsExtraBytes) {
    if (spot.size() == 1 && spot[0] == unit) return static_cast<char>(byte);
  }
  return '?';
}

// Units taken by the character at `utf16[at]`: a surrogate pair, or one unit.
std::size_t Utf16CharacterLength(std::u16string_view utf16, std::size_t at) {
  const bool isPair = utf16[at] >= 0xD800 && utf16[at] <= 0xDBFF && at + 1 < utf16.size() &&
                      utf16[at + 1] >= 0xDC00 && utf16[at + 1] <= 0xDFFF;
  return isPair ? 2 : 1;
}

// Like WC_NO_BEST_FIT_CHARS: only an encoding that decodes back to the same text counts,
// so iconv's one-way mappings (U+00A5 to '\', for one) are refused.
std::optional<std::string> EncodeExactly(std::u16string_view utf16, Converter& encoder,
                                         Converter& decoder) {
  std::optional<std::string> cp932 = encoder.Convert(AsBytes(utf16));
  if (!cp932 || decoder.Convert(*cp932) != AsBytes(utf16)) return std::nullopt;
  return cp932;
}

}  // namespace

std::u16string Cp932ToUtf16(std::string_view cp932) {
  Converter decoder(kUtf16, kCp932);
  if (const auto whole = decoder.Convert(cp932)) return Utf16FromBytes(*whole);
  std::u16string utf16;
  for (std::size_t at = 0; at < cp932.size();) {
    const std::string_view spot = cp932.substr(at, Cp932CharacterLength(cp932, at));
    if (const auto character = decoder.Convert(spot)) {
      utf16 += Utf16FromBytes(*character);
    } else {
      utf16 += DecodeBadSpot(spot);
    }
    at += spot.size();
  }
  return utf16;
}

std::string Utf16ToCp932(std::u16string_view utf16) {
  Converter encoder(kCp932, kUtf16);
  Converter decoder(kUtf16, kCp932);
  if (const auto whole = EncodeExactly(utf16, encoder, decoder)) return *whole;
  std::string cp932;
  for (std::size_t at = 0; at < utf16.size();) {
    const std::u16string_view spot = utf16.substr(at, Utf16CharacterLength(utf16, at));
    if (const auto character = EncodeExactly(spot, encoder, decoder)) {
      cp932 += *character;
    } else {
      cp932 += EncodeBadSpot(spot);
    }
    at += spot.size();
  }
  return cp932;
}

}  // namespace kelna
