#include "platform/raster.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace kelna {
namespace {

constexpr RasterOp kSourceOps[] = {RasterOp::SourceCopy, RasterOp::SourceAnd, RasterOp::SourcePaint};

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

TEST(RasterOpTest, TruthTablesGiveTheGdiMeanings) {
  // The reference reads each code's truth table; these are the meanings GDI documents.
  const Pixel d = 0x00A5C3F0, s = 0x005A3C0F, p = 0x00123456;
  EXPECT_EQ(ApplyRasterOp(RasterOp::SourceCopy, d, s, p), s);
  EXPECT_EQ(ApplyRasterOp(RasterOp::SourceAnd, d, s, p), d & s);
  EXPECT_EQ(ApplyRasterOp(RasterOp::SourcePaint, d, s, p), d | s);
  EXPECT_EQ(ApplyRasterOp(RasterOp::PatternCopy, d, s, p), p);
}

TEST(RasterOpTest, BlitsMatchTheTruthTableForEveryByteValue) {
  // 256 × 256 pairs of byte values, each pair in all three colour channels.
  for (RasterOp op : kSourceOps) {
    Selected source(std::make_unique<Bitmap>(256, 256));
    Selected target(std::make_unique<Bitmap>(256, 256));
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) {
        source.bitmap->Row(y)[x] = Pixel(x) * 0x010101;
        target.bitmap->Row(y)[x] = Pixel(y) * 0x010101;
      }
    ASSERT_TRUE(BitBlt(*target.dc, 0, 0, 256, 256, *source.dc, 0, 0, op));
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x)
        ASSERT_EQ(target.bitmap->At(x, y), ApplyRasterOp(op, Pixel(y) * 0x010101, Pixel(x) * 0x010101, 0))
            << RasterOpName(op) << " at " << x << "," << y;
  }
}

// Each row: a blit of a 5 × 4 source onto an 8 × 6 target, and the target rectangle that
// must change (everything else must not).
struct ClipCase {
  const char* what;
  int x, y, width, height, sourceX, sourceY;
  Rect changed;
};

const ClipCase kClipCases[] = {
    {"inside both", 1, 1, 3, 2, 1, 1, {1, 1, 4, 3}},
    {"1 x 1", 7, 5, 1, 1, 4, 3, {7, 5, 8, 6}},
    {"zero width", 2, 2, 0, 3, 0, 0, {}},
    {"zero height", 2, 2, 3, 0, 0, 0, {}},
    {"past the target's left", -2, 1, 4, 2, 0, 0, {0, 1, 2, 3}},
    {"past the target's top", 1, -3, 2, 4, 0, 0, {1, 0, 3, 1}},
    {"past the target's right", 6, 0, 5, 2, 0, 0, {6, 0, 8, 2}},
    {"past the target's bottom", 0, 4, 2, 4, 0, 0, {0, 4, 2, 6}},
    {"source starts left of its bitmap", 2, 2, 4, 1, -3, 0, {5, 2, 6, 3}},
    {"source starts above its bitmap", 2, 1, 1, 4, 0, -2, {2, 3, 3, 5}},
    {"source runs past its right edge", 0, 0, 8, 1, 2, 0, {0, 0, 3, 1}},
    {"source runs past its bottom edge", 0, 0, 1, 6, 0, 2, {0, 0, 1, 2}},
    {"clipped by both at once", -1, 3, 8, 8, 1, 1, {0, 3, 3, 6}},
    {"entirely outside the target", 8, 0, 3, 3, 0, 0, {}},
    {"entirely outside the source", 0, 0, 3, 3, 5, 0, {}},
    {"negative sizes: the same rectangle from its far corner", 4, 3, -3, -2, 4, 3, {1, 1, 4, 3}},
};

