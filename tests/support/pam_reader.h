#pragma once
// Test support: a picture kelna-tool render wrote as PAM (8-bit RGB or RGB_ALPHA).

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "tests/support/bytes.h"

namespace kelna::test {

struct PamPicture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows top first

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

}  // namespace kelna::test
