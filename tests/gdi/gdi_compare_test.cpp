// Our DIB decoder and BMP loader against real GDI: a DIB given to CreateDIBitmap on the
// screen (a true-colour display) and read back with GetDIBits must show the pixels that
// DecodeDib gives, and GDI must refuse what DecodeDib refuses.
#include <windows.h>

#include "platform/dib.h"
#include "sprites/dib_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/support/dib_builder.h"

namespace kelna {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::PutAt;

const fs::path kSuite = fs::path(KELNA_TEST_DATA) / "bmpsuite";

// What GDI shows for a DIB, or nothing when it refuses it. GDI reads as far as the header
// says (a whole colour table, whole rows) without knowing where our bytes end, so it reads
// copies with zeros after them.
std::optional<DecodedDib> GdiDecode(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits) {
  Bytes paddedInfo(info.begin(), info.end()), paddedBits(bits.begin(), bits.end());
  paddedInfo.resize(info.size() + 2048);
  paddedBits.resize(bits.size() + 2048);
  const HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32) << "the display is not true-colour";
  const auto* given = reinterpret_cast<const BITMAPINFO*>(paddedInfo.data());
  const HBITMAP bitmap =
      CreateDIBitmap(screen, &given->bmiHeader, CBM_INIT, paddedBits.data(), given, DIB_RGB_COLORS);
  BITMAP object{};
  std::optional<DecodedDib> picture;
  if (bitmap && GetObjectW(bitmap, sizeof object, &object)) {
    picture = DecodedDib{object.bmWidth, object.bmHeight,
                         std::vector<std::uint32_t>(std::size_t(object.bmWidth) * object.bmHeight)};
    BITMAPINFO query{{sizeof(BITMAPINFOHEADER), object.bmWidth, -object.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    const UINT rows = UINT(object.bmHeight);
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, rows, picture->pixels.data(), &query, DIB_RGB_COLORS), int(rows));
    for (std::uint32_t& pixel : picture->pixels) pixel &= 0xFFFFFF;
  }
  if (bitmap) DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return picture;
}

void ExpectSamePixels(const DecodedDib& ours, const DecodedDib& gdi) {
  ASSERT_EQ(std::pair(ours.width, ours.height), std::pair(gdi.width, gdi.height));
  const auto [mine, theirs] = std::ranges::mismatch(ours.pixels, gdi.pixels);
  if (mine == ours.pixels.end()) return;
  const auto at = mine - ours.pixels.begin();
  ADD_FAILURE() << "first difference at (" << at % gdi.width << ", " << at / gdi.width << "): ours "
                << std::hex << *mine << ", GDI " << *theirs;
}

// DecodeDib and GDI agree on `info` and `bits`: both refuse, or both show the same pixels.
// True when pixels were compared. GDI is not asked where it would read past the bytes given
// (rows, colour table or masks missing: we refuse), about an empty picture (it makes a 1 x 1
// bitmap: we refuse) nor about a huge one (Wine would try to make it).
bool ExpectSameAsGdi(std::span<const std::uint8_t> givenInfo, std::span<const std::uint8_t> bits) {
  Bytes info(givenInfo.begin(), givenInfo.end());
  const std::optional<DibHeader> h = ReadDibHeader(info);
  if (h && IsRle(*h) && h->sizeImage > bits.size()) PutAt(info, 20, bits.size(), 4);  // GDI would read on
  const Result<DecodedDib> ours = DecodeDib(info, bits);
  if (!h || std::int64_t{h->width} * std::abs(std::int64_t{h->height}) > (1 << 22)) {
    EXPECT_TRUE(h || !ours) << "no header";
    return false;
  }
  const std::uint64_t rows =
      DibStride(h->bitCount, std::uint32_t(h->width)) * std::uint64_t(std::abs(std::int64_t{h->height}));
  if (h->width == 0 || h->height == 0 || (!IsRle(*h) && bits.size() < rows) ||
      info.size() < h->size + DibColorCount(*h) * (h->IsCore() ? 3 : 4) ||
      (h->compression == kBiBitfields && info.size() < kMasksOffset + 12)) {
    EXPECT_FALSE(ours) << "GDI would read past the bytes, or make 1 x 1 of nothing";
    return false;
  }
  const std::optional<DecodedDib> gdi = GdiDecode(info, bits);
  EXPECT_EQ(ours.ok(), gdi.has_value()) << (gdi ? "only GDI takes it" : "only we take it");
  if (ours && gdi) ExpectSamePixels(*ours, *gdi);
  return ours && gdi;
}

