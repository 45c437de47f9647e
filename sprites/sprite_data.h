#pragma once
// A sprite object: the reusable definition behind the sprites of a scene. A name, frames
// (each an image with an optional mask), the defaults a new sprite takes over, positions for
// the specified-position behaviour, and an optional wave sound. Stored as one record in the
// object file.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/raster.h"
#include "platform/status.h"
#include "sprites/image.h"
#include "sprites/sound.h"

namespace kelna {

// Behaviour numbers of sprites and sprite objects.
enum Behaviour : std::int32_t {
  BehaveFlow = 0,
  BehaveBound = 1,
  BehaveOneShot = 2,
  BehaveRandomWalk = 3,
  BehaveSpecified = 4,
  BehaveRadial = 5,
};

struct TPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Which slot of a frame's image pair: the picture or its mask.
enum class PairPart { Image, Mask };

class ZoSpriteData {
 public:
  // One frame slot: none, UsePrevious (the nearest earlier frame's image or mask), or an
  // image the slot owns.
  class ImageSlot {
   public:
    bool IsNone() const { return !usePrevious_ && !image_; }
    bool IsUsePrevious() const { return usePrevious_; }
    ZoImage* Image() const { return image_.get(); }  // the slot's own image, or nullptr
    void SetNone() { image_.reset(), usePrevious_ = false; }
    void SetUsePrevious() { image_.reset(), usePrevious_ = true; }
    void Set(std::unique_ptr<ZoImage> image) { image_ = std::move(image), usePrevious_ = false; }

   private:
    std::unique_ptr<ZoImage> image_;
    bool usePrevious_ = false;  // never set together with image_
  };

  struct ImagePair {
    ImageSlot image;
    ImageSlot mask;
  };
  // Pairs are shared, not copied, by Copy; each lives as long as an object refers to it.
  using ImagePairs = std::vector<std::shared_ptr<ImagePair>>;
  using Locations = std::vector<TPoint>;

  ZoSpriteData();
  // Takes the given pair list (shared, not copied), depth and ownership flag; no locations.
  ZoSpriteData(std::shared_ptr<ImagePairs> images, short depth, int ownsImages);
  virtual ~ZoSpriteData();
  ZoSpriteData(const ZoSpriteData&) = delete;
  ZoSpriteData& operator=(const ZoSpriteData&) = delete;

  // Back to a new object: empty frames and locations, no sound, no name, defaults.
  void Clear();

  // Builds the device bitmaps of one frame: 1 when image and mask were both built.
  [[nodiscard]] int MakeDDB(DeviceContext& dc, short frame);
  void MakeDDB(DeviceContext& dc);

  // The nearest real image (mask) at or before `frame`, following UsePrevious slots; none
  // when the search meets an empty slot or passes frame 0.
  ZoImage* GetPrevImage(short frame) const;
  ZoImage* GetPrevMask(short frame) const;
  // The device bitmap to draw for the frame, or nullptr.
  Bitmap* GetImageHandle(short frame) const;
  Bitmap* GetMaskHandle(short frame) const;
  // The slot as stored: an image, none, or UsePrevious; a frame without a pair gives none.
  const ImageSlot& GetImage(short frame) const;
  const ImageSlot& GetMask(short frame) const;
  const ImagePair* Pair(short frame) const;
  int PairCount() const { return int(images ? images->size() : 0); }

  void SetNumFrames(unsigned short n);
  // Makes the pair list hold exactly n pairs (deleting pairs from the end, or appending
  // empty ones); frameCount becomes n. Returns n.
  int ExpandImageArray(int n);
  // Puts an image or mask into a frame, growing the list; the pair owns it from then on.
  // Returns the frame.
  short AddImage(std::unique_ptr<ZoImage> image, short frame, PairPart part);
  // Marks a slot UsePrevious, growing the list. Returns the frame.
  short AddUsePrevious(short frame, PairPart part);
  // Loads a BMP file into an existing frame's slot (an unreadable file gives an empty image).
  void LoadImage(const char* fileName, short frame, PairPart part);

  void AddLocation(const TPoint& p);
  // Inserts at `index` (0 ... count; an index past the count appends).
  void AddLocation(const TPoint& p, short index);
  // Replaces the position at 0 <= index < count; otherwise nothing.
  void SetLocation(const TPoint& p, short index);

  // Copies the other object's fields. Shallow: frames, locations and sound are shared.
  // Deep: own lists holding the same pairs, and the same sound.
  void Copy(const ZoSpriteData* source, bool deep);

  // The locations the record stores: the specified-position behaviour's, up to 65535.
  std::uint16_t StoredLocationCount() const;

  // One bare record in a file of its own (sprites/object_record.h describes its fields).
  [[nodiscard]] virtual int Read(const char* fileName);
  [[nodiscard]] virtual int Write(const char* fileName) const;
  // One record at the stream's position. Read gives 1, or 0 with the object unchanged when
  // the tag is not "SPD" (its 79 bytes consumed) or the record is broken (the stream then
  // fails). Write always gives 1.
  [[nodiscard]] virtual int Read(std::istream& is);
  [[nodiscard]] virtual int Write(std::ostream& os) const;
  // Read, saying why: true read, false a record with a wrong tag (kept as a default object
  // by the object file), a failure for a broken record ("announces 500 frames, room for 3").
  [[nodiscard]] Result<bool> ReadRecord(std::istream& is);

  // The behaviours' display names (code page 932), ended by nullptr.
  static const char* const BehaveName[6];

  std::shared_ptr<ImagePairs> images;
  std::shared_ptr<Locations> locations;  // may be none
  std::shared_ptr<ZoSound> sound;        // may be none
  std::int16_t reserved1 = 0;
  std::string name;  // code page 932; empty: none
  std::int16_t depth = 1;
  std::int32_t behaviour = BehaveFlow;
  std::int32_t autoRepeat = 1;
  std::int32_t randomStart = 1;
  std::int32_t ownsImages = 1;
  std::uint16_t imageWidth = 0;
  std::uint16_t imageHeight = 0;
  std::uint16_t frameCount = 0;
  std::int32_t startX = 0;
  std::int32_t startY = 0;
  std::int32_t speedX = 0;
  std::int32_t speedY = 0;
  std::int16_t useCount = 0;

 private:
  ImageSlot* SlotAt(short frame, PairPart part) const;
  ZoImage* SearchBack(short frame, PairPart part) const;
};

}  // namespace kelna
