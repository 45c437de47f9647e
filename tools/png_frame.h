#pragma once
// Sprite frames authored as one PNG with alpha instead of an image and a mask: reading a
// PNG into RGBA pixels within set limits, turning those pixels into the image and mask the
// frame step draws (mask with AND, then image with OR), and telling whether a frame's image
// and mask can go back into one PNG.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "platform/dib.h"

namespace kelna::tool {

using Bytes = std::vector<std::uint8_t>;

// The limits a PNG frame is read within, checked on its header before any pixel is decoded.
inline constexpr std::uintmax_t kMaxPngFileSize = 64u << 20;
inline constexpr int kMaxPngDimension = kMaxDibDimension;
inline constexpr std::uint64_t kMaxPngPixels = 1u << 24;  // 64 MiB as 8-bit RGBA
// A pixel whose alpha is at least this covers the background; one below it leaves it seen.
inline constexpr int kDefaultAlphaThreshold = 128;

// Why a PNG cannot be a frame ("not a PNG file", "broken PNG: ...", a size over the limits).
class PngError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// 8-bit straight (not premultiplied) RGBA, rows top first.
struct RgbaImage {
  int width = 0;
  int height = 0;
  Bytes rgba;  // width * height * 4
};

// Any PNG colour type, bit depth and interlacing; 16-bit channels keep their high byte.
// PngError when the file is no PNG, is broken, or its header's size passes the limits.
RgbaImage DecodePng(std::span<const std::uint8_t> file);

struct FrameForm {
  int alphaThreshold = kDefaultAlphaThreshold;  // 1 ... 255
  bool palette = false;  // 8 bits with a colour table when the image has at most 256 colours
};

// BMP files in the stream form object files hold: the image (24-bit, or 8-bit under
// form.palette) is the PNG's colour where alpha reaches the threshold and black elsewhere;
// the 1-bit mask is black where alpha reaches the threshold and white elsewhere.
struct FrameBitmaps {
  Bytes image;
  Bytes mask;
};
FrameBitmaps FrameFromRgba(const RgbaImage& pixels, const FrameForm& form);

// The one PNG picture of a decoded image and mask of the same size: opaque where the mask
// is black, fully transparent (and black) where it is white. Nothing when a mask pixel is
// neither, or the image is not black under the mask's white.
std::optional<RgbaImage> RgbaFromFrame(const DecodedDib& image, const DecodedDib& mask);

}  // namespace kelna::tool
