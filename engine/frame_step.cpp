// The frame step: redraw regions, composed off-screen and copied to the window one blit each.
// Positions, speeds and regions are computed on 16 bits, wrapping as the stored files expect.

#include <algorithm>
#include <cstdlib>

#include "engine/positions.h"
#include "engine/sprite_animation.h"

namespace kelna {
namespace {

bool Has(const ZoAnimatedSprite& sprite, std::uint16_t flags) { return (sprite.flags & flags) == flags; }

// The image slot of the object's first frame whose image slot is not empty, or nullptr.
const ZoSpriteData::ImageSlot* FirstFilledSlot(const ZoSpriteData& object) {
  for (int f = 0; f < object.PairCount() && f <= 0x7FFF; ++f)
    if (const auto& slot = object.GetImage(short(f)); !slot.IsNone()) return &slot;
  return nullptr;
}

}  // namespace

// The rectangle a sprite sweeps in this tick: its old and its new place.
ZoSpriteAnimation::Region ZoSpriteAnimation::SweptRectangle(const ZoAnimatedSprite& sprite) {
  const std::int16_t sx = Low16(sprite.speedX), sy = Low16(sprite.speedY);
  const std::int16_t ax = Low16(sprite.x), ay = Low16(sprite.y);
  const std::int16_t nx = Low16(ax + sx), ny = Low16(ay + sy);
  return {std::min(ax, nx), std::min(ay, ny), Low16(std::abs(int(sx)) + sprite.imageWidth),
          Low16(std::abs(int(sy)) + sprite.imageHeight)};
}

// Rectangles touch unless a gap of a pixel or more lies between them.
bool ZoSpriteAnimation::Touch(const Region& a, const Region& b) {
  return !(b.x - a.x > a.w || a.x - b.x > b.w || b.y - a.y > a.h || a.y - b.y > b.h);
}

void ZoSpriteAnimation::Animate(DeviceContext& hdc, short destX, short destY) {
  if (sprites.empty() || !workDC || !bgDC || !spriteDC || !imageDC) return;  // not prepared
  // One palette for the tick: that of the first image of the deepest sprite's object.
  ZoSpriteData* object = sprites.front()->spriteData;
  if (!object) return;
  object->frameCount = std::uint16_t(object->PairCount());
  const ZoSpriteData::ImageSlot* first = FirstFilledSlot(*object);
  if (!first) return;
  // A frame that borrows from an earlier one is no image of its own: no palette from it.
  const ScopedPalette palette(hdc, first->Image() ? first->Image()->GetPalette() : nullptr,
                              PaletteRestore::BackgroundRealised);

  for (const auto& sprite : sprites) sprite->flags |= SpriteMoved;
  for (std::size_t i = 0; i < sprites.size(); ++i) {
    if (!Has(*sprites[i], SpriteMoved)) continue;  // drawn in an earlier region of this tick
    const Region region = GatherRegion(i);
    // A region out of sight is not drawn; its sprites wait for a later region.
    if (!Touch(region, {viewLeft, viewTop, Low16(screenWidth), Low16(screenHeight)})) continue;
    DrawRegion(hdc, region, destX, destY);
  }
}

// The swept rectangle of sprite `first`, grown by every moving sprite that touches it.
// A growth can reach sprites passed over before, so the scan then starts again.
ZoSpriteAnimation::Region ZoSpriteAnimation::GatherRegion(std::size_t first) {
  Region r = SweptRectangle(*sprites[first]);
  sprites[first]->flags |= SpriteInRegion;
  for (std::size_t j = 0; j < sprites.size(); ++j) {
    ZoAnimatedSprite& other = *sprites[j];
    if (!Has(other, SpriteMoved) || Has(other, SpriteInRegion)) continue;
    const Region swept = SweptRectangle(other);
    if (!Touch(r, swept)) continue;
    const int right = std::max(r.x + r.w, swept.x + swept.w);
    const int bottom = std::max(r.y + r.h, swept.y + swept.h);
    const std::int16_t left = std::min(r.x, swept.x), top = std::min(r.y, swept.y);
    const Region grown{left, top, Low16(right - left), Low16(bottom - top)};
    other.flags |= SpriteInRegion;
    const bool changed = grown.w != r.w || grown.h != r.h;
    r = grown;
    if (changed) j = std::size_t(-1);  // the loop's ++j makes it 0
  }
  return r;
}

void ZoSpriteAnimation::DrawRegion(DeviceContext& hdc, Region r, short destX, short destY) {
  // Clip to the view.
  const int right = std::min(r.x + r.w, viewLeft + int(screenWidth));
  const int bottom = std::min(r.y + r.h, viewTop + int(screenHeight));
  r.x = std::max(r.x, viewLeft);
  r.y = std::max(r.y, viewTop);
  r.w = Low16(right - r.x);
  r.h = Low16(bottom - r.y);

  // Sprites standing in the region, and those drawn earlier in this tick, are redrawn too.
  for (const auto& sprite : sprites) {
    if (Has(*sprite, SpriteMoved | SpriteInRegion) || !(sprite->flags & SpriteShown)) continue;
    const Region standing{Low16(sprite->x), Low16(sprite->y), Low16(sprite->imageWidth),
                          Low16(sprite->imageHeight)};
    if (Touch(standing, r)) sprite->flags |= SpriteInRegion;
  }

  BitBlt(*workDC, 0, 0, r.w, r.h, *bgDC, r.x, r.y, RasterOp::SourceCopy);
  for (const auto& sprite : sprites)
    if (sprite->flags & SpriteInRegion) DrawSprite(*sprite, r);
  BitBlt(hdc, destX + r.x - viewLeft, destY + r.y - viewTop, r.w, r.h, *workDC, 0, 0, RasterOp::SourceCopy);
}

void ZoSpriteAnimation::DrawSprite(ZoAnimatedSprite& sprite, const Region& r) {
  const std::int16_t nx = Low16(Low16(sprite.x) + Low16(sprite.speedX));
  const std::int16_t ny = Low16(Low16(sprite.y) + Low16(sprite.speedY));
  const Region swept = SweptRectangle(sprite);
  const int x = Low16(nx - r.x), y = Low16(ny - r.y);
  DrawFrame(sprite, x, y, swept.w, swept.h);

  if (sprite.soundOn != 0 && waveSoundOn != 0 && sprite.PlaySound() && soundListener)
    soundListener(sprite);
  sprite.IncFrame();
  MoveTo(sprite, nx, ny);  // moved by its speed whatever its state
  AdjustSpritePosition(&sprite);
  sprite.flags &= std::uint16_t(~(SpriteMoved | SpriteInRegion));
}

// The copy is swept-sized; only the part inside the frame's own bitmap is drawn. A bitmap
// that is selected elsewhere cannot be selected here (nor in GDI) and is not drawn.
void ZoSpriteAnimation::DrawFrame(const ZoAnimatedSprite& sprite, int x, int y, int width, int height) {
  Bitmap* mask = sprite.GetMaskHandle();
  Bitmap* image = sprite.GetImageHandle();
  if (mask && image) {
    // Mask and image are drawn in one pass: the pixels of the AND and the OR blits.
    const ScopedSelection maskSelection(*spriteDC, mask);
    const ScopedSelection imageSelection(*imageDC, image);
    if (maskSelection && imageSelection) DrawMasked(*workDC, x, y, width, height, *spriteDC, *imageDC, 0, 0);
  } else if (mask) {
    // A mask without an image leaves its shape dark rather than OR-ing the mask's white in.
    const ScopedSelection maskSelection(*spriteDC, mask);
    if (maskSelection) BitBlt(*workDC, x, y, width, height, *spriteDC, 0, 0, RasterOp::SourceAnd);
  } else if (image) {
    const ScopedSelection imageSelection(*spriteDC, image);
    if (imageSelection) BitBlt(*workDC, x, y, width, height, *spriteDC, 0, 0, RasterOp::SourceCopy);
  }
}

void ZoSpriteAnimation::DrawBackground(DeviceContext& hdc, short x, short y) {
  if (bgDC) BitBlt(hdc, x, y, screenWidth, screenHeight, *bgDC, viewLeft, viewTop, RasterOp::SourceCopy);
}

}  // namespace kelna
