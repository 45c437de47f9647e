#include "engine/animated_sprite.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "engine/sprite_record.h"
#include "platform/binary_io.h"

namespace kelna {
bool ZoAnimatedSprite::Drawn() const { return state == SpriteNewFrame || state == SpriteHeldFrame; }

void ZoAnimatedSprite::IncFrame() {
  switch (state) {
    case SpriteWaiting:
      if (int(tickCounter) >= int(startFrame) - 1) {
        curFrame = 0;
        tickCounter = 0;
        state = SpriteNewFrame;
        speedX = baseSpeedX;
        speedY = baseSpeedY;
      } else {
        speedX = speedY = 0;
        ++tickCounter;
      }
      return;
    case SpriteNewFrame:
    case SpriteHeldFrame:
      // The end test comes first, so the last frame is shown on one tick only.
      if (curFrame >= int(frameCount) - 1) {
        if (autoRepeat == 1) {
          curFrame = 0;
          tickCounter = 0;
          state = SpriteNewFrame;
        } else {
          state = SpriteDone;
        }
      } else if (tickCounter >= skipCount) {
        tickCounter = 0;
        ++curFrame;
        state = SpriteNewFrame;
      } else {
        ++tickCounter;
        state = SpriteHeldFrame;
      }
      return;
    default:
      return;
  }
}

void ZoAnimatedSprite::SetCurFrame(short f) {
  if (int(startFrame) <= f && f <= int(frameCount)) curFrame = f;
}

void ZoAnimatedSprite::Move() {
  if (state != SpriteNewFrame) return;
  x = std::int32_t(std::uint32_t(x) + std::uint32_t(speedX));
  y = std::int32_t(std::uint32_t(y) + std::uint32_t(speedY));
  flags |= SpriteMoved;
}

Bitmap* ZoAnimatedSprite::GetImageHandle() const {
  if (!spriteData || !Drawn() || (behaviour == BehaveOneShot && curFrame == int(frameCount) - 1)) return nullptr;
  return spriteData->GetImageHandle(curFrame);
}

Bitmap* ZoAnimatedSprite::GetMaskHandle() const {
  if (!spriteData || !Drawn() || (behaviour == BehaveOneShot && curFrame == int(frameCount) - 1)) return nullptr;
  return spriteData->GetMaskHandle(curFrame);
}

const ZoSpriteData::ImageSlot& ZoAnimatedSprite::GetImage() const {
  static const ZoSpriteData::ImageSlot none;
  return spriteData ? spriteData->GetImage(curFrame) : none;
}

const ZoSpriteData::ImageSlot& ZoAnimatedSprite::GetMask() const {
  static const ZoSpriteData::ImageSlot none;
  return spriteData ? spriteData->GetMask(curFrame) : none;
}

int ZoAnimatedSprite::MakeDDB(DeviceContext& dc, short frame) {
  return spriteData ? spriteData->MakeDDB(dc, frame) : 0;
}

void ZoAnimatedSprite::MakeDDB(DeviceContext& dc) {
  if (spriteData) spriteData->MakeDDB(dc);
}

bool ZoAnimatedSprite::PlaySound() const {
  if (!spriteData || !spriteData->sound || !Drawn() || curFrame != spriteData->sound->PlayFrame())
    return false;
  spriteData->sound->Play();
  return true;
}

void ZoAnimatedSprite::CopyDefault() {
  if (!spriteData) return;
  depth = spriteData->depth;
  behaviour = spriteData->behaviour;
  autoRepeat = spriteData->autoRepeat;
  randomStart = spriteData->randomStart;
  imageWidth = spriteData->imageWidth;
  imageHeight = spriteData->imageHeight;
  x = spriteData->startX;
  y = spriteData->startY;
  speedX = spriteData->speedX;
  speedY = spriteData->speedY;
  startFrame = 0;
  const int frames = spriteData->PairCount();
  spriteData->frameCount = std::uint16_t(frames);
  // One less than the object's frames; an object without frames gives 0, not 65535.
  frameCount = std::uint16_t(std::max(frames - 1, 0));
}

void ZoAnimatedSprite::SetName(std::string_view text) { AssignFieldText(name, text); }
void ZoAnimatedSprite::SetObjectName(std::string_view text) { AssignFieldText(objectName, text); }

int ZoAnimatedSprite::Read(std::istream& is) {
  std::array<char, kSpriteRecordSize> record{};
  if (!BinaryReader(is).Bytes(record) || !HasTags(kSpriteRecord, record)) return 0;
  ReadFields(kSpriteRecord, *this, record);
  soundOn = soundOn == 1 ? 1 : 0;  // only the value 1 means on
  return 1;
}

int ZoAnimatedSprite::Write(std::ostream& os) const {
  BinaryWriter out(os);
  WriteFields(kSpriteRecord, *this, out);
  return 1;
}

}  // namespace kelna