TEST(BitBltTest, ClipsToTargetAndSourceLikeGdi) {
  for (const ClipCase& c : kClipCases) {
    for (RasterOp op : kSourceOps) {
      Selected source(Numbered(5, 4, 0x00400000));
      Selected target(Numbered(8, 6, 0x00008000));
      const auto before = Numbered(8, 6, 0x00008000);
      ASSERT_TRUE(BitBlt(*target.dc, c.x, c.y, c.width, c.height, *source.dc, c.sourceX, c.sourceY, op));
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
          const bool inside = x >= c.changed.left && x < c.changed.right && y >= c.changed.top &&
                              y < c.changed.bottom;
          const int nx = c.width < 0 ? c.x + c.width : c.x, ny = c.height < 0 ? c.y + c.height : c.y;
          const int sx = c.width < 0 ? c.sourceX + c.width : c.sourceX;
          const int sy = c.height < 0 ? c.sourceY + c.height : c.sourceY;
          const Pixel expected =
              inside ? ApplyRasterOp(op, before->At(x, y), source.bitmap->At(x - nx + sx, y - ny + sy), 0)
                     : before->At(x, y);
          ASSERT_EQ(target.bitmap->At(x, y), expected) << c.what << ", " << RasterOpName(op) << " at " << x << "," << y;
        }
    }
  }
}

TEST(BitBltTest, CopyWithinOneBitmapReadsTheSourceBeforeWriting) {
  Selected both(Numbered(6, 1, 0));
  const auto before = Numbered(6, 1, 0);
  ASSERT_TRUE(BitBlt(*both.dc, 1, 0, 5, 1, *both.dc, 0, 0, RasterOp::SourceCopy));
  for (int x = 1; x < 6; ++x) EXPECT_EQ(both.bitmap->At(x, 0), before->At(x - 1, 0));
}

TEST(BitBltTest, RefusesOperationsItDoesNotKnowAndSourcesWithoutPixels) {
  Selected source(Numbered(2, 2, 0));
  Selected target(Numbered(2, 2, 0x100));
  EXPECT_FALSE(BitBlt(*target.dc, 0, 0, 2, 2, *source.dc, 0, 0, static_cast<RasterOp>(0x00660046)));
  RecordingPresenter presenter(2, 2);
  WindowDC window(presenter, 2, 2);
  EXPECT_FALSE(BitBlt(*target.dc, 0, 0, 2, 2, window, 0, 0, RasterOp::SourceCopy));
  EXPECT_EQ(target.bitmap->At(1, 1), Numbered(2, 2, 0x100)->At(1, 1));
}

TEST(PatBltTest, FillsWithTheSelectedBrushClippedToTheTarget) {
  Selected target(std::make_unique<Bitmap>(4, 3));
  SolidBrush red(0xFF0000);
  EXPECT_EQ(target.dc->SelectBrush(&red)->Colour(), 0xFFFFFFu) << "a context starts with the white brush";
  ASSERT_TRUE(PatBlt(*target.dc, 2, -1, 5, 3, RasterOp::PatternCopy));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(target.bitmap->At(x, y), (x >= 2 && y <= 1) ? 0xFF0000u : 0u) << x << "," << y;
  EXPECT_FALSE(PatBlt(*target.dc, 0, 0, 1, 1, RasterOp::SourceCopy));
}

TEST(DeviceContextTest, SelectingReturnsThePreviousObjectAndABitmapLivesInOneContext) {
  auto first = CreateCompatibleDC(nullptr);
  auto second = CreateCompatibleDC(nullptr);
  auto bitmap = CreateCompatibleBitmap(*first, 3, 2);
  Bitmap* own = first->SelectBitmap(bitmap.get());
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->Width(), 1) << "a memory context starts with its own 1 x 1 bitmap";
  EXPECT_EQ(second->SelectBitmap(bitmap.get()), nullptr) << "already selected elsewhere";
  EXPECT_EQ(first->SelectBitmap(own), bitmap.get());
  EXPECT_NE(second->SelectBitmap(bitmap.get()), nullptr);

  Palette palette({{1, 2, 3, 0}});
  EXPECT_EQ(first->SelectPalette(&palette, false), nullptr);
  EXPECT_EQ(first->RealizePalette(), 0u);
  EXPECT_EQ(first->SelectPalette(nullptr, false), &palette);
}

TEST(DeviceContextTest, DestroyingASelectedBitmapLeavesTheContextSafe) {
  auto dc = CreateCompatibleDC(nullptr);
  {
    auto bitmap = CreateCompatibleBitmap(*dc, 4, 4);
    dc->SelectBitmap(bitmap.get());
  }
  ASSERT_NE(dc->Surface(), nullptr);
  EXPECT_EQ(dc->Bounds(), (Rect{0, 0, 1, 1})) << "back to its own bitmap";
  // And a bitmap outliving its context can be selected again.
  auto bitmap = CreateCompatibleBitmap(*dc, 2, 2);
  dc->SelectBitmap(bitmap.get());
  dc.reset();
  auto other = CreateCompatibleDC(nullptr);
  EXPECT_NE(other->SelectBitmap(bitmap.get()), nullptr);
}

