#include "tools/png_frame.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/bmp_format.h"

#ifdef KELNA_HAVE_STB
namespace {

// stb grows its inflate buffer by doubling as long as the stream goes on, so a small hostile
// file could ask for gigabytes; no block a frame within the limits needs is this large.
constexpr std::size_t kMaxDecoderBlock = 256u << 20;

void* LimitedMalloc(std::size_t size) { return size > kMaxDecoderBlock ? nullptr : std::malloc(size); }
void* LimitedRealloc(void* block, std::size_t size) {
  return size > kMaxDecoderBlock ? nullptr : std::realloc(block, size);
}

// stb copies zero bytes to a null pointer when the first IDAT chunk is empty: harmless, but
// undefined behaviour all the same. Copies of nothing are skipped.
void* CopyBytes(void* to, const void* from, std::size_t size) { return size ? std::memcpy(to, from, size) : to; }

}  // namespace

#define memcpy(to, from, size) CopyBytes(to, from, size)
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC  // private to this file: tests link their own copy
#define STBI_ONLY_PNG
#define STBI_NO_STDIO  // the tool reads the file, so paths need no conversion
#define STBI_NO_LINEAR
#define STBI_MALLOC(size) LimitedMalloc(size)
#define STBI_REALLOC(block, size) LimitedRealloc(block, size)
#define STBI_FREE(block) std::free(block)
#include <stb_image.h>
#undef memcpy
#endif

namespace kelna::tool {
namespace {

using Pixel = std::uint32_t;  // 0x00RRGGBB, as device pixels and colour table entries
constexpr std::int32_t kPixelsPerMeter = 2835;  // 72 dots per inch
constexpr Pixel kWhite = 0xFFFFFF;

#ifdef KELNA_HAVE_STB
struct StbiFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

std::string Broken() { return std::string("broken PNG: ") + stbi_failure_reason(); }

// The big-endian value at `offset`, or nothing past the end.
std::optional<std::uint32_t> ReadBe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  if (bytes.size() < offset + 4) return std::nullopt;
  return std::uint32_t{bytes[offset]} << 24 | std::uint32_t{bytes[offset + 1]} << 16 |
         std::uint32_t{bytes[offset + 2]} << 8 | bytes[offset + 3];
}
#endif

// A BMP file exactly as the loader makes one, so that it reads back byte for byte: a 40-byte
// header (biClrUsed the size of `colours`, biClrImportant 0), `colours` as the table, rows
// bottom-up; fillRow(y, row) writes the bytes of row y, counted from the top.
template <class FillRow>
Bytes BmpFile(int width, int height, std::uint16_t bitCount, std::span<const Pixel> colours, FillRow fillRow) {
  PackedDibWriter dib(width, height, bitCount, colours, kPixelsPerMeter, kPixelsPerMeter);
  for (int y = 0; y < height; ++y) fillRow(y, dib.Row(y));
  const std::vector<std::uint8_t> block = std::move(dib).Take();
  const std::size_t offBits = kFileHeaderSize + kInfoHeaderSize + 4 * colours.size();
  Bytes file(kFileHeaderSize);
  std::ranges::copy(MakeFileHeader(std::uint32_t(kFileHeaderSize + block.size()), std::uint32_t(offBits)), file.begin());
  file.insert(file.end(), block.begin(), block.end());
  return file;
}

// The image's colours: the PNG's where alpha reaches the threshold, black elsewhere.
std::vector<Pixel> ImageColours(const RgbaImage& pixels, int threshold) {
  std::vector<Pixel> colours(pixels.rgba.size() / 4);
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const std::uint8_t* p = &pixels.rgba[4 * i];
    if (p[3] >= threshold) colours[i] = Pixel{p[0]} << 16 | Pixel{p[1]} << 8 | p[2];
  }
  return colours;
}

Bytes TrueColourImage(int width, int height, std::span<const Pixel> colours) {
  return BmpFile(width, height, 24, {}, [&](int y, std::span<std::uint8_t> row) {
    for (int x = 0; x < width; ++x) {
      const Pixel c = colours[std::size_t(y) * std::size_t(width) + std::size_t(x)];
      row[3 * std::size_t(x)] = std::uint8_t(c);
      row[3 * std::size_t(x) + 1] = std::uint8_t(c >> 8);
      row[3 * std::size_t(x) + 2] = std::uint8_t(c >> 16);
    }
  });
}

