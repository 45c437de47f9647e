// The BMP rules, and the DIBs DecodeDib must refuse. (Its pixels: against the BMP suite's
// references in tests/tools, and against GDI itself in tests/gdi.)
#include "platform/bmp_format.h"
#include "platform/dib.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <vector>

#include "tests/support/dib_builder.h"

namespace kelna {
namespace {

using test::Bytes;
using test::DibInfo;

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
    EXPECT_EQ(std::pair(DibColorCount(header), DeclaredColorCount(header)), std::pair(gdi, declared)) << bitCount;
  }
  const std::tuple<std::uint16_t, std::int32_t, std::size_t, std::uint16_t> strides[] = {
      {1, 1, 4, 4}, {1, 33, 8, 8}, {24, 3, 12, 12}, {4, 7, 4, 4}, {32, 16384, 65536, 0},  // the 16-bit field wraps
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
}

// What DecodeDib refuses, and why in words a user can act on. GDI's rules on bit counts,
// compressions, planes, masks and RLE: tests/gdi's random DIBs.
TEST(DecodeDib, RefusesWhatGdiRefusesAndWhatIsUnsafeAndSaysWhy) {
  const std::int32_t most = std::numeric_limits<std::int32_t>::max();
  const Bytes shortHeader = DibInfo({1, 1, 24, kBiRgb, 0, 0, 39});  // 40 bytes that say 39
  Bytes cutHeader = DibInfo({1, 1, 24});
  cutHeader.resize(36);
  const std::string header = "header cut short or of an unknown size", size = "unsupported size ";
  const std::tuple<Bytes, std::size_t, std::string> cases[] = {  // the header, the bits' size, the reason
      // No header; a header size GDI does not know; one longer than the bytes; a core header cut short.
      {{40, 0, 0}, 64, header}, {shortHeader, 64, header}, {cutHeader, 64, header}, {{12, 0, 0, 0, 1, 0}, 64, header},
      {DibInfo({1, 1, 2, kBiRgb, 4}, {0, 0, 0, 0}), 64, "unsupported bit count 2 with compression 0"},
      {DibInfo({4, 4, 3}), 64, "unsupported bit count 3 with compression 0"},
      {DibInfo({1, 1, 32, 6}, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}), 64, "unsupported bit count 32 with compression 6"},
      {DibInfo({4, 4, 16, kBiBitfields}), 64, "colour masks missing or empty"},
      {DibInfo({4, -4, 8, kBiRle8, 0, 20}), 64, "top-down RLE bitmap"},
      {DibInfo({4, 4, 8, kBiRle8}), 64, "RLE bitmap without its data size"},
      {DibInfo({1, 1, 8}, std::vector<std::uint32_t>(255)), 64, "colour table cut short"},
      {DibInfo({0, 4, 24}), 64, size + "0 x 4"}, {DibInfo({-1, 1, 24}), 64, size + "-1 x 1"},
      {DibInfo({1, 0, 24}), 64, size + "1 x 0"}, {DibInfo({32768, 1, 1}, {0, 0}), 1 << 20, size + "32768 x 1"},
      {DibInfo({1, -32768, 1}, {0, 0}), 1 << 20, size + "1 x -32768"},
      {DibInfo({most, most, 32}, {0xFF0000, 0xFF00, 0xFF}), 64, size + "2147483647 x 2147483647"},
      {DibInfo({1, std::numeric_limits<std::int32_t>::min(), 24}), 64, size + "1 x -2147483648"},
      {DibInfo({32767, 2049, 1}, {0, 0}), std::size_t{9} << 20, "image is too large"},  // over 256 MiB of pixels
      {DibInfo({4, 4, 24}), 20, "pixel data ends in row 2 of 4"},  // rows of 12 bytes
  };
  for (int row = 0; const auto& [info, bitsSize, reason] : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    const Result<DecodedDib> decoded = DecodeDib(info, Bytes(bitsSize, 0));
    EXPECT_FALSE(decoded.ok());
    EXPECT_EQ(decoded.message(), reason);
  }
  EXPECT_TRUE(DecodeDib(DibInfo({2, 2, 24}), Bytes(16, 0))) << "exactly the rows it needs";
}

}  // namespace
}  // namespace kelna
