#include "sprites/bmp_image.h"
#include "sprites/image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/dib_builder.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using test::Bytes;
using test::PackedDib;
using test::Put;
using test::StreamForm;

// An image read from the stream form of `dib`.
std::unique_ptr<ZoBmpImage> ImageOf(const Bytes& dib) {
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream is(StreamForm(dib));
  EXPECT_EQ(image->Read(is), 1);
  return image;
}

std::uint32_t Le32(const std::string& s, std::size_t at) { return std::uint32_t(test::ReadLe(s, at, 4)); }

TEST(ZoImageTest, ColourTableSizeAndPalette) {
  auto truecolour = ImageOf(PackedDib(3, 2, 24, 0));
  EXPECT_EQ(truecolour->NumColors(), 0u);
  truecolour->MakePalette();
  EXPECT_EQ(truecolour->GetPalette(), nullptr);
  EXPECT_EQ(truecolour->GetBits(), truecolour->GetColors()) << "pixels start 40 bytes in";

  auto short8 = ImageOf(PackedDib(4, 1, 8, 20, 20));
  EXPECT_EQ(short8->NumColors(), 20u);
  short8->MakePalette();
  ASSERT_NE(short8->GetPalette(), nullptr);
  ASSERT_EQ(short8->GetPalette()->Entries().size(), 20u);
  EXPECT_EQ(short8->GetPalette()->Entries()[19], (Palette::Entry{57, 38, 19, 0}));
  EXPECT_EQ(short8->GetBits(), short8->GetColors() + 80);

  EXPECT_EQ(ImageOf(PackedDib(8, 1, 1, 2))->NumColors(), 2u);
  EXPECT_EQ(ImageOf(PackedDib(2, 1, 4, 16))->NumColors(), 16u);
  EXPECT_EQ(ImageOf(PackedDib(1, 1, 8, 256))->NumColors(), 256u);
  EXPECT_EQ(ImageOf(PackedDib(1, 1, 32, 3, 3))->NumColors(), 3u) << "biClrUsed counts whatever the depth";
  ZoImage empty;
  EXPECT_EQ(empty.NumColors(), 0u);
  EXPECT_EQ(empty.GetBits(), nullptr);
  EXPECT_EQ(empty.GetColors(), nullptr);
}

TEST(ZoImageTest, HostileColourCountsStayInsideTheBlock) {
  // biClrUsed claims far more colours than the block holds.
  auto image = ImageOf(PackedDib(2, 2, 8, 4, 0x40000000));
  EXPECT_EQ(image->GetBits(), nullptr);
  image->MakePalette();
  EXPECT_EQ(image->GetPalette(), nullptr);
  auto dc = CreateCompatibleDC(nullptr);
  image->DIBtoDDB(*dc);
  EXPECT_EQ(image->Ddb(), nullptr);
}

TEST(ZoImageTest, CopiesShareDataAndDeviceBitmap) {
  auto original = ImageOf(PackedDib(2, 2, 24, 0));
  ZoImage& self = *original;
  self = self;
  EXPECT_EQ(self.RefCount(), 1);
  EXPECT_TRUE(self.HasDib());

  auto copy = std::make_unique<ZoImage>(*original);
  ZoImage third;
  third.SetImageData(copy.get());
  EXPECT_EQ(original->RefCount(), 3);
  auto dc = CreateCompatibleDC(nullptr);
  copy->DIBtoDDB(*dc);
  ASSERT_NE(original->Ddb(), nullptr);
  EXPECT_EQ(original->Ddb(), third.Ddb());
  copy.reset();
  EXPECT_EQ(original->RefCount(), 2);
  EXPECT_TRUE(third.HasDib());
  EXPECT_EQ(third.Ddb()->Width(), 2);
}

