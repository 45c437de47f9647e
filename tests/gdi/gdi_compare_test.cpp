// Our DIB decoder and BMP loader against real GDI: a DIB given to CreateDIBitmap on the
// screen (a true-colour display) and read back with GetDIBits must show the same pixels as
// DecodeDib gives, and GDI must refuse what DecodeDib refuses.
#include <windows.h>

#include "platform/dib.h"
#include "sprites/dib_loader.h"

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

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

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
std::optional<DecodedDib> GdiDecode(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits) {
  Bytes paddedInfo(info.begin(), info.end());
  paddedInfo.resize(info.size() + 2048);
  Bytes paddedBits(bits.begin(), bits.end());
  paddedBits.resize(bits.size() + 2048);

  const ScreenDc screen;
  EXPECT_EQ(GetDeviceCaps(screen.dc, BITSPIXEL), 32) << "the display is not true-colour";
  const UniqueBitmap bitmap(CreateDIBitmap(screen.dc, reinterpret_cast<const BITMAPINFOHEADER*>(paddedInfo.data()),
                                           CBM_INIT, paddedBits.data(),
                                           reinterpret_cast<const BITMAPINFO*>(paddedInfo.data()), DIB_RGB_COLORS));
  if (!bitmap) return std::nullopt;
  BITMAP object{};
  if (GetObjectW(bitmap.get(), sizeof object, &object) == 0) return std::nullopt;

  DecodedDib picture{object.bmWidth, object.bmHeight,
                     std::vector<std::uint32_t>(static_cast<std::size_t>(object.bmWidth) * object.bmHeight)};
  BITMAPINFO query{};
  query.bmiHeader = {sizeof(BITMAPINFOHEADER), object.bmWidth, -object.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const int rows = GetDIBits(screen.dc, bitmap.get(), 0, static_cast<UINT>(object.bmHeight), picture.pixels.data(),
                             &query, DIB_RGB_COLORS);
  EXPECT_EQ(rows, object.bmHeight) << "GetDIBits";
  for (std::uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
  return picture;
}

bool IsRle(const DibHeader& header) {
  return header.compression == kBiRle8 || header.compression == kBiRle4;
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
    PutLe32(info, 20, static_cast<std::uint32_t>(bits.size()));
  }
  const std::optional<DecodedDib> ours = DecodeDib(info, bits);
  if (!header) {
    EXPECT_FALSE(ours) << "no header";
    return false;
  }
  if (std::int64_t{header->width} * std::abs(std::int64_t{header->height}) > kMaxGdiPixels) return false;
  const std::string onlyUs = WhyOnlyWeRefuse(*header, info, bits);
  if (!onlyUs.empty()) {
    EXPECT_FALSE(ours) << onlyUs;
    return false;
  }
  const std::optional<DecodedDib> gdi = GdiDecode(info, bits);
  EXPECT_EQ(ours.has_value(), gdi.has_value()) << (gdi ? "GDI takes it, we refuse" : "GDI refuses, we take it");
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
  Bytes file_ = ReadBytes(kSuite / (GetParam() + ".bmp"));
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
  } catch (const TXGdi& error) {
    GTEST_SKIP() << "refused: " << error.what();
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

INSTANTIATE_TEST_SUITE_P(BmpSuite, SuiteFile, ::testing::ValuesIn(SuiteFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::ranges::replace(name, '/', '_');
                           std::ranges::replace(name, '-', '_');
                           return name;
                         });

// ---- Random DIBs: well-formed and hostile headers, tables, masks and RLE codes ----

class RandomDibMaker {
 public:
  explicit RandomDibMaker(std::uint32_t seed) : random_(seed) {}

  // A BITMAPINFO and its pixel data.
  std::pair<Bytes, Bytes> Make() {
    const bool rle = Chance(40);
    const std::uint32_t headerSize = rle ? Pick<std::uint32_t>({40, 40, 40, 108, 124})
                                         : Pick<std::uint32_t>({40, 40, 40, 12, 52, 108, 124});
    DibHeader header;
    header.size = headerSize;
    header.width = Chance(3) ? 0 : Between(1, 24);
    header.height = Chance(3) ? 0 : Between(1, 12) * (Chance(rle ? 5 : 25) ? -1 : 1);
    header.planes = Chance(3) ? 0 : 1;
    if (rle) {
      header.bitCount = Pick<std::uint16_t>({4, 8});
      header.compression = header.bitCount == 4 ? kBiRle4 : kBiRle8;
      if (Chance(3)) header.bitCount = 12 - header.bitCount;  // the wrong one
    } else {
      header.bitCount = Chance(5) ? Pick<std::uint16_t>({0, 2, 3, 64}) : Pick<std::uint16_t>({1, 4, 8, 16, 24, 32});
      const bool fields = (header.bitCount == 16 || header.bitCount == 32 || Chance(3)) && Chance(50);
      header.compression = headerSize != 12 && fields ? kBiBitfields : (Chance(3) ? 5 : kBiRgb);
    }
    header.clrUsed = Chance(50) ? 0 : Between(1, 300);
    if (headerSize == 12) {
      header.width = std::abs(header.width);
      header.height = std::abs(header.height);
      header.compression = kBiRgb;
      header.clrUsed = 0;
    }

    Bytes info = Header(header);
    if (header.compression == kBiBitfields) AddMasks(info);
    const std::size_t entrySize = headerSize == 12 ? 3 : 4;
    const std::size_t entries = header.bitCount <= 8 ? DibColorCount(header) : header.clrUsed % 4;
    for (std::size_t i = 0; i < entries * entrySize; ++i) info.push_back(Byte());

    Bytes bits = rle ? RleCodes(header) : RandomBytes(RowBytes(header));
    if (rle) PutLe32(info, 20, Chance(5) ? 0 : static_cast<std::uint32_t>(Chance(10) ? bits.size() / 2 : bits.size()));
    return {std::move(info), std::move(bits)};
  }

 private:
  bool Chance(int percent) { return Between(0, 99) < percent; }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Between(0, 255)); }
  template <typename T>
  T Pick(std::initializer_list<T> values) {
    return *(values.begin() + Between(0, static_cast<int>(values.size()) - 1));
  }

  Bytes RandomBytes(std::size_t count) {
    Bytes bytes(count);
    for (std::uint8_t& byte : bytes) byte = Byte();
    return bytes;
  }

  std::size_t RowBytes(const DibHeader& header) {
    return DibStride(header.bitCount, static_cast<std::uint32_t>(header.width)) *
           static_cast<std::size_t>(std::abs(header.height));
  }

  static Bytes Header(const DibHeader& header) {
    Bytes info(header.size);
    PutLe32(info, 0, header.size);
    if (header.size == 12) {
      info[4] = static_cast<std::uint8_t>(header.width);
      info[6] = static_cast<std::uint8_t>(header.height);
      info[8] = static_cast<std::uint8_t>(header.planes);
      info[10] = static_cast<std::uint8_t>(header.bitCount);
      return info;
    }
    PutLe32(info, 4, static_cast<std::uint32_t>(header.width));
    PutLe32(info, 8, static_cast<std::uint32_t>(header.height));
    info[12] = static_cast<std::uint8_t>(header.planes);
    info[14] = static_cast<std::uint8_t>(header.bitCount);
    info[15] = static_cast<std::uint8_t>(header.bitCount >> 8);
    PutLe32(info, 16, header.compression);
    PutLe32(info, 32, header.clrUsed);
    return info;
  }

  // Masks: mostly one run of bits, sometimes scattered bits, now and then none.
  void AddMasks(Bytes& info) {
    if (info.size() == 40) info.resize(52);
    for (std::size_t i = 0; i < 3; ++i) {
      std::uint32_t mask = 0;
      if (Chance(80)) {
        const int shift = Between(0, 31);
        const int length = Between(1, 32 - shift);
        mask = static_cast<std::uint32_t>(((std::uint64_t{1} << length) - 1) << shift);
      } else if (Chance(90)) {
        mask = static_cast<std::uint32_t>(random_());
      }
      PutLe32(info, kMasksOffset + 4 * i, mask);
    }
  }

  // A stream of RLE codes that strays past rows and the bitmap, and may stop anywhere.
  // Absolute runs stay below 255 pixels: Wine's GDI miscounts the padding of an 8-bit run
  // of 255 (its byte counter wraps), which Windows does not.
  Bytes RleCodes(const DibHeader& header) {
    Bytes codes;
    const int width = std::max(header.width, 1);
    const int count = Between(0, 40);
    for (int i = 0; i < count; ++i) {
      const int kind = Between(0, 99);
      if (kind < 40) {
        codes.insert(codes.end(), {static_cast<std::uint8_t>(Between(1, width + 4)), Byte()});
      } else if (kind < 65) {
        const int pixels = Between(3, std::min(254, width + 4));
        codes.insert(codes.end(), {0, static_cast<std::uint8_t>(pixels)});
        const std::size_t bytes = (static_cast<std::size_t>(pixels) * header.bitCount + 7) / 8;
        const Bytes literal = RandomBytes(bytes + bytes % 2);
        codes.insert(codes.end(), literal.begin(), literal.end());
      } else if (kind < 80) {
        codes.insert(codes.end(), {0, 0});
      } else if (kind < 95) {
        codes.insert(codes.end(), {0, 2, static_cast<std::uint8_t>(Between(0, width + 2)),
                                   static_cast<std::uint8_t>(Between(0, 3))});
      } else {
        codes.insert(codes.end(), {0, 1});
      }
    }
    if (Chance(30) && !codes.empty()) codes.resize(static_cast<std::size_t>(Between(0, static_cast<int>(codes.size()))));
    return codes;
  }

  std::mt19937 random_;
};

TEST(RandomDibs, DecodeAsGdiDoes) {
  RandomDibMaker maker(20240611);
  int compared = 0;
  for (int i = 0; i < 3000 && !HasFailure(); ++i) {
    const auto [info, bits] = maker.Make();
    SCOPED_TRACE("DIB " + std::to_string(i) + "\ninfo: " + Dump(info) + "\nbits: " + Dump(bits));
    compared += ExpectSameAsGdi(info, bits) ? 1 : 0;
  }
  // Most DIBs are ones GDI takes, so that pixels are compared and not only refusals.
  EXPECT_GT(compared, 1500);
}

}  // namespace
}  // namespace kelna
