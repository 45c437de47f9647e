#include "engine/sprite_animation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "engine/file_headers.h"
#include "engine/positions.h"
#include "engine/random_draws.h"
#include "engine/sprite_record.h"
#include "platform/atomic_file.h"
#include "platform/binary_io.h"
#include "platform/file_bytes.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "sprites/bmp_image.h"
#include "sprites/object_record.h"

namespace kelna {
namespace {

constexpr char kNoFileMarker[] = "\x28\x82\xC8\x82\xB5\x29";  // (なし)
constexpr char kNoObject[] = "None";
constexpr char kNewSpriteName[] = "newsprite";

void FillBlack(DeviceContext& dc, int width, int height) {
  const SolidBrush black(0x000000);
  const ScopedBrush brush(dc, black);
  PatBlt(dc, 0, 0, width, height, RasterOp::PatternCopy);
}

}  // namespace

ZoSpriteAnimation::ZoSpriteAnimation() { sprites.reserve(64), objects.reserve(33); }

ZoSpriteAnimation::ZoSpriteAnimation(const DeviceContext*, unsigned short, unsigned short, const char* fileName)
    : ZoSpriteAnimation() {
  bgImage = std::make_unique<ZoBmpImage>(fileName);
}

ZoSpriteAnimation::ZoSpriteAnimation(const DeviceContext*, unsigned short, unsigned short,
                                     std::unique_ptr<ZoImage> image)
    : ZoSpriteAnimation() {
  bgImage = std::move(image);
}

ZoSpriteAnimation::~ZoSpriteAnimation() {
  // Objects go after the sprites that point at them; the surfaces then go in the reverse
  // order of their declaration, a borrowed background before the image it belongs to.
  sprites.clear();
  objects.clear();
}

// --- Preparing for display ---

void ZoSpriteAnimation::InitAnimation(DeviceContext& hdc, unsigned short width, unsigned short height,
                                      std::unique_ptr<ZoImage> image, std::unique_ptr<MemoryDC> desktopDC) {
  viewTop = viewLeft = 0;
  screenWidth = width;
  screenHeight = height;
  // Called once per scene; a second call replaces the surfaces of the first. The old
  // background may be the old image's bitmap, so it is let go before the image is.
  bgBitmap = {};
  bgImage = std::move(image);

  ComposeBackground(hdc, std::move(desktopDC));

  workBitmap = CreateCompatibleBitmap(hdc, width, height);
  workDC = CreateCompatibleDC(&hdc);
  if (workBitmap) workDC->SelectBitmap(workBitmap.get());
  spriteDC = CreateCompatibleDC(&hdc);
  imageDC = CreateCompatibleDC(&hdc);

  for (const auto& object : objects) object->MakeDDB(hdc);
  PlaceSprites();
}

void ZoSpriteAnimation::ComposeBackground(DeviceContext& hdc, std::unique_ptr<MemoryDC> desktopDC) {
  const int width = screenWidth, height = screenHeight;
  if (bgMode == BgDesktop) {
    bgBitmap = BitmapHandle::Owned(CreateCompatibleBitmap(hdc, width, height));
    bgDC = CreateCompatibleDC(&hdc);
    if (bgBitmap) bgDC->SelectBitmap(bgBitmap.Get());
    if (desktopDC) {
      BitBlt(*bgDC, 0, 0, width, height, *desktopDC, 0, 0, RasterOp::SourceCopy);
      BitBlt(hdc, 0, 0, width, height, *desktopDC, 0, 0, RasterOp::SourceCopy);
    }
    return;  // the desktop context (and the capture it holds) goes here
  }

  if (bgImage) {
    if (!bgImage->GetPalette() && bgImage->NumColors() != 0) bgImage->MakePalette();
    bgImage->DIBtoDDB(hdc);
    // An image larger than the scene both ways is the background itself; its top-left
    // part shows.
    if (bgImage->Ddb() && width < bgImage->Width() && height < bgImage->Height())
      bgBitmap = BitmapHandle::Borrowed(bgImage->Ddb());
  }
  const bool compose = !bgBitmap.IsBorrowed();
  if (compose) bgBitmap = BitmapHandle::Owned(CreateCompatibleBitmap(hdc, width, height));
  bgDC = CreateCompatibleDC(&hdc);
  if (bgBitmap) bgDC->SelectBitmap(bgBitmap.Get());
  if (!compose) {
    // Shown at once, as every other background is, not only where sprites pass.
    BitBlt(hdc, 0, 0, width, height, *bgDC, 0, 0, RasterOp::SourceCopy);
    return;
  }
  FillBlack(*bgDC, width, height);
  // Without a picture (a file that did not load) the background stays black.
  if (!bgImage || !bgImage->Ddb() || bgImage->Width() <= 0 || bgImage->Height() <= 0) return;
  DrawPicture(hdc);
  // The composed copy is all the scene needs; the image keeps its DIB, not a stale handle.
  bgImage->ReleaseDDB();
}

// Centres or tiles the background image on bgDC and on the window.
void ZoSpriteAnimation::DrawPicture(DeviceContext& hdc) {
  const int width = screenWidth, height = screenHeight;
  const int imageWidth = bgImage->Width(), imageHeight = bgImage->Height();
  auto pictureDC = CreateCompatibleDC(&hdc);
  const ScopedSelection picture(*pictureDC, bgImage->Ddb());
  const auto copy = [&](int x, int y) {
    BitBlt(*bgDC, x, y, imageWidth, imageHeight, *pictureDC, 0, 0, RasterOp::SourceCopy);
    BitBlt(hdc, x, y, imageWidth, imageHeight, *pictureDC, 0, 0, RasterOp::SourceCopy);
  };
  if (bgMode == BgCenter) {
    copy(int((width - imageWidth) * 0.5), int((height - imageHeight) * 0.5));
  } else if (bgMode == BgTile) {
    const int columns = (width + imageWidth - 1) / imageWidth;
    const int rows = (height + imageHeight - 1) / imageHeight;
    for (int i = 0; i < columns; ++i)
      for (int j = 0; j < rows; ++j) copy(imageWidth * i, imageHeight * j);
  }
}

void ZoSpriteAnimation::PlaceSprites() {
  for (const auto& sprite : sprites) {
    sprite->state = sprite->startFrame == 0 ? SpriteNewFrame : SpriteWaiting;
    const std::int32_t behaviour = sprite->behaviour;
    if ((behaviour == BehaveFlow || behaviour == BehaveBound || behaviour == BehaveRandomWalk) &&
        sprite->randomStart != 0) {
      const draws::Place place =
          draws::RandomPlace(screenWidth, screenHeight, sprite->imageWidth, sprite->imageHeight);
      MoveTo(*sprite, place.x, place.y);
    } else if (behaviour == BehaveOneShot) {
      ++sprite->frameCount;  // room for the closing blank frame
    } else if (behaviour == BehaveRadial) {
      const draws::Direction d = draws::RadialDirection();
      sprite->directionX = d.a / d.length;
      sprite->directionY = d.b / d.length;
      const auto y = std::int32_t((screenHeight - sprite->imageHeight) * 0.5);
      const auto x = std::int32_t((screenWidth - sprite->imageWidth) * 0.5);
      MoveTo(*sprite, x, y);
    }
    sprite->baseSpeedX = sprite->speedX;
    sprite->baseSpeedY = sprite->speedY;
  }
}

// --- The lists ---

void ZoSpriteAnimation::Clear() {
  sprites.clear();
  objects.clear();
}

ZoAnimatedSprite* ZoSpriteAnimation::NewSprite() {
  auto sprite = std::make_unique<ZoAnimatedSprite>();
  sprite->SetName(kNewSpriteName);
  sprite->SetObjectName(kNoObject);
  return AddSprite(std::move(sprite));
}

ZoAnimatedSprite* ZoSpriteAnimation::AddSprite(std::unique_ptr<ZoAnimatedSprite> sprite) {
  // After every sprite whose depth is greater or equal: equal depths keep their order.
  const auto at = std::find_if(sprites.begin(), sprites.end(),
                               [&](const auto& other) { return other->depth < sprite->depth; });
  return sprites.insert(at, std::move(sprite))->get();
}

std::unique_ptr<ZoAnimatedSprite> ZoSpriteAnimation::RemoveSprite(std::size_t index) {
  if (index >= sprites.size()) return nullptr;
  auto sprite = std::move(sprites[index]);
  sprites.erase(sprites.begin() + std::ptrdiff_t(index));
  return sprite;
}

bool ZoSpriteAnimation::SearchByName(const ZoSpriteData& object, const void* name) {
  return object.name == static_cast<const char*>(name);
}

bool ZoSpriteAnimation::SearchByName2(const ZoAnimatedSprite& sprite, const void* name) {
  return std::strcmp(sprite.Name(), static_cast<const char*>(name)) == 0;
}

ZoAnimatedSprite* ZoSpriteAnimation::FindSprite(const char* name) const {
  if (!name) return nullptr;
  for (const auto& sprite : sprites)
    if (SearchByName2(*sprite, name)) return sprite.get();
  return nullptr;
}

ZoSpriteData* ZoSpriteAnimation::FindSpriteData(const char* name) const {
  if (!name) return nullptr;
  for (const auto& object : objects)
    if (SearchByName(*object, name)) return object.get();
  return nullptr;
}

ZoAnimatedSprite* ZoSpriteAnimation::GetSpriteAt(short x, short y) const {
  for (auto it = sprites.rbegin(); it != sprites.rend(); ++it) {
    const ZoAnimatedSprite& sprite = **it;
    if (!(sprite.flags & SpriteShown)) continue;
    const int sx = Low16(sprite.x), sy = Low16(sprite.y);
    if (sx <= x && sy <= y && x <= sx + sprite.imageWidth - 1 && y <= sy + sprite.imageHeight - 1)
      return it->get();
  }
  return nullptr;
}

int ZoSpriteAnimation::TieUpObjects() {
  for (const auto& object : objects) object->useCount = 0;
  for (const auto& sprite : sprites) {
    ZoSpriteData* object = FindSpriteData(sprite->ObjectName());
    if (!object) sprite->SetObjectName(kNoObject);
    sprite->spriteData = object;
    if (object) ++object->useCount;
  }
  return 1;
}

// --- Files ---

namespace {

// Opens the file and reads its header, or says why it cannot: the file system's reason (a
// folder opens as a stream on some systems, and reads as nothing), a file of another kind
// (the magic is told even in a file too short for the whole header), a header cut short.
// The stream is left at the first record.
template <class Header, std::size_t N>
Status OpenAndReadHeader(const char* fileName, const std::array<RecordField<Header>, N>& fields,
                         std::string_view magic, std::string_view kind, std::ifstream& file, Header& header) {
  const std::filesystem::path path = Cp932ToPath(fileName ? fileName : "");
  if (Status opens = CanOpen(path); !opens) return opens;
  file.open(path, std::ios::binary);
  if (!file) return Status::Failure("cannot open it");
  std::vector<char> bytes(RecordSize(fields));
  file.read(bytes.data(), std::streamsize(bytes.size()));
  const auto got = std::size_t(file.gcount());
  ReadFields(fields, header, bytes);
  if (got < kMagicFieldSize || header.magic != magic) return Status::Failure("not an " + std::string(kind));
  if (got < bytes.size()) return Status::Failure("cut short in its header");
  return Status::Ok();
}

// Whether the rest of the stream can hold `records` records of at least `size` bytes each,
// checked before anything is made for them: "3 sprites announced, 1 present" where records
// are all of one size, "40 objects announced, room for 3" where they only start at it.
Status CheckRoom(const BinaryReader& in, std::size_t records, std::size_t size, std::string_view noun,
                 bool sizeIsFixed) {
  const auto room = static_cast<long long>(in.Remaining() / size);
  if (static_cast<long long>(records) <= room) return Status::Ok();
  const std::string announced = Grouped(static_cast<long long>(records)) + " " + std::string(noun) + " announced, ";
  return Status::Failure(announced + (sizeIsFixed ? Grouped(room) + " present" : "room for " + Grouped(room)));
}

}  // namespace

int ZoSpriteAnimation::Read(const char* fileName, bool withObjects) {
  return Load(fileName, withObjects).ok() ? 1 : 0;
}

Status ZoSpriteAnimation::Load(const char* fileName, bool withObjects) {
  // Everything is checked before the scene changes: a file that is not an animation file,
  // or one cut short, leaves the user's sprites as they are.
  std::ifstream file;
  AnimationFileHeader header;
  if (Status opened = OpenAndReadHeader(fileName, kAnimationFileHeader, kAnimationMagic, "animation file", file, header);
      !opened)
    return opened;
  BinaryReader in(file);
  const std::size_t records = AnnouncedRecords(header.spriteCount);
  if (Status room = CheckRoom(in, records, kSpriteRecordSize, "sprites", true); !room) return room;

  SpriteList loaded;
  loaded.reserve(std::max<std::size_t>(records, 64));
  for (std::size_t i = 0; i < records; ++i) {
    auto sprite = std::make_unique<ZoAnimatedSprite>();
    // A record without the tag leaves a default sprite, added all the same: its 0 is not a refusal.
    static_cast<void>(sprite->Read(file));
    if (!file)
      return Status::Failure("cut short in sprite " + std::to_string(i + 1) + " of " +
                             Grouped(static_cast<long long>(records)));
    loaded.push_back(std::move(sprite));
  }

  sprites.clear();
  for (auto& sprite : loaded) AddSprite(std::move(sprite));
  objectFileName = header.objectFile;
  if (!withObjects) return Status::Ok();
  if (Status objectsRead = LoadObjectsOf(fileName); !objectsRead) return objectsRead;
  TieUpObjects();
  return Status::Ok();
}

int ZoSpriteAnimation::Write(const char* fileName) const {
  if (!fileName || std::strcmp(fileName, kNoFileMarker) == 0) return 0;
  if (!objectFileName) return 0;  // checked before the file is touched
  std::ostringstream content(std::ios::binary);
  BinaryWriter out(content);
  AnimationFileHeader header;
  header.objectFile = *objectFileName;
  header.spriteCount = std::int16_t(std::min<std::size_t>(sprites.size(), 0x7FFF));
  WriteFields(kAnimationFileHeader, header, out);
  // A record's Write is always 1; the stream's state, which out.Ok() reads, tells.
  for (std::size_t i = 0; i < sprites.size() && i < 0x7FFF; ++i)
    static_cast<void>(sprites[i]->Write(content));
  if (!out.Ok()) return 0;
  return ReplaceFileContent(Cp932ToPath(fileName), content.view()).ok() ? 1 : 0;
}

int ZoSpriteAnimation::ReadObjectsOf(const char* animationFile) {
  return LoadObjectsOf(animationFile).ok() ? 1 : 0;
}

Status ZoSpriteAnimation::LoadObjectsOf(const char* animationFile) {
  const std::string stored = objectFileName.value_or("");
  if (stored.empty()) return Status::Failure("names no object file");
  const Status atStored = LoadObjects(stored.c_str());
  if (atStored) return atStored;
  const auto refusal = [](const std::string& name, const Status& why) {
    return Status::Failure("object file " + Cp932ToUtf8(name) + ": " + why.message());
  };
  const PathParts object = SplitPath(stored);
  if (object.name.empty() && object.extension.empty()) return refusal(stored, atStored);
  const PathParts animation = SplitPath(animationFile ? animationFile : "");
  const std::string beside = animation.drive + animation.directory + object.name + object.extension;
  if (beside == stored) return refusal(stored, atStored);
  const Status atBeside = LoadObjects(beside.c_str());
  if (atBeside) return atBeside;
  // The reason worth reading is the one of a file that is there.
  const bool storedIsThere = CanOpen(Cp932ToPath(stored)).ok();
  return storedIsThere || !CanOpen(Cp932ToPath(beside)).ok() ? refusal(stored, atStored) : refusal(beside, atBeside);
}

int ZoSpriteAnimation::ReadObjects(const char* fileName) { return LoadObjects(fileName).ok() ? 1 : 0; }

Status ZoSpriteAnimation::LoadObjects(const char* fileName) {
  std::ifstream file;
  ObjectFileHeader header;
  if (Status opened = OpenAndReadHeader(fileName, kObjectFileHeader, kObjectMagic, "object file", file, header);
      !opened)
    return opened;
  BinaryReader in(file);
  const std::size_t records = AnnouncedRecords(header.objectCount);
  // Each record takes at least its fixed part, all that a record with a wrong tag takes.
  if (Status room = CheckRoom(in, records, kObjectRecordSize, "objects", false); !room) return room;

  // The new objects are read aside; a broken file leaves the current ones in place.
  ObjectList loaded;
  loaded.reserve(std::max<std::size_t>(records, 33));
  for (std::size_t i = 0; i < records; ++i) {
    auto object = std::make_unique<ZoSpriteData>();
    // A record with a wrong tag leaves a default object, kept all the same: it is not a refusal.
    const Result<bool> read = object->ReadRecord(file);
    if (!read)
      return Status::Failure("object " + std::to_string(i + 1) + " of " + Grouped(static_cast<long long>(records)) +
                             " " + read.message());
    loaded.push_back(std::move(object));
  }
  // Sprites point at the objects being replaced: they are tied to nothing until the caller
  // ties them to the new ones.
  for (const auto& sprite : sprites) sprite->spriteData = nullptr;
  objects = std::move(loaded);
  return Status::Ok();
}

}  // namespace kelna