TEST(ZoImageTest, ShowBlitsTheWholeImageForSizeZeroAndNothingWhenEmpty) {
  // A 2 × 2 24-bit image: bottom row first in the DIB.
  Bytes dib = PackedDib(2, 2, 24, 0);
  const std::uint8_t rows[16] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
  std::copy(std::begin(rows), std::end(rows), dib.begin() + 40);
  auto image = ImageOf(dib);
  RecordingPresenter presenter(4, 4);
  WindowDC window(presenter, 4, 4);
  image->Show(window, 0, 0, 1, 1, 0, 0, RasterOp::SourceCopy);
  ASSERT_EQ(presenter.Log().size(), 1u);
  EXPECT_EQ(presenter.Log()[0].target, (Rect{1, 1, 3, 3}));
  EXPECT_EQ(presenter.Window().At(1, 1), 0x0000FFu) << "top row: blue";
  EXPECT_EQ(presenter.Window().At(2, 1), 0xFFFFFFu) << "top row: white";
  EXPECT_EQ(presenter.Window().At(1, 2), 0xFF0000u) << "bottom row: red";
  EXPECT_EQ(presenter.Window().At(2, 2), 0x00FF00u) << "bottom row: green";
  EXPECT_NE(image->Ddb(), nullptr) << "Show builds the device bitmap";

  ZoImage empty;
  empty.Show(window, 0, 0, 0, 0, 0, 0, RasterOp::SourceCopy);
  EXPECT_EQ(presenter.Log().size(), 1u);
}

