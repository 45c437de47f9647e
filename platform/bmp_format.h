#pragma once
// The BMP format in one place (its little-endian fields through platform/binary_io.h): the file header, the DIB headers and where their fields sit,
// compressions, row strides, colour counts and colour entries. The decoder (platform/dib.h),
// the file loader (sprites/dib_loader.h) and the image model (sprites/image.h) read and write
// BMP through these, so each rule is written once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/binary_io.h"

namespace kelna {

// ---- The file header: "BM", bfSize, two reserved words, bfOffBits ----

inline constexpr std::size_t kFileHeaderSize = 14;
inline constexpr std::size_t kFileSizeField = 2;
inline constexpr std::size_t kOffBitsField = 10;

// Whether `file` starts with the "BM" signature.
bool HasBmpSignature(std::span<const std::uint8_t> file);
// A file header with these sizes and zero reserved words.
std::array<std::uint8_t, kFileHeaderSize> MakeFileHeader(std::uint32_t fileSize,
                                                         std::uint32_t offBits);

// ---- The DIB headers ----

inline constexpr std::size_t kCoreHeaderSize = 12;  // BITMAPCOREHEADER
inline constexpr std::size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
// BI_BITFIELDS masks sit here after a 40-byte header and inside every larger one.
inline constexpr std::size_t kMasksOffset = 40;

// Where BITMAPINFOHEADER's fields sit. BITMAPCOREHEADER has 16-bit ones of its own.
inline constexpr std::size_t kWidthField = 4;
inline constexpr std::size_t kHeightField = 8;
inline constexpr std::size_t kPlanesField = 12;
inline constexpr std::size_t kBitCountField = 14;
inline constexpr std::size_t kCompressionField = 16;
inline constexpr std::size_t kSizeImageField = 20;
inline constexpr std::size_t kXPelsPerMeterField = 24;
inline constexpr std::size_t kYPelsPerMeterField = 28;
inline constexpr std::size_t kClrUsedField = 32;
inline constexpr std::size_t kClrImportantField = 36;

// biCompression values. GDI's CreateDIBitmap knows the first four; only V4 and later
// headers written by some tools carry BI_ALPHABITFIELDS (a fourth, alpha, mask).
inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;
inline constexpr std::uint32_t kBiAlphaBitfields = 6;

// The BITMAPINFOHEADER fields. A BITMAPCOREHEADER reads as one (size 12, BI_RGB, clrUsed 0).
struct DibHeader {
  std::uint32_t size = 0;  // as given: 12, or 40 and more
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: the rows come top first
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t clrImportant = 0;

  bool IsCore() const { return size == kCoreHeaderSize; }
};

// The header at the start of `info`, when it is one GDI knows (12 bytes, or 40 and more) and
// `info` holds all of it. Nothing else is checked.
std::optional<DibHeader> ReadDibHeader(std::span<const std::uint8_t> info);
// The 40-byte header at the start of a block the image model holds. The loaders give every
// block all 40 bytes; a field past the end of a shorter one reads as 0 rather than out of
// bounds. `size` is the block's biSize, whatever it says.
DibHeader ReadBlockHeader(std::span<const std::uint8_t> block);
// Writes `header` as a BITMAPINFOHEADER (biSize 40, whatever header.size says) at the start
// of `out`, which holds at least 40 bytes.
void WriteInfoHeader(std::span<std::uint8_t> out, const DibHeader& header);

inline bool IsRle(const DibHeader& header) {
  return header.compression == kBiRle8 || header.compression == kBiRle4;
}
// Either bitfields compression. GDI takes only BI_BITFIELDS; the loader takes both.
inline bool IsBitfields(const DibHeader& header) {
  return header.compression == kBiBitfields || header.compression == kBiAlphaBitfields;
}
// Bytes of masks between a 40-byte header and the colour table; larger headers hold them.
std::size_t MaskBytesAfterHeader(const DibHeader& header);

// ---- Rows ----

// Bytes in one row of pixels: rows are padded to whole 32-bit words.
constexpr std::size_t DibStride(std::uint32_t bitCount, std::uint32_t width) {
  return static_cast<std::size_t>((std::uint64_t{bitCount} * width + 31) / 32 * 4);
}
// The same rule for the image model's 16-bit stride field, from a header's signed width.
// It wraps as the field does, and a negative width (a hand-made block; the readers refuse
// rows the field cannot hold) gives what signed arithmetic gives, so the field always
// reads as it did before there was an unsigned rule beside it.
constexpr std::uint16_t DibStride16(std::uint16_t bitCount, std::int32_t width) {
  return static_cast<std::uint16_t>((std::int64_t{bitCount} * width + 31) / 32 * 4);
}
// All rows of a header whose width is positive: stride × |height|.
std::uint64_t DibRowsSize(const DibHeader& header);

// ---- Colour tables ----
//
// Two counts, on purpose. GDI reads a table from an untrusted header, so its count is
// clamped to what the pixels can index. The image model hands biClrUsed on as the block
// says (NumColors() is part of its interface), and each user checks it against the block.

// The entries GDI takes for this header: biClrUsed (at most 2^bitCount) or, when it is 0 or
// the header is a core one, 2^bitCount; none above 8 bits per pixel.
std::size_t DibColorCount(const DibHeader& header);
// The entries a block's header declares: biClrUsed when it is not 0, whatever the depth,
// else 2, 16 or 256 for 1, 4 or 8 bits per pixel, else 0. Not clamped.
std::size_t DeclaredColorCount(const DibHeader& header);

// RGBTRIPLE after a core header, RGBQUAD after any other.
inline std::size_t ColorEntrySize(const DibHeader& header) { return header.IsCore() ? 3 : 4; }
// The entry whose blue byte is at `offset` as a device pixel 0x00RRGGBB. The caller has
// checked that its three bytes are there.
inline std::uint32_t ColorEntryAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return bytes[offset] | std::uint32_t{bytes[offset + 1]} << 8 |
         std::uint32_t{bytes[offset + 2]} << 16;
}

// ---- Writing ----

// A new packed DIB in the one layout the program keeps: a BITMAPINFOHEADER (BI_RGB, a
// positive height, biSizeImage the rows' size, biClrUsed the palette's size), the palette as
// RGBQUADs (from 0x00RRGGBB), then zeroed rows, bottom-up. The loader, the images and
// kelna-tool make their pictures through it.
class PackedDibWriter {
 public:
  PackedDibWriter(int width, int height, int bitCount, std::span<const std::uint32_t> palette,
                  std::int32_t xPelsPerMeter = 0, std::int32_t yPelsPerMeter = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Row `y` of the picture, counted from the top (rows are stored bottom-up).
  std::span<std::uint8_t> Row(int y);
  std::vector<std::uint8_t> Take() && { return std::move(block_); }

 private:
  int width_;
  int height_;
  std::size_t stride_;
  std::size_t rowsOffset_;
  std::vector<std::uint8_t> block_;
};

}  // namespace kelna
