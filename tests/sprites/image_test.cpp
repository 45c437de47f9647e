#include "sprites/bmp_image.h"
#include "sprites/image.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/sprites/pictures.h"
#include "tests/support/temporary_folder.h"

namespace kelna::test {
namespace {

// The colour counts themselves are tests/platform/bmp_format_test.cpp's.
TEST(ZoImageTest, ColourTableSizeAndPalette) {
  auto short8 = ImageOf(PackedDib(4, 1, 8, 20, 20));
  EXPECT_EQ(short8->GetBits(), short8->GetColors() + 4 * 20);
  short8->MakePalette();
  ASSERT_NE(short8->GetPalette(), nullptr);
  ASSERT_EQ(short8->GetPalette()->Entries().size(), 20u);
  EXPECT_EQ(short8->GetPalette()->Entries()[19], (Palette::Entry{57, 38, 19, 0}));
  auto truecolour = ImageOf(PackedDib(3, 2, 24, 0));
  EXPECT_EQ(truecolour->GetBits(), truecolour->GetColors());
  truecolour->MakePalette();
  EXPECT_EQ(truecolour->GetPalette(), nullptr);
  ZoImage empty;
  EXPECT_EQ(empty.NumColors(), 0u);
  EXPECT_EQ(empty.GetBits(), nullptr);

  // biClrUsed claiming far more colours than the block holds.
  auto hostile = ImageOf(PackedDib(2, 2, 8, 4, 0x40000000));
  EXPECT_EQ(hostile->GetBits(), nullptr);
  hostile->MakePalette();
  EXPECT_EQ(hostile->GetPalette(), nullptr);
  hostile->DIBtoDDB(*CreateCompatibleDC(nullptr));
  EXPECT_EQ(hostile->Ddb(), nullptr);
}

TEST(ZoBmpImageTest, WritersKeepTheBlockAndNeverReadPastIt) {
  const Bytes dib = PackedDib(13, 5, 4, 16);
  std::ostringstream os;
  ASSERT_EQ(ImageOf(dib)->Write(os), 1);
  const std::string written = os.str();
  EXPECT_EQ(written, StreamForm(dib, 158).replace(10, 4, Le(118, 4))) << "bfSize, bfOffBits";
  std::ostringstream none;
  EXPECT_EQ(ZoImage().Write(none), 0);

  Bytes tall = PackedDib(4, 2, 8, 256);
  tall[8] = 100;  // 100 rows claimed, 2 held
  auto image = ImageOf(tall);
  std::ostringstream out;
  EXPECT_EQ(image->Write(out), 0);
  EXPECT_TRUE(out.str().empty());
}

TEST(ZoBmpImageTest, StreamReaderRefusesBadRecordsAndLeavesTheImageEmpty) {
  const Bytes good = PackedDib(2, 2, 24, 0);
  const std::string tail = "next";
  const struct {
    const char* what;
    std::string bytes;
    std::streamoff position;  // where the stream stands after; -1: failed
  } cases[] = {
      {"not BM: the 14 bytes stay consumed", "XY" + StreamForm(good).substr(2) + tail, 14},
      {"core header: read whole, then refused", StreamForm(PackedDib(2, 2, 24, 0, 0, 12)) + tail,
       std::streamoff(good.size() + 14)},
      {"ends before bfSize - 14 bytes", StreamForm(good).substr(0, 40), -1},
      {"bfSize smaller than the file header", StreamForm(good, 10) + tail, 14},
      {"bfSize far beyond the stream", StreamForm(good, 0x01000000u) + tail, -1},
      {"bfSize beyond any picture", StreamForm(good, 0xFFFFFFFFu) + tail, 14},
      {"too short for a header", StreamForm(Bytes(20, 0)) + tail, 34},
  };
  for (const auto& c : cases) {
    ZoBmpImage image;
    std::istringstream is(c.bytes);
    EXPECT_EQ(image.Read(is), 0) << c.what;
    EXPECT_FALSE(image.HasDib()) << c.what;
    if (c.position >= 0) EXPECT_EQ(is.tellg(), c.position) << c.what;
    else EXPECT_FALSE(is) << c.what;
  }
  ZoBmpImage image;
  std::istringstream is(StreamForm(good));
  is.setstate(std::ios::failbit);
  EXPECT_EQ(image.Read(is), 0) << "a failed stream";
}

// Copies share the data and the device bitmap; a sharer outlives the loader safely.
TEST(ZoBmpImageTest, CopiesShareTheDataAndOutliveTheLoader) {
  const std::string file = std::string(KELNA_TEST_DATA) + "/bmpsuite/g/pal4.bmp";
  auto dc = CreateCompatibleDC(nullptr);
  ZoImage sharer, keeper;
  {
    ZoBmpImage image(file.c_str());
    ZoImage& self = image;
    self = self;
    EXPECT_EQ(image.RefCount(), 1);
    image.DIBtoDDB(*dc);
    keeper = image;
    ZoImage third(image);
    EXPECT_EQ(image.RefCount(), 3);
    EXPECT_EQ(third.Ddb(), image.Ddb());
    // Replacing the picture leaves the old block (and its loader) with the old data.
    ASSERT_EQ(image.Read(file.c_str()), 1);
    EXPECT_NE(image.Data(), keeper.Data());
    EXPECT_EQ(keeper.GetColors()[0], image.GetColors()[0]);
    sharer = image;
    image.DIBtoDDB(*dc);
  }
  EXPECT_FALSE(sharer.HasDib()) << "the loader that held the DIB is gone: the device bitmap stays";
  EXPECT_NE(sharer.Ddb(), nullptr);
  EXPECT_EQ(sharer.Width(), 127);
  EXPECT_TRUE(keeper.HasDib());
  EXPECT_EQ(keeper.RefCount(), 1);
}

}  // namespace
}  // namespace kelna::test
