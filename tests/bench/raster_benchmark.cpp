// The raster's blits on a full-HD surface against memcpy of the same rows.
#include <cstring>

#include "platform/raster.h"
#include "tests/bench/ratio_reporter.h"

namespace kelna {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Surface {
  std::unique_ptr<MemoryDC> dc = CreateCompatibleDC(nullptr);
  std::unique_ptr<Bitmap> bitmap = CreateCompatibleBitmap(*dc, kWidth, kHeight);
  explicit Surface(Pixel fill) {
    for (Pixel& p : bitmap->Pixels()) p = fill;
    dc->SelectBitmap(bitmap.get());
  }
};

void Memcpy(benchmark::State& state) {
  Surface source(0x123456), target(0);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y)
      std::memcpy(target.bitmap->Row(y).data(), source.bitmap->Row(y).data(), kWidth * sizeof(Pixel));
    benchmark::DoNotOptimize(target.bitmap->Pixels().data());
  }
}

void Blit(benchmark::State& state, RasterOp op) {
  Surface source(0x123456), target(0x00FF00);
  for (auto _ : state) {
    BitBlt(*target.dc, 0, 0, kWidth, kHeight, *source.dc, 0, 0, op);
    benchmark::DoNotOptimize(target.bitmap->Pixels().data());
  }
}

// A sprite the size of the surface: mask with SRCAND, then image with SRCPAINT, or both fused.
void MaskThenImage(benchmark::State& state, bool fused) {
  Surface mask(0xFFFFFF), image(0x000080), target(0x00FF00);
  for (auto _ : state) {
    if (fused) {
      DrawMasked(*target.dc, 0, 0, kWidth, kHeight, *mask.dc, *image.dc, 0, 0);
    } else {
      BitBlt(*target.dc, 0, 0, kWidth, kHeight, *mask.dc, 0, 0, RasterOp::SourceAnd);
      BitBlt(*target.dc, 0, 0, kWidth, kHeight, *image.dc, 0, 0, RasterOp::SourcePaint);
    }
    benchmark::DoNotOptimize(target.bitmap->Pixels().data());
  }
}

BENCHMARK(Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Blit, SRCCOPY, RasterOp::SourceCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Blit, SRCAND, RasterOp::SourceAnd)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(MaskThenImage, TwoBlits, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(MaskThenImage, Fused, true)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelna

int main(int argc, char** argv) { return kelna::bench::RunAgainst("Memcpy", argc, argv); }
