#include "tools/sprite_sheet.h"

#include <algorithm>

#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

std::string Size(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

// The frames `first` ... first + count - 1 of `total`, checked.
std::pair<int, int> Chosen(int total, int first, std::optional<int> count, const char* what) {
  const std::string holds = ", of the " + std::to_string(total) + " " + what + " it holds";
  if (first < 0 || first >= total) throw ToolError("frame " + std::to_string(first) + " is asked for first" + holds);
  const int n = count.value_or(total - first);
  if (n < 1 || std::int64_t(first) + n > total)
    throw ToolError("frames " + std::to_string(first) + " to " + std::to_string(std::int64_t(first) + n - 1) +
                    " are asked for" + holds);
  return {first, n};
}

void CheckTotal(std::uint64_t frames, std::uint64_t pixelsEach) {
  if (frames * pixelsEach > kMaxSheetFramePixels)
    throw ToolError(std::to_string(frames) + " frames of " + std::to_string(pixelsEach) +
                    " pixels, more than the frames of one sheet may hold (" + std::to_string(kMaxSheetFramePixels) +
                    " pixels in all)");
}

// A frame of width × height, transparent but for the sheet's rectangle (x, y, w, h) copied
// to (left, top).
RgbaImage Cut(const RgbaImage& sheet, const SheetFrame& at, int width, int height) {
  RgbaImage frame{width, height, Bytes(std::size_t(width) * std::size_t(height) * 4)};
  // The byte offset of pixel (x, y) in a picture `across` pixels wide.
  const auto offset = [](int x, int y, int across) {
    return std::ptrdiff_t((std::size_t(y) * std::size_t(across) + std::size_t(x)) * 4);
  };
  for (int row = 0; row < at.height; ++row) {
    const auto from = sheet.rgba.begin() + offset(at.x, at.y + row, sheet.width);
    std::copy(from, from + std::ptrdiff_t(at.width) * 4, frame.rgba.begin() + offset(at.left, at.top + row, width));
  }
  return frame;
}

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
};

// {"x", "y", "w", "h"} (without "x" and "y" for a size), sides of at least 1.
Box ReadBox(const Json& value, bool position, const std::string& where) {
  if (!value.is_object()) Fail(where, "must be an object with " + std::string(position ? "x, y, w and h" : "w and h"));
  const auto field = [&](const char* name, std::int64_t min) {
    if (!value.contains(name)) Fail(where, "has no \"" + std::string(name) + "\"");
    return int(Integer(value.at(name), min, kMaxPngDimension, where + "." + name));
  };
  Box box;
  if (position) {
    box.x = field("x", 0);
    box.y = field("y", 0);
  }
  box.w = field("w", 1);
  box.h = field("h", 1);
  return box;
}

// One entry of "frames": its rectangle, and its place in a frame of sourceSize.
SheetFrame ReadFrame(const Json& entry, const std::string& where, Box& sourceSize) {
  if (!entry.is_object()) Fail(where, "must be a JSON object");
  if (!entry.contains("frame")) Fail(where, "has no \"frame\" rectangle");
  if (entry.contains("rotated") && entry.at("rotated") != false)
    Fail(where + ".rotated", "rotated frames are not read; export the sheet without rotation");
  const Box frame = ReadBox(entry.at("frame"), true, where + ".frame");
  const Box placed = entry.contains("spriteSourceSize")
                         ? ReadBox(entry.at("spriteSourceSize"), true, where + ".spriteSourceSize")
                         : Box{0, 0, frame.w, frame.h};
  sourceSize = entry.contains("sourceSize") ? ReadBox(entry.at("sourceSize"), false, where + ".sourceSize")
                                            : Box{0, 0, frame.w, frame.h};
  if (placed.w != frame.w || placed.h != frame.h)
    Fail(where + ".spriteSourceSize", Size(placed.w, placed.h) + " is not the size of its frame rectangle (" +
                                          Size(frame.w, frame.h) + ")");
  if (placed.x + placed.w > sourceSize.w || placed.y + placed.h > sourceSize.h)
    Fail(where + ".spriteSourceSize", "the rectangle at " + std::to_string(placed.x) + ", " + std::to_string(placed.y) +
                                          " does not fit in the sourceSize " + Size(sourceSize.w, sourceSize.h));
  return {where, frame.x, frame.y, frame.w, frame.h, placed.x, placed.y};
}

}  // namespace

