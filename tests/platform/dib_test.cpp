// The BMP rules, and DecodeDib on hostile RLE codes and on sizes that must be refused. Header
// sizes, row order and colour fields: the BMP suite's reference pixels (tests/tools) and GDI
// itself (tests/gdi, on the suite and on random DIBs with odd masks and short tables).
#include "platform/bmp_format.h"
#include "platform/dib.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/bytes.h"

namespace kelna {
namespace {

using test::Bytes;
using Pixels = std::vector<std::uint32_t>;

TEST(BmpFormat, ColourCountsAndStridesPartOnlyWhereTheyMeanTo) {
  const std::tuple<std::uint16_t, std::uint32_t, std::size_t, std::size_t> counts[] = {
      // bit count, biClrUsed, DibColorCount (GDI's), DeclaredColorCount (the block's)
      {8, 0, 256, 256}, {4, 5, 5, 5},
      {8, 300, 256, 300},  // GDI clamps a hostile biClrUsed
      {32, 3, 0, 3},       // above 8 bits GDI takes no table
      {2, 0, 4, 0},        // image blocks never hold 2 bits
  };
  for (const auto& [bitCount, clrUsed, gdi, declared] : counts) {
    const DibHeader header{40, 1, 1, 1, bitCount, kBiRgb, 0, 0, 0, clrUsed};
    EXPECT_EQ(DibColorCount(header), gdi) << bitCount;
    EXPECT_EQ(DeclaredColorCount(header), declared) << bitCount;
  }
  const std::tuple<std::uint16_t, std::int32_t, std::size_t, std::uint16_t> strides[] = {
      {1, 1, 4, 4}, {1, 33, 8, 8}, {24, 3, 12, 12}, {4, 7, 4, 4},
      {32, 16384, 65536, 0},  // the 16-bit field wraps
  };
  for (const auto& [bitCount, width, stride, field] : strides) {
    EXPECT_EQ(DibStride(bitCount, std::uint32_t(width)), stride) << width;
    EXPECT_EQ(DibStride16(bitCount, width), field) << width;
  }
  EXPECT_EQ(DibStride16(8, -100), std::uint16_t(-96)) << "(-800 + 31) / 32, toward zero";
}

TEST(BmpFormat, HeadersAreWrittenWhereReadersLook) {
  const DibHeader written{124, 0x01020304, -5, 1, 0x0708, 0x090A0B0C, 0x0D0E0F10, -2, 0x11121314, 0x15161718,
                          0x191A1B1C};
  Bytes block(kInfoHeaderSize + 1, 0xEE);
  WriteInfoHeader(block, written);
  EXPECT_EQ(block[kInfoHeaderSize], 0xEE) << "nothing past the header";
  const std::optional<DibHeader> read = ReadDibHeader(block);
  ASSERT_TRUE(read);
  const auto fields = [](const DibHeader& h) {
    return std::tuple(h.width, h.height, h.planes, h.bitCount, h.compression, h.sizeImage, h.xPelsPerMeter,
                      h.yPelsPerMeter, h.clrUsed, h.clrImportant);
  };
  EXPECT_EQ(read->size, kInfoHeaderSize) << "written as 40 whatever it says";
  EXPECT_EQ(fields(*read), fields(written));
  block.resize(kBitCountField + 1);  // half of biBitCount is left
  EXPECT_EQ(fields(ReadBlockHeader(block)), fields(DibHeader{40, 0x01020304, -5, 1}));
  EXPECT_FALSE(ReadDibHeader(block)) << "a header the bytes do not hold";

  const auto file = MakeFileHeader(0x11223344, 0x55667788);
  EXPECT_EQ(Bytes(file.begin(), file.end()),
            (Bytes{'B', 'M', 0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0, 0x88, 0x77, 0x66, 0x55}));
  EXPECT_TRUE(HasBmpSignature(file));
  EXPECT_FALSE(HasBmpSignature(Bytes{'B'}));
  EXPECT_FALSE(HasBmpSignature(Bytes{'M', 'B'}));
}

struct Header {
  std::int32_t width;
  std::int32_t height;
  std::uint16_t bitCount;
  std::uint32_t compression = kBiRgb;
  std::uint32_t clrUsed = 0;
  std::uint32_t sizeImage = 0;
  std::uint16_t planes = 1;
};

// A 40-byte BITMAPINFOHEADER followed by `words`: colour table entries or masks.
Bytes Info(const Header& h, const std::vector<std::uint32_t>& words = {}) {
  Bytes info(kInfoHeaderSize);
  WriteInfoHeader(info, {40, h.width, h.height, h.planes, h.bitCount, h.compression, h.sizeImage, 0, 0,
                         h.clrUsed});
  for (const std::uint32_t word : words) test::Put(info, word, 4);
  return info;
}

Pixels Decode(const Bytes& info, const Bytes& bits) {
  const std::optional<DecodedDib> dib = DecodeDib(info, bits);
  return dib ? dib->pixels : Pixels{};
}

// Colour index i shows as 0x10 + i in every channel, so that no index shows black.
Pixels GreyTable() {
  Pixels table;
  for (std::uint32_t i = 0; i < 16; ++i) table.push_back(0x010101 * (0x10 + i));
  return table;
}

// Rows top first, separated by '/': a hex digit is a colour index, '.' a pixel not drawn.
Pixels Expected(const std::string& rows) {
  Pixels pixels;
  for (const char c : rows)
    if (c != '/') pixels.push_back(c == '.' ? 0 : 0x010101 * (0x10 + (c <= '9' ? c - '0' : c - 'A' + 10)));
  return pixels;
}

// RLE4 reads its codes the same way; its nibbles: the BMP suite and tests/gdi.
TEST(DecodeDibRle, Rle8FollowsGdiOnEveryCode) {
  const struct {
    const char* what;
    Bytes codes;
    std::string expected;
    std::uint32_t sizeImage = 0;  // 0: all of the codes
  } cases[] = {
      {"runs, end of line, end of bitmap", {4, 1, 0, 0, 2, 2, 0, 1}, "22../1111"},
      {"a run past the right edge is cut, not wrapped", {6, 3, 2, 4, 0, 1}, "..../3333"},
      {"a delta skips pixels, which stay undrawn", {1, 5, 0, 2, 2, 1, 1, 6, 0, 1}, "...6/5..."},
      {"a delta past the edge stops at it", {0, 2, 9, 0, 2, 7, 0, 0, 1, 8, 0, 1}, "8.../...."},
      {"a delta past the top ends the bitmap", {2, 1, 0, 2, 0, 5, 2, 2}, "..../11.."},
      {"data ending without a code drops its last stretch", {2, 1, 0, 0, 3, 2}, "..../11.."},
      {"so does an absolute run that the data cuts off", {2, 1, 0, 3, 5, 6}, "..../...."},
      {"an absolute run past the edge is cut, what follows is read",
       {0, 6, 1, 2, 3, 1, 2, 3, 0, 0, 1, 4, 0, 1}, "4.../1231"},
      {"an odd absolute run is padded to a word", {0, 3, 1, 2, 3, 0, 1, 4, 0, 1}, "..../1234"},
      {"biSizeImage ends the data early", {2, 1, 0, 0, 2, 2, 0, 1}, "..../11..", 4},
      {"end of line on the top row ends the bitmap", {1, 1, 0, 0, 1, 2, 0, 0, 4, 9}, "2.../1..."},
      {"a delta cut off by the data ends the bitmap", {1, 1, 0, 2, 1}, "..../1..."},
      {"a lone last byte is ignored", {3, 1, 0, 0, 7}, "..../111."},
  };
  for (const auto& c : cases) {
    const auto size = c.sizeImage ? c.sizeImage : std::uint32_t(c.codes.size());
    const Bytes info = Info({4, 2, 8, kBiRle8, 16, size}, GreyTable());
    EXPECT_EQ(Decode(info, c.codes), Expected(c.expected)) << c.what;
  }
}

TEST(DecodeDib, RefusesWhatGdiRefusesAndWhatIsUnsafe) {
  const std::int32_t most = std::numeric_limits<std::int32_t>::max();
  const std::vector<std::uint32_t> table(256);
  Bytes shortHeader = Info({1, 1, 24});
  test::PutAt(shortHeader, 0, 39, 4);
  Bytes cutHeader = Info({1, 1, 24});
  cutHeader.resize(36);
  const struct {
    const char* what;
    Bytes info;
    std::size_t bitsSize = 64;
  } cases[] = {
      {"no header", {40, 0, 0}},
      {"a header size GDI does not know", shortHeader},
      {"a header longer than the bytes given", cutHeader},
      {"a core header cut short", {12, 0, 0, 0, 1, 0}},
      {"bit count 2", Info({1, 1, 2, kBiRgb, 4}, {0, 0, 0, 0})},
      {"alpha bitfields", Info({1, 1, 32, 6}, {0xFF0000, 0xFF00, 0xFF, 0xFF000000})},
      {"bitfields on 8 bits", Info({1, 1, 8, kBiBitfields}, std::vector<std::uint32_t>(256, 0xFF))},
      {"RLE8 on 4 bits", Info({1, 1, 4, kBiRle8, 0, 2}, std::vector<std::uint32_t>(16))},
      {"top-down RLE", Info({1, -1, 8, kBiRle8, 0, 2}, table)},
      {"RLE without a data size", Info({1, 1, 8, kBiRle8, 0, 0}, table)},
      {"no planes", Info({1, 1, 24, kBiRgb, 0, 0, 0})},
      {"a mask without bits", Info({1, 1, 32, kBiBitfields}, {0xFF0000, 0, 0xFF})},
      {"masks missing", Info({1, 1, 32, kBiBitfields}, {0xFF0000, 0xFF00})},
      {"colour table cut short", Info({1, 1, 8}, std::vector<std::uint32_t>(255))},
      {"negative width", Info({-1, 1, 24})},
      {"no height", Info({1, 0, 24})},
      {"width past 32767", Info({32768, 1, 1}, {0, 0}), 1 << 20},
      {"height past 32767, top-down", Info({1, -32768, 1}, {0, 0}), 1 << 20},
      {"the largest width and height", Info({most, most, 32}, {0xFF0000, 0xFF00, 0xFF})},
      {"the least height", Info({1, std::numeric_limits<std::int32_t>::min(), 24})},
      {"over 256 MiB of decoded pixels", Info({32767, 2049, 1}, {0, 0}), std::size_t{9} << 20},
      {"rows missing", Info({2, 2, 24}), 15},
  };
  for (const auto& c : cases) EXPECT_FALSE(DecodeDib(c.info, Bytes(c.bitsSize, 0))) << c.what;
  EXPECT_TRUE(DecodeDib(Info({2, 2, 24}), Bytes(16, 0))) << "exactly the rows it needs";
  EXPECT_TRUE(DecodeDib(Info({1, 1, 8, kBiRle8, 0, 2, 0}, table), Bytes{0, 1}))
      << "GDI does not look at the planes of RLE bitmaps";
}

}  // namespace
}  // namespace kelna
