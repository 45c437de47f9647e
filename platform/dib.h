#pragma once
// Device-independent bitmaps (DIBs) turned into device pixels exactly as GDI's
// CreateDIBitmap(hdc, header, CBM_INIT, bits, info, DIB_RGB_COLORS) turns them into a bitmap
// for a true-colour display. Device pixels are 0x00RRGGBB.
//
// Every DIB is untrusted input: all sizes and counts are checked before use, nothing is read
// outside the given bytes, and DIBs beyond our size limits are refused like invalid ones.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/bmp_format.h"
#include "platform/status.h"

namespace kelna {

// Width and height must fit signed 16 bits; pixel data, and the decoded 32-bit pixels, 256 MiB.
inline constexpr int kMaxDibDimension = 32767;
inline constexpr std::size_t kMaxDibPixelBytes = 256u << 20;

// Whether the header's size is within the limits above: "unsupported size W x H" (no
// width or height, or more than 32767), "image is too large", "top-down RLE bitmap". The
// decoder and the file loader both take these rules.
Status CheckDibSize(const DibHeader& header);

struct DecodedDib {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // rows top first, width * height
};

// `info` is a BITMAPINFO as bytes: a header of biSize bytes followed by the colour table
// (RGBQUADs; RGBTRIPLEs after a core header) or, for BI_BITFIELDS, three DWORD masks at
// offset 40 (after a 40-byte header, inside a larger one). `bits` is the pixel data.
//
// Fails, saying why, when GDI would fail, or when the DIB is unsafe or unreasonable: an unknown
// bit count or compression, sizes beyond the limits above, a colour table or masks missing
// from `info`, BI_RGB data shorter than the rows need, zero width or height. RLE data is read
// up to biSizeImage or the end of `bits`, whichever comes first.
//
// As in GDI: colour indexes past the table show black. A colour field of a 16- or 32-bit
// pixel is the lowest run of set bits in its mask, cut to its top 8 bits or, when shorter,
// moved to the top of the byte and repeated once below (abcde gives abcdeabc, a gives
// aa000000); 16-bit BI_RGB is 5-5-5. Pixels that RLE codes skip are black (see DecodeRle).
Result<DecodedDib> DecodeDib(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits);

// RLE-compressed pixels as colour indexes, rows top first (width * height), for a bottom-up
// bitmap of `bitCount` 4 (BI_RLE4) or 8 (BI_RLE8). kRleNotDrawn marks the pixels GDI leaves
// untouched (black in a new bitmap): those that delta, end-of-line and end-of-bitmap codes
// skip, and those drawn since the last end-of-line or delta code when the data runs out
// before another code ends their stretch of the row (GDI draws a stretch only then).
// Runs past the right edge are cut there; codes past the top row are ignored. Nothing (an
// empty vector) for other bit counts or an empty bitmap; the caller keeps the dimensions
// within our limits. `data` is read to its end at most.
inline constexpr std::int16_t kRleNotDrawn = -1;
std::vector<std::int16_t> DecodeRle(std::span<const std::uint8_t> data, int bitCount, int width,
                                    int height);

}  // namespace kelna