// 8 bits per pixel with the image's colours in ascending order, or nothing when it has more
// than 256.
std::optional<Bytes> PaletteImage(int width, int height, std::span<const Pixel> colours) {
  std::vector<Pixel> table(colours.begin(), colours.end());
  std::sort(table.begin(), table.end());
  table.erase(std::unique(table.begin(), table.end()), table.end());
  if (table.size() > 256) return std::nullopt;
  return BmpFile(width, height, 8, table, [&](int y, std::span<std::uint8_t> row) {
    for (int x = 0; x < width; ++x) {
      const Pixel c = colours[std::size_t(y) * std::size_t(width) + std::size_t(x)];
      row[std::size_t(x)] = std::uint8_t(std::lower_bound(table.begin(), table.end(), c) - table.begin());
    }
  });
}

}  // namespace

RgbaImage DecodePng(std::span<const std::uint8_t> file) {
  static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!std::ranges::equal(file.first(std::min(file.size(), sizeof kSignature)), kSignature))
    throw PngError("not a PNG file");
#ifdef KELNA_HAVE_STB
  if (file.size() > kMaxPngFileSize || file.size() > std::size_t(INT_MAX))
    throw PngError("larger than " + std::to_string(kMaxPngFileSize >> 20) + " MiB");
  // The size first, from the IHDR chunk that must come first: stb reports a size it will not
  // decode only as an unknown image type.
  const auto width32 = ReadBe32(file, 16), height32 = ReadBe32(file, 20);
  if (!height32 || ReadBe32(file, 8) != 13 || !std::ranges::equal(file.subspan(12, 4), std::string_view("IHDR")))
    throw PngError("broken PNG: no IHDR chunk first");
  if (*width32 > kMaxPngDimension || *height32 > kMaxPngDimension ||
      std::uint64_t(*width32) * *height32 > kMaxPngPixels) {
    throw PngError(std::to_string(*width32) + " x " + std::to_string(*height32) + " pixels, more than a frame takes (" +
                   std::to_string(kMaxPngDimension) + " a side, " + std::to_string(kMaxPngPixels) + " in all)");
  }
  const int size = int(file.size());
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(file.data(), size, &width, &height, &channels)) throw PngError("broken PNG header");
  const std::unique_ptr<stbi_uc, StbiFree> decoded(
      stbi_load_from_memory(file.data(), size, &width, &height, &channels, 4));
  if (!decoded) throw PngError(Broken());
  const std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
  return {width, height, Bytes(decoded.get(), decoded.get() + bytes)};
#else
  throw PngError("this build reads no PNG (built without stb_image.h)");
#endif
}

FrameBitmaps FrameFromRgba(const RgbaImage& pixels, const FrameForm& form) {
  const int width = pixels.width, height = pixels.height;
  if (width < 1 || height < 1 || width > kMaxPngDimension || height > kMaxPngDimension ||
      pixels.rgba.size() != std::size_t(width) * std::size_t(height) * 4)
    throw PngError("pixels that do not match their size");
  const std::vector<Pixel> colours = ImageColours(pixels, form.alphaThreshold);
  std::optional<Bytes> image;
  if (form.palette) image = PaletteImage(width, height, colours);
  if (!image) image = TrueColourImage(width, height, colours);
  static constexpr Pixel kMaskColours[] = {0x000000, kWhite};
  Bytes mask = BmpFile(width, height, 1, kMaskColours, [&](int y, std::span<std::uint8_t> row) {
    for (int x = 0; x < width; ++x)
      if (pixels.rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4 + 3] < form.alphaThreshold)
        row[std::size_t(x) / 8] |= std::uint8_t(0x80 >> (x % 8));
  });
  return {std::move(*image), std::move(mask)};
}

std::optional<RgbaImage> RgbaFromFrame(const DecodedDib& image, const DecodedDib& mask) {
  if (image.width != mask.width || image.height != mask.height || image.pixels.size() != mask.pixels.size())
    return std::nullopt;
  RgbaImage out{image.width, image.height, Bytes(image.pixels.size() * 4)};
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    const Pixel covers = mask.pixels[i], colour = image.pixels[i] & kWhite;
    if (covers == kWhite && colour == 0) continue;  // transparent: all four bytes 0
    if (covers != 0) return std::nullopt;
    const std::uint8_t rgba[] = {std::uint8_t(colour >> 16), std::uint8_t(colour >> 8), std::uint8_t(colour), 0xFF};
    std::ranges::copy(rgba, out.rgba.begin() + std::ptrdiff_t(4 * i));
  }
  return out;
}

}  // namespace kelna::tool
