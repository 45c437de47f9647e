#include "sprites/bmp_image.h"
#include "sprites/image.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/sprites/pictures.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using test::Bytes;
using test::ImageOf;
using test::PackedDib;
using test::StreamForm;

TEST(ZoImageTest, ColourTableSizeAndPalette) {
  const struct {
    int bitCount, colours;
    std::uint32_t colorsUsed, numColors;
  } cases[] = {{24, 0, 0, 0}, {1, 2, 0, 2}, {4, 16, 0, 16}, {8, 256, 0, 256}, {8, 20, 20, 20},
               {32, 3, 3, 3}};  // biClrUsed counts whatever the depth
  for (const auto& c : cases) {
    auto image = ImageOf(PackedDib(4, 1, c.bitCount, c.colours, c.colorsUsed));
    EXPECT_EQ(image->NumColors(), c.numColors) << c.bitCount;
    EXPECT_EQ(image->GetBits(), image->GetColors() + 4 * c.numColors) << c.bitCount;
  }
  auto short8 = ImageOf(PackedDib(4, 1, 8, 20, 20));
  short8->MakePalette();
  ASSERT_NE(short8->GetPalette(), nullptr);
  ASSERT_EQ(short8->GetPalette()->Entries().size(), 20u);
  EXPECT_EQ(short8->GetPalette()->Entries()[19], (Palette::Entry{57, 38, 19, 0}));
  auto truecolour = ImageOf(PackedDib(3, 2, 24, 0));
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

TEST(ZoImageTest, ShowBlitsTheWholeImageTopRowFirst) {
  Bytes dib = PackedDib(2, 2, 24, 0);
  const std::uint8_t rows[16] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};  // bottom row first
  std::copy(std::begin(rows), std::end(rows), dib.begin() + 40);
  auto image = ImageOf(dib);
  RecordingPresenter presenter(4, 4);
  WindowDC window(presenter, 4, 4);
  image->Show(window, 0, 0, 1, 1, 0, 0, RasterOp::SourceCopy);  // size 0: the whole image
  ASSERT_EQ(presenter.Log().size(), 1u);
  EXPECT_EQ(presenter.Log()[0].target, (Rect{1, 1, 3, 3}));
  EXPECT_EQ(presenter.Window().At(1, 1), 0x0000FFu);
  EXPECT_EQ(presenter.Window().At(2, 1), 0xFFFFFFu);
  EXPECT_EQ(presenter.Window().At(1, 2), 0xFF0000u);
  EXPECT_EQ(presenter.Window().At(2, 2), 0x00FF00u);
  ZoImage().Show(window, 0, 0, 0, 0, 0, 0, RasterOp::SourceCopy);
  EXPECT_EQ(presenter.Log().size(), 1u) << "an empty image shows nothing";
}

TEST(ZoImageTest, SubImageIsCutToTheSourceEdgesAndTurnsIntoADib) {
  auto source = ImageOf(PackedDib(4, 3, 32, 0));
  auto dc = CreateCompatibleDC(nullptr);
  source->DIBtoDDB(*dc);
  ZoImage cut(*dc, source.get(), 2, -1, 5, 0);  // x 2 of 4, width cut to 2; y to 0, height 3
  ASSERT_NE(cut.Ddb(), nullptr);
  EXPECT_FALSE(cut.HasDib());
  cut.DDBtoDIB();
  EXPECT_EQ(cut.Stride(), 8);
  std::ostringstream os;
  ASSERT_EQ(cut.WriteDIB(os), 1);
  const std::string written = os.str();
  auto reread = ImageOf(Bytes(written.begin() + 14, written.end()));
  reread->DIBtoDDB(*dc);
  ASSERT_EQ(reread->Width(), 2);
  ASSERT_EQ(reread->Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(reread->Ddb()->At(x, y), source->Ddb()->At(x + 2, y));
  EXPECT_EQ(ZoImage(*dc, nullptr, 0, 0, 1, 1).Ddb(), nullptr);
}

TEST(ZoBmpImageTest, WritersKeepTheBlockAndNeverReadPastIt) {
  const Bytes dib = PackedDib(13, 5, 4, 16);
  std::ostringstream os;
  ASSERT_EQ(ImageOf(dib)->Write(os), 1);
  const std::string written = os.str();
  EXPECT_EQ(written, StreamForm(dib, 158).replace(10, 4, test::Le(118, 4))) << "bfSize, bfOffBits";
  std::ostringstream dib8;
  ASSERT_EQ(ImageOf(PackedDib(3, 2, 8, 256))->WriteDIB(dib8), 1);
  EXPECT_EQ(test::ReadLe(dib8.str(), 10, 4), 1078u);
  EXPECT_EQ(ZoImage().WriteDIB(dib8), 0);

  Bytes tall = PackedDib(4, 2, 8, 256);
  tall[8] = 100;  // 100 rows claimed, 2 held
  auto image = ImageOf(tall);
  std::ostringstream a, b;
  EXPECT_EQ(image->WriteDIB(a), 0);
  EXPECT_EQ(image->Write(b), 0);
  EXPECT_TRUE(a.str().empty());
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

TEST(ZoBmpImageTest, FilesLoadAndAnUnreadableOneGivesAnEmptyImage) {
  const std::string good = std::string(KELNA_TEST_DATA) + "/bmpsuite/g/pal8.bmp";
  ZoBmpImage image(good.c_str());
  ASSERT_TRUE(image.HasDib());
  EXPECT_EQ(image.NumColors(), 252u);
  test::TemporaryFolder folder;
  const std::string copy = (folder.Path() / "copy.bmp").string();
  ASSERT_EQ(image.Write(copy.c_str()), 1);
  ZoBmpImage reread(copy.c_str());
  EXPECT_TRUE(std::ranges::equal(image.Dib(), reread.Dib()));

  const std::string text = (folder.Path() / "not.bmp").string();
  test::WriteBytes(text, "plain text");
  EXPECT_FALSE(ZoBmpImage(text.c_str()).HasDib());
  EXPECT_EQ(reread.Read(text.c_str()), 0);
  EXPECT_FALSE(reread.HasDib());
  EXPECT_EQ(reread.Write(copy.c_str()), 0);
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
}  // namespace kelna
