#include "platform/dib.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

namespace kelna {
namespace {

// The part of a colour mask that GDI uses: its lowest run of set bits.
struct ColorField {
  int shift = 0;
  int length = 0;
};

ColorField FieldOf(std::uint32_t mask) {
  ColorField field;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++field.shift;
  }
  while ((mask & 1) != 0) {
    mask >>= 1;
    ++field.length;
  }
  return field;
}

// A field's 8-bit value: its top eight bits; a shorter field is moved to the top of the byte
// and repeated once below itself (5 bits abcde give abcdeabc, 1 bit a gives aa000000).
std::uint32_t FieldValue(std::uint32_t pixel, ColorField field) {
  const int shift = field.shift + field.length - 8;
  std::uint32_t value = shift < 0 ? pixel << -shift : pixel >> shift;
  if (field.length >= 8) return value & 0xFF;
  value &= (0xFFu << (8 - field.length)) & 0xFF;
  return value | (value >> field.length);
}

// What the row converters need, worked out once per DIB.
struct PixelFormat {
  int width = 0;
  int height = 0;  // always positive
  bool topDown = false;
  std::uint16_t bitCount = 0;
  std::array<std::uint32_t, 256> colors{};  // device pixels; black past the table, as in GDI
  ColorField red, green, blue;

