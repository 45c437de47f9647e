#pragma once
// Our software raster: the device contexts, device bitmaps, brushes, palettes and blits that
// the program draws with, on every platform. It behaves like GDI on a true-colour display:
// device bitmaps hold 32-bit pixels (0x00RRGGBB), blits clip to both bitmaps, and the raster
// operations keep their GDI codes so that a code passed through unchanged means the same.
//
// Ownership follows GDI's rules in RAII form: bitmaps, brushes and palettes are owned by
// whoever made them (std::unique_ptr); a context only refers to what is selected into it.
// A bitmap is selected into at most one context; destroying a bitmap or a context undoes the
// selection on the other side, so nothing is ever left pointing at freed memory.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kelna {

using Pixel = std::uint32_t;  // 0x00RRGGBB

// The raster operations in use, by their GDI codes (Win32 defines the GDI names as macros,
// hence our own names).
enum class RasterOp : std::uint32_t {
  SourceCopy = 0x00CC0020,   // SRCCOPY: dst = src
  SourceAnd = 0x008800C6,    // SRCAND: dst = dst AND src
  SourcePaint = 0x00EE0086,  // SRCPAINT: dst = dst OR src
  PatternCopy = 0x00F00021,  // PATCOPY: dst = brush
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

class DeviceContext;

// A device bitmap: width × height pixels, rows top first.
class Bitmap {
 public:
  Bitmap(int width, int height);  // black; sizes must be positive (see CreateCompatibleBitmap)
  Bitmap(int width, int height, std::vector<Pixel> pixels);
  ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::span<Pixel> Row(int y) { return {pixels_.data() + std::size_t(y) * width_, std::size_t(width_)}; }
  std::span<const Pixel> Row(int y) const {
    return {pixels_.data() + std::size_t(y) * width_, std::size_t(width_)};
  }
  Pixel At(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }
  std::span<const Pixel> Pixels() const { return pixels_; }
  std::span<Pixel> Pixels() { return pixels_; }
  DeviceContext* SelectedInto() const { return selectedInto_; }

 private:
  friend class DeviceContext;
  int width_;
  int height_;
  std::vector<Pixel> pixels_;
  DeviceContext* selectedInto_ = nullptr;
};

class SolidBrush {
 public:
  explicit SolidBrush(Pixel colour) : colour_(colour & 0xFFFFFF) {}
  Pixel Colour() const { return colour_; }

 private:
  Pixel colour_;
};

// A logical palette. On a true-colour device selecting and realising one changes no pixel;
// it is kept because images build and select palettes as they would on any display.
class Palette {
 public:
  struct Entry {
    std::uint8_t red = 0, green = 0, blue = 0, flags = 0;
    friend bool operator==(const Entry&, const Entry&) = default;
  };
  explicit Palette(std::vector<Entry> entries) : entries_(std::move(entries)) {}
  std::span<const Entry> Entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

// Where the blits into a window's context go. Rectangles arrive clipped to the window.
class Presenter {
 public:
  virtual ~Presenter() = default;
  // Draws `source` (the pixels at (sourceX, sourceY) and onwards) into `target` with `op`.
  virtual void Blit(const Rect& target, const Bitmap& source, int sourceX, int sourceY,
                    RasterOp op) = 0;
  virtual void Fill(const Rect& target, Pixel colour) = 0;
};

// Pixels held by someone else (a window system's surface) in our layout: `stride` pixels
// from the start of one row to the next. The presenters draw into such rows directly.
struct PixelRows {
  Pixel* pixels = nullptr;
  int width = 0, height = 0;
  std::ptrdiff_t stride = 0;
  Pixel* Row(int y) const { return pixels + std::ptrdiff_t(y) * stride; }
};

// What a blit or a fill does to the pixels, for `area` already clipped to `target` (and the
// source to `source`): the raster's own drawing, for presenters that keep their pixels.
void BlitInto(const PixelRows& target, const Rect& area, const Bitmap& source, int sourceX, int sourceY,
              RasterOp op);
void FillInto(const PixelRows& target, const Rect& area, Pixel colour);

// A device context: a memory context with a selected bitmap, or a window's context whose
// drawing goes to a presenter. Every context has a selected brush (white at first, as in
// GDI) and palette (none at first).
class DeviceContext {
 public:
  virtual ~DeviceContext();
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;

