#pragma once
// Positions and speeds are held in 32 bits, but the frame step and the behaviour rules
// compute on their low 16 bits as signed values and store results sign-extended, as the
// animation files were made for: a sprite that runs past 32767 comes back at -32768. The
// one way a position is replaced lives here, for every part of the engine; the rule itself,
// Low16, is platform/binary_io.h's.

#include <cstdint>

#include "engine/animated_sprite.h"
#include "platform/binary_io.h"

namespace kelna {

// Puts the sprite at (x, y), each cut to 16 bits; prevX, prevY keep where it was, for the
// redraw of the place it leaves.
inline void MoveTo(ZoAnimatedSprite& sprite, std::int64_t x, std::int64_t y) {
  sprite.prevX = sprite.x;
  sprite.prevY = sprite.y;
  sprite.x = Low16(x);
  sprite.y = Low16(y);
}

}  // namespace kelna
