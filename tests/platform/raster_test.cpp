#include "platform/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace kelna {
namespace {

// A bitmap whose every pixel differs, so that a pixel taken from the wrong place shows.
std::unique_ptr<Bitmap> Numbered(int width, int height, Pixel base) {
  auto bitmap = std::make_unique<Bitmap>(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap->Row(y)[x] = base + Pixel(y * 0x10101 + x * 0x0303);
  return bitmap;
}

struct Selected {
  std::unique_ptr<MemoryDC> dc = CreateCompatibleDC(nullptr);
  std::unique_ptr<Bitmap> bitmap;
  explicit Selected(std::unique_ptr<Bitmap> b) : bitmap(std::move(b)) { dc->SelectBitmap(bitmap.get()); }
};

TEST(BitBltTest, GivesTheGdiTruthTablesForEveryPairOfByteValues) {
  const struct { RasterOp op; Pixel (*meaning)(Pixel d, Pixel s); } ops[] = {
      {RasterOp::SourceCopy, [](Pixel, Pixel s) { return s; }},
      {RasterOp::SourceAnd, [](Pixel d, Pixel s) { return d & s; }},
      {RasterOp::SourcePaint, [](Pixel d, Pixel s) { return d | s; }},
  };
  std::vector<Pixel> byColumn, byRow;  // the grey of x, and of y
  for (Pixel i = 0; i < 65536; ++i) byColumn.push_back(i % 256 * 0x010101), byRow.push_back(i / 256 * 0x010101);
  for (const auto& [op, meaning] : ops) {
    Selected source(std::make_unique<Bitmap>(256, 256, byColumn)), target(std::make_unique<Bitmap>(256, 256, byRow));
    ASSERT_TRUE(BitBlt(*target.dc, 0, 0, 256, 256, *source.dc, 0, 0, op));
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x)
        ASSERT_EQ(target.bitmap->At(x, y), meaning(Pixel(y) * 0x010101, Pixel(x) * 0x010101))
            << RasterOpName(op) << " at " << x << "," << y;
  }
}

// Every operation clips alike (SRCCOPY shows it); DrawMasked gives exactly the pixels of its
// two blits, wherever they clip. A blit of a 5 × 4 source onto an 8 × 6 target changes the
// rectangle `changed` and nothing else.
TEST(BitBltTest, ClipsToTargetAndSourceLikeGdi) {
  const struct { const char* what; int x, y, width, height, sourceX, sourceY; Rect changed; } cases[] = {
      {"inside both", 1, 1, 3, 2, 1, 1, {1, 1, 4, 3}}, {"zero width", 2, 2, 0, 3, 0, 0, {}},
      {"past the target's left", -2, 1, 4, 2, 0, 0, {0, 1, 2, 3}}, {"past its top", 1, -3, 2, 4, 0, 0, {1, 0, 3, 1}},
      {"past the target's right", 6, 0, 5, 2, 0, 0, {6, 0, 8, 2}}, {"past its bottom", 0, 4, 2, 4, 0, 0, {0, 4, 2, 6}},
      {"source left of it", 2, 2, 4, 1, -3, 0, {5, 2, 6, 3}}, {"above it", 2, 1, 1, 4, 0, -2, {2, 3, 3, 5}},
      {"source past its right", 0, 0, 8, 1, 2, 0, {0, 0, 3, 1}}, {"and its bottom", 0, 0, 1, 6, 0, 2, {0, 0, 1, 2}},
      {"clipped by both at once", -1, 3, 8, 8, 1, 1, {0, 3, 3, 6}},
      {"outside the target", 8, 0, 3, 3, 0, 0, {}}, {"outside the source", 0, 0, 3, 3, 5, 0, {}},
      {"negative sizes: the same rectangle from its far corner", 4, 3, -3, -2, 4, 3, {1, 1, 4, 3}},
  };
  const auto before = Numbered(8, 6, 0x00008000);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Selected source(Numbered(5, 4, 0x00400000));
    const int dx = c.sourceX - c.x, dy = c.sourceY - c.y;  // from a target pixel to its source
    Selected target(Numbered(8, 6, 0x00008000));
    ASSERT_TRUE(BitBlt(*target.dc, c.x, c.y, c.width, c.height, *source.dc, c.sourceX, c.sourceY,
                       RasterOp::SourceCopy));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool inside = x >= c.changed.left && x < c.changed.right && y >= c.changed.top && y < c.changed.bottom;
        ASSERT_EQ(target.bitmap->At(x, y), inside ? source.bitmap->At(x + dx, y + dy) : before->At(x, y))
            << "at " << x << "," << y;
      }
    Selected mask(Numbered(5, 4, 0x00F0F000)), image(Numbered(5, 4, 0x00000F0F));
    Selected fused(Numbered(8, 6, 0x00336699)), twice(Numbered(8, 6, 0x00336699));
    DrawMasked(*fused.dc, c.x, c.y, c.width, c.height, *mask.dc, *image.dc, c.sourceX, c.sourceY);
    BitBlt(*twice.dc, c.x, c.y, c.width, c.height, *mask.dc, c.sourceX, c.sourceY, RasterOp::SourceAnd);
    BitBlt(*twice.dc, c.x, c.y, c.width, c.height, *image.dc, c.sourceX, c.sourceY, RasterOp::SourcePaint);
    EXPECT_TRUE(std::ranges::equal(fused.bitmap->Pixels(), twice.bitmap->Pixels())) << "DrawMasked";
  }
}