TEST(ZoImageTest, SubImageIsCutToTheSourceEdgesAndTurnsIntoADib) {
  Bytes dib = PackedDib(4, 3, 32, 0);
  auto source = ImageOf(dib);
  auto dc = CreateCompatibleDC(nullptr);
  source->DIBtoDDB(*dc);
  ZoImage cut(*dc, source.get(), 2, -1, 5, 0);  // x 2 of 4, width cut to 2; y to 0, height 3
  ASSERT_NE(cut.Ddb(), nullptr);
  EXPECT_FALSE(cut.HasDib());
  EXPECT_EQ(cut.Width(), 2);
  EXPECT_EQ(cut.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(cut.Ddb()->At(x, y), source->Ddb()->At(x + 2, y));

  cut.DDBtoDIB();
  ASSERT_TRUE(cut.HasDib());
  EXPECT_EQ(cut.Stride(), 8);
  // Back through the stream form: the same pixels as the source's columns 2 and 3.
  std::ostringstream os;
  ASSERT_EQ(cut.WriteDIB(os), 1);
  const std::string written = os.str();
  auto reread = ImageOf(Bytes(written.begin() + 14, written.end()));
  reread->DIBtoDDB(*dc);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(reread->Ddb()->At(x, y), source->Ddb()->At(x + 2, y));

  ZoImage none(*dc, nullptr, 0, 0, 1, 1);
  EXPECT_EQ(none.Ddb(), nullptr);
}

TEST(ZoBmpImageTest, FourBitRoundTripKeepsTheBlock) {
  const Bytes dib = PackedDib(13, 5, 4, 16);
  auto image = ImageOf(dib);
  EXPECT_EQ(image->Stride(), 8);
  std::ostringstream os;
  ASSERT_EQ(image->Write(os), 1);
  const std::string written = os.str();
  ASSERT_EQ(written.size(), 158u);
  EXPECT_EQ(Le32(written, 2), 158u) << "bfSize";
  EXPECT_EQ(Le32(written, 10), 118u) << "bfOffBits";
  EXPECT_EQ(Bytes(written.begin() + 14, written.end()), dib);
}

TEST(ZoBmpImageTest, WriteDibOf256ColoursPutsThePixelsAt1078) {
  std::ostringstream os;
  ASSERT_EQ(ImageOf(PackedDib(3, 2, 8, 256))->WriteDIB(os), 1);
  EXPECT_EQ(Le32(os.str(), 10), 1078u);
  EXPECT_EQ(ZoImage().WriteDIB(os), 0);
}

TEST(ZoBmpImageTest, WritersNeverReadPastTheBlock) {
  // The header claims 100 rows; the block holds 2.
  Bytes dib = PackedDib(4, 2, 8, 256);
  dib[8] = 100;
  auto image = ImageOf(dib);
  std::ostringstream a, b;
  EXPECT_EQ(image->WriteDIB(a), 0);
  EXPECT_EQ(image->Write(b), 0);
  EXPECT_TRUE(a.str().empty());
}

// Stream records that the reader refuses, with where the stream must stand afterwards.
struct BadRecord {
  const char* what;
  std::string bytes;
  std::streamoff position;  // -1: at the end (failed)
};

TEST(ZoBmpImageTest, StreamReaderRefusesBadRecordsAndLeavesTheImageEmpty) {
  const Bytes good = PackedDib(2, 2, 24, 0);
  const std::string tail = "next";
  const BadRecord cases[] = {
      {"not BM: the 14 bytes stay consumed", "XY" + StreamForm(good).substr(2) + tail, 14},
      {"core header: read whole, then refused",
       StreamForm(PackedDib(2, 2, 24, 0, 0, 12)) + tail, std::streamoff(good.size() + 14)},
      {"ends before bfSize - 14 bytes", StreamForm(good).substr(0, 40), -1},
      {"bfSize smaller than the file header", StreamForm(good, 10) + tail, 14},
      {"bfSize far beyond the stream", StreamForm(good, 0x01000000u) + tail, -1},
      {"bfSize beyond any picture", StreamForm(good, 0xFFFFFFFFu) + tail, 14},
      {"too short for a header", StreamForm(Bytes(20, 0)) + tail, 34},
  };
  for (const BadRecord& c : cases) {
    ZoBmpImage image;
    std::istringstream is(c.bytes);
    EXPECT_EQ(image.Read(is), 0) << c.what;
    EXPECT_FALSE(image.HasDib()) << c.what;
    if (c.position >= 0) EXPECT_EQ(is.tellg(), c.position) << c.what;
    else EXPECT_FALSE(is) << c.what;
  }
  // A failed stream is refused at once; a good record after it reads.
  ZoBmpImage image;
  std::istringstream is(StreamForm(good));
  is.setstate(std::ios::failbit);
  EXPECT_EQ(image.Read(is), 0);
}

TEST(ZoBmpImageTest, FilesLoadAndAnUnreadableOneGivesAnEmptyImage) {
  const std::string good = std::string(KELNA_TEST_DATA) + "/bmpsuite/g/pal8.bmp";
  ZoBmpImage image(good.c_str());
  ASSERT_TRUE(image.HasDib());
  EXPECT_EQ(image.Width(), 127);
  EXPECT_EQ(image.Height(), 64);
  EXPECT_EQ(image.Stride(), 128);
  EXPECT_EQ(image.NumColors(), 252u);

  test::TemporaryFolder folder;
  const std::string copy = (folder.Path() / "copy.bmp").string();
  ASSERT_EQ(image.Write(copy.c_str()), 1);
  ZoBmpImage reread(copy.c_str());
  ASSERT_TRUE(reread.HasDib());
  EXPECT_TRUE(std::equal(image.Dib().begin(), image.Dib().end(), reread.Dib().begin(), reread.Dib().end()));

  const std::string text = (folder.Path() / "not.bmp").string();
  std::ofstream(text) << "plain text";
  ZoBmpImage bad(text.c_str());
  EXPECT_FALSE(bad.HasDib());
  EXPECT_EQ(bad.GetBits(), nullptr);
  EXPECT_EQ(reread.Read(text.c_str()), 0);
  EXPECT_FALSE(reread.HasDib());
  EXPECT_EQ(bad.Write(copy.c_str()), 0);
}

TEST(ZoBmpImageTest, SharersOutliveTheLoaderSafely) {
  const std::string file = std::string(KELNA_TEST_DATA) + "/bmpsuite/g/pal4.bmp";
  auto dc = CreateCompatibleDC(nullptr);
  ZoImage sharer;
  ZoImage keeper;
  {
    ZoBmpImage image(file.c_str());
    image.DIBtoDDB(*dc);
    keeper = image;
    // Replacing the picture leaves the old block (and its loader) with the old data.
    ASSERT_EQ(image.Read(file.c_str()), 1);
    EXPECT_NE(image.Data(), keeper.Data());
    EXPECT_TRUE(keeper.HasDib());
    EXPECT_EQ(keeper.GetColors()[0], image.GetColors()[0]);
    sharer = image;
    image.DIBtoDDB(*dc);
  }
  // The loader that held the DIB is gone: the sharer keeps the device bitmap only.
  EXPECT_FALSE(sharer.HasDib());
  EXPECT_NE(sharer.Ddb(), nullptr);
  EXPECT_EQ(sharer.Width(), 127);
  EXPECT_TRUE(keeper.HasDib());
}

}  // namespace
}  // namespace kelna