// Every file of the suite: its DIB as GDI would get it from a file mapped into memory (the
// header with everything after it, the pixels from bfOffBits on), and the block our loader
// makes of it, which must show the same to GDI as to us and as the file.
class SuiteFile : public ::testing::TestWithParam<std::string> {};

TEST_P(SuiteFile, DecodesAndLoadsAsGdiShowsIt) {
  const Bytes file = test::FileBytes(kSuite / (GetParam() + ".bmp"));
  const std::uint32_t offBits = file.size() < 18 ? 0 : *ReadLe32(file, 10);
  if (offBits < 14 || offBits > file.size()) GTEST_SKIP() << "no DIB to give GDI";
  const std::span<const std::uint8_t> info = std::span(file).subspan(14);
  const std::span<const std::uint8_t> bits = std::span(file).subspan(offBits);
  ExpectSameAsGdi(info, bits);
  std::optional<TDib> loaded;
  try {
    loaded = TDib::FromBytes(file);
  } catch (const TXGdi&) {
    return;  // tests/sprites records which files are refused
  }
  const Result<DecodedDib> block = DecodeDib(loaded->Info(), loaded->Bits());
  const std::optional<DecodedDib> gdiBlock = GdiDecode(loaded->Info(), loaded->Bits());
  ASSERT_TRUE(block && gdiBlock);
  ExpectSamePixels(*block, *gdiBlock);
  // What the file shows (to GDI too, above) where we take the DIB as it lies in the file.
  if (const Result<DecodedDib> file = DecodeDib(info, bits)) ExpectSamePixels(*block, *file);
}

std::vector<std::string> SuiteFiles() {
  std::vector<std::string> files;
  for (const char* folder : {"g", "q", "b"})
    for (const fs::directory_entry& entry : fs::directory_iterator(kSuite / folder))
      files.push_back(std::string(folder) + "/" + entry.path().stem().string());
  std::ranges::sort(files);
  return files;
}

INSTANTIATE_TEST_SUITE_P(gdi, SuiteFile, ::testing::ValuesIn(SuiteFiles()));  // a failure names the file

