#include "sprites/dib_loader.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/atomic_file.h"
#include "platform/dib.h"
#include "platform/file_bytes.h"
#include "platform/text.h"
#ifdef _WIN32
#include "platform/module_resource.h"
#endif

namespace kelna {
namespace {

[[noreturn]] void Refuse(const std::string& why) { throw TXGdi(why); }

// ---- Reading the file's own layout ----

// Core: BITMAPCOREHEADER. Windows: BITMAPINFOHEADER and its V2-V5 successors. OS/2: the
// OS/2 2.x header, 16 to 64 bytes, whose first fields are BITMAPINFOHEADER's.
enum class HeaderKind { kCore, kWindows, kOs2 };

HeaderKind KindOf(std::uint32_t size) {
  switch (size) {
    case 12:
      return HeaderKind::kCore;
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
      return HeaderKind::kWindows;
    default:
      if (size >= 16 && size <= 64) return HeaderKind::kOs2;
      Refuse("unsupported header size " + std::to_string(size));
  }
}

// The header in BITMAPINFOHEADER terms; `size` stays the number of bytes it takes.
DibHeader ReadSourceHeader(std::span<const std::uint8_t> dib, HeaderKind& kind) {
  const std::optional<std::uint32_t> size = ReadLe32(dib, 0);
  if (!size) Refuse("file is truncated");
  kind = KindOf(*size);
  if (dib.size() < *size) Refuse("file is truncated");
  if (kind != HeaderKind::kOs2) return *ReadDibHeader(dib);
  // The fields a short OS/2 header leaves out are 0.
  std::array<std::uint8_t, kInfoHeaderSize> padded{};
  std::copy_n(dib.begin(), std::min<std::size_t>(*size, padded.size()), padded.begin());
  padded[0] = kInfoHeaderSize;
  padded[1] = padded[2] = padded[3] = 0;
  DibHeader header = *ReadDibHeader(padded);
  header.size = *size;
  return header;
}

void CheckFormat(const DibHeader& header, HeaderKind kind) {
  // OS/2 gives 3 and 4 other meanings (Huffman 1D, RLE24), which we do not read.
  const std::uint32_t compression = header.compression;
  const bool known = compression == kBiRgb || compression == kBiRle8 || compression == kBiRle4 ||
                     (kind == HeaderKind::kWindows && IsBitfields(header));
  if (!known) Refuse("unsupported compression " + std::to_string(compression));
  const int bits = header.bitCount;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    Refuse("unsupported bit count " + std::to_string(bits));
  }
  bool fits = true;
  if (IsRle(header)) fits = bits == (compression == kBiRle4 ? 4 : 8);
  if (IsBitfields(header)) fits = bits == 16 || bits == 32;
  if (!fits) {
    Refuse("compression " + std::to_string(compression) + " with " + std::to_string(bits) +
           " bits per pixel");
  }
}

// Our limits (platform/dib.h), checked before anything is allocated. Every pixel must fit in
// the decoded 32-bit image, which also bounds the rows of every bit count (a row is at most
// 4 * width).
void CheckSize(const DibHeader& header) {
  if (const Status size = CheckDibSize(header); !size) Refuse(size.message());
}

// Where the colour table and the pixels are, and the colour table itself (0x00RRGGBB).
struct SourceLayout {
  std::vector<std::uint32_t> palette;
  std::span<const std::uint8_t> pixels;  // to the end of the file
};

// The pixels start at the file's offset when it lies between the headers and the end of the
// file, else right after the colour table. A colour table that the pixels cut short keeps the
// entries before them.
SourceLayout Locate(std::span<const std::uint8_t> dib, const DibHeader& header,
                    std::optional<std::size_t> pixelOffset) {
  const std::size_t tableOffset = header.size + MaskBytesAfterHeader(header);
  const std::size_t entrySize = ColorEntrySize(header);
  std::size_t count = DibColorCount(header);
  std::uint64_t offset = 0;
  if (pixelOffset && *pixelOffset >= tableOffset && *pixelOffset <= dib.size()) {
    offset = *pixelOffset;
    count = std::min(count, (*pixelOffset - tableOffset) / entrySize);
  } else {
    // Above 8 bits per pixel biClrUsed entries may still come first.
    const std::uint64_t entries = header.bitCount <= 8 ? count : header.clrUsed;
    offset = tableOffset + entries * entrySize;
  }
  if (tableOffset > dib.size() || offset > dib.size()) Refuse("file is truncated");

  SourceLayout layout;
  for (std::size_t i = 0; i < count; ++i) {
    layout.palette.push_back(ColorEntryAt(dib, tableOffset + i * entrySize));
  }
  // A table with no entries at all shows every pixel black; one black entry says so.
  if (header.bitCount <= 8 && layout.palette.empty()) layout.palette.push_back(0);
  layout.pixels = dib.subspan(static_cast<std::size_t>(offset));
  return layout;
}

// ---- Writing the packed DIB ----

// A new block for the source's picture with its resolution kept.
PackedDibWriter BlockWriter(const DibHeader& source, int bitCount, std::span<const std::uint32_t> palette) {
  return PackedDibWriter(source.width, static_cast<int>(std::abs(std::int64_t{source.height})), bitCount, palette,
                         source.xPelsPerMeter, source.yPelsPerMeter);
}

// The source's pixel rows, `stride` bytes each, or a refusal when the file ends early.
std::span<const std::uint8_t> SourceRows(const DibHeader& header,
                                         std::span<const std::uint8_t> pixels) {
  const auto size = static_cast<std::size_t>(DibRowsSize(header));
  if (pixels.size() < size) {
    // Rows counted from 1 as they are stored: the row the data ends in is where to look.
    const std::size_t stride = DibStride(header.bitCount, static_cast<std::uint32_t>(header.width));
    const std::uint64_t height = size / stride;
    Refuse("file is truncated: its pixel data ends in row " + std::to_string(pixels.size() / stride + 1) +
           " of " + std::to_string(height));
  }
  return pixels.first(size);
}

// Row `y` from the top of the source picture.
std::span<const std::uint8_t> SourceRow(const DibHeader& header, std::span<const std::uint8_t> rows,
                                        int y) {
  const std::size_t stride = DibStride(header.bitCount, static_cast<std::uint32_t>(header.width));
  const std::size_t height = rows.size() / stride;
  const auto row = static_cast<std::size_t>(y);
  const std::size_t stored = header.height < 0 ? row : height - 1 - row;
  return rows.subspan(stored * stride, stride);
}

std::vector<std::uint8_t> CopyRows(const DibHeader& header, const SourceLayout& source) {
  const std::span<const std::uint8_t> rows = SourceRows(header, source.pixels);
  PackedDibWriter out = BlockWriter(header, header.bitCount, source.palette);
  for (int y = 0; y < out.Height(); ++y) {
    std::ranges::copy(SourceRow(header, rows, y), out.Row(y).begin());
  }
  return std::move(out).Take();
}

// 2-bit pixels, which GDI does not know, as 4-bit ones with the same colour table.
std::vector<std::uint8_t> WidenTwoBitRows(const DibHeader& header, const SourceLayout& source) {
  const std::span<const std::uint8_t> rows = SourceRows(header, source.pixels);
  PackedDibWriter out = BlockWriter(header, 4, source.palette);
  for (int y = 0; y < out.Height(); ++y) {
    const std::span<const std::uint8_t> in = SourceRow(header, rows, y);
    const std::span<std::uint8_t> row = out.Row(y);
    for (int x = 0; x < out.Width(); ++x) {
      const int index = (in[x / 4] >> (6 - 2 * (x % 4))) & 3;
      row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
  }
  return std::move(out).Take();
}

// Device pixels (rows top first) as 24-bit rows.
std::vector<std::uint8_t> Rgb24Rows(const DibHeader& header,
                                    std::span<const std::uint32_t> pixels) {
  PackedDibWriter out = BlockWriter(header, 24, {});
  const auto width = static_cast<std::size_t>(out.Width());
  for (int y = 0; y < out.Height(); ++y) {
    const std::span<std::uint8_t> row = out.Row(y);
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint32_t pixel = pixels[static_cast<std::size_t>(y) * width + x];
      row[3 * x] = static_cast<std::uint8_t>(pixel);
      row[3 * x + 1] = static_cast<std::uint8_t>(pixel >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(pixel >> 16);
    }
  }
  return std::move(out).Take();
}

// Bitfields through our GDI decoder, so that the 24-bit result is what GDI shows.
std::vector<std::uint8_t> BitfieldsAsRgb24(std::span<const std::uint8_t> dib,
                                           const DibHeader& header, const SourceLayout& source) {
  std::array<std::uint8_t, kMasksOffset + 12> info{};
  DibHeader gdiHeader;
  gdiHeader.width = header.width;
  gdiHeader.height = header.height;
  gdiHeader.planes = 1;
  gdiHeader.bitCount = header.bitCount;
  gdiHeader.compression = kBiBitfields;  // GDI does not know BI_ALPHABITFIELDS
  WriteInfoHeader(info, gdiHeader);
  for (std::size_t i = 0; i < 3; ++i) {
    const std::optional<std::uint32_t> mask = ReadLe32(dib, kMasksOffset + 4 * i);
    if (!mask) Refuse("file is truncated");
    // GDI refuses a bitmap with a colour that has no bits.
    if (*mask == 0) Refuse("empty colour mask");
    WriteLe32(info, kMasksOffset + 4 * i, *mask);
  }
  const Result<DecodedDib> decoded = DecodeDib(info, SourceRows(header, source.pixels));
  if (!decoded) Refuse("unreadable bitfields: " + decoded.message());
  return Rgb24Rows(header, decoded->pixels);
}

// The colour index that shows the pixels RLE leaves out, which GDI leaves black: a black
// entry added to a short table, or one already in a full table. Nothing when neither works.
std::optional<std::uint8_t> BlackIndex(std::vector<std::uint32_t>& palette, int bitCount) {
  if (palette.size() < (std::size_t{1} << bitCount)) {
    palette.push_back(0);
    return static_cast<std::uint8_t>(palette.size() - 1);
  }
  const auto black = std::ranges::find(palette, 0u);
  if (black == palette.end()) return std::nullopt;
  return static_cast<std::uint8_t>(black - palette.begin());
}

std::vector<std::uint8_t> DecodeRleRows(const DibHeader& header, SourceLayout source) {
  // GDI reads biSizeImage bytes of RLE data; we read no further than the file goes.
  std::span<const std::uint8_t> data = source.pixels;
  if (header.sizeImage != 0 && header.sizeImage < data.size()) data = data.first(header.sizeImage);
  const int bits = header.bitCount;
  std::vector<std::int16_t> indexes = DecodeRle(data, bits, header.width, header.height);
  // CheckSize refused what the decoder cannot draw (top-down rows); should that check ever
  // let one through, the rows below must still not be read past the decoded pixels.
  if (header.height <= 0 || indexes.size() != std::size_t(header.width) * std::size_t(header.height))
    Refuse("top-down RLE bitmap");

  std::optional<std::uint8_t> fill = 0;
  if (std::ranges::find(indexes, kRleNotDrawn) != indexes.end()) {
    fill = BlackIndex(source.palette, bits);
  }
  if (!fill) {
    std::vector<std::uint32_t> pixels(indexes.size());
    for (std::size_t i = 0; i < indexes.size(); ++i) {
      const auto index = static_cast<std::size_t>(indexes[i]);
      pixels[i] =
          indexes[i] == kRleNotDrawn || index >= source.palette.size() ? 0 : source.palette[index];
    }
    return Rgb24Rows(header, pixels);
  }

  PackedDibWriter out = BlockWriter(header, bits, source.palette);
  const auto width = static_cast<std::size_t>(out.Width());
  for (int y = 0; y < out.Height(); ++y) {
    const std::span<std::uint8_t> row = out.Row(y);
    for (std::size_t x = 0; x < width; ++x) {
      const std::int16_t found = indexes[static_cast<std::size_t>(y) * width + x];
      const auto index = static_cast<std::uint8_t>(found == kRleNotDrawn ? *fill : found);
      if (bits == 8) {
        row[x] = index;
      } else {
        row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
      }
    }
  }
  return std::move(out).Take();
}

// `dib` starts with the info header; `pixelOffset` is where the file says the pixels are,
// counted from there.
std::vector<std::uint8_t> Normalise(std::span<const std::uint8_t> dib,
                                    std::optional<std::size_t> pixelOffset) {
  HeaderKind kind = HeaderKind::kWindows;
  const DibHeader header = ReadSourceHeader(dib, kind);
  CheckFormat(header, kind);
  CheckSize(header);
  SourceLayout source = Locate(dib, header, pixelOffset);
  if (IsRle(header)) return DecodeRleRows(header, std::move(source));
  if (IsBitfields(header)) return BitfieldsAsRgb24(dib, header, source);
  if (header.bitCount == 2) return WidenTwoBitRows(header, source);
  return CopyRows(header, source);
}

// ---- Files ----

}  // namespace

TDib::TDib(const char* fileName) : TDib(Cp932ToPath(fileName)) {}

TDib::TDib(const std::filesystem::path& file) {
  Result<TDib> loaded = Load(file);
  if (!loaded) throw TXGdi(loaded.message());
  *this = std::move(loaded).value();
}

Result<TDib> TDib::Load(const std::filesystem::path& file) {
  Result<TDib> dib = ReadFile(file);
  if (!dib) return WithContext(QuotedPath(file), dib.status());
  return dib;
}

Result<TDib> TDib::ReadFile(const std::filesystem::path& file) {
  const Result<std::vector<std::uint8_t>> bytes = ReadWholeFile(file, kMaxBmpFileSize);
  if (!bytes) return bytes.status();
  return Parse(*bytes);
}

Result<TDib> TDib::Parse(std::span<const std::uint8_t> file) {
  // The checks deep inside the conversion refuse by throwing; they end here.
  try {
    return FromBytes(file);
  } catch (const TXGdi& refusal) {
    return Status::Failure(refusal.what());
  }
}

TDib TDib::FromBytes(std::span<const std::uint8_t> file) {
  if (!HasBmpSignature(file)) Refuse("not a BMP file");
  const std::optional<std::uint32_t> offBits = ReadLe32(file, kOffBitsField);
  if (!offBits || file.size() <= kFileHeaderSize) Refuse("file is truncated");
  std::optional<std::size_t> pixelOffset;
  if (*offBits >= kFileHeaderSize) pixelOffset = *offBits - kFileHeaderSize;
  return TDib(Normalise(file.subspan(kFileHeaderSize), pixelOffset));
}

#ifdef _WIN32
TDib::TDib(void* module, int resourceId) {
  const std::optional<std::vector<std::uint8_t>> bytes = LoadBitmapResource(module, resourceId);
  if (!bytes) Refuse("no bitmap resource " + std::to_string(resourceId));
  block_ = Normalise(*bytes, std::nullopt);
}
#endif

int TDib::Width() const { return ReadBlockHeader(block_).width; }
int TDib::Height() const { return ReadBlockHeader(block_).height; }
int TDib::BitCount() const { return ReadBlockHeader(block_).bitCount; }

std::size_t TDib::NumColors() const { return DeclaredColorCount(ReadBlockHeader(block_)); }

std::span<const std::uint8_t> TDib::Info() const {
  // The blocks we make never declare more than 256 entries; the cut keeps a changed block
  // (Block() is writable) from pointing the pixels past the table's largest size.
  const std::size_t size = kInfoHeaderSize + 4 * std::min<std::size_t>(NumColors(), 256);
  return Block().first(std::min(size, block_.size()));
}

std::span<const std::uint8_t> TDib::Bits() const { return Block().subspan(Info().size()); }

bool TDib::WriteFile(const char* fileName) const { return WriteFile(Cp932ToPath(fileName)); }

bool TDib::WriteFile(const std::filesystem::path& file) const {
  const std::array<std::uint8_t, kFileHeaderSize> head =
      MakeFileHeader(static_cast<std::uint32_t>(kFileHeaderSize + block_.size()),
                     static_cast<std::uint32_t>(kFileHeaderSize + Info().size()));

  std::string content(head.begin(), head.end());
  content.append(block_.begin(), block_.end());
  return ReplaceFileContent(file, content).ok();
}

}  // namespace kelna