  // Selects a bitmap into a memory context and returns the one selected before (the
  // context's own 1 × 1 bitmap at first). Returns nullptr and changes nothing when this is
  // a window's context, the bitmap is null, or the bitmap is selected into another context.
  Bitmap* SelectBitmap(Bitmap* bitmap);
  // Returns the brush selected before; a null brush changes nothing and returns nullptr.
  const SolidBrush* SelectBrush(const SolidBrush* brush);
  // Returns the palette selected before (nullptr for the default palette).
  const Palette* SelectPalette(const Palette* palette, bool forceBackground);
  // Maps the selected palette into the system palette: nothing to do on a true-colour
  // device, so no entry changes and the result is 0.
  unsigned RealizePalette() { return 0; }

  const Palette* SelectedPalette() const { return palette_; }
  const SolidBrush* SelectedBrush() const { return brush_; }
  // The bitmap drawn on (for a memory context), or nullptr for a window's context.
  Bitmap* Surface() const { return surface_; }
  // The area that can be drawn on, in the context's coordinates.
  virtual Rect Bounds() const;

 protected:
  explicit DeviceContext(Bitmap* surface);

 private:
  friend class Bitmap;
  friend bool BitBlt(DeviceContext&, int, int, int, int, const DeviceContext&, int, int, RasterOp);
  friend bool PatBlt(DeviceContext&, int, int, int, int, RasterOp);
  virtual void Draw(const Rect& target, const Bitmap& source, int sourceX, int sourceY,
                    RasterOp op);
  virtual void Fill(const Rect& target, Pixel colour);
  void ReleaseSurface(Bitmap* dying);

  Bitmap* surface_;
  Bitmap* initialSurface_;
  const SolidBrush* brush_;
  const Palette* palette_ = nullptr;
};

// --- Guards for selections ---
//
// Each guard selects an object into a context for as long as it lives and selects back what
// was there before when it goes, on every way out of the scope, so that no caller keeps a
// saved handle. A guard must not outlive its context or the object it selects back: make it
// inside the scope that holds both.

// A bitmap selected into a memory context. It tests false when the context refused the
// bitmap (null, a window's context, a bitmap selected into another context); then nothing
// changed and nothing is selected back.
class ScopedSelection {
 public:
  ScopedSelection(DeviceContext& dc, Bitmap* bitmap) : dc_(dc), previous_(dc.SelectBitmap(bitmap)) {}
  ~ScopedSelection() {
    if (previous_) dc_.SelectBitmap(previous_);
  }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;
  explicit operator bool() const { return previous_ != nullptr; }

 private:
  DeviceContext& dc_;
  Bitmap* previous_;
};

// A brush selected into a context (every context always has one to go back to).
class ScopedBrush {
 public:
  ScopedBrush(DeviceContext& dc, const SolidBrush& brush) : dc_(dc), previous_(dc.SelectBrush(&brush)) {}
  ~ScopedBrush() { dc_.SelectBrush(previous_); }
  ScopedBrush(const ScopedBrush&) = delete;
  ScopedBrush& operator=(const ScopedBrush&) = delete;

 private:
  DeviceContext& dc_;
  const SolidBrush* previous_;
};

// How a palette that was selected for a while goes back. Converting a DIB selects the old
// one back as a foreground palette and leaves it unrealised; a frame step gives the window
// its old palette back in the background and realises it.
enum class PaletteRestore { Foreground, BackgroundRealised };

// A palette selected as a foreground palette and realised. A null palette selects nothing,
// and nothing is selected back.
class ScopedPalette {
 public:
  ScopedPalette(DeviceContext& dc, const Palette* palette, PaletteRestore restore);
  ~ScopedPalette();
  ScopedPalette(const ScopedPalette&) = delete;
  ScopedPalette& operator=(const ScopedPalette&) = delete;

 private:
  DeviceContext& dc_;
  bool selected_;
  const Palette* previous_ = nullptr;  // may be the default palette, nullptr
  PaletteRestore restore_;
};

// A bitmap that is either owned (freed with the handle) or borrowed from whoever owns it
// (never freed here), such as a background that is a picture's own device bitmap.
class BitmapHandle {
 public:
  BitmapHandle() = default;
  static BitmapHandle Owned(std::unique_ptr<Bitmap> bitmap);
  static BitmapHandle Borrowed(Bitmap* bitmap);

  Bitmap* Get() const { return bitmap_; }
  Bitmap* operator->() const { return bitmap_; }
  explicit operator bool() const { return bitmap_ != nullptr; }
  bool IsBorrowed() const { return bitmap_ && !owned_; }

