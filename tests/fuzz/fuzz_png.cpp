// Any bytes as a PNG frame: refused, or an image and mask that the loader keeps, that draw exactly
// the pixels whose alpha reaches the threshold (the last byte), and that unpack --png keeps too.
#include <algorithm>
#include <cstdlib>

#include "sprites/dib_loader.h"
#include "tools/png_frame.h"

using namespace kelna;

static DecodedDib Decoded(const tool::Bytes& bmp) {
  const TDib dib = TDib::FromBytes(bmp);  // kept as it is: the loader's own layout
  auto decoded = DecodeDib(dib.Info(), dib.Bits());
  if (!decoded || !std::ranges::equal(dib.Block(), std::span(bmp).subspan(14))) std::abort();
  return std::move(*decoded);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tool::RgbaImage png;
  try {
    png = tool::DecodePng({data, size});
  } catch (const tool::PngError&) {
    return 0;
  }
  const tool::FrameForm form{1 + data[size - 1] % 255, (data[size - 1] & 1) != 0};
  const tool::FrameBitmaps frame = tool::FrameFromRgba(png, form);
  const DecodedDib image = Decoded(frame.image), mask = Decoded(frame.mask);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    const std::uint8_t* p = &png.rgba[4 * i];
    const bool covers = p[3] >= form.alphaThreshold;
    const std::uint32_t colour = covers ? std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2] : 0;
    if (image.pixels[i] != colour || mask.pixels[i] != (covers ? 0 : 0xFFFFFF)) std::abort();
  }
  const auto back = tool::RgbaFromFrame(image, mask);
  if (!back || tool::FrameFromRgba(*back, form).image != frame.image) std::abort();
  return 0;
}