TEST(BitBltTest, ReadsAnOverlappingSourceBeforeWritingAndRefusesWhatItCannotDo) {
  Selected both(Numbered(6, 1, 0));
  ASSERT_TRUE(BitBlt(*both.dc, 1, 0, 5, 1, *both.dc, 0, 0, RasterOp::SourceCopy));
  for (int x = 1; x < 6; ++x) EXPECT_EQ(both.bitmap->At(x, 0), Numbered(6, 1, 0)->At(x - 1, 0));
  Selected source(Numbered(2, 2, 0)), target(Numbered(2, 2, 0x100));
  EXPECT_FALSE(BitBlt(*target.dc, 0, 0, 2, 2, *source.dc, 0, 0, static_cast<RasterOp>(0x00660046)));
  EXPECT_TRUE(std::ranges::equal(target.bitmap->Pixels(), Numbered(2, 2, 0x100)->Pixels()));
}

TEST(WindowDCTest, BlitsAndFillsReachThePresenterClippedToTheWindowButCannotReadIt) {
  RecordingPresenter presenter(5, 4);
  WindowDC window(presenter, 5, 4);
  Selected source(Numbered(3, 3, 0x00200000));
  ASSERT_TRUE(BitBlt(window, 3, 2, 3, 3, *source.dc, 0, 0, RasterOp::SourceCopy));
  SolidBrush green(0x00FF00);
  EXPECT_EQ(window.SelectBrush(&green)->Colour(), 0xFFFFFFu) << "a context starts with the white brush";
  ASSERT_TRUE(PatBlt(window, 7, 1, -3, -2, RasterOp::PatternCopy));  // from the far corner: 4, -1, 3 x 2
  EXPECT_FALSE(PatBlt(window, 0, 0, 1, 1, RasterOp::SourceCopy));
  ASSERT_TRUE(BitBlt(window, 9, 9, 3, 3, *source.dc, 0, 0, RasterOp::SourceCopy));  // nothing visible
  EXPECT_EQ(presenter.Log(), (std::vector<RecordingPresenter::Record>{{{3, 2, 5, 4}, false, RasterOp::SourceCopy},
                                                                       {{4, 0, 5, 1}, true, RasterOp::PatternCopy}}));
  EXPECT_EQ(presenter.Window().At(4, 3), source.bitmap->At(1, 1));
  EXPECT_EQ(presenter.Window().At(4, 0), 0x00FF00u);
  EXPECT_EQ(presenter.Window().At(3, 1), 0u);
  EXPECT_FALSE(BitBlt(*source.dc, 0, 0, 2, 2, window, 0, 0, RasterOp::SourceCopy)) << "no pixels to read";
}

