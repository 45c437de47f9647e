#pragma once
// The program's picture: a device-independent bitmap (DIB) held exactly as a BMP file carries
// it, the palette made from its colour table, and the device bitmap made from it for fast
// blits. The storage is shared by reference count between copies, so a device bitmap made
// through one copy serves them all.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <vector>

#include "platform/raster.h"

namespace kelna {

class TDib;

// The shared storage of images. Plain data; ZoImage manages its life.
struct ZoImageData {
  // The packed DIB: a 40-byte BITMAPINFOHEADER, the colour table (NumColors() entries of
  // blue, green, red, 0), then the pixel rows bottom-up, `stride` bytes each. Empty when the
  // image has no DIB. It views either `ownedDib` or the block of a loader (ZoBmpImage).
  std::span<std::uint8_t> dib;
  std::unique_ptr<Palette> palette;
  std::unique_ptr<Bitmap> ddb;
  std::int16_t width = 0;    // the image's width when it has no DIB
  std::int16_t height = 0;   // the image's height when it has no DIB
  std::uint16_t stride = 0;  // bytes per pixel row, a multiple of 4 (DibStride16)
  std::int16_t refCount = 1;

  // A block that belongs to this data (read from a stream, or made from the device bitmap).
  std::vector<std::uint8_t> ownedDib;
  // A loader whose block `dib` still shows after the image that owned the loader replaced
  // its picture; it ends with the data, so sharers never see a freed block.
  std::unique_ptr<TDib> retiredLoader;

  ZoImageData();
  ~ZoImageData();
  ZoImageData(const ZoImageData&) = delete;
  ZoImageData& operator=(const ZoImageData&) = delete;
};

class ZoImage {
 public:
  ZoImage();
  ZoImage(const ZoImage& other);
  ZoImage& operator=(const ZoImage& other);
  // Cuts the rectangle (x, y, w, h) out of the source's device bitmap; a w or h of 0 means
  // the source's width or height, and the rectangle is cut to the source's edges. The
  // result has a device bitmap and no DIB. The source must already have its device bitmap.
  ZoImage(const DeviceContext& dc, const ZoImage* source, short x, short y, unsigned short w,
          unsigned short h);
  virtual ~ZoImage();

  // Input and output: nothing in this class; ZoBmpImage gives them their BMP meaning.
  [[nodiscard]] virtual int Read(const char* fileName);
  [[nodiscard]] virtual int Write(const char* fileName);
  [[nodiscard]] virtual int Read(std::istream& is);
  [[nodiscard]] virtual int Write(std::ostream& os);

  // Shares the other image's data, like operator=.
  void SetImageData(const ZoImage* other);

  // Colour-table size: biClrUsed when not 0, else 2, 16 or 256 for 1, 4 or 8 bits, else 0.
  unsigned NumColors() const;
  // (Re)builds the palette from the colour table; no colours, no palette.
  void MakePalette();
  // (Re)builds the device bitmap from the DIB for `dc` (with the image's palette selected
  // and realised while converting, when it has one). Without a DIB nothing happens.
  void DIBtoDDB(DeviceContext& dc);
  // Builds a 32-bit DIB from the device bitmap when the image has a device bitmap and no DIB.
  void DDBtoDIB();
  // Blits the image (a width or height of 0 means the image's) to `dc` with `rop`, building
  // the palette and device bitmap first if needed.
  void Show(DeviceContext& dc, short srcX, short srcY, short dstX, short dstY, short width,
            short height, RasterOp rop);
  // Writes the image in the BMP stream form; 1 written, 0 when there is no DIB, the stream
  // has failed, or the block is too short for what its header says.
  [[nodiscard]] int WriteDIB(std::ostream& os);

  // The pixel rows and the colour table inside the DIB, or nullptr without a DIB (or when a
  // hostile header puts them past the end of the block).
  std::uint8_t* GetBits();
  std::uint8_t* GetColors();

  // Width and height: the DIB header's (low 16 bits) when there is a DIB, else the data's.
  short Width() const;
  short Height() const;
  bool HasDib() const { return !imageData->dib.empty(); }
  std::span<const std::uint8_t> Dib() const { return imageData->dib; }
  const Palette* GetPalette() const { return imageData->palette.get(); }
  Bitmap* Ddb() const { return imageData->ddb.get(); }
  // Frees the device bitmap (for every sharer); the image keeps its DIB.
  void ReleaseDDB() { imageData->ddb.reset(); }
  std::int16_t RefCount() const { return imageData->refCount; }
  const ZoImageData* Data() const { return imageData; }

 protected:
  // Lowers the count of the current data (destroying it at 0) and takes fresh, empty data.
  void TakeFreshData();
  // Sets stride, width and height from the DIB header.
  void CompleteFromHeader();
  // Where the pixel rows begin in the DIB: after the header and the colour table.
  std::size_t PixelOffset() const;
  // Writes the BMP stream form (file header, then the block); see WriteDIB.
  [[nodiscard]] int WriteStreamForm(std::ostream& os, bool checkEachWrite);

  // Never null while the object lives. Shared by reference count between copies.
  ZoImageData* imageData;

 private:
  void Release();
};

}  // namespace kelna
