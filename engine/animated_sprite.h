#pragma once
// One sprite on screen: a named instance of a sprite object with its own position, speed,
// behaviour, depth and frame cycle. Its configured fields are what the animation file
// stores and what the settings dialogs edit; the rest is run-time state of the frame step.

#include <array>
#include <cstdint>
#include <iosfwd>

#include "platform/raster.h"
#include "sprites/sprite_data.h"

namespace kelna {

// Redraw flags.
enum SpriteFlag : std::uint16_t {
  SpriteShown = 1,     // takes part in hit tests and redraws
  SpriteMoved = 2,     // still to be drawn and advanced in this tick
  SpriteInRegion = 4,  // belongs to the redraw region being built
};

// Life states.
enum SpriteState : std::int32_t {
  SpriteDone = -1,
  SpriteWaiting = 0,
  SpriteNewFrame = 1,
  SpriteHeldFrame = 2,
};

class ZoAnimatedSprite {
 public:
  ZoAnimatedSprite() = default;
  virtual ~ZoAnimatedSprite() = default;

  // Advances the state and the frame by one tick.
  void IncFrame();
  // curFrame = f when startFrame <= f <= frameCount; otherwise nothing.
  void SetCurFrame(short f);
  // In state SpriteNewFrame: moves by the speed and marks the sprite moved.
  void Move();

  // The bitmaps to draw now: none without an object, when not shown (waiting or done), or
  // on the closing blank frame of a one-shot sprite.
  Bitmap* GetImageHandle() const;
  Bitmap* GetMaskHandle() const;
  // The object's slots of the current frame, whatever the state (none without an object).
  const ZoSpriteData::ImageSlot& GetImage() const;
  const ZoSpriteData::ImageSlot& GetMask() const;
  [[nodiscard]] int MakeDDB(DeviceContext& dc, short frame);
  void MakeDDB(DeviceContext& dc);
  // Plays the object's sound when the current frame is its play frame and the sprite
  // shows. True when the sound was asked to play.
  bool PlaySound() const;
  // Takes over the object's defaults and frame count.
  void CopyDefault();
  void SetupFrameBounds() {}
  int InitImages(const char*) { return 0; }

  // The record (engine/sprite_record.h). Read: 1, or 0 with the sprite unchanged when the tag is not "AS"
  // or the record is cut short. Write: always 1.
  [[nodiscard]] virtual int Read(std::istream& is);
  [[nodiscard]] virtual int Write(std::ostream& os) const;

  // Names as text (code page 932, up to the field's NUL).
  const char* Name() const { return name.data(); }
  const char* ObjectName() const { return objectName.data(); }
  void SetName(std::string_view text);
  void SetObjectName(std::string_view text);

  ZoSpriteData* spriteData = nullptr;  // not owned; set by the scene from objectName
  std::int16_t reserved1 = 0;
  std::array<char, 32> name{};
  std::array<char, 32> objectName{};
  std::int16_t depth = 1;
  std::int32_t behaviour = BehaveFlow;
  std::int32_t autoRepeat = 1;
  std::int32_t randomStart = 1;
  std::int32_t reserved2 = 0;
  std::uint16_t imageWidth = 0;
  std::uint16_t imageHeight = 0;
  std::uint16_t startFrame = 0;
  std::uint16_t frameCount = 0;
  std::uint16_t skipCount = 0;
  float directionX = 0;
  float directionY = 0;
  std::int32_t soundOn = 1;
  std::uint16_t flags = SpriteShown | SpriteMoved;
  std::int16_t curFrame = 0;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t prevX = 0;
  std::int32_t prevY = 0;
  std::int32_t speedX = 0;
  std::int32_t speedY = 0;
  std::int32_t baseSpeedX = 0;
  std::int32_t baseSpeedY = 0;
  std::uint16_t tickCounter = 0;
  std::int32_t state = SpriteDone;

 private:
  bool Drawn() const;
};

// Sprites order by depth alone.
inline bool operator<(const ZoAnimatedSprite& a, const ZoAnimatedSprite& b) { return a.depth < b.depth; }
inline bool operator==(const ZoAnimatedSprite& a, const ZoAnimatedSprite& b) { return a.depth == b.depth; }

}  // namespace kelna
