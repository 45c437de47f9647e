#pragma once
// Test support: DIBs and BMP files built byte by byte from explicit values, so that the
// readers meet bytes they did not write. Only sizes and the stride rule come from
// platform/bmp_format.h.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/bmp_format.h"
#include "tests/support/bytes.h"

namespace kelna::test {

// A DIB header's fields. biSize 12 is written as a BITMAPCOREHEADER (16-bit width, height,
// planes and bit count only); any other as BITMAPINFOHEADER's 40 bytes (densities and
// biClrImportant 0), then zeros up to biSize.
struct DibFields {
  std::int32_t width = 1, height = 1;
  std::uint16_t bitCount = 24;
  std::uint32_t compression = kBiRgb, clrUsed = 0, sizeImage = 0, size = kInfoHeaderSize;
  std::uint16_t planes = 1;
};

// The header, then `words` as 32-bit values: masks, or colour entries 0x00RRGGBB.
inline Bytes DibInfo(const DibFields& f, const std::vector<std::uint32_t>& words = {}) {
  Bytes info;
  Put(info, f.size, 4);
  const int wide = f.size == kCoreHeaderSize ? 2 : 4;
  Put(info, std::uint32_t(f.width), wide);
  Put(info, std::uint32_t(f.height), wide);
  Put(info, f.planes, 2);
  Put(info, f.bitCount, 2);
  if (f.size != kCoreHeaderSize) {
    for (const std::uint32_t field : {f.compression, f.sizeImage, 0u, 0u, f.clrUsed, 0u}) Put(info, field, 4);
    info.resize(std::max<std::size_t>(info.size(), f.size));
  }
  for (const std::uint32_t word : words) Put(info, word, 4);
  return info;
}

// A packed DIB: header (biSizeImage the rows' size), `colours` table entries (entry i =
// (i, 2i, 3i)), then rows whose bytes count up from 1.
inline Bytes PackedDib(int width, int height, int bitCount, int colours, std::uint32_t colorsUsed = 0,
                       std::uint32_t headerSize = kInfoHeaderSize) {
  const std::size_t rows = DibStride(std::uint32_t(bitCount), std::uint32_t(width)) * std::size_t(height);
  std::vector<std::uint32_t> table;
  for (std::uint32_t i = 0; i < std::uint32_t(colours); ++i) table.push_back(i * 3 << 16 | i * 2 << 8 | i);
  Bytes dib = DibInfo({width, height, std::uint16_t(bitCount), kBiRgb, colorsUsed, std::uint32_t(rows),
                       headerSize}, table);
  for (std::size_t i = 0; i < rows; ++i) dib.push_back(std::uint8_t(1 + i));
  return dib;
}

// A 24-bit DIB of one colour (0xRRGGBB).
inline Bytes SolidDib(int width, int height, std::uint32_t colour) {
  Bytes dib = PackedDib(width, height, 24, 0);
  const std::size_t stride = DibStride(24, std::uint32_t(width));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) PutAt(dib, kInfoHeaderSize + y * stride + x * 3, colour, 3);
  return dib;
}

// The BMP file, or stream record, of a block: "BM", bfSize (by default the whole), two
// reserved words of 0 and bfOffBits.
inline std::string StreamForm(const Bytes& dib, std::uint32_t offBits = kFileHeaderSize + kInfoHeaderSize,
                              std::optional<std::uint32_t> fileSize = std::nullopt) {
  std::string out = "BM" + Le(fileSize.value_or(std::uint32_t(kFileHeaderSize + dib.size())), 4) + Le(0, 4) +
                    Le(offBits, 4);
  return out.append(dib.begin(), dib.end());
}

}  // namespace kelna::test
