#pragma once
// The tool tests' files: PNG pictures through stb (compiled here: include this in one file of
// a test program) and a scene packed from manifests.

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/program_runner.h"
#include "tests/support/temporary_folder.h"

namespace kelna::test {

// A PNG file's pixels, `channels` bytes each, rows top first; none when it cannot be read.
struct Png {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bytes;
  std::uint32_t Rgb(int x, int y) const {  // of three channels
    const std::uint8_t* p = &bytes[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
    return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
  }
};

inline Png ReadPng(const fs::path& file, int channels) {
  Png png;
  int had = 0;
  stbi_uc* pixels = stbi_load(file.c_str(), &png.width, &png.height, &had, channels);
  if (pixels) png.bytes.assign(pixels, pixels + std::size_t(png.width) * std::size_t(png.height) * channels);
  stbi_image_free(pixels);
  return png;
}

inline void WritePng(const fs::path& file, int width, int height, const std::vector<std::uint8_t>& rgba) {
  ASSERT_NE(stbi_write_png(file.c_str(), width, height, 4, rgba.data(), width * 4), 0) << file;
}

// objects.foe packed from the manifest `objects`, and scene.anm of `sprites`, each over `defaults`.
inline void PackScene(const TemporaryFolder& folder, const std::string& objects, const nlohmann::json& sprites,
                      const nlohmann::json& defaults) {
  WriteBytes(folder / "m.json", objects);
  ASSERT_EQ(RunTool("pack @m.json @objects.foe", folder.Path()).errors, "");
  nlohmann::json scene = {{"objectFile", (folder / "objects.foe").string()}, {"sprites", nlohmann::json::array()}};
  for (const nlohmann::json& sprite : sprites) {
    scene["sprites"].push_back(defaults);
    scene["sprites"].back().update(sprite);
  }
  WriteBytes(folder / "m.json", scene.dump());
  ASSERT_EQ(RunTool("pack @m.json @scene.anm", folder.Path()).errors, "");
}

}  // namespace kelna::test
