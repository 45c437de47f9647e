#include "engine/animated_sprite.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "platform/binary_io.h"

namespace kelna {
namespace {

constexpr std::size_t kNameFieldSize = 32;
constexpr std::size_t kNameLimit = 30;  // written names keep the field's last two bytes zero

void CopyName(std::array<char, 32>& field, std::string_view text) {
  field.fill('\0');
  text = text.substr(0, std::min(text.find('\0'), field.size() - 1));
  std::copy(text.begin(), text.end(), field.begin());
}

}  // namespace

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

void ZoAnimatedSprite::SetName(std::string_view text) { CopyName(name, text); }
void ZoAnimatedSprite::SetObjectName(std::string_view text) { CopyName(objectName, text); }

int ZoAnimatedSprite::Read(std::istream& is) {
  std::array<char, kRecordSize> record{};
  if (!BinaryReader(is).Bytes(record)) return 0;
  SpanReader in(record);
  if (in.Text(3) != "AS") return 0;
  reserved1 = in.I16();
  SetName(in.Text(kNameFieldSize));
  SetObjectName(in.Text(kNameFieldSize));
  depth = in.I16();
  behaviour = in.I32();
  autoRepeat = in.I32();
  randomStart = in.I32();
  reserved2 = in.I32();
  imageWidth = in.U16();
  imageHeight = in.U16();
  startFrame = in.U16();
  frameCount = in.U16();
  skipCount = in.U16();
  x = in.I32();
  y = in.I32();
  speedX = in.I32();
  speedY = in.I32();
  soundOn = in.I16() == 1 ? 1 : 0;  // only the value 1 means on
  return 1;
}

int ZoAnimatedSprite::Write(std::ostream& os) const {
  BinaryWriter out(os);
  out.Bytes(std::span<const char>("AS", 3));  // with its NUL
  out.I16(reserved1);
  out.FixedText(std::string_view(name.data(), name.size()), kNameFieldSize, kNameLimit);
  out.FixedText(std::string_view(objectName.data(), objectName.size()), kNameFieldSize, kNameLimit);
  out.I16(depth);
  out.I32(behaviour);
  out.I32(autoRepeat);
  out.I32(randomStart);
  out.I32(reserved2);
  out.U16(imageWidth);
  out.U16(imageHeight);
  out.U16(startFrame);
  out.U16(frameCount);
  out.U16(skipCount);
  out.I32(x);
  out.I32(y);
  out.I32(speedX);
  out.I32(speedY);
  out.I16(std::int16_t(soundOn));
  return 1;
}

}  // namespace kelna