 private:
  std::unique_ptr<Bitmap> owned_;
  Bitmap* bitmap_ = nullptr;  // owned_, or the borrowed bitmap
};

// A memory context (CreateCompatibleDC). It starts with a 1 × 1 bitmap of its own selected.
class MemoryDC final : public DeviceContext {
 public:
  MemoryDC() : MemoryDC(std::make_unique<Bitmap>(1, 1)) {}
  // Selects a bitmap that the context keeps and frees with itself (a desktop capture that
  // is handed over together with its context). Returns false when it cannot be selected.
  [[nodiscard]] bool SelectOwned(std::unique_ptr<Bitmap> bitmap);

 private:
  explicit MemoryDC(std::unique_ptr<Bitmap> own) : DeviceContext(own.get()), own_(std::move(own)) {}
  std::unique_ptr<Bitmap> own_;
  std::unique_ptr<Bitmap> adopted_;  // declared after own_: freed first, falling back to own_
};

// A window's context: width × height pixels whose drawing goes to the presenter.
class WindowDC final : public DeviceContext {
 public:
  WindowDC(Presenter& presenter, int width, int height);
  Rect Bounds() const override { return {0, 0, width_, height_}; }

 private:
  void Draw(const Rect& target, const Bitmap& source, int sourceX, int sourceY,
            RasterOp op) override;
  void Fill(const Rect& target, Pixel colour) override;
  Presenter& presenter_;
  int width_;
  int height_;
};

// A presenter for tests and kelna-tool: keeps the window's pixels (black at first) and a
// log of every blit and fill in the order made.
class RecordingPresenter final : public Presenter {
 public:
  struct Record {
    Rect target;
    bool fill = false;
    RasterOp op = RasterOp::SourceCopy;
    friend bool operator==(const Record&, const Record&) = default;
  };
  RecordingPresenter(int width, int height) : window_(width, height) {}
  void Blit(const Rect& target, const Bitmap& source, int sourceX, int sourceY,
            RasterOp op) override;
  void Fill(const Rect& target, Pixel colour) override;

  const Bitmap& Window() const { return window_; }
  const std::vector<Record>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }

 private:
  Bitmap window_;
  std::vector<Record> log_;
};

// --- The GDI calls, by their GDI names where no Win32 macro stands in the way ---

// A new memory context; `like` is not needed on a device where every bitmap is alike.
std::unique_ptr<MemoryDC> CreateCompatibleDC(const DeviceContext* like);
// A black bitmap; nullptr when a size is not positive or beyond the raster's limits.
std::unique_ptr<Bitmap> CreateCompatibleBitmap(const DeviceContext& like, int width, int height);
// A device bitmap from a DIB (`info`: the BITMAPINFO bytes; `bits`: the pixel rows), as
// CreateDIBitmap with CBM_INIT and DIB_RGB_COLORS does; nullptr when the DIB is unusable.
std::unique_ptr<Bitmap> CreateDIBitmap(const DeviceContext& like, std::span<const std::uint8_t> info,
                                       std::span<const std::uint8_t> bits);

// The bitmap's scan lines `first` ... `first + count - 1` (counted from the bottom, as in a
// bottom-up DIB) as DIB rows of `bitCount` (24 or 32) bits, written to `bits`, which must
// hold count rows of DibStride(bitCount, width) bytes. Returns the number of lines copied,
// 0 for an unsupported bit count or a buffer too small.
int GetDIBits(const Bitmap& bitmap, int first, int count, int bitCount, std::span<std::uint8_t> bits);

// Copies width × height pixels from (sourceX, sourceY) of `source` to (x, y) of `target`
// with `op`, clipped to both surfaces as GDI clips: only pixels that lie inside both are
// drawn. Negative sizes are normalised as GDI does. Returns false for an operation that
// needs no source (PatternCopy) or is unknown, or when the source has no surface.
bool BitBlt(DeviceContext& target, int x, int y, int width, int height, const DeviceContext& source,
            int sourceX, int sourceY, RasterOp op);
// Fills a rectangle with the selected brush (PatternCopy is the only pattern operation).
bool PatBlt(DeviceContext& target, int x, int y, int width, int height, RasterOp op);

// What drawing a sprite costs in two blits (mask with SourceAnd, then image with
// SourcePaint), done in one pass over each row. Gives exactly the pixels of the two blits.
void DrawMasked(DeviceContext& target, int x, int y, int width, int height,
                const DeviceContext& mask, const DeviceContext& image, int sourceX, int sourceY);

std::string RasterOpName(RasterOp op);

}  // namespace kelna
