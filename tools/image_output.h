#pragma once
// Writing device pixels to picture files that other programs read: PAM (always) and PNG
// (through stb_image_write when the build has it).

#include <filesystem>
#include <string>

#include "platform/raster.h"

namespace kelna::tool {

// Writes an 8-bit RGB PAM. Returns an empty string, or why it failed.
std::string WritePam(const Bitmap& bitmap, const std::filesystem::path& file);
// Writes an 8-bit RGB PNG. Returns an empty string, or why it failed.
std::string WritePng(const Bitmap& bitmap, const std::filesystem::path& file);
// PNG when the name ends in .png (any case), PAM otherwise.
std::string WritePicture(const Bitmap& bitmap, const std::filesystem::path& file);

}  // namespace kelna::tool
