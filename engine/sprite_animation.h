#pragma once
// ZoSpriteAnimation: the animation scene that the application owns for the whole run.
// The sprites, objects, background and frame step are added to it as the engine grows.

namespace kelna {

class ZoSpriteAnimation {
 public:
  ZoSpriteAnimation();
  ~ZoSpriteAnimation();
  ZoSpriteAnimation(const ZoSpriteAnimation&) = delete;
  ZoSpriteAnimation& operator=(const ZoSpriteAnimation&) = delete;
};

}  // namespace kelna
