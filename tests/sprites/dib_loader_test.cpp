#include "sprites/dib_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dib.h"
#include "platform/text.h"
#include "tests/support/bytes.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

const fs::path kSuite = fs::path(KELNA_TEST_DATA) / "bmpsuite";

// The suite's reference pixels: an 8-bit RGB PAM file, rows top first.
DecodedDib ReadPam(const std::string& name) {
  const std::string pam = test::Contents(kSuite / "ref" / (name + ".pam"));
  const std::size_t pixels = pam.find("ENDHDR\n") + 7;
  DecodedDib picture{};
  std::istringstream header(pam.substr(0, pixels));
  for (std::string key; header >> key;) {
    if (key == "WIDTH") header >> picture.width;
    if (key == "HEIGHT") header >> picture.height;
  }
  const auto byte = [&](std::size_t at) { return std::uint32_t(std::uint8_t(pam[at])); };
  for (std::size_t i = pixels; i + 2 < pam.size(); i += 3)
    picture.pixels.push_back(byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2));
  return picture;
}

// ---- The BMP suite: good files show their reference pixels; questionable and bad files
// are loaded or refused as recorded here. (Files that show a picture of their own are
// compared with GDI itself in tests/gdi.) ----

struct Outcome {
  std::string file;
  std::string refusal;  // empty: loads; otherwise a part of the refusal's message
  std::string sameAs;   // when it loads: the good file whose reference pixels it must show
};

const std::vector<Outcome> kOutcomes = {
    {"q/pal1huffmsb", "compression 3", ""},     // OS/2 Huffman 1D
    {"q/pal1p1", "", ""},                       // one colour; index 1 shows black
    {"q/pal2", "", ""},                         // 2 bits per pixel, widened to 4
    {"q/pal2color", "", ""},
    {"q/pal4rlecut", "", ""},                   // skipped pixels: black, as GDI leaves them
    {"q/pal4rletrns", "", ""},
    {"q/pal8offs", "", "pal8"},                 // a gap before the pixels
    {"q/pal8os2-hs", "", "pal8os2"},            // OS/2 file header oddities
    {"q/pal8os2-sz", "", "pal8os2"},
    {"q/pal8os2sp", "", "pal8os2"},             // 252 RGBTRIPLEs, counted from bfOffBits
    {"q/pal8os2v2-16", "", "pal8"},             // 16-byte OS/2 2.x header
    {"q/pal8os2v2-40sz", "", "pal8"},
    {"q/pal8os2v2-sz", "", "pal8"},
    {"q/pal8os2v2", "", "pal8"},                // 64-byte OS/2 2.x header
    {"q/pal8oversizepal", "", "pal8"},          // 300 colours: the first 256 count
    {"q/pal8rlecut", "", ""},
    {"q/pal8rletrns", "", ""},
    {"q/rgb16-231", "", ""},                    // odd masks: widened as GDI widens them
    {"q/rgb16-3103", "", ""},
    {"q/rgb16faketrns", "", "rgb16"},           // the unused top bit is ignored
    {"q/rgb24jpeg", "compression 4", ""},
    {"q/rgb24largepal", "", "rgb24"},
    {"q/rgb24lprof", "", "rgb24"},              // colour profiles are ignored
    {"q/rgb24png", "compression 5", ""},
    {"q/rgb24prof", "", "rgb24"},
    {"q/rgb24prof2", "", ""},                   // its profile would change the colours
    {"q/rgb24rle24", "compression 4", ""},      // OS/2 RLE24
    {"q/rgb32-111110", "", ""},
    {"q/rgb32-7187", "", ""},
    {"q/rgb32-xbgr", "", "rgb24"},
    {"q/rgb32fakealpha", "", "rgb24"},          // the fourth byte is ignored
    {"q/rgb32h52", "", "rgb24"},
    {"q/rgba16-1924", "", ""},
    {"q/rgba16-4444", "", ""},
    {"q/rgba16-5551", "", "rgb16"},             // the alpha bit is ignored
    {"q/rgba32-1", "", ""},
    {"q/rgba32-1010102", "", ""},
    {"q/rgba32-2", "", ""},
    {"q/rgba32-61754", "", ""},
    {"q/rgba32-81284", "", ""},
    {"q/rgba32abf", "", ""},                    // BI_ALPHABITFIELDS read as bitfields
    {"q/rgba32h56", "", ""},
    {"q/rgba64", "bit count 64", ""},
    {"b/badbitcount", "bit count 30000", ""},
    {"b/badbitssize", "", "pal1"},              // biSizeImage is not needed for BI_RGB
    {"b/baddens1", "", "pal1"},
    {"b/baddens2", "", "pal1"},
    {"b/badfilesize", "", "pal1"},              // bfSize is not needed
    {"b/badheadersize", "header size 66", ""},
    {"b/badpalettesize", "", "pal8"},           // biClrUsed huge: what fits before the pixels
    {"b/badplanes", "", "pal1"},
    {"b/badrle", "", ""},                       // runs past the rows: cut
    {"b/badrle4", "", ""},
    {"b/badrle4bis", "", ""},
    {"b/badrle4ter", "", ""},
    {"b/badrlebis", "", ""},
    {"b/badrleter", "", ""},
    {"b/badwidth", "size -127", ""},
    {"b/pal8badindex", "", ""},                 // indexes past the table show black
    {"b/reallybig", "size 3000000", ""},
    {"b/rgb16-880", "empty colour mask", ""},
    {"b/rletopdown", "top-down RLE", ""},
    {"b/shortfile", "file is truncated", ""},
};

