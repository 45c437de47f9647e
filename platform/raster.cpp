#include "platform/raster.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/dib.h"

namespace kelna {
namespace {

// The stock brush every context starts with, as in GDI.
const SolidBrush kWhiteBrush{0xFFFFFF};

Rect Intersect(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

Rect Offset(const Rect& r, int dx, int dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

bool FitsRaster(int width, int height) {
  return width > 0 && height > 0 && width <= kMaxDibDimension && height <= kMaxDibDimension &&
         std::size_t(width) * std::size_t(height) * sizeof(Pixel) <= kMaxDibPixelBytes;
}

// One row of a raster operation. Plain loops over distinct arrays, which the compiler
// vectorises; which one runs is chosen once per blit.
using RowOperation = void (*)(Pixel* target, const Pixel* source, std::size_t count);

// The C library's copy picks the widest moves this processor has.
void CopyRow(Pixel* target, const Pixel* source, std::size_t count) {
  std::memcpy(target, source, count * sizeof(Pixel));
}
void AndRow(Pixel* target, const Pixel* source, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) target[i] &= source[i];
}
void OrRow(Pixel* target, const Pixel* source, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) target[i] |= source[i];
}

RowOperation RowOperationFor(RasterOp op) {
  switch (op) {
    case RasterOp::SourceCopy: return CopyRow;
    case RasterOp::SourceAnd: return AndRow;
    case RasterOp::SourcePaint: return OrRow;
    case RasterOp::PatternCopy: break;
  }
  return nullptr;
}

PixelRows RowsOf(Bitmap& bitmap) {
  return {bitmap.Pixels().data(), bitmap.Width(), bitmap.Height(), bitmap.Width()};
}

// Draws an already clipped rectangle of `source` onto `target`.
void BlitRows(Bitmap& target, const Rect& area, const Bitmap& source, int sourceX, int sourceY,
              RasterOp op) {
  if (&target != &source) return BlitInto(RowsOf(target), area, source, sourceX, sourceY, op);
  // Source and target may overlap: read the source rows before any is overwritten.
  const RowOperation row = RowOperationFor(op);
  const auto width = std::size_t(area.Width());
  std::vector<Pixel> copy(width * std::size_t(area.Height()));
  for (int y = 0; y < area.Height(); ++y)
    CopyRow(copy.data() + y * width, source.Row(sourceY + y).data() + sourceX, width);
  for (int y = 0; y < area.Height(); ++y)
    row(target.Row(area.top + y).data() + area.left, copy.data() + y * width, width);
}

// GDI treats a negative size as the same rectangle given from its other corner.
void Normalise(int& position, int& size, int* sourcePosition = nullptr) {
  if (size >= 0) return;
  position += size;
  if (sourcePosition) *sourcePosition += size;
  size = -size;
}

}  // namespace

void BlitInto(const PixelRows& target, const Rect& area, const Bitmap& source, int sourceX, int sourceY,
              RasterOp op) {
  const RowOperation row = RowOperationFor(op);
  const auto width = std::size_t(area.Width());
  for (int y = 0; y < area.Height(); ++y)
    row(target.Row(area.top + y) + area.left, source.Row(sourceY + y).data() + sourceX, width);
}

void FillInto(const PixelRows& target, const Rect& area, Pixel colour) {
  for (int y = area.top; y < area.bottom; ++y) std::fill_n(target.Row(y) + area.left, area.Width(), colour);
}

// --- Bitmap ---

Bitmap::Bitmap(int width, int height)
    : width_(width), height_(height), pixels_(std::size_t(width) * std::size_t(height)) {}

Bitmap::Bitmap(int width, int height, std::vector<Pixel> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)) {
  pixels_.resize(std::size_t(width) * std::size_t(height));
}

Bitmap::~Bitmap() {
  if (selectedInto_) selectedInto_->ReleaseSurface(this);
}

// --- DeviceContext ---

DeviceContext::DeviceContext(Bitmap* surface)
    : surface_(surface), initialSurface_(surface), brush_(&kWhiteBrush) {
  if (surface_) surface_->selectedInto_ = this;
}

DeviceContext::~DeviceContext() {
  if (surface_) surface_->selectedInto_ = nullptr;
}

void DeviceContext::ReleaseSurface(Bitmap* dying) {
  // The context falls back to its own first bitmap, as if the dying one had been deselected.
  if (dying == initialSurface_) initialSurface_ = nullptr;
  surface_ = initialSurface_;
  if (surface_) surface_->selectedInto_ = this;
}

