// kelna-tool sheet FILE.foe OUT.png: a contact sheet of an object file. Every object gets a
// label with its number and name and then its frames in rows, each over a checkerboard as
// the frame step draws it over the background (mask AND, then image OR; a frame without a
// mask copied whole), with its frame number beneath.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/dib.h"
#include "platform/text.h"
#include "tools/bitmap_font.h"
#include "tools/commands.h"
#include "tools/image_output.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] = "sheet FILE.foe OUT.png";

constexpr int kMargin = 8;       // around everything, and between frames
constexpr int kLabelScale = 2;   // object labels: 10 × 16 pixel characters
constexpr int kNumberGap = 2;    // between a frame and its number
constexpr int kRowWidth = 1024;  // frames wrap to a new row past this width (a wider one stands alone)
constexpr int kChecker = 8;      // the checkerboard's squares
constexpr Pixel kPaper = 0x202830, kInk = 0xF0F0F0, kLight = 0xD0D0D0, kDark = 0x909090;
constexpr int kLabelHeight = kGlyphHeight * kLabelScale;
constexpr int kNumberHeight = kGlyphHeight;

// A frame as drawn over the checkerboard; no pixels when it has no picture.
struct Cell {
  int number = 0;
  int width = 2 * kChecker, height = 2 * kChecker;
  std::vector<Pixel> pixels;
};

// The slot's picture decoded, following "previous" back to the nearest earlier picture.
std::optional<DecodedDib> Picture(const ZoSpriteData& object, int frame, bool mask) {
  for (int i = frame; i >= 0; --i) {
    const ZoSpriteData::ImagePair& pair = *(*object.images)[std::size_t(i)];
    const ZoSpriteData::ImageSlot& slot = mask ? pair.mask : pair.image;
    if (slot.IsUsePrevious()) continue;
    if (!slot.Image()) return std::nullopt;
    const std::vector<std::uint8_t> stream = StreamFormOf(*slot.Image());
    const Result<TDib> dib = TDib::Parse(stream);
    if (!dib) return std::nullopt;
    Result<DecodedDib> decoded = DecodeDib(dib->Info(), dib->Bits());
    if (!decoded) return std::nullopt;
    return std::move(decoded).value();
  }
  return std::nullopt;
}

Pixel Checker(int x, int y) { return (x / kChecker + y / kChecker) % 2 ? kDark : kLight; }

Cell Draw(const ZoSpriteData& object, int frame) {
  Cell cell;
  cell.number = frame;
  const std::optional<DecodedDib> image = Picture(object, frame, false);
  if (!image) return cell;
  const std::optional<DecodedDib> mask = Picture(object, frame, true);
  cell.width = image->width;
  cell.height = image->height;
  cell.pixels.resize(image->pixels.size());
  for (int y = 0; y < cell.height; ++y)
    for (int x = 0; x < cell.width; ++x) {
      const std::size_t i = std::size_t(y) * std::size_t(cell.width) + std::size_t(x);
      const Pixel colour = image->pixels[i] & 0xFFFFFF;
      if (!mask) {
        cell.pixels[i] = colour;
        continue;
      }
      // Outside a smaller mask the AND leaves the background as it is.
      const bool inMask = x < mask->width && y < mask->height;
      const Pixel covers =
          inMask ? mask->pixels[std::size_t(y) * std::size_t(mask->width) + std::size_t(x)] : 0xFFFFFF;
      cell.pixels[i] = (Checker(x, y) & covers & 0xFFFFFF) | colour;
    }
  return cell;
}

// An object's block: its label, then its frames in rows.
struct Block {
  std::u16string label;
  std::vector<Cell> cells;
  std::vector<std::pair<int, int>> places;  // each cell's top left, from the block's
  int width = 0, height = 0;
};

