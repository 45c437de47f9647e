#pragma once
// The animation scene: the sprite objects of the current object file, the sprites that show
// them (sorted by depth, back to front), the background, and the off-screen surfaces on
// which each frame is composed. The application owns one scene for its whole run.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/animated_sprite.h"
#include "platform/raster.h"
#include "platform/status.h"
#include "sprites/image.h"
#include "sprites/sprite_data.h"

namespace kelna {

// Background modes (the BGImageMode setting).
enum BackgroundMode : std::int32_t {
  BgCenter = 0,
  BgTile = 1,
  BgDesktop = 2,
};

class ZoSpriteAnimation {
 public:
  using SpriteList = std::vector<std::unique_ptr<ZoAnimatedSprite>>;
  using ObjectList = std::vector<std::unique_ptr<ZoSpriteData>>;

  ZoSpriteAnimation();
  // With a background image from a BMP file (code page 932 name). The context and sizes
  // are not used; the scene is sized when it is prepared.
  ZoSpriteAnimation(const DeviceContext* dc, unsigned short width, unsigned short height,
                    const char* fileName);
  // With a background image that the scene takes over.
  ZoSpriteAnimation(const DeviceContext* dc, unsigned short width, unsigned short height,
                    std::unique_ptr<ZoImage> image);
  virtual ~ZoSpriteAnimation();
  ZoSpriteAnimation(const ZoSpriteAnimation&) = delete;
  ZoSpriteAnimation& operator=(const ZoSpriteAnimation&) = delete;

  // Prepares the scene for a window of width × height whose context is `hdc`: composes
  // the background (from `image`, or from `desktopDC` in desktop mode; the scene takes
  // both over and frees the desktop context), paints it once on the window, makes the
  // surfaces and every object's device bitmaps, and sets each sprite's start state and
  // position (drawing random numbers in sprite order, x before y). Called once per scene.
  void InitAnimation(DeviceContext& hdc, unsigned short width, unsigned short height,
                     std::unique_ptr<ZoImage> image, std::unique_ptr<MemoryDC> desktopDC);

  // Deletes every sprite, then every object; names, background and surfaces stay.
  void Clear();
  // A default sprite named "newsprite" showing "None", added in depth order.
  ZoAnimatedSprite* NewSprite();
  // Adds a sprite after every sprite of greater or equal depth.
  ZoAnimatedSprite* AddSprite(std::unique_ptr<ZoAnimatedSprite> sprite);
  // Takes a sprite out of the list (to re-sort it after a depth change, or to delete it).
  std::unique_ptr<ZoAnimatedSprite> RemoveSprite(std::size_t index);

  ZoAnimatedSprite* FindSprite(const char* name) const;
  ZoSpriteData* FindSpriteData(const char* name) const;
  static bool SearchByName(const ZoSpriteData& object, const void* name);
  static bool SearchByName2(const ZoAnimatedSprite& sprite, const void* name);
  // The front-most shown sprite whose rectangle holds the point, or nullptr.
  ZoAnimatedSprite* GetSpriteAt(short x, short y) const;
  // Links every sprite to the object its objectName names ("None" when there is none)
  // and counts each object's users. Returns 1.
  int TieUpObjects();

  // One frame step: every sprite that moved (or stands in a region that changed) is
  // redrawn off-screen from the background, back to front, advanced, moved and steered by
  // its behaviour; each region reaches `hdc` in one blit, the scene point (viewLeft,
  // viewTop) at (destX, destY). InitAnimation must have run.
  void Animate(DeviceContext& hdc, short destX, short destY);
  // Copies the whole visible background to (x, y) of `hdc`.
  void DrawBackground(DeviceContext& hdc, short x, short y);
  // The sprite's behaviour rule, run when a new frame has become current.
  void AdjustSpritePosition(ZoAnimatedSprite* sprite);

