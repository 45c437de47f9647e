#pragma once
// Labels in pictures kelna-tool draws: a 5 × 8 bitmap font of our own for printable ASCII,
// every other character a hollow box of the same width.

#include <string_view>

#include "platform/raster.h"

namespace kelna::tool {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 8;  // 7 rows above the baseline, 1 below
inline constexpr int kGlyphAdvance = 6;

// The width `text` takes with each font pixel a scale × scale square.
int TextWidth(std::u16string_view text, int scale);

// Draws `text` with its top left corner at (x, y), clipped to the rows. A surrogate pair is
// one character.
void DrawText(const PixelRows& target, int x, int y, std::u16string_view text, int scale, Pixel colour);

}  // namespace kelna::tool
