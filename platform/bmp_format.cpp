#include "platform/bmp_format.h"

#include <algorithm>
#include <cstdlib>

namespace kelna {

bool HasBmpSignature(std::span<const std::uint8_t> file) {
  return file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
}

std::array<std::uint8_t, kFileHeaderSize> MakeFileHeader(std::uint32_t fileSize,
                                                         std::uint32_t offBits) {
  std::array<std::uint8_t, kFileHeaderSize> header{'B', 'M'};
  WriteLe32(header, kFileSizeField, fileSize);
  WriteLe32(header, kOffBitsField, offBits);
  return header;
}

std::optional<DibHeader> ReadDibHeader(std::span<const std::uint8_t> info) {
  const std::optional<std::uint32_t> size = ReadLe32(info, 0);
  if (!size || *size > info.size()) return std::nullopt;
  if (*size == kCoreHeaderSize) {
    DibHeader header;
    header.size = *size;
    header.width = *ReadLe16(info, 4);
    header.height = *ReadLe16(info, 6);
    header.planes = *ReadLe16(info, 8);
    header.bitCount = *ReadLe16(info, 10);
    return header;
  }
  if (*size < kInfoHeaderSize) return std::nullopt;
  return ReadBlockHeader(info);
}

DibHeader ReadBlockHeader(std::span<const std::uint8_t> block) {
  const auto field32 = [block](std::size_t offset) { return ReadLe32(block, offset).value_or(0); };
  const auto field16 = [block](std::size_t offset) { return ReadLe16(block, offset).value_or(0); };
  DibHeader header;
  header.size = field32(0);
  header.width = static_cast<std::int32_t>(field32(kWidthField));
  header.height = static_cast<std::int32_t>(field32(kHeightField));
  header.planes = field16(kPlanesField);
  header.bitCount = field16(kBitCountField);
  header.compression = field32(kCompressionField);
  header.sizeImage = field32(kSizeImageField);
  header.xPelsPerMeter = static_cast<std::int32_t>(field32(kXPelsPerMeterField));
  header.yPelsPerMeter = static_cast<std::int32_t>(field32(kYPelsPerMeterField));
  header.clrUsed = field32(kClrUsedField);
  header.clrImportant = field32(kClrImportantField);
  return header;
}

void WriteInfoHeader(std::span<std::uint8_t> out, const DibHeader& header) {
  WriteLe32(out, 0, kInfoHeaderSize);
  WriteLe32(out, kWidthField, static_cast<std::uint32_t>(header.width));
  WriteLe32(out, kHeightField, static_cast<std::uint32_t>(header.height));
  WriteLe16(out, kPlanesField, header.planes);
  WriteLe16(out, kBitCountField, header.bitCount);
  WriteLe32(out, kCompressionField, header.compression);
  WriteLe32(out, kSizeImageField, header.sizeImage);
  WriteLe32(out, kXPelsPerMeterField, static_cast<std::uint32_t>(header.xPelsPerMeter));
  WriteLe32(out, kYPelsPerMeterField, static_cast<std::uint32_t>(header.yPelsPerMeter));
  WriteLe32(out, kClrUsedField, header.clrUsed);
  WriteLe32(out, kClrImportantField, header.clrImportant);
}

std::size_t MaskBytesAfterHeader(const DibHeader& header) {
  if (!IsBitfields(header) || header.size != kInfoHeaderSize) return 0;
  return header.compression == kBiAlphaBitfields ? 16 : 12;
}

std::uint64_t DibRowsSize(const DibHeader& header) {
  return DibStride(header.bitCount, static_cast<std::uint32_t>(header.width)) *
         static_cast<std::uint64_t>(std::abs(std::int64_t{header.height}));
}

std::size_t DibColorCount(const DibHeader& header) {
  if (header.bitCount > 8) return 0;
  const std::size_t full = std::size_t{1} << header.bitCount;
  if (header.IsCore() || header.clrUsed == 0) return full;
  return std::min<std::size_t>(header.clrUsed, full);
}

std::size_t DeclaredColorCount(const DibHeader& header) {
  if (header.clrUsed != 0) return header.clrUsed;
  switch (header.bitCount) {
    case 1:
    case 4:
    case 8:
      return std::size_t{1} << header.bitCount;
    default:
      return 0;
  }
}

PackedDibWriter::PackedDibWriter(int width, int height, int bitCount, std::span<const std::uint32_t> palette,
                                 std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter)
    : width_(width),
      height_(height),
      stride_(DibStride(static_cast<std::uint32_t>(bitCount), static_cast<std::uint32_t>(width))),
      rowsOffset_(kInfoHeaderSize + 4 * palette.size()),
      block_(rowsOffset_ + stride_ * static_cast<std::size_t>(height)) {
  DibHeader header;
  header.width = width;
  header.height = height;
  header.planes = 1;
  header.bitCount = static_cast<std::uint16_t>(bitCount);
  header.sizeImage = static_cast<std::uint32_t>(block_.size() - rowsOffset_);
  header.xPelsPerMeter = xPelsPerMeter;
  header.yPelsPerMeter = yPelsPerMeter;
  header.clrUsed = static_cast<std::uint32_t>(palette.size());
  WriteInfoHeader(block_, header);
  for (std::size_t i = 0; i < palette.size(); ++i) WriteLe32(block_, kInfoHeaderSize + 4 * i, palette[i]);  // B, G, R, 0
}

std::span<std::uint8_t> PackedDibWriter::Row(int y) {
  const std::size_t stored = static_cast<std::size_t>(height_ - 1 - y);
  return std::span<std::uint8_t>(block_).subspan(rowsOffset_ + stored * stride_, stride_);
}

}  // namespace kelna