TEST(CreateCompatibleBitmapTest, RefusesSizesOutsideTheRaster) {
  auto dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(*dc, 0, 5), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(*dc, 5, -1), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(*dc, 32768, 1), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(*dc, 32767, 32767), nullptr) << "4 GiB of pixels";
  auto black = CreateCompatibleBitmap(*dc, 2, 3);
  ASSERT_NE(black, nullptr);
  for (Pixel p : black->Pixels()) EXPECT_EQ(p, 0u);
}

TEST(WindowDCTest, BlitsReachThePresenterClippedToTheWindow) {
  RecordingPresenter presenter(5, 4);
  WindowDC window(presenter, 5, 4);
  Selected source(Numbered(3, 3, 0x00200000));
  ASSERT_TRUE(BitBlt(window, 3, 2, 3, 3, *source.dc, 0, 0, RasterOp::SourceCopy));
  SolidBrush green(0x00FF00);
  window.SelectBrush(&green);
  ASSERT_TRUE(PatBlt(window, -1, -1, 2, 2, RasterOp::PatternCopy));
  ASSERT_TRUE(BitBlt(window, 9, 9, 3, 3, *source.dc, 0, 0, RasterOp::SourceCopy));  // nothing visible

  const std::vector<RecordingPresenter::Record> expected = {
      {{3, 2, 5, 4}, false, RasterOp::SourceCopy},
      {{0, 0, 1, 1}, true, RasterOp::PatternCopy},
  };
  EXPECT_EQ(presenter.Log(), expected);
  EXPECT_EQ(presenter.Window().At(3, 2), source.bitmap->At(0, 0));
  EXPECT_EQ(presenter.Window().At(4, 3), source.bitmap->At(1, 1));
  EXPECT_EQ(presenter.Window().At(0, 0), 0x00FF00u);
  EXPECT_EQ(presenter.Window().At(2, 2), 0u);
}