  // Told of every sprite whose sound the frame step asks to play, whether or not the wave
  // player starts it: kelna-tool's trace lists them per tick, the native player counts them
  // for --verbose. (The wave player seam sees only the wave, not the sprite that asked.)
  std::function<void(const ZoAnimatedSprite&)> soundListener;

  // The animation file. Read: 1, or 0 when the file does not open, is not an animation
  // file, is cut short (the scene is then unchanged), or, with objects, when its object
  // file cannot be loaded by ReadObjectsOf (the sprites stay loaded, tied to nothing).
  // Write: 1, or 0 for the no-file name, a scene without an object file name, or a failed
  // write; the file is replaced only by a complete new one.
  [[nodiscard]] virtual int Read(const char* fileName, bool withObjects);
  [[nodiscard]] virtual int Write(const char* fileName) const;
  // The object file: 1, or 0 (the objects unchanged) when it does not open, is not an
  // object file, or is broken. After a load the sprites are tied to nothing until
  // TieUpObjects runs.
  [[nodiscard]] virtual int ReadObjects(const char* fileName);
  // The object file of the animation file animationFile, as ReadObjects: at the path the
  // animation stores, else, when that does not read, the file of the same name beside the
  // animation file (an animation moved or unpacked elsewhere together with its objects).
  // objectFileName keeps the stored path either way.
  [[nodiscard]] int ReadObjectsOf(const char* animationFile);
  // The same four readers, saying why they refuse a file, in words a user can act on ("not
  // an animation file", "object 12 of 40 cut short in frame 3 of 6",
  // "object file gone.foe: no such file"); the file's own name is left to the caller.
  [[nodiscard]] Status Load(const char* fileName, bool withObjects);
  [[nodiscard]] Status LoadObjects(const char* fileName);
  [[nodiscard]] Status LoadObjectsOf(const char* animationFile);

  SpriteList sprites;
  ObjectList objects;
  std::unique_ptr<ZoImage> bgImage;
  std::optional<std::string> animationFileName;
  std::optional<std::string> objectFileName;
  std::int16_t viewTop = 0;
  std::int16_t viewLeft = 0;
  std::uint16_t screenWidth = 0;
  std::uint16_t screenHeight = 0;
  std::int32_t waveSoundOn = 0;
  std::int32_t bgMode = BgCenter;
  // The composed background, or the background image's own device bitmap when the image
  // is larger than the scene both ways (borrowed: it goes with the image).
  BitmapHandle bgBitmap;
  std::unique_ptr<Bitmap> workBitmap;
  // bgDC and workDC hold their bitmaps for the scene's life; destroying a context or a
  // bitmap undoes the selection, so nothing needs selecting back. spriteDC has a frame's
  // bitmap selected only while the frame is drawn.
  std::unique_ptr<MemoryDC> bgDC;
  std::unique_ptr<MemoryDC> spriteDC;
  std::unique_ptr<MemoryDC> workDC;

 private:
  struct Region {
    std::int16_t x = 0, y = 0, w = 0, h = 0;
  };
  static Region SweptRectangle(const ZoAnimatedSprite& sprite);
  static bool Touch(const Region& a, const Region& b);
  Region GatherRegion(std::size_t first);
  void DrawRegion(DeviceContext& hdc, Region region, short destX, short destY);
  void DrawSprite(ZoAnimatedSprite& sprite, const Region& region);
  void DrawFrame(const ZoAnimatedSprite& sprite, int x, int y, int width, int height);
  void AdjustRadial(ZoAnimatedSprite& sprite, int width, int height);
  void ComposeBackground(DeviceContext& hdc, std::unique_ptr<MemoryDC> desktopDC);
  void DrawPicture(DeviceContext& hdc);
  void PlaceSprites();

  // A second source beside spriteDC: a frame's image while its mask is in spriteDC, so
  // that both are drawn in one pass.
  std::unique_ptr<MemoryDC> imageDC;
};

}  // namespace kelna