  std::uint32_t FromFields(std::uint32_t pixel) const {
    return FieldValue(pixel, red) << 16 | FieldValue(pixel, green) << 8 | FieldValue(pixel, blue);
  }
};

using RowConverter = void (*)(const PixelFormat&, std::span<const std::uint8_t> row,
                              std::span<std::uint32_t> out);

void ConvertRow1(const PixelFormat& format, std::span<const std::uint8_t> row,
                 std::span<std::uint32_t> out) {
  for (std::size_t x = 0; x < out.size(); ++x) {
    out[x] = format.colors[(row[x / 8] >> (7 - x % 8)) & 1];
  }
}

void ConvertRow4(const PixelFormat& format, std::span<const std::uint8_t> row,
                 std::span<std::uint32_t> out) {
  for (std::size_t x = 0; x < out.size(); ++x) {
    out[x] = format.colors[(row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F];
  }
}

void ConvertRow8(const PixelFormat& format, std::span<const std::uint8_t> row,
                 std::span<std::uint32_t> out) {
  for (std::size_t x = 0; x < out.size(); ++x) out[x] = format.colors[row[x]];
}

void ConvertRow16(const PixelFormat& format, std::span<const std::uint8_t> row,
                  std::span<std::uint32_t> out) {
  for (std::size_t x = 0; x < out.size(); ++x) {
    out[x] = format.FromFields(row[2 * x] | std::uint32_t{row[2 * x + 1]} << 8);
  }
}

void ConvertRow24(const PixelFormat&, std::span<const std::uint8_t> row,
                  std::span<std::uint32_t> out) {
  for (std::size_t x = 0; x < out.size(); ++x) {
    out[x] = row[3 * x] | std::uint32_t{row[3 * x + 1]} << 8 | std::uint32_t{row[3 * x + 2]} << 16;
  }
}

// 32 bits with the usual masks: the fourth byte is unused.
void ConvertRow32Rgb(const PixelFormat&, std::span<const std::uint8_t> row,
                     std::span<std::uint32_t> out) {
  for (std::size_t x = 0; x < out.size(); ++x) {
    out[x] = row[4 * x] | std::uint32_t{row[4 * x + 1]} << 8 | std::uint32_t{row[4 * x + 2]} << 16;
  }
}

void ConvertRow32Fields(const PixelFormat& format, std::span<const std::uint8_t> row,
                        std::span<std::uint32_t> out) {
  for (std::size_t x = 0; x < out.size(); ++x) {
    const std::uint32_t pixel = row[4 * x] | std::uint32_t{row[4 * x + 1]} << 8 |
                                std::uint32_t{row[4 * x + 2]} << 16 |
                                std::uint32_t{row[4 * x + 3]} << 24;
    out[x] = format.FromFields(pixel);
  }
}

// GDI knows BI_BITFIELDS only (IsKnownFormat refuses BI_ALPHABITFIELDS), never after a
// core header.
bool HasMasks(const DibHeader& header) {
  return !header.IsCore() && header.compression == kBiBitfields;
}

// The combinations of bit count and compression that GDI accepts.
bool IsKnownFormat(const DibHeader& header) {
  if (IsRle(header)) return header.bitCount == (header.compression == kBiRle4 ? 4 : 8);
  switch (header.bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      return header.compression == kBiRgb;
    case 16:
    case 32:
      return header.compression == kBiRgb || header.compression == kBiBitfields;
    default:
      return false;
  }
}

}  // namespace

Status CheckDibSize(const DibHeader& header) {
  const std::int64_t width = header.width;
  const std::int64_t height = std::abs(std::int64_t{header.height});
  if (width <= 0 || width > kMaxDibDimension || height == 0 || height > kMaxDibDimension)
    return Status::Failure("unsupported size " + std::to_string(header.width) + " x " +
                           std::to_string(header.height));
  if (static_cast<std::uint64_t>(width * height) * 4 > kMaxDibPixelBytes) return Status::Failure("image is too large");
  // RLE data describes bottom-up rows only.
  if (IsRle(header) && header.height < 0) return Status::Failure("top-down RLE bitmap");
  return Status::Ok();
}

namespace {

// GDI's own rules (a known format, planes, RLE with a data size), then our limits, which
// also keep every size below in range.
Status CheckAcceptable(const DibHeader& header) {
  if (Status size = CheckDibSize(header); !size) return size;
  if (!IsKnownFormat(header))
    return Status::Failure("unsupported bit count " + std::to_string(header.bitCount) + " with compression " +
                           std::to_string(header.compression));
  if (IsRle(header) && header.sizeImage == 0) return Status::Failure("RLE bitmap without its data size");
  if (!IsRle(header) && header.planes == 0) return Status::Failure("no planes");
  if (!IsRle(header) && DibRowsSize(header) > kMaxDibPixelBytes) return Status::Failure("image is too large");
  return Status::Ok();
}

bool ReadColorTable(const DibHeader& header, std::span<const std::uint8_t> info,
                    PixelFormat& format) {
  const std::size_t count = DibColorCount(header);
  const std::size_t entrySize = ColorEntrySize(header);
  if (info.size() - header.size < count * entrySize) return false;
  for (std::size_t i = 0; i < count; ++i) {
    format.colors[i] = ColorEntryAt(info, header.size + i * entrySize);
  }
  return true;
}

bool ReadMasks(const DibHeader& header, std::span<const std::uint8_t> info, PixelFormat& format) {
  std::array<std::uint32_t, 3> masks{};
  if (HasMasks(header)) {
    for (std::size_t i = 0; i < masks.size(); ++i) {
      const std::optional<std::uint32_t> mask = ReadLe32(info, kMasksOffset + 4 * i);
      if (!mask || *mask == 0) return false;
      masks[i] = *mask;
    }
  } else if (header.bitCount == 16) {
    masks = {0x7C00, 0x03E0, 0x001F};
  } else {
    masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }
  format.red = FieldOf(masks[0]);
  format.green = FieldOf(masks[1]);
  format.blue = FieldOf(masks[2]);
  return true;
}

Result<PixelFormat> ReadFormat(const DibHeader& header, std::span<const std::uint8_t> info) {
  if (Status acceptable = CheckAcceptable(header); !acceptable) return acceptable;
  PixelFormat format;
  format.width = header.width;
  format.height = static_cast<int>(std::abs(std::int64_t{header.height}));
  format.topDown = header.height < 0;
  format.bitCount = header.bitCount;
  const bool read =
      header.bitCount <= 8 ? ReadColorTable(header, info, format) : ReadMasks(header, info, format);
  if (!read) return Status::Failure(header.bitCount <= 8 ? "colour table cut short" : "colour masks missing or empty");
  return format;
}

RowConverter ConverterFor(const DibHeader& header) {
  switch (header.bitCount) {
    case 1:
      return ConvertRow1;
    case 4:
      return ConvertRow4;
    case 8:
      return ConvertRow8;
    case 16:
      return ConvertRow16;
    case 24:
      return ConvertRow24;
    default:
      return HasMasks(header) ? ConvertRow32Fields : ConvertRow32Rgb;
  }
}

Result<DecodedDib> DecodeRows(const DibHeader& header, const PixelFormat& format,
                              std::span<const std::uint8_t> bits) {
  const std::size_t stride = DibStride(format.bitCount, format.width);
  const std::size_t width = static_cast<std::size_t>(format.width);
  const std::size_t height = static_cast<std::size_t>(format.height);
  if (bits.size() / stride < height)
    return Status::Failure("pixel data ends in row " + std::to_string(bits.size() / stride + 1) + " of " +
                           std::to_string(height));

  const RowConverter convert = ConverterFor(header);
  DecodedDib dib{format.width, format.height, std::vector<std::uint32_t>(width * height)};
  const std::span<std::uint32_t> pixels(dib.pixels);
  for (std::size_t y = 0; y < height; ++y) {
    const std::size_t source = format.topDown ? y : height - 1 - y;
    convert(format, bits.subspan(source * stride, stride), pixels.subspan(y * width, width));
  }
  return dib;
}

DecodedDib DecodeRleDib(const DibHeader& header, const PixelFormat& format,
                        std::span<const std::uint8_t> bits) {
  const std::span<const std::uint8_t> data =
      bits.first(std::min<std::size_t>(bits.size(), header.sizeImage));
  const std::vector<std::int16_t> indexes =
      DecodeRle(data, format.bitCount, format.width, format.height);
  DecodedDib dib{format.width, format.height, std::vector<std::uint32_t>(indexes.size())};
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    dib.pixels[i] =
        indexes[i] == kRleNotDrawn ? 0 : format.colors[static_cast<std::size_t>(indexes[i])];
  }
  return dib;
}

// Decodes RLE codes the way GDI does. Pixels are drawn per stretch of a row: a stretch starts
// at the left edge or where a delta code lands, and it is drawn when an end-of-line,
// end-of-bitmap or delta code ends it. A stretch that the data cuts short is not drawn.
class RleDecoder {
 public:
  RleDecoder(std::span<const std::uint8_t> data, int bitCount, int width, int height)
      : data_(data),
        bitCount_(bitCount),
        width_(width),
        y_(height - 1),
        pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kRleNotDrawn) {}

