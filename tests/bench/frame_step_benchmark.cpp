// The frame step on a full-HD window with 10, 100 and 1000 bouncing 32 x 32 sprites, each
// tick against one full-window copy (a naive redraw) measured in the same run.

#include <memory>
#include <sstream>

#include "engine/sprite_animation.h"
#include "platform/random.h"
#include "sprites/bmp_image.h"
#include "tests/bench/ratio_reporter.h"
#include "tests/support/dib_builder.h"

namespace kelna {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::unique_ptr<ZoImage> Solid(std::uint32_t colour) {
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream is(test::StreamForm(test::SolidDib(32, 32, colour)));
  image->Read(is);
  return image;
}

struct Scene {
  RecordingPresenter presenter{kWidth, kHeight};
  WindowDC window{presenter, kWidth, kHeight};
  ZoSpriteAnimation scene;

  explicit Scene(int count) {
    auto object = std::make_unique<ZoSpriteData>();
    object->name = "ball";
    for (short f = 0; f < 4; ++f) {
      object->AddImage(Solid(0x00FF0000u >> (f * 4)), f, PairPart::Image);
      object->AddImage(Solid(0x000000), f, PairPart::Mask);
    }
    scene.objects.push_back(std::move(object));
    SeedRandom(7);
    for (int i = 0; i < count; ++i) {
      ZoAnimatedSprite* sprite = scene.NewSprite();
      sprite->SetObjectName("ball");
      sprite->behaviour = BehaveBound;
      sprite->imageWidth = sprite->imageHeight = 32;
      sprite->frameCount = 4;
      sprite->speedX = Random() % 9 - 4;
      sprite->speedY = Random() % 9 - 4;
    }
    scene.TieUpObjects();
    scene.InitAnimation(window, kWidth, kHeight, nullptr, nullptr);
  }
};

void FrameStep(benchmark::State& state) {
  Scene scene(int(state.range(0)));
  for (auto _ : state) {
    scene.scene.Animate(scene.window, 0, 0);
    scene.presenter.ClearLog();
  }
  state.SetComplexityN(state.range(0));
}

void FullWindowCopy(benchmark::State& state) {
  Scene scene(0);
  auto source = CreateCompatibleDC(nullptr);
  auto bitmap = CreateCompatibleBitmap(*source, kWidth, kHeight);
  source->SelectBitmap(bitmap.get());
  for (auto _ : state) {
    BitBlt(scene.window, 0, 0, kWidth, kHeight, *source, 0, 0, RasterOp::SourceCopy);
    scene.presenter.ClearLog();
  }
}

BENCHMARK(FullWindowCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(FrameStep)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond)->Complexity();

}  // namespace
}  // namespace kelna

int main(int argc, char** argv) { return kelna::bench::RunAgainst("FullWindowCopy", argc, argv); }
