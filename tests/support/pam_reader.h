#pragma once
// Test support: a picture kelna-tool render wrote as PAM (8-bit RGB or RGB_ALPHA), a screenshot
// as PPM (P6), and how much two pictures differ.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "tests/support/bytes.h"

namespace kelna::test {

using Pixels = std::vector<std::uint32_t>;  // 0x00RRGGBB, rows top first

struct PamPicture {
  int width = 0, height = 0;
  Pixels pixels;

  std::array<int, 3> Rgb(int x, int y) const {
    const std::uint32_t pixel = pixels[std::size_t(y) * width + x];
    return {int(pixel >> 16), int(pixel >> 8 & 0xFF), int(pixel & 0xFF)};
  }
};

inline PamPicture ReadPam(const std::filesystem::path& file) {
  const std::string pam = Contents(file);
  PamPicture p;
  std::size_t depth = 0;
  std::sscanf(pam.c_str(), "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %zu", &p.width, &p.height, &depth);
  for (std::size_t at = pam.find("ENDHDR\n") + 7; depth > 0 && at + depth <= pam.size(); at += depth) {
    const auto byte = [&](std::size_t i) { return std::uint32_t(std::uint8_t(pam[at + i])); };
    p.pixels.push_back(byte(0) << 16 | byte(1) << 8 | byte(2));
  }
  EXPECT_EQ(p.pixels.size(), std::size_t(p.width) * std::size_t(p.height)) << file;
  return p;
}

// The pixels of an 8-bit binary PPM such as grim writes; none when it is not one.
inline Pixels ReadPpm(const std::filesystem::path& file) {
  const std::string ppm = Contents(file);
  int width = 0, height = 0, header = 0;
  if (std::sscanf(ppm.c_str(), "P6 %d %d 255%n", &width, &height, &header) != 2 || header == 0) return {};
  const std::size_t start = std::size_t(header) + 1, size = std::size_t(width) * std::size_t(height);
  if (ppm.size() != start + size * 3) return {};
  Pixels pixels(size);
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = [&](std::size_t c) { return std::uint32_t(std::uint8_t(ppm[start + i * 3 + c])); };
    pixels[i] = byte(0) << 16 | byte(1) << 8 | byte(2);
  }
  return pixels;
}

// The share of pixels that differ (1 when the sizes differ).
inline double Unlike(const Pixels& a, const Pixels& b) {
  if (a.size() != b.size() || a.empty()) return 1;
  long count = 0;
  for (std::size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
  return double(count) / double(a.size());
}

}  // namespace kelna::test
