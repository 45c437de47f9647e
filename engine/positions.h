#pragma once
// Positions and speeds are held in 32 bits, but the frame step and the behaviour rules
// compute on their low 16 bits as signed values and store results sign-extended, as the
// animation files were made for: a sprite that runs past 32767 comes back at -32768. The
// rule and the one way a position is replaced live here, for every part of the engine.

#include <cstdint>

#include "engine/animated_sprite.h"

namespace kelna {

// The low 16 bits as a signed value: it wraps around, it never saturates. The argument is
// wide enough for the difference of two 32-bit values.
constexpr std::int16_t Low16(std::int64_t value) { return static_cast<std::int16_t>(value); }

// Puts the sprite at (x, y), each cut to 16 bits; prevX, prevY keep where it was, for the
// redraw of the place it leaves.
inline void MoveTo(ZoAnimatedSprite& sprite, std::int64_t x, std::int64_t y) {
  sprite.prevX = sprite.x;
  sprite.prevY = sprite.y;
  sprite.x = Low16(x);
  sprite.y = Low16(y);
}

}  // namespace kelna