Block Lay(const ZoSpriteData& object, std::size_t number) {
  Block block;
  const int frames = object.PairCount();
  block.label = Cp932ToUtf16(std::to_string(number) + "  " + object.name + "  (" + std::to_string(frames) +
                             (frames == 1 ? " frame)" : " frames)"));
  block.width = TextWidth(block.label, kLabelScale);
  block.height = kLabelHeight;
  int x = 0, y = kLabelHeight + kMargin, rowHeight = 0;
  for (int i = 0; i < frames; ++i) {
    Cell cell = Draw(object, i);
    const int width = std::max(cell.width, TextWidth(Cp932ToUtf16(std::to_string(i)), 1));
    if (x > 0 && x + width > kRowWidth) {
      x = 0;
      y += rowHeight + kMargin;
      rowHeight = 0;
    }
    block.places.emplace_back(x, y);
    rowHeight = std::max(rowHeight, cell.height + kNumberGap + kNumberHeight);
    block.width = std::max(block.width, x + width);
    block.height = y + rowHeight;
    x += width + kMargin;
    block.cells.push_back(std::move(cell));
  }
  return block;
}

void Paint(const PixelRows& rows, const Block& block, int top) {
  DrawText(rows, kMargin, top, block.label, kLabelScale, kInk);
  for (std::size_t i = 0; i < block.cells.size(); ++i) {
    const Cell& cell = block.cells[i];
    const int left = kMargin + block.places[i].first, y0 = top + block.places[i].second;
    for (int y = 0; y < cell.height; ++y)
      for (int x = 0; x < cell.width; ++x)
        rows.Row(y0 + y)[left + x] = cell.pixels.empty()
                                         ? Checker(x, y)
                                         : cell.pixels[std::size_t(y) * std::size_t(cell.width) + std::size_t(x)];
    DrawText(rows, left, y0 + cell.height + kNumberGap, Cp932ToUtf16(std::to_string(cell.number)), 1, kInk);
  }
}

void WriteSheet(const fs::path& input, const fs::path& output) {
  const ZoSpriteAnimation::ObjectList objects = Take(LoadObjectFile(input));
  std::vector<Block> blocks;
  std::int64_t width = 2 * kMargin + TextWidth(u"no objects", kLabelScale), height = kMargin;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    blocks.push_back(Lay(*objects[i], i));
    width = std::max<std::int64_t>(width, 2 * kMargin + blocks.back().width);
    height += blocks.back().height + 2 * kMargin;
    if (width > kMaxDibDimension || height * width * 4 > std::int64_t(kMaxDibPixelBytes))
      throw ToolError(PathText(input) + ": a sheet of its frames would be larger than " +
                      std::to_string(kMaxDibPixelBytes >> 20) + " MiB of pixels");
  }
  if (blocks.empty()) height += kLabelHeight + kMargin;
  Bitmap sheet(int(width), int(height), std::vector<Pixel>(std::size_t(width) * std::size_t(height), kPaper));
  const PixelRows rows{sheet.Pixels().data(), sheet.Width(), sheet.Height(), sheet.Width()};
  if (blocks.empty()) DrawText(rows, kMargin, kMargin, u"no objects", kLabelScale, kInk);
  int top = kMargin;
  for (const Block& block : blocks) {
    Paint(rows, block, top);
    top += block.height + 2 * kMargin;
  }
  if (const Status written = WritePicture(sheet, output); !written) throw ToolError(written.message());
}

}  // namespace

int Sheet(std::span<const std::string_view> args) {
  std::vector<std::string_view> files;
  bool filesOnly = false;  // after "--"
  for (const std::string_view arg : args) {
    if (!filesOnly && arg == "--")
      filesOnly = true;
    else if (!filesOnly && arg.starts_with("--"))
      return UsageError(kUsage);
    else
      files.push_back(arg);
  }
  if (files.size() != 2) return UsageError(kUsage);
  try {
    WriteSheet(fs::path(std::string(files[0])), fs::path(std::string(files[1])));
  } catch (const ToolError& failure) {
    return Report(failure.what());
  }
  return 0;
}

}  // namespace kelna::tool