std::vector<RgbaImage> CutCells(const RgbaImage& sheet, const CellGrid& grid) {
  if (grid.cellWidth < 1 || grid.cellHeight < 1 || sheet.width % grid.cellWidth || sheet.height % grid.cellHeight)
    throw ToolError(Size(sheet.width, sheet.height) + " pixels do not divide into cells of " +
                    Size(grid.cellWidth, grid.cellHeight));
  const int across = sheet.width / grid.cellWidth, total = across * (sheet.height / grid.cellHeight);
  const auto [first, count] = Chosen(total, grid.first, grid.count, "cells");
  std::vector<RgbaImage> frames;
  for (int i = first; i < first + count; ++i) {
    const SheetFrame cell{"", i % across * grid.cellWidth, i / across * grid.cellHeight, grid.cellWidth,
                          grid.cellHeight, 0, 0};
    frames.push_back(Cut(sheet, cell, grid.cellWidth, grid.cellHeight));
  }
  return frames;
}

SheetExport ReadSheetExport(const Json& document) {
  const Json* frames = document.is_object() && document.contains("frames") ? &document.at("frames") : nullptr;
  if (!frames || !(frames->is_array() || frames->is_object()))
    Fail("frames", "not a sheet export of a known form: \"frames\" must be an array (Aseprite's array form) or an "
                   "object keyed by frame name (its hash form)");
  if (frames->empty()) Fail("frames", "holds no frame");
  if (frames->size() > 0x7FFF) Fail("frames", "more than 32767 frames");
  const Json* meta = document.contains("meta") ? &document.at("meta") : nullptr;
  if (!meta || !meta->is_object() || !meta->contains("image") || !meta->at("image").is_string() ||
      meta->at("image").get_ref<const std::string&>().empty())
    Fail("meta.image", "must name the sheet picture");

  SheetExport layout{meta->at("image").get<std::string>(), 0, 0, {}};
  for (const auto& [key, entry] : frames->items()) {
    const std::string where =
        frames->is_array() ? "frames[" + key + "]" : "frames[" + Quoted(key) + "]";
    Box size;
    layout.frames.push_back(ReadFrame(entry, where, size));
    if (layout.frames.size() == 1) {
      layout.frameWidth = size.w;
      layout.frameHeight = size.h;
    } else if (size.w != layout.frameWidth || size.h != layout.frameHeight) {
      Fail(where, "frames of different sizes: this one is " + Size(size.w, size.h) + ", " +
                      layout.frames.front().name + " " + Size(layout.frameWidth, layout.frameHeight));
    }
  }
  return layout;
}

std::vector<RgbaImage> CutFrames(const RgbaImage& sheet, const SheetExport& layout, int first,
                                 std::optional<int> count) {
  const auto [from, n] = Chosen(int(layout.frames.size()), first, count, "frames");
  CheckTotal(std::uint64_t(n), std::uint64_t(layout.frameWidth) * std::uint64_t(layout.frameHeight));
  std::vector<RgbaImage> frames;
  for (int i = from; i < from + n; ++i) {
    const SheetFrame& at = layout.frames[std::size_t(i)];
    if (at.x + at.width > sheet.width || at.y + at.height > sheet.height)
      Fail(at.name + ".frame", "the rectangle " + std::to_string(at.x) + ", " + std::to_string(at.y) + ", " +
                                   Size(at.width, at.height) + " lies outside the sheet (" +
                                   Size(sheet.width, sheet.height) + ")");
    frames.push_back(Cut(sheet, at, layout.frameWidth, layout.frameHeight));
  }
  return frames;
}

}  // namespace kelna::tool
