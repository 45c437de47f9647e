// Our DIB decoder and BMP loader against real GDI: a DIB given to CreateDIBitmap on the
// screen (a true-colour display) and read back with GetDIBits must show the same pixels as
// DecodeDib gives, and GDI must refuse what DecodeDib refuses.
#include <windows.h>

#include "platform/dib.h"
#include "sprites/dib_loader.h"
#include "tests/support/bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace kelna {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const fs::path kSuite = fs::path(KELNA_TEST_DATA) / "bmpsuite";

// Pictures larger than this are not given to GDI: Wine would try to make them.
constexpr std::int64_t kMaxGdiPixels = std::int64_t{1} << 22;


struct ScreenDc {
  ScreenDc() : dc(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC dc;
};

struct ObjectDeleter {
  void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, ObjectDeleter>;

// What GDI shows for a DIB, or nothing when it refuses it. GDI reads as far as the header
// says (a whole colour table, whole rows) without knowing where our bytes end, so it reads
// copies with zeros after them.
std::optional<DecodedDib> GdiDecode(std::span<const std::uint8_t> info,
                                    std::span<const std::uint8_t> bits) {
  Bytes paddedInfo(info.begin(), info.end());
  paddedInfo.resize(info.size() + 2048);
  Bytes paddedBits(bits.begin(), bits.end());
  paddedBits.resize(bits.size() + 2048);

  const ScreenDc screen;
  EXPECT_EQ(GetDeviceCaps(screen.dc, BITSPIXEL), 32) << "the display is not true-colour";
  const UniqueBitmap bitmap(CreateDIBitmap(
      screen.dc, reinterpret_cast<const BITMAPINFOHEADER*>(paddedInfo.data()), CBM_INIT,
      paddedBits.data(), reinterpret_cast<const BITMAPINFO*>(paddedInfo.data()), DIB_RGB_COLORS));
  if (!bitmap) return std::nullopt;
  BITMAP object{};
  if (GetObjectW(bitmap.get(), sizeof object, &object) == 0) return std::nullopt;

  DecodedDib picture{
      object.bmWidth, object.bmHeight,
      std::vector<std::uint32_t>(static_cast<std::size_t>(object.bmWidth) * object.bmHeight)};
  BITMAPINFO query{};
  query.bmiHeader = {
      sizeof(BITMAPINFOHEADER), object.bmWidth, -object.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const int rows = GetDIBits(screen.dc, bitmap.get(), 0, static_cast<UINT>(object.bmHeight),
                             picture.pixels.data(), &query, DIB_RGB_COLORS);
  EXPECT_EQ(rows, object.bmHeight) << "GetDIBits";
  for (std::uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
  return picture;
}

// The ways we knowingly refuse what GDI takes: GDI would read past the bytes it was given
// (rows, colour table or masks missing) or makes a 1 x 1 bitmap of an empty picture.
std::string WhyOnlyWeRefuse(const DibHeader& header, std::span<const std::uint8_t> info,
                            std::span<const std::uint8_t> bits) {
  if (header.width == 0 || header.height == 0) return "empty picture";
  const std::uint64_t rows = DibStride(header.bitCount, static_cast<std::uint32_t>(header.width)) *
                             static_cast<std::uint64_t>(std::abs(std::int64_t{header.height}));
  if (!IsRle(header) && bits.size() < rows) return "rows missing";
  const std::uint64_t entrySize = header.IsCore() ? 3 : 4;
  if (info.size() < header.size + DibColorCount(header) * entrySize) return "colour table missing";
  if (header.compression == kBiBitfields && info.size() < kMasksOffset + 12) return "masks missing";
  return "";
}

std::string Dump(std::span<const std::uint8_t> bytes) {
  std::ostringstream text;
  text << std::hex;
  for (std::size_t i = 0; i < bytes.size() && i < 256; ++i) text << (i ? " " : "") << int{bytes[i]};
  return text.str();
}

void ExpectSamePixels(const DecodedDib& ours, const DecodedDib& gdi) {
  ASSERT_EQ(ours.width, gdi.width);
  ASSERT_EQ(ours.height, gdi.height);
  int differences = 0;
  for (std::size_t i = 0; i < gdi.pixels.size(); ++i) {
    if (ours.pixels[i] == gdi.pixels[i] || ++differences > 5) continue;
    ADD_FAILURE() << "pixel (" << i % gdi.width << ", " << i / gdi.width << "): ours " << std::hex
                  << ours.pixels[i] << ", GDI " << gdi.pixels[i];
  }
  EXPECT_EQ(differences, 0);
}

// DecodeDib and GDI agree on `info` and `bits`: both refuse, or both show the same pixels.
// RLE data is cut at biSizeImage by both; a biSizeImage past the data is made to fit, since
// GDI would read on. True when pixels were compared.
bool ExpectSameAsGdi(std::span<const std::uint8_t> givenInfo, std::span<const std::uint8_t> bits) {
  Bytes info(givenInfo.begin(), givenInfo.end());
  const std::optional<DibHeader> header = ReadDibHeader(info);
  if (header && IsRle(*header) && header->sizeImage > bits.size()) {
    test::PutAt(info, 20, static_cast<std::uint32_t>(bits.size()), 4);
  }
  const std::optional<DecodedDib> ours = DecodeDib(info, bits);
  if (!header) {
    EXPECT_FALSE(ours) << "no header";
    return false;
  }
  if (std::int64_t{header->width} * std::abs(std::int64_t{header->height}) > kMaxGdiPixels) {
    return false;
  }
  const std::string onlyUs = WhyOnlyWeRefuse(*header, info, bits);
  if (!onlyUs.empty()) {
    EXPECT_FALSE(ours) << onlyUs;
    return false;
  }
  const std::optional<DecodedDib> gdi = GdiDecode(info, bits);
  EXPECT_EQ(ours.has_value(), gdi.has_value())
      << (gdi ? "GDI takes it, we refuse" : "GDI refuses, we take it");
  if (!ours || !gdi) return false;
  ExpectSamePixels(*ours, *gdi);
  return true;
}

// ---- Every file of the suite: the DIB in the file, and the block our loader makes of it ----

std::vector<std::string> SuiteFiles() {
  std::vector<std::string> files;
  for (const char* folder : {"g", "q", "b"}) {
    for (const fs::directory_entry& entry : fs::directory_iterator(kSuite / folder)) {
      files.push_back(std::string(folder) + "/" + entry.path().stem().string());
    }
  }
  std::ranges::sort(files);
  return files;
}

// The file's DIB as GDI would get it from a file mapped into memory: the header with
// everything after it, and the pixels from bfOffBits on.
struct FileDib {
  std::span<const std::uint8_t> info;
  std::span<const std::uint8_t> bits;
};

std::optional<FileDib> DibOfFile(std::span<const std::uint8_t> file) {
  if (file.size() < 18) return std::nullopt;
  const std::uint32_t offBits = *ReadLe32(file, 10);
  if (offBits < 14 || offBits > file.size()) return std::nullopt;
  return FileDib{file.subspan(14), file.subspan(offBits)};
}

class SuiteFile : public ::testing::TestWithParam<std::string> {
 protected:
  Bytes file_ = test::FileBytes(kSuite / (GetParam() + ".bmp"));
};

TEST_P(SuiteFile, DecodesItsDibAsGdiDoes) {
  const std::optional<FileDib> dib = DibOfFile(file_);
  if (!dib) GTEST_SKIP() << "no DIB to give GDI";
  const bool compared = ExpectSameAsGdi(dib->info, dib->bits);
  RecordProperty("compared", compared ? "pixels" : "refusals");
}

// The loaded block shows what GDI shows for the file's own DIB, when GDI takes that.
TEST_P(SuiteFile, LoadsToABlockThatGdiShowsAsTheFile) {
  std::optional<TDib> loaded;
  try {
    loaded = TDib::FromBytes(file_);
  } catch (const TXGdi&) {
    return;  // nothing to show; tests/sprites records which files are refused
  }
  const std::optional<DecodedDib> gdiBlock = GdiDecode(loaded->Info(), loaded->Bits());
  const std::optional<DecodedDib> ours = DecodeDib(loaded->Info(), loaded->Bits());
  ASSERT_TRUE(gdiBlock);
  ASSERT_TRUE(ours);
  ExpectSamePixels(*ours, *gdiBlock);

  const std::optional<FileDib> dib = DibOfFile(file_);
  if (!dib || !DecodeDib(dib->info, dib->bits)) return;  // GDI has nothing to compare with
  const std::optional<DecodedDib> gdiFile = GdiDecode(dib->info, dib->bits);
  ASSERT_TRUE(gdiFile);
  ExpectSamePixels(*gdiBlock, *gdiFile);
}

INSTANTIATE_TEST_SUITE_P(gdi, SuiteFile, ::testing::ValuesIn(SuiteFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::ranges::replace(name, '/', '_');
                           std::ranges::replace(name, '-', '_');
                           return name;
                         });

// ---- Random DIBs: well-formed and hostile headers, tables, masks and RLE codes ----

class RandomDibs : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  bool Chance(int percent) { return Between(0, 99) < percent; }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Between(0, 255)); }
  void AddBytes(Bytes& out, std::size_t count) {
    while (count-- > 0) out.push_back(Byte());
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
    // A core header has no compression nor table size, and only bottom-up rows.
    if (h.size == 12) h = DibHeader{12, h.width, std::abs(h.height), h.planes, h.bitCount};

    Bytes info = HeaderBytes(h);
    if (h.compression == kBiBitfields) {
      info.resize(std::max<std::size_t>(info.size(), kMasksOffset + 12));
      for (std::size_t i = 0; i < 3; ++i) test::PutAt(info, kMasksOffset + 4 * i, Mask(), 4);
    }
    AddBytes(info, (h.bitCount <= 8 ? DibColorCount(h) : h.clrUsed % 4) * (h.size == 12 ? 3 : 4));
    Bytes bits;
    if (rle) {
      bits = RleCodes(h);
      // biSizeImage: mostly the size of the codes, now and then less, or none (refused).
      const std::size_t size = Chance(5) ? 0 : bits.size() / (Chance(10) ? 2 : 1);
      test::PutAt(info, 20, static_cast<std::uint32_t>(size), 4);
    } else {
      AddBytes(bits, DibStride(h.bitCount, h.width) * static_cast<std::size_t>(std::abs(h.height)));
    }
    return {std::move(info), std::move(bits)};
  }

