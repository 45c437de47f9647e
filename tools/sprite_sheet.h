#pragma once
// A sprite's frames cut from one sheet picture: either a grid of equal cells, read left to
// right and top to bottom, or the frame rectangles of a sheet editor's JSON export
// (Aseprite's "array" and "hash" forms, whose trimmed frames are put back at their offset
// in the sprite's full size). Each frame comes out as the RGBA pixels a PNG frame of its
// own would give, so that pack makes its image and mask from the alpha in the same way.

#include <optional>
#include <string>
#include <vector>

#include "tools/manifest_values.h"
#include "tools/png_frame.h"

namespace kelna::tool {

// The frames of all the sheet's frames together may hold at most this many pixels (256 MiB
// as RGBA): a few rectangles of an export can otherwise ask for any number of copies.
inline constexpr std::uint64_t kMaxSheetFramePixels = 1u << 26;

// Which cells of a grid become frames: `count` cells from the `first` (0 is the top left).
struct CellGrid {
  int cellWidth = 0, cellHeight = 0;
  int first = 0;
  std::optional<int> count;  // default: every cell from `first` on
};

// ToolError ("WHY", for the caller to put after the file's name) when the cells do not
// divide the sheet or the cells asked for are not all there.
std::vector<RgbaImage> CutCells(const RgbaImage& sheet, const CellGrid& grid);

// One frame of an export: its rectangle in the sheet and where that rectangle lies in the
// frame (a trimmed frame leaves out transparent borders).
struct SheetFrame {
  std::string name;  // as messages name it: frames[3] or frames["bird 3.aseprite"]
  int x = 0, y = 0, width = 0, height = 0;
  int left = 0, top = 0;
};

struct SheetExport {
  std::string image;  // meta.image: the sheet picture, relative to the export (UTF-8)
  int frameWidth = 0, frameHeight = 0;  // every frame's sourceSize
  std::vector<SheetFrame> frames;       // in the export's order
};

// The export's frames, checked on their own: ToolError "WHERE: WHY" for a form that is
// neither of Aseprite's, a rectangle that does not fit its frame, frames of different sizes.
SheetExport ReadSheetExport(const Json& document);

// The frames cut from the sheet, `first` and `count` choosing among them as among cells.
// ToolError when a rectangle lies outside the sheet.
std::vector<RgbaImage> CutFrames(const RgbaImage& sheet, const SheetExport& layout, int first,
                                 std::optional<int> count);

}  // namespace kelna::tool