TEST(DrawMaskedTest, GivesExactlyThePixelsOfTheTwoBlits) {
  // Mask and image at every clipping position of the table above.
  for (const ClipCase& c : kClipCases) {
    Selected mask(Numbered(5, 4, 0x00F0F000));
    Selected image(Numbered(5, 4, 0x00000F0F));
    Selected fused(Numbered(8, 6, 0x00336699));
    Selected twice(Numbered(8, 6, 0x00336699));
    DrawMasked(*fused.dc, c.x, c.y, c.width, c.height, *mask.dc, *image.dc, c.sourceX, c.sourceY);
    BitBlt(*twice.dc, c.x, c.y, c.width, c.height, *mask.dc, c.sourceX, c.sourceY, RasterOp::SourceAnd);
    BitBlt(*twice.dc, c.x, c.y, c.width, c.height, *image.dc, c.sourceX, c.sourceY, RasterOp::SourcePaint);
    EXPECT_TRUE(std::equal(fused.bitmap->Pixels().begin(), fused.bitmap->Pixels().end(),
                           twice.bitmap->Pixels().begin()))
        << c.what;
  }
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

// --- Guards ---

// The ways out of a scope that holds a guard.
enum class Exit { AtTheEnd, EarlyReturn, Exception };
constexpr Exit kExits[] = {Exit::AtTheEnd, Exit::EarlyReturn, Exit::Exception};
const char* const kExitNames[] = {"at the end", "early return", "exception"};

// Makes a guard with `select`, runs `inside` while it lives, and leaves as `exit` says.
template <class Select>
void GuardedScope(Exit exit, Select select, const std::function<void()>& inside) {
  try {
    const auto guard = select();
    inside();
    if (exit == Exit::EarlyReturn) return;
    if (exit == Exit::Exception) throw std::runtime_error("leaving by exception");
    inside();  // the scope goes on to its end
  } catch (const std::runtime_error&) {
  }
}

TEST(ScopedSelectionTest, SelectsForTheScopeAndThePreviousBitmapBackOnEveryExit) {
  for (Exit exit : kExits) {
    const char* name = kExitNames[int(exit)];
    auto dc = CreateCompatibleDC(nullptr);
    auto before = CreateCompatibleBitmap(*dc, 2, 2);
    auto bitmap = CreateCompatibleBitmap(*dc, 3, 3);
    dc->SelectBitmap(before.get());  // not the context's own: that one must come back
    GuardedScope(exit, [&] { return ScopedSelection(*dc, bitmap.get()); },
                 [&] { EXPECT_EQ(dc->Surface(), bitmap.get()) << name; });
    EXPECT_EQ(dc->Surface(), before.get()) << name;
    EXPECT_EQ(bitmap->SelectedInto(), nullptr) << name << ": free for another context";
  }
}

TEST(ScopedSelectionTest, ARefusedSelectionChangesNothing) {
  auto holder = CreateCompatibleDC(nullptr);
  auto dc = CreateCompatibleDC(nullptr);
  auto bitmap = CreateCompatibleBitmap(*dc, 3, 3);
  holder->SelectBitmap(bitmap.get());
  Bitmap* own = dc->Surface();
  {
    const ScopedSelection refused(*dc, bitmap.get());
    EXPECT_FALSE(refused) << "selected into another context";
    const ScopedSelection none(*dc, nullptr);
    EXPECT_FALSE(none);
    EXPECT_EQ(dc->Surface(), own);
  }
  EXPECT_EQ(holder->Surface(), bitmap.get()) << "still where it was";
  EXPECT_EQ(dc->Surface(), own);
}

TEST(ScopedBrushAndPaletteTest, SelectForTheScopeAndThePreviousBackOnEveryExit) {
  const SolidBrush brushBefore(0x112233), brush(0x445566);
  const Palette paletteBefore({{1, 2, 3, 0}}), palette({{4, 5, 6, 0}});
  for (Exit exit : kExits) {
    const char* name = kExitNames[int(exit)];
    auto dc = CreateCompatibleDC(nullptr);
    dc->SelectBrush(&brushBefore);
    dc->SelectPalette(&paletteBefore, false);
    GuardedScope(exit, [&] { return ScopedBrush(*dc, brush); },
                 [&] { EXPECT_EQ(dc->SelectedBrush(), &brush) << name; });
    EXPECT_EQ(dc->SelectedBrush(), &brushBefore) << name;
    for (PaletteRestore restore : {PaletteRestore::Foreground, PaletteRestore::BackgroundRealised}) {
      GuardedScope(exit, [&] { return ScopedPalette(*dc, &palette, restore); },
                   [&] { EXPECT_EQ(dc->SelectedPalette(), &palette) << name; });
      EXPECT_EQ(dc->SelectedPalette(), &paletteBefore) << name;
    }
    GuardedScope(exit, [&] { return ScopedPalette(*dc, nullptr, PaletteRestore::Foreground); },
                 [&] { EXPECT_EQ(dc->SelectedPalette(), &paletteBefore) << name << ": no palette, no selection"; });
    EXPECT_EQ(dc->SelectedPalette(), &paletteBefore) << name;
  }
}

TEST(BitmapHandleTest, FreesAnOwnedBitmapAndNeverABorrowedOne) {
  // A context shows whether a bitmap selected into it was freed: it falls back to its own.
  auto dc = CreateCompatibleDC(nullptr);
  Bitmap* own = dc->Surface();
  {
    const auto owned = BitmapHandle::Owned(std::make_unique<Bitmap>(4, 4));
    EXPECT_FALSE(owned.IsBorrowed());
    dc->SelectBitmap(owned.Get());
  }
  EXPECT_EQ(dc->Surface(), own) << "freed with its handle";

  auto kept = std::make_unique<Bitmap>(5, 5);
  {
    const auto borrowed = BitmapHandle::Borrowed(kept.get());
    EXPECT_TRUE(borrowed.IsBorrowed());
    EXPECT_EQ(borrowed->Width(), 5);
    dc->SelectBitmap(borrowed.Get());
  }
  EXPECT_EQ(dc->Surface(), kept.get()) << "left to its owner";
  EXPECT_FALSE(BitmapHandle().IsBorrowed());
  EXPECT_FALSE(BitmapHandle());
}

}  // namespace
}  // namespace kelna
