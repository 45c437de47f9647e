#pragma once
// Writing device pixels to picture files that other programs read: PAM (always) and PNG
// (through stb_image_write when the build has it).

#include <filesystem>

#include "platform/raster.h"
#include "platform/status.h"

namespace kelna::tool {

// Writes an 8-bit RGB PAM.
Status WritePam(const Bitmap& bitmap, const std::filesystem::path& file);
// Writes an 8-bit RGB PNG.
Status WritePng(const Bitmap& bitmap, const std::filesystem::path& file);
// PNG when the name ends in .png (any case), PAM otherwise.
Status WritePicture(const Bitmap& bitmap, const std::filesystem::path& file);

}  // namespace kelna::tool
