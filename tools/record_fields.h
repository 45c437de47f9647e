#pragma once
// The integer fields of sprite objects and sprites under the names that kelna-tool's JSON
// gives them, with the range each field holds in its file. One table serves printing
// (inspect, unpack) and reading (pack), so the names cannot drift apart.

#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

#include "engine/animated_sprite.h"
#include "sprites/sprite_data.h"

namespace kelna::tool {

template <class Record>
struct IntegerField {
  std::string_view key;
  std::int64_t min;
  std::int64_t max;
  std::int64_t (*get)(const Record&);
  void (*set)(Record&, std::int64_t);
};

namespace detail {
template <class>
struct MemberOf;
template <class R, class V>
struct MemberOf<V R::*> {
  using Record = R;
  using Value = V;
};
}  // namespace detail

template <auto Member>
constexpr auto Field(std::string_view key) {
  using Record = typename detail::MemberOf<decltype(Member)>::Record;
  using Value = typename detail::MemberOf<decltype(Member)>::Value;
  return IntegerField<Record>{
      key, std::numeric_limits<Value>::min(), std::numeric_limits<Value>::max(),
      [](const Record& record) -> std::int64_t { return record.*Member; },
      [](Record& record, std::int64_t value) { record.*Member = static_cast<Value>(value); }};
}

// In the order of the object's record; the name, frames, locations and sound are not plain
// integers and are handled apart.
inline constexpr std::array kObjectFields = {
    Field<&ZoSpriteData::reserved1>("reserved1"),     Field<&ZoSpriteData::depth>("depth"),
    Field<&ZoSpriteData::behaviour>("behaviour"),     Field<&ZoSpriteData::autoRepeat>("autoRepeat"),
    Field<&ZoSpriteData::randomStart>("randomStart"), Field<&ZoSpriteData::ownsImages>("ownsImages"),
    Field<&ZoSpriteData::imageWidth>("imageWidth"),   Field<&ZoSpriteData::imageHeight>("imageHeight"),
    Field<&ZoSpriteData::startX>("startX"),           Field<&ZoSpriteData::startY>("startY"),
    Field<&ZoSpriteData::speedX>("speedX"),           Field<&ZoSpriteData::speedY>("speedY"),
};

// In the order of the sprite's record in the animation file, after its two names.
inline constexpr std::array kSpriteFields = {
    Field<&ZoAnimatedSprite::reserved1>("reserved1"),   Field<&ZoAnimatedSprite::depth>("depth"),
    Field<&ZoAnimatedSprite::behaviour>("behaviour"),   Field<&ZoAnimatedSprite::autoRepeat>("autoRepeat"),
    Field<&ZoAnimatedSprite::randomStart>("randomStart"), Field<&ZoAnimatedSprite::reserved2>("reserved2"),
    Field<&ZoAnimatedSprite::imageWidth>("imageWidth"), Field<&ZoAnimatedSprite::imageHeight>("imageHeight"),
    Field<&ZoAnimatedSprite::startFrame>("startFrame"), Field<&ZoAnimatedSprite::frameCount>("frameCount"),
    Field<&ZoAnimatedSprite::skipCount>("skipCount"),   Field<&ZoAnimatedSprite::x>("x"),
    Field<&ZoAnimatedSprite::y>("y"),                   Field<&ZoAnimatedSprite::speedX>("speedX"),
    Field<&ZoAnimatedSprite::speedY>("speedY"),         Field<&ZoAnimatedSprite::soundOn>("soundOn"),
};

}  // namespace kelna::tool
