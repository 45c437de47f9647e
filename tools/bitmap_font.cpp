#include "tools/bitmap_font.h"

#include <array>
#include <cstdint>

namespace kelna::tool {
namespace {

// One word per glyph from ' ' to '~': row 0 in the top byte, the leftmost pixel in bit 4.
constexpr std::array<std::uint64_t, 95> kGlyphs = {
    0x0000000000000000,  // space
    0x0404040404000400,  // !
    0x0A0A000000000000,  // "
    0x0A0A1F0A1F0A0A00,  // #
    0x040F140E051E0400,  // $
    0x1819020408130300,  // %
    0x0C12140815120D00,  // &
    0x0404000000000000,  // '
    0x0204080808040200,  // (
    0x0804020202040800,  // )
    0x0004150E15040000,  // *
    0x0004041F04040000,  // +
    0x0000000000040408,  // ,
    0x0000001F00000000,  // -
    0x0000000000000400,  // .
    0x0102020408081000,  // /
    0x0E11131519110E00,  // 0
    0x040C040404040E00,  // 1
    0x0E11010204081F00,  // 2
    0x1F02040201110E00,  // 3
    0x02060A121F020200,  // 4
    0x1F101E0101110E00,  // 5
    0x0608101E11110E00,  // 6
    0x1F01020408080800,  // 7
    0x0E11110E11110E00,  // 8
    0x0E11110F01020C00,  // 9
    0x0000040000040000,  // :
    0x0000040000040408,  // ;
    0x0204081008040200,  // <
    0x00001F001F000000,  // =
    0x0804020102040800,  // >
    0x0E11010204000400,  // ?
    0x0E11171517100F00,  // @
    0x0E11111F11111100,  // A
    0x1E11111E11111E00,  // B
    0x0E11101010110E00,  // C
    0x1C12111111121C00,  // D
    0x1F10101E10101F00,  // E
    0x1F10101E10101000,  // F
    0x0E11101711110F00,  // G
    0x1111111F11111100,  // H
    0x0E04040404040E00,  // I
    0x0702020202120C00,  // J
    0x1112141814121100,  // K
    0x1010101010101F00,  // L
    0x111B151511111100,  // M
    0x1111191513111100,  // N
    0x0E11111111110E00,  // O
    0x1E11111E10101000,  // P
    0x0E11111115120D00,  // Q
    0x1E11111E14121100,  // R
    0x0F10100E01011E00,  // S
    0x1F04040404040400,  // T
    0x1111111111110E00,  // U
    0x11111111110A0400,  // V
    0x1111111515150A00,  // W
    0x11110A040A111100,  // X
    0x11110A0404040400,  // Y
    0x1F01020408101F00,  // Z
    0x0E08080808080E00,  // [
    0x1008080402020100,  // backslash
    0x0E02020202020E00,  // ]
    0x040A110000000000,  // ^
    0x0000000000001F00,  // _
    0x0804000000000000,  // `
    0x00000E010F110F00,  // a
    0x10101E1111111E00,  // b
    0x00000E1010110E00,  // c
    0x01010F1111110F00,  // d
    0x00000E111F100E00,  // e
    0x0609081C08080800,  // f
    0x00000F11110F010E,  // g
    0x1010161911111100,  // h
    0x04000C0404040E00,  // i
    0x020006020202120C,  // j
    0x1010121418141200,  // k
    0x0C04040404040E00,  // l
    0x00001A1515151500,  // m
    0x0000161911111100,  // n
    0x00000E1111110E00,  // o
    0x00001E11111E1010,  // p
    0x00000F11110F0101,  // q
    0x0000161910101000,  // r
    0x00000F100E011E00,  // s
    0x08081C0808090600,  // t
    0x0000111111130D00,  // u
    0x00001111110A0400,  // v
    0x0000111115150A00,  // w
    0x0000110A040A1100,  // x
    0x00001111110F010E,  // y
    0x00001F0204081F00,  // z
    0x0204040804040200,  // {
    0x0404040404040400,  // |
    0x0804040204040800,  // }
    0x0000081502000000,  // ~
};
constexpr std::uint64_t kBox = 0x1F1111111111'1F00;  // any other character

bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::uint64_t GlyphOf(char16_t c) { return c >= 0x20 && c <= 0x7E ? kGlyphs[std::size_t(c - 0x20)] : kBox; }

}  // namespace

int TextWidth(std::u16string_view text, int scale) {
  int characters = 0;
  for (const char16_t c : text) characters += !IsLowSurrogate(c);
  return characters ? (characters * kGlyphAdvance - 1) * scale : 0;
}

void DrawText(const PixelRows& target, int x, int y, std::u16string_view text, int scale, Pixel colour) {
  for (const char16_t c : text) {
    if (IsLowSurrogate(c)) continue;
    const std::uint64_t glyph = GlyphOf(c);
    for (int row = 0; row < kGlyphHeight; ++row)
      for (int column = 0; column < kGlyphWidth; ++column) {
        if (!(glyph >> (8 * (kGlyphHeight - 1 - row)) >> (kGlyphWidth - 1 - column) & 1)) continue;
        for (int dy = 0; dy < scale; ++dy)
          for (int dx = 0; dx < scale; ++dx) {
            const int px = x + column * scale + dx, py = y + row * scale + dy;
            if (px >= 0 && py >= 0 && px < target.width && py < target.height) target.Row(py)[px] = colour;
          }
      }
    x += kGlyphAdvance * scale;
  }
}

}  // namespace kelna::tool
