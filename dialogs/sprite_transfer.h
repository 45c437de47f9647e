#pragma once
// The record that the sprite edit dialog works on. The settings dialog fills it from a
// sprite, the dialog's controls show it, and only after an accepted OK do the controls
// write back into it; the settings dialog then copies it into the sprite.

#include <array>
#include <cstdint>

#include "app/framework/transfer.h"
#include "engine/sprite_animation.h"

namespace kelna {

struct SpriteTransferStruct {
  using Text = std::array<char, 32>;  // code page 932, NUL-terminated: 31 bytes at most

  // Transferred, in the order in which the edit dialog makes its controls.
  Text name{};
  TComboBoxData objectTypes;  // the scene's object names, in list order
  TComboBoxData behaviours;   // the behaviour names; the selected index is the behaviour
  Text depth{};
  std::uint32_t autoRepeat = 0;
  std::uint32_t randomStart = 0;
  Text startX{};
  Text startY{};
  Text speedX{};
  Text speedY{};
  Text startFrame{};
  Text skipCount{};
  std::uint32_t soundOn = 0;
  // Context, not transferred.
  std::int32_t isNew = 0;
  const ZoSpriteAnimation::ObjectList* objects = nullptr;  // in the order of objectTypes

  // The transferred fields, in order.
  TTransferBuffer Fields() {
    return {std::span<char>(name), &objectTypes, &behaviours, std::span<char>(depth), &autoRepeat,
            &randomStart, std::span<char>(startX), std::span<char>(startY), std::span<char>(speedX),
            std::span<char>(speedY), std::span<char>(startFrame), std::span<char>(skipCount), &soundOn};
  }
};

}  // namespace kelna
