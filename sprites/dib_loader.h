#pragma once
// BMP files and bitmap resources, held as one packed DIB in the one layout the rest of the
// program handles: a 40-byte BITMAPINFOHEADER (biSize 40, BI_RGB, positive height), the
// colour table of NumColors() RGBQUAD entries, then the pixel rows bottom-up, each
// DibStride(bitCount, width) bytes.
//
// Files may be written in many ways (OS/2 headers, V4/V5 headers, RLE, bitfields, top-down
// rows, short or oversize palettes); whatever the layout above cannot carry is converted so
// that the pixels stay exactly what GDI shows for the original file: RLE becomes plain 4- or
// 8-bit rows, bitfields become 24-bit rows, top-down rows are turned over, RGBTRIPLE tables
// are widened, 2-bit pixels become 4-bit ones. Anything unreadable, unsupported or beyond
// the limits of platform/dib.h is refused with TXGdi, before anything large is allocated.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/dib.h"
#include "platform/status.h"

namespace kelna {

// A bitmap that cannot be loaded; what() says why ("not a BMP file", "file is truncated",
// "unsupported compression 4", ...).
class TXGdi : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// The largest BMP file read: the largest pixel data the loader accepts, with room for
// headers, colour tables, colour profiles and gaps around it.
inline constexpr std::uintmax_t kMaxBmpFileSize = kMaxDibPixelBytes + (16u << 20);

class TDib {
 public:
  // A file named by its code page 932 path.
  explicit TDib(const char* fileName);
  explicit TDib(const std::filesystem::path& file);
  // The whole file's bytes.
  static TDib FromBytes(std::span<const std::uint8_t> file);
  // The same, with the refusal as a failure: "\"FILE\": no such file", "not a BMP file",
  // "file is truncated: its pixel data ends in row 8 of 480", ...
  static Result<TDib> Load(const std::filesystem::path& file);
  // Load's reasons without the file's name, for a caller that names the file its own way.
  static Result<TDib> ReadFile(const std::filesystem::path& file);
  static Result<TDib> Parse(std::span<const std::uint8_t> file);
#ifdef _WIN32
  // An RT_BITMAP resource of `module` (an HMODULE): a DIB without the file header.
  TDib(void* module, int resourceId);
#endif

  // The packed DIB: header, colour table, pixel rows.
  std::span<std::uint8_t> Block() { return block_; }
  std::span<const std::uint8_t> Block() const { return block_; }
  // The header with its colour table, and the pixel rows: what DecodeDib takes.
  std::span<const std::uint8_t> Info() const;
  std::span<const std::uint8_t> Bits() const;

  int Width() const;
  int Height() const;
  int BitCount() const;
  // biClrUsed when it is not 0, else 2, 16 or 256 for 1, 4 or 8 bits per pixel, else 0.
  std::size_t NumColors() const;

  // Writes a BMP file: the 14-byte file header, then the block. The file is written beside
  // its final name and renamed over it, so that a failed write leaves any previous file
  // whole. False on any failure.
  [[nodiscard]] bool WriteFile(const char* fileName) const;
  [[nodiscard]] bool WriteFile(const std::filesystem::path& file) const;

 private:
  explicit TDib(std::vector<std::uint8_t> block) : block_(std::move(block)) {}

  std::vector<std::uint8_t> block_;
};

}  // namespace kelna
