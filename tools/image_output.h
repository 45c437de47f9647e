#pragma once
// Writing device pixels to picture files that other programs read: PAM (always) and PNG
// (through stb_image_write when the build has it).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "platform/raster.h"
#include "platform/status.h"

namespace kelna::tool {

// Writes an 8-bit RGB PAM.
Status WritePam(const Bitmap& bitmap, const std::filesystem::path& file);
// Writes an 8-bit RGB PNG.
Status WritePng(const Bitmap& bitmap, const std::filesystem::path& file);
// A PNG of 8-bit pixels with 3 (RGB) or 4 (RGBA) channels, rows top first; nothing when
// the pixels do not match the size, or the build writes no PNG.
std::optional<std::vector<std::uint8_t>> EncodePng(std::span<const std::uint8_t> pixels, int width, int height,
                                                   int channels);
// PNG when the name ends in .png (any case), PAM otherwise.
Status WritePicture(const Bitmap& bitmap, const std::filesystem::path& file);

}  // namespace kelna::tool
