#include "engine/sprite_animation.h"

namespace kelna {

ZoSpriteAnimation::ZoSpriteAnimation() = default;
ZoSpriteAnimation::~ZoSpriteAnimation() = default;

}  // namespace kelna