Bitmap* DeviceContext::SelectBitmap(Bitmap* bitmap) {
  if (!bitmap || !surface_ || (bitmap->selectedInto_ && bitmap->selectedInto_ != this)) return nullptr;
  Bitmap* previous = std::exchange(surface_, bitmap);
  previous->selectedInto_ = nullptr;
  bitmap->selectedInto_ = this;
  return previous;
}

const SolidBrush* DeviceContext::SelectBrush(const SolidBrush* brush) {
  if (!brush) return nullptr;
  return std::exchange(brush_, brush);
}

const Palette* DeviceContext::SelectPalette(const Palette* palette, bool /*forceBackground*/) {
  return std::exchange(palette_, palette);
}

// --- Guards and handles ---

ScopedPalette::ScopedPalette(DeviceContext& dc, const Palette* palette, PaletteRestore restore)
    : dc_(dc), selected_(palette != nullptr), restore_(restore) {
  if (!selected_) return;
  previous_ = dc_.SelectPalette(palette, false);
  dc_.RealizePalette();
}

ScopedPalette::~ScopedPalette() {
  if (!selected_) return;
  const bool background = restore_ == PaletteRestore::BackgroundRealised;
  dc_.SelectPalette(previous_, background);
  if (background) dc_.RealizePalette();
}

BitmapHandle BitmapHandle::Owned(std::unique_ptr<Bitmap> bitmap) {
  BitmapHandle handle;
  handle.bitmap_ = bitmap.get();
  handle.owned_ = std::move(bitmap);
  return handle;
}

BitmapHandle BitmapHandle::Borrowed(Bitmap* bitmap) {
  BitmapHandle handle;
  handle.bitmap_ = bitmap;
  return handle;
}

Rect DeviceContext::Bounds() const {
  return surface_ ? Rect{0, 0, surface_->Width(), surface_->Height()} : Rect{};
}

void DeviceContext::Draw(const Rect& target, const Bitmap& source, int sourceX, int sourceY,
                         RasterOp op) {
  BlitRows(*surface_, target, source, sourceX, sourceY, op);
}

void DeviceContext::Fill(const Rect& target, Pixel colour) { FillInto(RowsOf(*surface_), target, colour); }

bool MemoryDC::SelectOwned(std::unique_ptr<Bitmap> bitmap) {
  if (!bitmap || !SelectBitmap(bitmap.get())) return false;
  adopted_ = std::move(bitmap);
  return true;
}

// --- Window contexts and presenters ---

WindowDC::WindowDC(Presenter& presenter, int width, int height)
    : DeviceContext(nullptr), presenter_(presenter), width_(width), height_(height) {}

void WindowDC::Draw(const Rect& target, const Bitmap& source, int sourceX, int sourceY, RasterOp op) {
  presenter_.Blit(target, source, sourceX, sourceY, op);
}

void WindowDC::Fill(const Rect& target, Pixel colour) { presenter_.Fill(target, colour); }

void RecordingPresenter::Blit(const Rect& target, const Bitmap& source, int sourceX, int sourceY,
                              RasterOp op) {
  // The window context has clipped to its own size, which is this bitmap's.
  BlitRows(window_, target, source, sourceX, sourceY, op);
  log_.push_back({target, false, op});
}

void RecordingPresenter::Fill(const Rect& target, Pixel colour) {
  FillInto(RowsOf(window_), target, colour);
  log_.push_back({target, true, RasterOp::PatternCopy});
}

// --- The calls ---

std::unique_ptr<MemoryDC> CreateCompatibleDC(const DeviceContext* /*like*/) {
  return std::make_unique<MemoryDC>();
}

std::unique_ptr<Bitmap> CreateCompatibleBitmap(const DeviceContext& /*like*/, int width, int height) {
  if (!FitsRaster(width, height)) return nullptr;
  return std::make_unique<Bitmap>(width, height);
}

std::unique_ptr<Bitmap> CreateDIBitmap(const DeviceContext& /*like*/, std::span<const std::uint8_t> info,
                                       std::span<const std::uint8_t> bits) {
  auto decoded = DecodeDib(info, bits);
  if (!decoded || !FitsRaster(decoded->width, decoded->height)) return nullptr;
  return std::make_unique<Bitmap>(decoded->width, decoded->height, std::move(decoded->pixels));
}

