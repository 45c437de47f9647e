#pragma once
// The object record's fixed part (79 bytes), the one description of its fields that reading,
// writing, copying and kelna-tool walk. Frames, locations and the sound follow it in the file.

#include <array>

#include "platform/record_layout.h"
#include "sprites/sprite_data.h"

namespace kelna {

inline constexpr std::array kObjectRecord = {
    TagField<ZoSpriteData>("SPD"),
    IntegerField<&ZoSpriteData::reserved1>("reserved1", 2),  // its low byte ends the tag
    TextField<&ZoSpriteData::name>("name", 32),
    IntegerField<&ZoSpriteData::depth>("depth", 2),
    IntegerField<&ZoSpriteData::behaviour>("behaviour", 4),
    IntegerField<&ZoSpriteData::autoRepeat>("autoRepeat", 4),
    IntegerField<&ZoSpriteData::randomStart>("randomStart", 4),
    IntegerField<&ZoSpriteData::ownsImages>("ownsImages", 4),
    IntegerField<&ZoSpriteData::imageWidth>("imageWidth", 2),
    IntegerField<&ZoSpriteData::imageHeight>("imageHeight", 2),
    IntegerField<&ZoSpriteData::frameCount>("frameCount", 2),
    IntegerField<&ZoSpriteData::startX>("startX", 4),
    IntegerField<&ZoSpriteData::startY>("startY", 4),
    IntegerField<&ZoSpriteData::speedX>("speedX", 4),
    IntegerField<&ZoSpriteData::speedY>("speedY", 4),
    DerivedField<ZoSpriteData>("locationCount", 2,
                               [](const ZoSpriteData& object) -> std::int64_t { return object.StoredLocationCount(); }),
};

// The least a record takes, and all that a record with a wrong tag takes.
inline constexpr std::size_t kObjectRecordSize = RecordSize(kObjectRecord);

}  // namespace kelna