TEST(BmpSuite, FilesAreLoadedOrRefusedAsRecorded) {
  std::vector<Outcome> outcomes = kOutcomes;
  std::set<std::string> listed, present;
  for (const Outcome& outcome : kOutcomes) listed.insert(outcome.file);
  for (const char* folder : {"g", "q", "b"}) {
    for (const auto& entry : fs::directory_iterator(kSuite / folder)) {
      const std::string name = entry.path().stem().string();
      if (*folder == 'g') outcomes.push_back({"g/" + name, "", name});
      else present.insert(folder + ("/" + name));
    }
  }
  EXPECT_EQ(listed, present) << "the table names every odd file";
  for (const Outcome& outcome : outcomes) {
    SCOPED_TRACE(outcome.file);
    std::optional<TDib> dib;
    std::string refusal;
    try {
      dib = TDib::FromBytes(test::FileBytes(kSuite / (outcome.file + ".bmp")));
    } catch (const TXGdi& error) {
      refusal = error.what();
    }
    if (!outcome.refusal.empty()) {
      EXPECT_THAT(refusal, HasSubstr(outcome.refusal));
      continue;
    }
    ASSERT_TRUE(dib) << refusal;
    // The packed layout that the rest of the program relies on.
    const std::optional<DibHeader> header = ReadDibHeader(dib->Block());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->size, 40u);
    EXPECT_EQ(header->compression, kBiRgb);
    EXPECT_THAT(dib->BitCount(), ::testing::AnyOf(1, 4, 8, 16, 24, 32));
    EXPECT_EQ(dib->Block().size(),
              40 + 4 * dib->NumColors() + DibStride(dib->BitCount(), dib->Width()) * std::size_t(dib->Height()));
    const std::optional<DecodedDib> decoded = DecodeDib(dib->Info(), dib->Bits());
    ASSERT_TRUE(decoded);
    const DecodedDib expected = outcome.sameAs.empty() ? DecodedDib{127, 64, {}} : ReadPam(outcome.sameAs);
    EXPECT_EQ(decoded->width, expected.width);
    EXPECT_EQ(decoded->height, expected.height);
    if (!outcome.sameAs.empty()) {
      EXPECT_EQ(decoded->pixels, expected.pixels);
    }
  }
}

// ---- Edge cases of the file layout ----

