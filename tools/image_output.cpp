#include "tools/image_output.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <vector>

#ifdef KELNA_HAVE_STB
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO  // we write the file ourselves, so paths need no conversion
#include <stb_image_write.h>
#endif

namespace kelna::tool {
namespace {

std::vector<std::uint8_t> RgbBytes(const Bitmap& bitmap) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(bitmap.Pixels().size() * 3);
  for (Pixel p : bitmap.Pixels()) {
    rgb.push_back(std::uint8_t(p >> 16));
    rgb.push_back(std::uint8_t(p >> 8));
    rgb.push_back(std::uint8_t(p));
  }
  return rgb;
}

Status WriteBytes(const std::filesystem::path& file, const std::string& header,
                       const std::vector<std::uint8_t>& body) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << header;
  out.write(reinterpret_cast<const char*>(body.data()), std::streamsize(body.size()));
  out.close();
  return out ? Status::Ok() : Status::Failure("cannot write " + file.string());
}

#ifdef KELNA_HAVE_STB
void AppendToVector(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}
#endif

}  // namespace

Status WritePam(const Bitmap& bitmap, const std::filesystem::path& file) {
  const std::string header = "P7\nWIDTH " + std::to_string(bitmap.Width()) + "\nHEIGHT " +
                             std::to_string(bitmap.Height()) +
                             "\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n";
  return WriteBytes(file, header, RgbBytes(bitmap));
}

std::optional<std::vector<std::uint8_t>> EncodePng(std::span<const std::uint8_t> pixels, int width, int height,
                                                   int channels) {
#ifdef KELNA_HAVE_STB
  std::vector<std::uint8_t> png;
  if (pixels.size() == std::size_t(width) * std::size_t(height) * std::size_t(channels) &&
      stbi_write_png_to_func(AppendToVector, &png, width, height, channels, pixels.data(), width * channels))
    return png;
#else
  (void)pixels, (void)width, (void)height, (void)channels;
#endif
  return std::nullopt;
}

Status WritePng(const Bitmap& bitmap, const std::filesystem::path& file) {
#ifdef KELNA_HAVE_STB
  const auto png = EncodePng(RgbBytes(bitmap), bitmap.Width(), bitmap.Height(), 3);
  if (!png) return Status::Failure("cannot encode PNG");
  return WriteBytes(file, "", *png);
#else
  (void)bitmap;
  (void)file;
  return Status::Failure("this build writes no PNG; name the output .pam");
#endif
}

Status WritePicture(const Bitmap& bitmap, const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension == ".png" ? WritePng(bitmap, file) : WritePam(bitmap, file);
}

}  // namespace kelna::tool