 private:
  static Bytes HeaderBytes(const DibHeader& h) {
    Bytes info(h.size);
    test::PutAt(info, 0, h.size, 4);
    const std::uint32_t planesAndBits = h.planes | std::uint32_t{h.bitCount} << 16;
    if (h.size == 12) {
      test::PutAt(info, 4, static_cast<std::uint32_t>(h.width | h.height << 16), 4);
      test::PutAt(info, 8, planesAndBits, 4);
      return info;
    }
    const std::uint32_t fields[] = {static_cast<std::uint32_t>(h.width),
                                    static_cast<std::uint32_t>(h.height), planesAndBits,
                                    h.compression, 0, 0, 0, h.clrUsed};
    for (std::size_t i = 0; i < std::size(fields); ++i) test::PutAt(info, 4 + 4 * i, fields[i], 4);
    return info;
  }

  // Mostly one run of bits, sometimes scattered bits, now and then none.
  std::uint32_t Mask() {
    if (Chance(5)) return 0;
    if (Chance(15)) return static_cast<std::uint32_t>(random_());
    const int shift = Between(0, 31);
    return static_cast<std::uint32_t>(((std::uint64_t{1} << Between(1, 32 - shift)) - 1) << shift);
  }

  // Codes that stray past rows and the bitmap, and may stop anywhere. Absolute runs stay
  // below 255 pixels: Wine's GDI skips no data after an 8-bit run of 255 (its byte counter
  // for the padded length wraps to 0), where Windows skips 256 bytes.
  Bytes RleCodes(const DibHeader& h) {
    Bytes codes;
    const int width = std::max(h.width, 1);
    for (int count = Between(0, 40); count > 0; --count) {
      const int kind = Between(0, 99);
      if (kind < 40) {
        codes.insert(codes.end(), {static_cast<std::uint8_t>(Between(1, width + 4)), Byte()});
      } else if (kind < 65) {
        const int pixels = Between(3, std::min(254, width + 4));
        codes.insert(codes.end(), {0, static_cast<std::uint8_t>(pixels)});
        const std::size_t bytes = (static_cast<std::size_t>(pixels) * h.bitCount + 7) / 8;
        AddBytes(codes, bytes + bytes % 2);
      } else if (kind < 80) {
        codes.insert(codes.end(), {0, 0});
      } else if (kind < 95) {
        codes.insert(codes.end(), {0, 2, static_cast<std::uint8_t>(Between(0, width + 2)),
                                   static_cast<std::uint8_t>(Between(0, 3))});
      } else {
        codes.insert(codes.end(), {0, 1});
      }
    }
    if (Chance(30)) codes.resize(static_cast<std::size_t>(Between(0, int(codes.size()))));
    return codes;
  }

  std::mt19937 random_{GetParam()};
};

TEST_P(RandomDibs, DecodeAsGdiDoes) {
  int compared = 0;
  for (int i = 0; i < 1000 && !HasFailure(); ++i) {
    const auto [info, bits] = Make();
    SCOPED_TRACE("DIB " + std::to_string(i) + "\ninfo: " + Dump(info) + "\nbits: " + Dump(bits));
    compared += ExpectSameAsGdi(info, bits) ? 1 : 0;
  }
  // Most DIBs are ones GDI takes, so that pixels are compared and not only refusals.
  EXPECT_GT(compared, 500);
}

INSTANTIATE_TEST_SUITE_P(gdi, RandomDibs, ::testing::Values(20240611u, 7u, 1999u));

}  // namespace
}  // namespace kelna