// A BMP file with a 40-byte header, `table` (0x00RRGGBB entries, biClrUsed = their number)
// and `pixels`.
std::vector<std::uint8_t> BmpFile(int width, int height, int bitCount, std::uint32_t compression,
                                  const std::vector<std::uint32_t>& table,
                                  const std::vector<std::uint8_t>& pixels) {
  std::vector<std::uint8_t> file(54 + 4 * table.size());
  file[0] = 'B';
  file[1] = 'M';
  test::PutAt(file, 2, static_cast<std::uint32_t>(file.size() + pixels.size()), 4);
  test::PutAt(file, 10, static_cast<std::uint32_t>(file.size()), 4);
  test::PutAt(file, 14, 40, 4);
  test::PutAt(file, 18, static_cast<std::uint32_t>(width), 4);
  test::PutAt(file, 22, static_cast<std::uint32_t>(height), 4);
  file[26] = 1;
  file[28] = static_cast<std::uint8_t>(bitCount);
  test::PutAt(file, 30, compression, 4);
  test::PutAt(file, 34, static_cast<std::uint32_t>(pixels.size()), 4);
  test::PutAt(file, 46, static_cast<std::uint32_t>(table.size()), 4);
  for (std::size_t i = 0; i < table.size(); ++i) test::PutAt(file, 54 + 4 * i, table[i], 4);
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

std::string RefusalOf(const std::vector<std::uint8_t>& file) {
  try {
    TDib::FromBytes(file);
  } catch (const TXGdi& error) {
    return error.what();
  }
  return "";
}

TEST(TDibFile, RefusesEveryCutOfAnUncompressedFile) {
  const std::vector<std::uint8_t> file = test::FileBytes(kSuite / "g" / "pal8.bmp");
  for (std::size_t size = 0; size < file.size(); ++size) {
    const std::string refusal = RefusalOf({file.begin(), file.begin() + std::ptrdiff_t(size)});
    ASSERT_EQ(refusal, size < 2 ? "not a BMP file" : "file is truncated") << size << " bytes";
  }
}

TEST(TDibFile, IgnoresBfSizeAndAnUnusableBfOffBits) {
  const std::vector<std::uint8_t> file = test::FileBytes(kSuite / "g" / "pal8.bmp");
  const TDib original = TDib::FromBytes(file);
  const struct {
    std::size_t at;
    std::uint32_t value;
  } edits[] = {
      {2, 0},            // bfSize 0
      {2, 0xFFFFFFFF},   // bfSize far past the end
      {10, 0},           // bfOffBits 0: the pixels follow the colour table
      {10, 20},          // bfOffBits inside the header
      {10, 0xFFFFFFFF},  // bfOffBits past the end
  };
  for (const auto& edit : edits) {
    SCOPED_TRACE(edit.value);
    std::vector<std::uint8_t> edited = file;
    test::PutAt(edited, edit.at, edit.value, 4);
    const TDib dib = TDib::FromBytes(edited);
    EXPECT_TRUE(std::ranges::equal(dib.Block(), original.Block()));
  }
}

TEST(TDibFile, RefusesHugeDimensionsBeforeReadingPixels) {
  const struct {
    int width, height, bitCount;
    std::uint32_t compression;
    const char* refusal;
  } cases[] = {
      {30000, 30000, 8, kBiRgb, "image is too large"},  // 3.6 GB of decoded pixels
      {32768, 1, 24, kBiRgb, "unsupported size"},       // past signed 16 bits
      {1, -32768, 24, kBiRgb, "unsupported size"},
      {16000, 4000, 8, kBiRgb, "file is truncated"},  // within the limits, but the file is tiny
      {16000, 4000, 32, kBiBitfields, "file is truncated"},
      {0x7FFFFFFF, 0x7FFFFFFF, 1, kBiRgb, "unsupported size"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.refusal);
    const std::vector<std::uint32_t> words = c.bitCount == 8 ? std::vector<std::uint32_t>(256)
                                                             : std::vector<std::uint32_t>{0xFF0000, 0xFF00, 0xFF};
    EXPECT_THAT(RefusalOf(BmpFile(c.width, c.height, c.bitCount, c.compression, words, {1, 2, 3, 4})),
                HasSubstr(c.refusal));
  }
}

// Layouts the block cannot carry are converted to pixels GDI would show: pixels that RLE
// codes skip stay black however full the colour table is; 2-bit pixels widen to 4 bits.
TEST(TDibFile, ConvertsToTheSamePixels) {
  const std::vector<std::uint8_t> codes = {1, 0x10, 0, 2, 1, 0, 1, 0x20, 0, 1};  // 1, skip, 2
  std::vector<std::uint32_t> full;
  for (std::uint32_t i = 0; i < 16; ++i) full.push_back(0x111111 * i + 0x010000);  // no black
  std::vector<std::uint32_t> withBlack = full;
  withBlack[7] = 0;
  const std::vector<std::uint32_t> four = {0x000011, 0x002200, 0x330000, 0x444444};
  const struct {
    const char* what;
    std::vector<std::uint8_t> file;
    int bitCount;
    std::vector<std::uint32_t> pixels;
  } cases[] = {
      {"a short table gains a black entry", BmpFile(3, 1, 4, kBiRle4, {0xAA, 0xBB, 0xCC}, codes), 4,
       {0xBB, 0, 0xCC}},
      {"a full table with black uses it", BmpFile(3, 1, 4, kBiRle4, withBlack, codes), 4, {full[1], 0, full[2]}},
      {"a full table without black: 24 bits", BmpFile(3, 1, 4, kBiRle4, full, codes), 24, {full[1], 0, full[2]}},
      {"2 bits", BmpFile(5, 1, 2, kBiRgb, four, {0b00011011, 0b01000000, 0, 0}), 4,
       {0x000011, 0x002200, 0x330000, 0x444444, 0x002200}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TDib dib = TDib::FromBytes(c.file);
    EXPECT_EQ(dib.BitCount(), c.bitCount);
    const std::optional<DecodedDib> decoded = DecodeDib(dib.Info(), dib.Bits());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixels, c.pixels);
  }
}

TEST(TDibFile, WritesABmpFileThatLoadsAsTheSameBlock) {
  test::TemporaryFolder folder;
  const TDib dib(kSuite / "g" / "pal4rle.bmp");
  // A code page 932 name: "\x83\x5C" is a katakana whose second byte is a backslash.
  const std::string name = PathToCp932(folder.Path()) + "/\x83\x5C.bmp";
  ASSERT_TRUE(dib.WriteFile(name.c_str()));
  EXPECT_EQ(folder.Names(), (std::set<fs::path>{Cp932ToPath("\x83\x5C.bmp")})) << "nothing else is left";

  const std::vector<std::uint8_t> written = test::FileBytes(Cp932ToPath(name));
  test::Bytes expected = {'B', 'M'};
  test::Put(expected, 14 + dib.Block().size(), 4);
  test::Put(expected, 0, 4);
  test::Put(expected, 14 + 40 + 4 * dib.NumColors(), 4);  // bfOffBits
  expected.insert(expected.end(), dib.Block().begin(), dib.Block().end());
  EXPECT_EQ(written, expected);
  EXPECT_TRUE(std::ranges::equal(TDib(name.c_str()).Block(), dib.Block()));

  // Writing again replaces the file; a folder that does not exist cannot be written into.
  const TDib other(kSuite / "g" / "rgb24.bmp");
  ASSERT_TRUE(other.WriteFile(name.c_str()));
  EXPECT_TRUE(std::ranges::equal(TDib(name.c_str()).Block(), other.Block()));
  EXPECT_FALSE(dib.WriteFile(folder / "missing" / "x.bmp"));
  EXPECT_EQ(folder.Names().size(), 1u);
}

TEST(TDibFile, SaysWhyAFileCannotBeLoaded) {
  test::TemporaryFolder folder;
  test::WriteBytes(folder / "text.bmp", "Hello");
  for (const auto& [name, why] : {std::pair{"absent.bmp", "cannot open"},
                                   std::pair{"text.bmp", "not a BMP file"}}) {
    try {
      TDib dib(folder / name);
      ADD_FAILURE() << name << " loaded";
    } catch (const TXGdi& error) {
      EXPECT_THAT(error.what(), ::testing::AllOf(HasSubstr(name), HasSubstr(why)));
    }
  }
#ifdef _WIN32
  EXPECT_THROW(TDib(nullptr, 12345), TXGdi);  // the test program has no bitmap resources
#endif
}

}  // namespace
}  // namespace kelna
