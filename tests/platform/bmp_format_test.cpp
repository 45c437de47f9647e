// The BMP rules that the decoder, the loader and the image model share, where they are
// easiest to get wrong: the two colour counts and where they part, the two strides and
// where they part, and header bytes written by hand-built layouts.
#include "platform/bmp_format.h"
#include "tests/support/bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <tuple>

namespace kelna {
namespace {

using test::Bytes;

TEST(BmpFormat, ColourCountsPartOnlyWhereTheyMeanTo) {
  struct Row {
    std::uint32_t size;
    std::uint16_t bitCount;
    std::uint32_t clrUsed;
    std::size_t gdi;       // DibColorCount
    std::size_t declared;  // DeclaredColorCount
  };
  const Row rows[] = {
      {40, 8, 0, 256, 256},   // no biClrUsed: a full table for both
      {40, 4, 5, 5, 5},       // a short table for both
      {40, 8, 300, 256, 300},  // hostile biClrUsed: GDI clamps, the block says what it says
      {40, 32, 3, 0, 3},      // entries above 8 bits: GDI takes none, the block still has them
      {40, 2, 0, 4, 0},       // 2 bits: GDI's table has 4; image blocks never hold 2 bits
  };
  for (const Row& row : rows) {
    DibHeader header;
    header.size = row.size;
    header.bitCount = row.bitCount;
    header.clrUsed = row.clrUsed;
    EXPECT_EQ(DibColorCount(header), row.gdi) << row.bitCount << " bits, " << row.clrUsed;
    EXPECT_EQ(DeclaredColorCount(header), row.declared) << row.bitCount << " bits, " << row.clrUsed;
  }
}

TEST(BmpFormat, StridesPadToWordsAndTheFieldWraps) {
  struct Row {
    std::uint16_t bitCount;
    std::int32_t width;
    std::size_t stride;     // DibStride
    std::uint16_t field;    // DibStride16
  };
  const Row rows[] = {
      {1, 1, 4, 4},            // one bit still takes a word
      {1, 33, 8, 8},           // the 33rd bit starts a second word
      {24, 3, 12, 12},         // 9 bytes padded to 12
      {4, 7, 4, 4},            // 28 bits
      {32, 16384, 65536, 0},   // the 16-bit field wraps
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DibStride(row.bitCount, std::uint32_t(row.width)), row.stride) << row.width;
    EXPECT_EQ(DibStride16(row.bitCount, row.width), row.field) << row.width;
  }
  // A negative width rounds toward zero in the signed rule: -800 + 31 = -769, / 32 = -24.
  EXPECT_EQ(DibStride16(8, -100), std::uint16_t(-96));
}

TEST(BmpFormat, InfoHeaderWritesEveryFieldWhereReadersLook) {
  DibHeader written;
  written.size = 124;  // written as 40 whatever it says
  written.width = 0x01020304;
  written.height = -5;
  written.planes = 1;
  written.bitCount = 0x0708;
  written.compression = 0x090A0B0C;
  written.sizeImage = 0x0D0E0F10;
  written.xPelsPerMeter = -2;
  written.yPelsPerMeter = 0x11121314;
  written.clrUsed = 0x15161718;
  written.clrImportant = 0x191A1B1C;
  Bytes block(kInfoHeaderSize + 1, 0xEE);
  WriteInfoHeader(block, written);
  EXPECT_EQ(block[kInfoHeaderSize], 0xEE) << "nothing past the header";

  const std::optional<DibHeader> read = ReadDibHeader(block);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->size, kInfoHeaderSize);
  written.size = kInfoHeaderSize;
  const auto fields = [](const DibHeader& h) {
    return std::tuple(h.size, h.width, h.height, h.planes, h.bitCount, h.compression,
                      h.sizeImage, h.xPelsPerMeter, h.yPelsPerMeter, h.clrUsed, h.clrImportant);
  };
  EXPECT_EQ(fields(*read), fields(written));
}

TEST(BmpFormat, ShortBlockHeaderReadsZerosPastItsEnd) {
  Bytes block(kInfoHeaderSize);
  DibHeader written;
  written.width = 9;
  written.height = 8;
  written.bitCount = 24;
  written.clrUsed = 3;
  WriteInfoHeader(block, written);
  block.resize(kBitCountField + 1);  // half of biBitCount is left
  const DibHeader read = ReadBlockHeader(block);
  EXPECT_EQ(read.width, 9);
  EXPECT_EQ(read.height, 8);
  EXPECT_EQ(read.bitCount, 0);
  EXPECT_EQ(read.clrUsed, 0u);
  EXPECT_FALSE(ReadDibHeader(block)) << "a header the bytes do not hold";
}

TEST(BmpFormat, FileHeaderIsSignatureSizeAndOffset) {
  const auto header = MakeFileHeader(0x11223344, 0x55667788);
  const Bytes expected = {'B', 'M', 0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0, 0x88, 0x77, 0x66, 0x55};
  EXPECT_EQ(Bytes(header.begin(), header.end()), expected);
  EXPECT_TRUE(HasBmpSignature(header));
  EXPECT_FALSE(HasBmpSignature(Bytes{'B'}));
  EXPECT_FALSE(HasBmpSignature(Bytes{'M', 'B'}));
}

}  // namespace
}  // namespace kelna
