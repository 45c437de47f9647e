#pragma once
// Test support: small DIBs and BMP stream records built byte by byte.

#include <cstdint>
#include <string>

#include "tests/support/bytes.h"

namespace kelna::test {

// A packed DIB: 40-byte header, `colours` table entries (entry i = (i, 2i, 3i)), then rows
// whose bytes count up from 1.
inline Bytes PackedDib(int width, int height, int bitCount, int colours, std::uint32_t colorsUsed = 0,
                       std::uint32_t headerSize = 40) {
  const std::size_t stride = ((std::size_t(bitCount) * width + 31) / 32) * 4;
  Bytes dib;
  Put(dib, headerSize, 4);
  Put(dib, std::uint32_t(width), 4);
  Put(dib, std::uint32_t(height), 4);
  Put(dib, 1, 2);
  Put(dib, std::uint32_t(bitCount), 2);
  Put(dib, 0, 4);
  Put(dib, std::uint32_t(stride * height), 4);
  Put(dib, 0, 8);
  Put(dib, colorsUsed, 4);
  Put(dib, 0, 4);
  for (int i = 0; i < colours; ++i) Put(dib, std::uint32_t(i * 3) << 16 | std::uint32_t(i * 2) << 8 | i, 4);
  for (std::size_t i = 0; i < stride * height; ++i) dib.push_back(std::uint8_t(1 + i));
  return dib;
}

// A 24-bit DIB of one colour (0xRRGGBB).
inline Bytes SolidDib(int width, int height, std::uint32_t colour) {
  Bytes dib = PackedDib(width, height, 24, 0);
  const std::size_t stride = ((std::size_t(24) * width + 31) / 32) * 4;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) PutAt(dib, 40 + y * stride + x * 3, colour, 3);
  return dib;
}

// The BMP stream form of a block, with a chosen bfSize.
inline std::string StreamForm(const Bytes& dib, std::uint32_t fileSize) {
  std::string out = "BM" + Le(fileSize, 4) + Le(0, 4) + Le(54, 4);
  return out.append(dib.begin(), dib.end());
}
inline std::string StreamForm(const Bytes& dib) { return StreamForm(dib, std::uint32_t(dib.size() + 14)); }

}  // namespace kelna::test
