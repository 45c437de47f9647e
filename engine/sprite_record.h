#pragma once
// The sprite record of the animation file (115 bytes), the one description of its fields that
// reading, writing and kelna-tool walk.

#include <array>

#include "engine/animated_sprite.h"
#include "platform/record_layout.h"

namespace kelna {

inline constexpr std::array kSpriteRecord = {
    TagField<ZoAnimatedSprite>(std::string_view("AS", 3)),  // with its NUL
    IntegerField<&ZoAnimatedSprite::reserved1>("reserved1", 2),
    TextField<&ZoAnimatedSprite::name>("name", 32),
    TextField<&ZoAnimatedSprite::objectName>("objectName", 32),
    IntegerField<&ZoAnimatedSprite::depth>("depth", 2),
    IntegerField<&ZoAnimatedSprite::behaviour>("behaviour", 4),
    IntegerField<&ZoAnimatedSprite::autoRepeat>("autoRepeat", 4),
    IntegerField<&ZoAnimatedSprite::randomStart>("randomStart", 4),
    IntegerField<&ZoAnimatedSprite::reserved2>("reserved2", 4),
    IntegerField<&ZoAnimatedSprite::imageWidth>("imageWidth", 2),
    IntegerField<&ZoAnimatedSprite::imageHeight>("imageHeight", 2),
    IntegerField<&ZoAnimatedSprite::startFrame>("startFrame", 2),
    IntegerField<&ZoAnimatedSprite::frameCount>("frameCount", 2),
    IntegerField<&ZoAnimatedSprite::skipCount>("skipCount", 2),
    IntegerField<&ZoAnimatedSprite::x>("x", 4),
    IntegerField<&ZoAnimatedSprite::y>("y", 4),
    IntegerField<&ZoAnimatedSprite::speedX>("speedX", 4),
    IntegerField<&ZoAnimatedSprite::speedY>("speedY", 4),
    IntegerField<&ZoAnimatedSprite::soundOn>("soundOn", 2),  // read: only 1 means on
};

inline constexpr std::size_t kSpriteRecordSize = RecordSize(kSpriteRecord);

}  // namespace kelna