int GetDIBits(const Bitmap& bitmap, int first, int count, int bitCount, std::span<std::uint8_t> bits) {
  if ((bitCount != 24 && bitCount != 32) || first < 0 || count <= 0 || first >= bitmap.Height())
    return 0;
  count = std::min(count, bitmap.Height() - first);
  const std::size_t stride = DibStride(bitCount, bitmap.Width());
  if (bits.size() < stride * std::size_t(count)) return 0;
  const std::size_t bytesPerPixel = std::size_t(bitCount) / 8;
  for (int line = 0; line < count; ++line) {
    // DIB lines count from the bottom.
    const auto row = bitmap.Row(bitmap.Height() - 1 - (first + line));
    std::uint8_t* out = bits.data() + stride * std::size_t(line);
    std::memset(out, 0, stride);
    for (std::size_t x = 0; x < row.size(); ++x, out += bytesPerPixel) {
      out[0] = std::uint8_t(row[x]);
      out[1] = std::uint8_t(row[x] >> 8);
      out[2] = std::uint8_t(row[x] >> 16);
    }
  }
  return count;
}

bool PatBlt(DeviceContext& target, int x, int y, int width, int height, RasterOp op) {
  if (op != RasterOp::PatternCopy) return false;
  Normalise(x, width);
  Normalise(y, height);
  const Rect area = Intersect({x, y, x + width, y + height}, target.Bounds());
  if (!area.Empty()) target.Fill(area, target.SelectedBrush()->Colour());
  return true;
}

bool BitBlt(DeviceContext& target, int x, int y, int width, int height, const DeviceContext& source,
            int sourceX, int sourceY, RasterOp op) {
  if (op == RasterOp::PatternCopy) return PatBlt(target, x, y, width, height, op);
  if (!RowOperationFor(op) || !source.Surface()) return false;
  Normalise(x, width, &sourceX);
  Normalise(y, height, &sourceY);
  // Clip to the target, then to the source, and carry the result back to the target.
  const Rect wanted = Intersect({x, y, x + width, y + height}, target.Bounds());
  const Rect fromSource = Intersect(Offset(wanted, sourceX - x, sourceY - y), source.Bounds());
  const Rect area = Offset(fromSource, x - sourceX, y - sourceY);
  if (!area.Empty()) target.Draw(area, *source.Surface(), fromSource.left, fromSource.top, op);
  return true;
}

void DrawMasked(DeviceContext& target, int x, int y, int width, int height, const DeviceContext& mask,
                const DeviceContext& image, int sourceX, int sourceY) {
  const Bitmap* maskBits = mask.Surface();
  const Bitmap* imageBits = image.Surface();
  Bitmap* targetBits = target.Surface();
  const bool fusable = maskBits && imageBits && targetBits && width >= 0 && height >= 0 &&
                       mask.Bounds() == image.Bounds() && targetBits != maskBits &&
                       targetBits != imageBits;
  if (!fusable) {
    // Anything unusual takes the two blits it stands for.
    BitBlt(target, x, y, width, height, mask, sourceX, sourceY, RasterOp::SourceAnd);
    BitBlt(target, x, y, width, height, image, sourceX, sourceY, RasterOp::SourcePaint);
    return;
  }
  const Rect wanted = Intersect({x, y, x + width, y + height}, target.Bounds());
  const Rect fromSource = Intersect(Offset(wanted, sourceX - x, sourceY - y), mask.Bounds());
  const Rect area = Offset(fromSource, x - sourceX, y - sourceY);
  if (area.Empty()) return;
  const auto count = std::size_t(area.Width());
  for (int row = 0; row < area.Height(); ++row) {
    Pixel* out = targetBits->Row(area.top + row).data() + area.left;
    const Pixel* m = maskBits->Row(fromSource.top + row).data() + fromSource.left;
    const Pixel* p = imageBits->Row(fromSource.top + row).data() + fromSource.left;
    for (std::size_t i = 0; i < count; ++i) out[i] = (out[i] & m[i]) | p[i];
  }
}

std::string RasterOpName(RasterOp op) {
  switch (op) {
    case RasterOp::SourceCopy: return "SRCCOPY";
    case RasterOp::SourceAnd: return "SRCAND";
    case RasterOp::SourcePaint: return "SRCPAINT";
    case RasterOp::PatternCopy: return "PATCOPY";
  }
  return "unknown";
}

}  // namespace kelna