  std::vector<std::int16_t> Decode() && {
    Run();
    return std::move(pixels_);
  }

 private:
  void Run() {
    while (at_ + 1 < data_.size()) {
      const std::uint8_t count = data_[at_];
      const std::uint8_t code = data_[at_ + 1];
      at_ += 2;
      if (count != 0) {
        Repeat(count, code);
      } else if (code == 0) {
        if (!NextLine()) return;
      } else if (code == 1) {
        return;
      } else if (code == 2) {
        if (!Move()) return;
      } else if (!CopyLiteral(code)) {
        break;
      }
    }
    DropStretch();
  }

  // An encoded run: `count` pixels of one value, or of two alternating 4-bit values.
  void Repeat(int count, std::uint8_t value) {
    const int drawn = std::min(count, width_ - x_);
    for (int i = 0; i < drawn; ++i) {
      Put(bitCount_ == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
    }
  }

  // An absolute run: `count` pixels as they are, padded to a 16-bit boundary. False when the
  // data ends inside it.
  bool CopyLiteral(int count) {
    const std::size_t bytes = (static_cast<std::size_t>(count) * bitCount_ + 7) / 8;
    if (bytes > data_.size() - at_) return false;
    const std::span<const std::uint8_t> literal = data_.subspan(at_, bytes);
    const int drawn = std::min(count, width_ - x_);
    for (int i = 0; i < drawn; ++i) {
      const std::uint8_t byte = literal[bitCount_ == 8 ? i : i / 2];
      Put(bitCount_ == 8 ? byte : (i % 2 == 0 ? byte >> 4 : byte & 0x0F));
    }
    at_ += bytes + bytes % 2;
    return true;
  }

  bool NextLine() {
    x_ = stretchStart_ = 0;
    return --y_ >= 0;
  }

  // Delta: right and up (down the bottom-up rows). False when the data or the bitmap ends.
  bool Move() {
    if (at_ + 1 >= data_.size()) return false;
    x_ = std::min(x_ + data_[at_], width_);
    stretchStart_ = x_;
    y_ -= data_[at_ + 1];
    at_ += 2;
    return y_ >= 0;
  }

  void Put(int index) {
    pixels_[static_cast<std::size_t>(y_) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x_)] = static_cast<std::int16_t>(index);
    ++x_;
  }

  void DropStretch() {
    const auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y_) * width_;
    std::fill(row + stretchStart_, row + x_, kRleNotDrawn);
  }

  std::span<const std::uint8_t> data_;
  int bitCount_;
  int width_;
  int x_ = 0;
  int y_;  // rows counted from the top; the data starts at the bottom
  int stretchStart_ = 0;
  std::size_t at_ = 0;
  std::vector<std::int16_t> pixels_;
};

}  // namespace

Result<DecodedDib> DecodeDib(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits) {
  const std::optional<DibHeader> header = ReadDibHeader(info);
  if (!header) return Status::Failure("header cut short or of an unknown size");
  const Result<PixelFormat> format = ReadFormat(*header, info);
  if (!format) return format.status();
  if (IsRle(*header)) return DecodeRleDib(*header, *format, bits);
  return DecodeRows(*header, *format, bits);
}

std::vector<std::int16_t> DecodeRle(std::span<const std::uint8_t> data, int bitCount, int width,
                                    int height) {
  if ((bitCount != 4 && bitCount != 8) || width <= 0 || height <= 0) return {};
  return RleDecoder(data, bitCount, width, height).Decode();
}

}  // namespace kelna
