#include "tools/webp_output.h"

#include <limits>

#include "tools/tool_files.h"

#ifdef KELNA_HAVE_WEBP
#include <webp/encode.h>
#include <webp/mux.h>
#endif

namespace kelna::tool {

#ifdef KELNA_HAVE_WEBP
struct AnimatedWebp::Encoder {
  struct Delete {
    void operator()(WebPAnimEncoder* encoder) const { WebPAnimEncoderDelete(encoder); }
  };
  std::unique_ptr<WebPAnimEncoder, Delete> animation;
  WebPConfig config;
  int width, height;
};

namespace {

// A picture of the frame's pixels, opaque, freed when it goes.
class Picture {
 public:
  explicit Picture(const Bitmap& frame) {
    WebPPictureInit(&picture_);
    picture_.use_argb = 1;
    picture_.width = frame.Width();
    picture_.height = frame.Height();
    if (!WebPPictureAlloc(&picture_)) throw ToolError("WebP: out of memory for a frame");
    for (int y = 0; y < frame.Height(); ++y) {
      std::uint32_t* row = picture_.argb + std::ptrdiff_t(y) * picture_.argb_stride;
      for (const Pixel pixel : frame.Row(y)) *row++ = 0xFF000000u | pixel;
    }
  }
  ~Picture() { WebPPictureFree(&picture_); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  WebPPicture* get() { return &picture_; }

 private:
  WebPPicture picture_;
};

std::string EncoderError(WebPAnimEncoder* encoder) {
  return std::string("WebP encoder: ") + WebPAnimEncoderGetError(encoder);
}

}  // namespace

void CheckWebpOutput() {}

AnimatedWebp::AnimatedWebp(int width, int height, int frameMilliseconds)
    : encoder_(std::make_unique<Encoder>()), frameMilliseconds_(frameMilliseconds) {
  WebPAnimEncoderOptions options;
  if (!WebPAnimEncoderOptionsInit(&options)) throw ToolError("WebP: the library does not match its headers");
  options.anim_params.loop_count = 0;  // for ever
  options.allow_mixed = 0;             // every frame lossless
  // No key frames but the first: each later frame stores only what changed. (Key frames
  // would let a player seek; a preview plays from the start.)
  options.kmax = std::numeric_limits<int>::max();
  options.kmin = options.kmax - 1;
  encoder_->animation.reset(WebPAnimEncoderNew(width, height, &options));
  if (!encoder_->animation || !WebPConfigInit(&encoder_->config) ||
      !WebPConfigLosslessPreset(&encoder_->config, 1))
    throw ToolError("WebP: cannot start the encoder");
  encoder_->width = width;
  encoder_->height = height;
}

AnimatedWebp::~AnimatedWebp() = default;

void AnimatedWebp::Add(const Bitmap& frame) {
  if (frame.Width() != encoder_->width || frame.Height() != encoder_->height)
    throw ToolError("WebP: a frame of another size");
  Picture picture(frame);
  const int start = int(frames_ * frameMilliseconds_);
  if (!WebPAnimEncoderAdd(encoder_->animation.get(), picture.get(), start, &encoder_->config))
    throw ToolError(EncoderError(encoder_->animation.get()));
  ++frames_;
}

std::string AnimatedWebp::Finish() {
  WebPAnimEncoder* animation = encoder_->animation.get();
  if (!WebPAnimEncoderAdd(animation, nullptr, int(frames_ * frameMilliseconds_), nullptr))
    throw ToolError(EncoderError(animation));
  WebPData data;
  WebPDataInit(&data);
  if (!WebPAnimEncoderAssemble(animation, &data)) throw ToolError(EncoderError(animation));
  std::string bytes(reinterpret_cast<const char*>(data.bytes), data.size);
  WebPDataClear(&data);
  return bytes;
}

#else

struct AnimatedWebp::Encoder {};

void CheckWebpOutput() {
  throw ToolError("this kelna-tool is built without WebP output (libwebp); write PNG frames into a folder instead");
}

AnimatedWebp::AnimatedWebp(int, int, int frameMilliseconds) : frameMilliseconds_(frameMilliseconds) {
  CheckWebpOutput();
}
AnimatedWebp::~AnimatedWebp() = default;
void AnimatedWebp::Add(const Bitmap&) {}
std::string AnimatedWebp::Finish() { return {}; }

#endif

}  // namespace kelna::tool
