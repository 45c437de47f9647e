// The behaviour rules: where a sprite goes next and how fast, decided each time a new frame
// becomes current. Positions and speeds are computed on their low 16 bits.

#include <cmath>
#include <cstdlib>

#include "engine/positions.h"
#include "engine/random_draws.h"
#include "engine/sprite_animation.h"

namespace kelna {
namespace {

// Leaving one side, the sprite comes back at the other: `entry` is where it re-enters
// after leaving on the low side.
int Wrap(int position, int size, int extent, int entry) {
  if (position + size <= 0) position = entry;
  if (position >= extent) position = 2 - size;
  return position;
}

// |base| × percent / 100, truncated, with a random sign: sign first, then the percentage.
// Like every rule it takes the base speed's low 16 bits only.
std::int32_t RandomSpeed(std::int16_t base) {
  const int sign = draws::Sign();
  const int percent = Random() % 100;
  return Low16(sign * (std::abs(int(base)) * percent / 100));
}

}  // namespace

void ZoSpriteAnimation::AdjustSpritePosition(ZoAnimatedSprite* sprite) {
  if (!sprite || sprite->state != SpriteNewFrame) return;
  ZoAnimatedSprite& s = *sprite;
  const int W = Low16(screenWidth), H = Low16(screenHeight);
  const int w = s.imageWidth, h = s.imageHeight;
  const int px = Low16(s.x), py = Low16(s.y);
  const int sx = Low16(s.speedX), sy = Low16(s.speedY);

  switch (s.behaviour) {
    case BehaveFlow:
      // In again whole from the left or top; only 2 pixels show from the right or bottom.
      MoveTo(s, Wrap(px, w, W, W - w - 2), Wrap(py, h, H, H - h - 2));
      return;
    case BehaveBound:
      if (px <= 0 || px >= W - w) s.speedX = Low16(-sx);
      if (py <= 0 || py >= H - h) s.speedY = Low16(-sy);
      return;
    case BehaveOneShot:
      if (s.curFrame == 0) {
        const draws::Place place = draws::RandomPlace(W, H, w, h);
        MoveTo(s, place.x, place.y);
      }
      s.speedX = s.speedY = 0;
      return;
    case BehaveRandomWalk: {
      MoveTo(s, Wrap(px, w, W, W - 2), Wrap(py, h, H, H - 2));
      const std::int32_t speedX = RandomSpeed(Low16(s.baseSpeedX));
      s.speedY = RandomSpeed(Low16(s.baseSpeedY));
      s.speedX = speedX;
      return;
    }
    case BehaveSpecified: {
      // Without a location for this frame the sprite keeps its speed.
      if (!s.spriteData || !s.spriteData->locations || s.curFrame < 0 ||
          std::size_t(s.curFrame) >= s.spriteData->locations->size())
        return;
      const TPoint& p = (*s.spriteData->locations)[std::size_t(s.curFrame)];
      s.speedX = Low16(std::int64_t(p.x) - px);
      s.speedY = Low16(std::int64_t(p.y) - py);
      return;
    }
    case BehaveRadial:
      AdjustRadial(s, W, H);
      return;
    default:
      return;  // no rule
  }
}

// A burst from the centre: frame 0 picks a direction with random signs and centres the
// sprite; frames 1 to 4 head for 7.5 %, 18.75 %, 37.5 % and 75 % of the scene width out.
void ZoSpriteAnimation::AdjustRadial(ZoAnimatedSprite& s, int W, int H) {
  const int w = s.imageWidth, h = s.imageHeight;
  const int px = Low16(s.x), py = Low16(s.y);
  if (s.curFrame == 0) {
    const draws::Direction d = draws::RadialDirection();
    const int signA = draws::Sign();
    const int signB = draws::Sign();
    s.directionX = d.a / (float(signA) * d.length);
    s.directionY = d.b / (float(signB) * d.length);
    const int y = int((H - h) * 0.5);
    const int x = int((W - w) * 0.5);
    MoveTo(s, x, y);
    s.speedX = s.speedY = 0;
    return;
  }
  if (std::uint16_t(s.curFrame) >= 5) {
    s.SetCurFrame(0);
    return;
  }
  static constexpr float kReach[] = {0.0f, 0.1f, 0.25f, 0.5f, 1.0f};
  const float k = kReach[s.curFrame];
  int tx = int(W * s.directionX * 0.5 * 1.5 * k);
  tx = int(tx + (W - w) * 0.5);
  int ty = int(W * s.directionY * 0.5 * 1.5 * k);  // both radii use the width
  ty = int(ty + (H - h) * 0.5);
  s.speedX = Low16(tx - px);
  s.speedY = Low16(ty - py);
}

}  // namespace kelna
