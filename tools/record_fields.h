#pragma once
// The integer fields of sprite objects and sprites under the names that kelna-tool's JSON
// gives them, with the range each field holds. They are the records' own descriptions
// (sprites/object_record.h, engine/sprite_record.h) less what the tool handles apart: tags,
// names, the location count, and the object's frame count, which follows from its frames.
// One table serves printing (inspect, unpack) and reading (pack).

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/sprite_record.h"
#include "sprites/object_record.h"

namespace kelna::tool {

template <class Record>
using IntegerField = RecordField<Record>;

template <class Record>
constexpr bool PlainInteger(const RecordField<Record>& field, std::string_view apart) {
  return field.kind == FieldKind::Integer && field.name != apart;
}

template <class Record, std::size_t N>
constexpr std::size_t PlainIntegerCount(const std::array<RecordField<Record>, N>& fields, std::string_view apart) {
  return std::size_t(std::ranges::count_if(fields, [&](const auto& field) { return PlainInteger(field, apart); }));
}

template <std::size_t Count, class Record, std::size_t N>
constexpr auto PlainIntegers(const std::array<RecordField<Record>, N>& fields, std::string_view apart) {
  std::array<RecordField<Record>, Count> out{};
  std::size_t at = 0;
  for (const auto& field : fields)
    if (PlainInteger(field, apart)) out[at++] = field;
  return out;
}

inline constexpr std::array kObjectFields =
    PlainIntegers<PlainIntegerCount(kObjectRecord, "frameCount")>(kObjectRecord, "frameCount");
inline constexpr std::array kSpriteFields = PlainIntegers<PlainIntegerCount(kSpriteRecord, "")>(kSpriteRecord, "");

}  // namespace kelna::tool
