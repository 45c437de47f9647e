#include "sprites/image.h"

#include <algorithm>
#include <array>
#include <ostream>

#include "platform/bmp_format.h"
#include "sprites/dib_loader.h"

namespace kelna {
ZoImageData::ZoImageData() = default;
ZoImageData::~ZoImageData() = default;

// --- Sharing ---

ZoImage::ZoImage() : imageData(new ZoImageData) {}

ZoImage::ZoImage(const ZoImage& other) : imageData(other.imageData) { ++imageData->refCount; }

ZoImage& ZoImage::operator=(const ZoImage& other) {
  SetImageData(&other);
  return *this;
}

void ZoImage::SetImageData(const ZoImage* other) {
  // Raising the other count first makes self-assignment harmless.
  ZoImageData* shared = other->imageData;
  ++shared->refCount;
  Release();
  imageData = shared;
}

ZoImage::~ZoImage() { Release(); }

void ZoImage::Release() {
  if (--imageData->refCount == 0) delete imageData;
  imageData = nullptr;
}

void ZoImage::TakeFreshData() {
  Release();
  imageData = new ZoImageData;
}

void ZoImage::CompleteFromHeader() {
  const DibHeader header = ReadBlockHeader(imageData->dib);
  imageData->stride = DibStride16(header.bitCount, header.width);
  imageData->width = std::int16_t(header.width);
  imageData->height = std::int16_t(header.height);
}

// --- Input and output of the base class: nothing ---

int ZoImage::Read(const char*) { return 0; }
int ZoImage::Write(const char*) { return 0; }
int ZoImage::Read(std::istream&) { return 0; }
int ZoImage::Write(std::ostream&) { return 0; }

// --- Sub-image ---

ZoImage::ZoImage(const DeviceContext& dc, const ZoImage* source, short x, short y, unsigned short w,
                 unsigned short h)
    : ZoImage() {
  if (!source) return;
  const int sourceWidth = source->Width();
  const int sourceHeight = source->Height();
  const int left = std::max<int>(x, 0);
  const int top = std::max<int>(y, 0);
  int width = w == 0 ? sourceWidth : w;
  int height = h == 0 ? sourceHeight : h;
  if (left + width > sourceWidth) width = sourceWidth - left;
  if (top + height > sourceHeight) height = sourceHeight - top;
  imageData->width = std::int16_t(width);
  imageData->height = std::int16_t(height);
  imageData->ddb = CreateCompatibleBitmap(dc, width, height);
  if (!imageData->ddb) return;
  Bitmap* sourceBitmap = source->Ddb();
  if (!sourceBitmap) return;  // nothing to cut from: the new picture stays black
  auto sourceDC = CreateCompatibleDC(&dc);
  auto targetDC = CreateCompatibleDC(&dc);
  const ScopedSelection from(*sourceDC, sourceBitmap);
  const ScopedSelection to(*targetDC, imageData->ddb.get());
  // A source bitmap that is selected elsewhere cannot be selected here (nor in GDI).
  if (from && to) BitBlt(*targetDC, 0, 0, width, height, *sourceDC, left, top, RasterOp::SourceCopy);
}

// --- Colours and conversions ---

unsigned ZoImage::NumColors() const {
  return HasDib() ? unsigned(DeclaredColorCount(ReadBlockHeader(imageData->dib))) : 0;
}

std::size_t ZoImage::PixelOffset() const {
  return kInfoHeaderSize + 4 * std::size_t(NumColors());
}

void ZoImage::MakePalette() {
  if (!HasDib()) return;
  imageData->palette.reset();
  const std::size_t count = NumColors();
  // A colour count that the block cannot hold (or a palette cannot: its entry count is
  // 16 bits) leaves the image without a palette, as a failed allocation would.
  if (count == 0 || count > 0xFFFF || PixelOffset() > imageData->dib.size()) return;
  std::vector<Palette::Entry> entries(count);
  const std::uint8_t* quad = imageData->dib.data() + kInfoHeaderSize;
  for (auto& entry : entries) {
    entry = {quad[2], quad[1], quad[0], 0};
    quad += 4;
  }
  imageData->palette = std::make_unique<Palette>(std::move(entries));
}

void ZoImage::DIBtoDDB(DeviceContext& dc) {
  if (!HasDib()) return;
  imageData->ddb.reset();
  const ScopedPalette palette(dc, imageData->palette.get(), PaletteRestore::Foreground);
  const auto dib = imageData->dib;
  const std::size_t offset = std::min(PixelOffset(), dib.size());
  imageData->ddb = CreateDIBitmap(dc, dib, dib.subspan(offset));
}

void ZoImage::DDBtoDIB() {
  const Bitmap* ddb = imageData->ddb.get();
  if (!ddb || HasDib()) return;
  constexpr unsigned kBitCount = 32;  // planes × bits per pixel of our device bitmaps
  const std::uint16_t stride = DibStride16(kBitCount, ddb->Width());
  const std::size_t imageSize = std::size_t(stride) * std::size_t(ddb->Height());
  std::vector<std::uint8_t> block(kInfoHeaderSize + imageSize);
  DibHeader header;  // BI_RGB, no colour table, no resolution
  header.width = ddb->Width();
  header.height = ddb->Height();
  header.planes = 1;
  header.bitCount = kBitCount;
  header.sizeImage = std::uint32_t(imageSize);
  WriteInfoHeader(block, header);
  if (GetDIBits(*ddb, 0, ddb->Height(), kBitCount, {block.data() + kInfoHeaderSize, imageSize}) !=
      ddb->Height())
    return;
  imageData->width = std::int16_t(ddb->Width());
  imageData->height = std::int16_t(ddb->Height());
  imageData->stride = stride;
  imageData->ownedDib = std::move(block);
  imageData->dib = imageData->ownedDib;
}

void ZoImage::Show(DeviceContext& dc, short srcX, short srcY, short dstX, short dstY, short width,
                   short height, RasterOp rop) {
  if (HasDib()) {
    if (!imageData->palette && NumColors() != 0) MakePalette();
    if (!imageData->ddb) DIBtoDDB(dc);
  }
  Bitmap* ddb = imageData->ddb.get();
  if (!ddb) return;
  auto memory = CreateCompatibleDC(&dc);
  const ScopedSelection selection(*memory, ddb);
  if (!selection) return;  // selected into another context: GDI would refuse too
  const int w = width == 0 ? Width() : width;
  const int h = height == 0 ? Height() : height;
  BitBlt(dc, dstX, dstY, w, h, *memory, srcX, srcY, rop);
}

// --- Pixels, colours and the stream form ---

std::uint8_t* ZoImage::GetBits() {
  if (!HasDib() || PixelOffset() > imageData->dib.size()) return nullptr;
  return imageData->dib.data() + PixelOffset();
}

std::uint8_t* ZoImage::GetColors() {
  return HasDib() ? imageData->dib.data() + kInfoHeaderSize : nullptr;
}

short ZoImage::Width() const {
  return HasDib() ? short(ReadBlockHeader(imageData->dib).width) : imageData->width;
}

short ZoImage::Height() const {
  return HasDib() ? short(ReadBlockHeader(imageData->dib).height) : imageData->height;
}

int ZoImage::WriteStreamForm(std::ostream& os, bool checkEachWrite) {
  if (!HasDib() || !os) return 0;
  const std::uint32_t offBits = std::uint32_t(kFileHeaderSize + PixelOffset());
  const std::uint32_t fileSize =
      std::uint32_t(std::uint16_t(Height())) * imageData->stride + offBits;
  // Whatever the header claims, never write from beyond the block.
  const std::size_t blockBytes = fileSize - kFileHeaderSize;
  if (fileSize < offBits || blockBytes > imageData->dib.size()) return 0;
  const std::array<std::uint8_t, kFileHeaderSize> header = MakeFileHeader(fileSize, offBits);
  os.write(reinterpret_cast<const char*>(header.data()), kFileHeaderSize);
  if (checkEachWrite && !os) return 0;
  os.write(reinterpret_cast<const char*>(imageData->dib.data()), std::streamsize(blockBytes));
  if (checkEachWrite && !os) return 0;
  return 1;
}

int ZoImage::WriteDIB(std::ostream& os) { return WriteStreamForm(os, false); }

}  // namespace kelna