// Random DIBs: well-formed and hostile headers, tables, masks and RLE codes.
class RandomDibs : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool Chance(int percent) { return Between(0, 99) < percent; }
  void AddBytes(Bytes& out, std::size_t count) {
    while (count-- > 0) out.push_back(std::uint8_t(Between(0, 255)));
  }

  // A BITMAPINFO (header, then masks or a colour table) and its pixels.
  std::pair<Bytes, Bytes> Make() {
    static constexpr std::uint32_t kSizes[] = {40, 40, 52, 108, 124, 12};
    static constexpr std::uint16_t kBitCounts[] = {1, 4, 8, 16, 24, 32, 0, 2, 64};
    const bool rle = Chance(40);
    DibHeader h;
    h.size = kSizes[Between(0, rle ? 4 : 5)];
    h.width = Chance(3) ? 0 : Between(1, 24);
    h.height = (Chance(3) ? 0 : Between(1, 12)) * (Chance(rle ? 5 : 25) ? -1 : 1);
    h.planes = Chance(3) ? 0 : 1;
    if (rle) {
      h.bitCount = Chance(50) ? 4 : 8;
      h.compression = (h.bitCount == 4) != Chance(3) ? kBiRle4 : kBiRle8;  // rarely the wrong one
    } else {
      h.bitCount = kBitCounts[Between(0, Chance(5) ? 8 : 5)];
      const bool fields = h.bitCount == 16 || h.bitCount == 32 ? Chance(50) : Chance(3);
      h.compression = fields ? kBiBitfields : (Chance(3) ? 5 : kBiRgb);
    }
    h.clrUsed = Chance(50) ? 0 : Between(1, 300);
    if (h.size == 12)  // no compression nor table size, and only bottom-up rows
      h = DibHeader{12, h.width, std::abs(h.height), h.planes, h.bitCount};
    Bytes info = test::DibInfo({h.width, h.height, h.bitCount, h.compression, h.clrUsed, 0, h.size, h.planes});
    if (h.compression == kBiBitfields) {
      info.resize(std::max<std::size_t>(info.size(), kMasksOffset + 12));
      for (std::size_t i = 0; i < 3; ++i) PutAt(info, kMasksOffset + 4 * i, Mask(), 4);
    }
    AddBytes(info, (h.bitCount <= 8 ? DibColorCount(h) : h.clrUsed % 4) * (h.size == 12 ? 3 : 4));
    Bytes bits;
    if (!rle) {
      AddBytes(bits, DibStride(h.bitCount, h.width) * std::size_t(std::abs(h.height)));
      return {std::move(info), std::move(bits)};
    }
    // Codes that stray past rows and the bitmap, and may stop anywhere. Absolute runs stay
    // below 255 pixels: Wine's GDI skips no data after an 8-bit run of 255, Windows 256 bytes.
    const int width = std::max(h.width, 1);
    for (int count = Between(0, 40); count > 0; --count) {
      const int kind = Between(0, 99);
      if (kind < 40) {
        bits.insert(bits.end(), {std::uint8_t(Between(1, width + 4)), std::uint8_t(Between(0, 255))});
      } else if (kind < 65) {
        const int pixels = Between(3, std::min(254, width + 4));
        bits.insert(bits.end(), {0, std::uint8_t(pixels)});
        const std::size_t bytes = (std::size_t(pixels) * h.bitCount + 7) / 8;
        AddBytes(bits, bytes + bytes % 2);
      } else if (kind < 80) {
        bits.insert(bits.end(), {0, 0});
      } else if (kind < 95) {
        bits.insert(bits.end(), {0, 2, std::uint8_t(Between(0, width + 2)), std::uint8_t(Between(0, 3))});
      } else {
        bits.insert(bits.end(), {0, 1});
      }
    }
    if (Chance(30)) bits.resize(std::size_t(Between(0, int(bits.size()))));
    // biSizeImage: mostly the size of the codes, now and then less, or none (refused).
    PutAt(info, 20, Chance(5) ? 0 : bits.size() / (Chance(10) ? 2 : 1), 4);
    return {std::move(info), std::move(bits)};
  }

 private:
  // Mostly one run of bits, sometimes scattered bits, now and then none.
  std::uint32_t Mask() {
    if (Chance(5)) return 0;
    if (Chance(15)) return std::uint32_t(random_());
    const int shift = Between(0, 31);
    return std::uint32_t(((std::uint64_t{1} << Between(1, 32 - shift)) - 1) << shift);
  }

  std::mt19937 random_{GetParam()};
};

TEST_P(RandomDibs, DecodeAsGdiDoes) {
  int compared = 0;
  for (int i = 0; i < 1000 && !HasFailure(); ++i) {
    const auto [info, bits] = Make();
    SCOPED_TRACE("DIB " + std::to_string(i));  // the seed and the number make it again
    compared += ExpectSameAsGdi(info, bits) ? 1 : 0;
  }
  EXPECT_GT(compared, 500) << "most DIBs should be ones GDI takes, so that pixels are compared";
}

INSTANTIATE_TEST_SUITE_P(gdi, RandomDibs, ::testing::Values(20240611u, 7u, 1999u));

}  // namespace
}  // namespace kelna
