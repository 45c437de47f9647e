#include "sprites/sprite_data.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/binary_io.h"
#include "platform/text.h"
#include "sprites/bmp_image.h"
#include "sprites/object_record.h"

namespace kelna {
namespace {

constexpr std::uint32_t kNoImage = 0;
constexpr std::uint32_t kPreviousImage = 0xFFFFFFFF;
constexpr std::uint32_t kImageFollows = 1;  // any other value announces an image
constexpr std::size_t kMarkerSize = 4;
constexpr std::size_t kLocationSize = 8;

}  // namespace

const char* const ZoSpriteData::BehaveName[6] = {
    "\x97\xAC\x82\xEA",                      // 流れ
    "\xCA\xDE\xB3\xDD\xC4\xDE",              // ﾊﾞｳﾝﾄﾞ
    "\x82\x50\xBC\xAE\xAF\xC4",              // １ｼｮｯﾄ
    "\xD7\xDD\xC0\xDE\xD1\xB3\xAB\xB0\xB8",  // ﾗﾝﾀﾞﾑｳｫｰｸ
    "\x8E\x77\x92\xE8\x88\xCA\x92\x75",      // 指定位置
    nullptr,
};

ZoSpriteData::ZoSpriteData()
    : images(std::make_shared<ImagePairs>()), locations(std::make_shared<Locations>()) {}

ZoSpriteData::ZoSpriteData(std::shared_ptr<ImagePairs> pairs, short depthValue, int owns)
    : images(pairs ? std::move(pairs) : std::make_shared<ImagePairs>()),
      depth(depthValue),
      ownsImages(owns) {}

ZoSpriteData::~ZoSpriteData() = default;

// A new object's values are its members' initial ones.
void ZoSpriteData::Clear() {
  const ZoSpriteData fresh;
  Copy(&fresh, false);
}

// --- Frames ---

const ZoSpriteData::ImagePair* ZoSpriteData::Pair(short frame) const {
  if (frame < 0 || frame >= PairCount()) return nullptr;
  return (*images)[std::size_t(frame)].get();
}

ZoSpriteData::ImageSlot* ZoSpriteData::SlotAt(short frame, PairPart part) const {
  if (frame < 0 || frame >= PairCount()) return nullptr;
  ImagePair& pair = *(*images)[std::size_t(frame)];
  return part == PairPart::Image ? &pair.image : &pair.mask;
}

int ZoSpriteData::MakeDDB(DeviceContext& dc, short frame) {
  const ImagePair* pair = Pair(frame);
  if (!pair || !pair->image.Image()) return 0;  // none, or borrowed from an earlier frame
  pair->image.Image()->MakePalette();
  pair->image.Image()->DIBtoDDB(dc);
  if (!pair->mask.Image()) return 0;
  pair->mask.Image()->MakePalette();
  pair->mask.Image()->DIBtoDDB(dc);
  return 1;
}

void ZoSpriteData::MakeDDB(DeviceContext& dc) {
  // A frame that cannot be converted stays without a bitmap and is not drawn.
  for (int frame = 0; frame < PairCount() && frame <= 0x7FFF; ++frame)
    static_cast<void>(MakeDDB(dc, short(frame)));
}

ZoImage* ZoSpriteData::SearchBack(short frame, PairPart part) const {
  for (int i = frame; i >= 0; --i) {
    const ImageSlot* slot = SlotAt(short(i), part);
    if (!slot || slot->IsNone()) return nullptr;
    if (!slot->IsUsePrevious()) return slot->Image();
  }
  return nullptr;
}

ZoImage* ZoSpriteData::GetPrevImage(short frame) const { return SearchBack(frame, PairPart::Image); }
ZoImage* ZoSpriteData::GetPrevMask(short frame) const { return SearchBack(frame, PairPart::Mask); }

Bitmap* ZoSpriteData::GetImageHandle(short frame) const {
  const ZoImage* image = GetPrevImage(frame);
  return image ? image->Ddb() : nullptr;
}

Bitmap* ZoSpriteData::GetMaskHandle(short frame) const {
  const ZoImage* mask = GetPrevMask(frame);
  return mask ? mask->Ddb() : nullptr;
}

const ZoSpriteData::ImageSlot& ZoSpriteData::GetImage(short frame) const {
  static const ImageSlot none;
  const ImageSlot* slot = SlotAt(frame, PairPart::Image);
  return slot ? *slot : none;
}

const ZoSpriteData::ImageSlot& ZoSpriteData::GetMask(short frame) const {
  static const ImageSlot none;
  const ImageSlot* slot = SlotAt(frame, PairPart::Mask);
  return slot ? *slot : none;
}

void ZoSpriteData::SetNumFrames(unsigned short n) {
  frameCount = n;
  ExpandImageArray(n);
}

int ZoSpriteData::ExpandImageArray(int n) {
  n = std::clamp(n, 0, 0xFFFF);
  images->resize(std::size_t(n));
  for (auto& pair : *images)
    if (!pair) pair = std::make_shared<ImagePair>();
  frameCount = std::uint16_t(n);
  return n;
}

short ZoSpriteData::AddImage(std::unique_ptr<ZoImage> image, short frame, PairPart part) {
  if (frame < 0) return frame;
  if (PairCount() <= frame) ExpandImageArray(frame + 1);
  ImagePair& pair = *(*images)[std::size_t(frame)];
  const bool toImage = part == PairPart::Image;
  ImageSlot& target = toImage ? pair.image : pair.mask;
  // A frame that borrowed this slot from an earlier frame no longer borrows the other one.
  if (target.IsUsePrevious()) (toImage ? pair.mask : pair.image).SetNone();
  target.Set(std::move(image));
  return frame;
}

short ZoSpriteData::AddUsePrevious(short frame, PairPart part) {
  if (frame < 0) return frame;
  if (PairCount() <= frame) ExpandImageArray(frame + 1);
  SlotAt(frame, part)->SetUsePrevious();
  return frame;
}

void ZoSpriteData::LoadImage(const char* fileName, short frame, PairPart part) {
  ImageSlot* slot = SlotAt(frame, part);
  if (!slot || slot->IsUsePrevious()) return;
  slot->Set(std::make_unique<ZoBmpImage>(fileName));
}

// --- Locations ---

void ZoSpriteData::AddLocation(const TPoint& p) {
  if (!locations) locations = std::make_shared<Locations>();
  locations->push_back(p);
}

void ZoSpriteData::AddLocation(const TPoint& p, short index) {
  if (!locations) locations = std::make_shared<Locations>();
  const auto at = std::clamp<std::ptrdiff_t>(index, 0, std::ptrdiff_t(locations->size()));
  locations->insert(locations->begin() + at, p);
}

void ZoSpriteData::SetLocation(const TPoint& p, short index) {
  if (locations && index >= 0 && std::size_t(index) < locations->size()) (*locations)[std::size_t(index)] = p;
}

// --- Copy ---

void ZoSpriteData::Copy(const ZoSpriteData* source, bool deep) {
  if (!source || source == this) return;
  images = source->images;
  locations = source->locations;
  sound = source->sound;
  CopyFields(kObjectRecord, *this, *source);
  useCount = source->useCount;
  if (!deep) return;
  // Own lists; the pairs, their images and the sound stay shared with the source.
  images = std::make_shared<ImagePairs>(*source->images);
  if (source->locations) locations = std::make_shared<Locations>(*source->locations);
}

// --- The record ---

std::uint16_t ZoSpriteData::StoredLocationCount() const {
  const bool withLocations = locations && behaviour == BehaveSpecified;
  return std::uint16_t(withLocations ? std::min<std::size_t>(locations->size(), 0xFFFF) : 0);
}

int ZoSpriteData::Read(std::istream& is) {
  const Result<bool> read = ReadRecord(is);
  return read.ok() && *read ? 1 : 0;
}

Result<bool> ZoSpriteData::ReadRecord(std::istream& is) {
  BinaryReader in(is);
  const auto refuse = [&](const std::string& why) {
    is.setstate(std::ios::failbit);
    return Status::Failure(why);
  };
  std::array<char, kObjectRecordSize> fixedPart{};
  if (!in.Bytes(fixedPart)) return refuse("cut short in its first " + std::to_string(kObjectRecordSize) + " bytes");
  // The tag is compared as a NUL-terminated text, so the byte after it (reserved1's low
  // byte) must be 0.
  if (!HasTags(kObjectRecord, fixedPart) || fixedPart[FieldOffset(kObjectRecord, "reserved1")] != 0) return false;

  // Everything goes into a new object first, so that a broken record changes nothing.
  ZoSpriteData next;
  ReadFields(kObjectRecord, next, fixedPart);
  const std::uint16_t frames = next.frameCount;
  const std::uint16_t locationCount =
      SpanReader(std::span<const char>(fixedPart).subspan(FieldOffset(kObjectRecord, "locationCount"))).U16();

  // Each frame holds at least its two markers: a count the stream cannot hold is refused
  // before anything is made for it.
  if (std::uint64_t(frames) * 2 * kMarkerSize > in.Remaining())
    return refuse("announces " + Grouped(frames) + " frames, room for " +
                  Grouped(static_cast<long long>(in.Remaining() / (2 * kMarkerSize))));
  next.ExpandImageArray(frames);
  for (std::size_t frame = 0; frame < next.images->size(); ++frame) {
    ImagePair& pair = *(*next.images)[frame];
    Status picture = Status::Ok();
    for (ImageSlot* slot : {&pair.image, &pair.mask}) {
      const std::uint32_t marker = in.U32();
      if (marker == kNoImage) continue;
      if (marker == kPreviousImage) {
        slot->SetUsePrevious();
        continue;
      }
      // An image that fails to read stays as an empty image, unless the stream broke.
      auto image = std::make_unique<ZoBmpImage>();
      // The last refusal is the one that may have broken the stream.
      if (Status read = image->ReadStreamForm(is); !read) picture = std::move(read);
      slot->Set(std::move(image));
    }
    if (!is || !in.Ok())
      return refuse("cut short in frame " + std::to_string(frame + 1) + " of " + Grouped(frames) +
                    (picture ? "" : " (" + picture.message() + ")"));
  }
  if (std::uint64_t(locationCount) * kLocationSize > in.Remaining())
    return refuse("announces " + Grouped(locationCount) + " positions, room for " +
                  Grouped(static_cast<long long>(in.Remaining() / kLocationSize)));
  for (std::uint16_t i = 0; i < locationCount; ++i) {
    const std::int32_t x = in.I32();
    next.AddLocation({x, in.I32()});
  }
  const std::uint32_t hasSound = in.U32();
  if (!in.Ok()) return refuse("cut short before its sound");
  if (hasSound != 0) {
    next.sound = std::make_shared<ZoSound>();
    if (Status sound = next.sound->ReadRecord(is); !sound) return refuse(sound.message());
  }
  if (!is || !in.Ok()) return refuse("cut short");
  const std::int16_t uses = useCount;
  Copy(&next, false);
  useCount = uses;  // counted by the scene, not stored
  return true;
}

int ZoSpriteData::Write(std::ostream& os) const {
  BinaryWriter out(os);
  WriteFields(kObjectRecord, *this, out);
  const std::uint16_t locationCount = StoredLocationCount();

  for (int frame = 0; frame < frameCount; ++frame) {
    const ImagePair* pair = frame <= 0x7FFF ? Pair(short(frame)) : nullptr;
    for (const ImageSlot* slot : {pair ? &pair->image : nullptr, pair ? &pair->mask : nullptr}) {
      if (!slot || slot->IsNone()) {
        out.U32(kNoImage);
      } else if (slot->IsUsePrevious()) {
        out.U32(kPreviousImage);
      } else {
        // An image without a stream form (no DIB) is stored as an empty slot: a marker that
        // announces an image which does not follow would make the record unreadable.
        std::ostringstream form(std::ios::binary);
        const bool written = slot->Image()->Write(form) != 0;
        out.U32(written ? kImageFollows : kNoImage);
        if (written) out.Bytes(std::span<const char>(form.view()));
      }
    }
  }
  for (std::uint16_t i = 0; i < locationCount; ++i) {
    out.I32((*locations)[i].x);
    out.I32((*locations)[i].y);
  }
  out.U32(sound ? 1 : 0);
  if (sound) sound->Write(os);
  return 1;
}

int ZoSpriteData::Read(const char* fileName) {
  std::ifstream file(Cp932ToPath(fileName ? fileName : ""), std::ios::binary);
  if (!file) return 0;
  return Read(file);
}

int ZoSpriteData::Write(const char* fileName) const {
  std::ostringstream record(std::ios::binary);
  static_cast<void>(Write(record));  // always 1: the stream's state tells
  if (!record) return 0;
  return ReplaceFileContent(Cp932ToPath(fileName ? fileName : ""), record.view()).ok() ? 1 : 0;
}

}  // namespace kelna
