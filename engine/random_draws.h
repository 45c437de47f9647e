#pragma once
// The random draws that placing and steering sprites share. Each function draws from the
// process-wide source in the order the behaviour rules fix.

#include <cmath>
#include <cstdint>

#include "platform/random.h"

namespace kelna::draws {

// 0 when the margin is 0 (nothing drawn), else r mod margin: the remainder of truncating
// division, which lies in 0 ... |margin| - 1 for the non-negative r drawn.
inline std::int32_t Offset(std::int32_t margin) { return margin == 0 ? 0 : Random() % margin; }

// +1 for an even draw, -1 for an odd one.
inline int Sign() { return Random() % 2 == 0 ? 1 : -1; }

struct Place {
  std::int32_t x = 0, y = 0;
};

// A place 20 pixels in from the edges of a width × height area for a w × h sprite: x, then
// y, each 20 + Offset(extent - 40 - size), so an axis without room to spare draws nothing.
inline Place RandomPlace(int width, int height, int w, int h) {
  const std::int32_t x = 20 + Offset(width - 40 - w);
  const std::int32_t y = 20 + Offset(height - 40 - h);
  return {x, y};
}

struct Direction {
  float a = 0, b = 0, length = 0;
};

// Two draws r mod 100; two zeros give no direction at all, so both are drawn again.
inline Direction RadialDirection() {
  Direction d;
  while (d.a == 0 && d.b == 0) {
    d.a = float(Random() % 100);
    d.b = float(Random() % 100);
  }
  d.length = float(std::sqrt(double(d.a) * d.a + double(d.b) * d.b));
  return d;
}

}  // namespace kelna::draws