TEST(DeviceContextTest, SelectionsFollowGdiAndGuardsPutBackWhatWasThere) {
  auto dc = CreateCompatibleDC(nullptr), holder = CreateCompatibleDC(nullptr);
  auto bitmap = CreateCompatibleBitmap(*dc, 3, 2);
  Bitmap* own = holder->SelectBitmap(bitmap.get());
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->Width(), 1) << "a memory context starts with its own 1 x 1 bitmap";
  EXPECT_EQ(dc->SelectBitmap(bitmap.get()), nullptr) << "already selected elsewhere";
  holder.reset();
  EXPECT_NE(dc->SelectBitmap(bitmap.get()), nullptr) << "freed with its context";
  bitmap.reset();
  EXPECT_EQ(dc->Bounds(), (Rect{0, 0, 1, 1})) << "back to its own bitmap";
  const std::pair<int, int> sizes[] = {{0, 5}, {5, -1}, {32768, 1}, {32767, 32767}};  // the last: 4 GiB
  for (const auto& [width, height] : sizes)
    EXPECT_EQ(CreateCompatibleBitmap(*dc, width, height), nullptr) << width << " x " << height;
  holder = CreateCompatibleDC(nullptr);
  auto before = CreateCompatibleBitmap(*dc, 2, 3);
  bitmap = CreateCompatibleBitmap(*dc, 3, 3);
  EXPECT_EQ(std::ranges::count(before->Pixels(), 0u), 6) << "a new bitmap is black";
  const Palette paletteBefore({{1, 2, 3, 0}}), palette({{4, 5, 6, 0}});
  dc->SelectBitmap(before.get());  // not the context's own: that one must come back
  dc->SelectPalette(&paletteBefore, false);
  for (PaletteRestore restore : {PaletteRestore::Foreground, PaletteRestore::BackgroundRealised}) {
    const ScopedSelection selection(*dc, bitmap.get());
    const ScopedPalette paletted(*dc, &palette, restore);
    EXPECT_EQ(std::tuple(bool(selection), dc->Surface(), dc->SelectedPalette()),
              std::tuple(true, bitmap.get(), &palette));
  }
  EXPECT_EQ(dc->Surface(), before.get());
  EXPECT_EQ(bitmap->SelectedInto(), nullptr) << "free for another context";
  EXPECT_EQ(dc->SelectedPalette(), &paletteBefore);
  holder->SelectBitmap(bitmap.get());
  {
    const ScopedSelection refused(*dc, bitmap.get()), none(*dc, nullptr);
    const ScopedPalette noPalette(*dc, nullptr, PaletteRestore::Foreground);
    EXPECT_FALSE(refused || none);
    EXPECT_EQ(dc->SelectedPalette(), &paletteBefore);
  }
  EXPECT_EQ(holder->Surface(), bitmap.get()) << "still where it was";
  EXPECT_EQ(dc->Surface(), before.get());
}

TEST(GetDIBitsTest, WritesBottomUpRowsOfBlueGreenRed) {
  Bitmap bitmap(2, 2, {0x00112233, 0x00445566, 0x00778899, 0x00AABBCC});
  std::vector<std::uint8_t> bits32(16), bits24(16);
  ASSERT_EQ(GetDIBits(bitmap, 0, 2, 32, bits32), 2);
  EXPECT_EQ(bits32, (std::vector<std::uint8_t>{0x99, 0x88, 0x77, 0, 0xCC, 0xBB, 0xAA, 0,
                                                0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0}));
  ASSERT_EQ(GetDIBits(bitmap, 1, 5, 24, bits24), 1) << "only the lines that exist";
  EXPECT_EQ(std::vector<std::uint8_t>(bits24.begin(), bits24.begin() + 8),
            (std::vector<std::uint8_t>{0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0}));
  EXPECT_EQ(GetDIBits(bitmap, 0, 2, 8, bits32), 0);
  EXPECT_EQ(GetDIBits(bitmap, 0, 2, 32, std::span(bits32).first(15)), 0) << "buffer too small";
}

}  // namespace
}  // namespace kelna
