#pragma once
// Animated previews: the window after each tick as one lossless animated WebP, through
// libwebp's animation encoder, which stores each frame as the rectangle that changed since
// the frame before. Builds without libwebp (the Windows one) write none and say so.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/raster.h"

namespace kelna::tool {

// ToolError saying so when this build writes no WebP.
void CheckWebpOutput();

// Frames of one size added in order, each shown for `frameMilliseconds`; Finish gives the
// file's bytes. ToolError when the build writes no WebP or the encoder fails.
class AnimatedWebp {
 public:
  AnimatedWebp(int width, int height, int frameMilliseconds);
  ~AnimatedWebp();
  AnimatedWebp(const AnimatedWebp&) = delete;
  AnimatedWebp& operator=(const AnimatedWebp&) = delete;

  void Add(const Bitmap& frame);
  std::string Finish();

 private:
  struct Encoder;
  std::unique_ptr<Encoder> encoder_;
  int frameMilliseconds_;
  long frames_ = 0;
};

}  // namespace kelna::tool
