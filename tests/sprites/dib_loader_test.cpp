#include "sprites/dib_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/dib.h"
#include "platform/text.h"
#include "tests/support/dib_builder.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

const fs::path kSuite = fs::path(KELNA_TEST_DATA) / "bmpsuite";

std::string RefusalOf(const std::vector<std::uint8_t>& file) {
  try { TDib::FromBytes(file); } catch (const TXGdi& error) { return error.what(); }
  return "";
}

// A suite file as the loader makes it (a block in the packed layout the program relies on), decoded.
DecodedDib Loaded(const std::string& file) {
  const TDib dib = TDib::FromBytes(test::FileBytes(kSuite / (file + ".bmp")));
  const std::optional<DibHeader> header = ReadDibHeader(dib.Block());
  EXPECT_TRUE(header && header->size == 40 && header->compression == kBiRgb);
  EXPECT_THAT(dib.BitCount(), ::testing::AnyOf(1, 4, 8, 16, 24, 32));
  EXPECT_EQ(dib.Block().size(),
            40 + 4 * dib.NumColors() + DibStride(dib.BitCount(), dib.Width()) * std::size_t(dib.Height()));
  const Result<DecodedDib> decoded = DecodeDib(dib.Info(), dib.Bits());
  EXPECT_TRUE(decoded) << decoded.message();
  return decoded ? *decoded : DecodedDib{};
}

// The BMP suite's questionable and bad files, loaded or refused as recorded here. (The good
// files' pixels: tests/tools/tool_test.cpp; those with pictures of their own: tests/gdi.)
// Refused, with a part of the message (pal1huffmsb: OS/2 Huffman 1D; rgb24rle24: OS/2 RLE24).
const std::map<std::string, std::string> kRefused = {
    {"q/pal1huffmsb", "compression 3"},     {"q/rgb24rle24", "compression 4"}, {"q/rgb24jpeg", "compression 4"},
    {"q/rgb24png", "compression 5"},        {"q/rgba64", "bit count 64"},      {"b/badbitcount", "bit count 30000"},
    {"b/badheadersize", "header size 66"},  {"b/badwidth", "size -127"},       {"b/reallybig", "size 3000000"},
    {"b/rgb16-880", "empty colour mask"},   {"b/rletopdown", "top-down RLE"},  {"b/shortfile", "file is truncated"},
};

// Loaded, showing a good file's pixels.
const std::map<std::string, std::vector<std::string>> kSameAs = {
    // OS/2 file header oddities; in pal8os2sp 252 RGBTRIPLEs, counted from bfOffBits.
    {"pal8os2", {"q/pal8os2-hs", "q/pal8os2-sz", "q/pal8os2sp"}},
    // A gap before the pixels; OS/2 2.x headers of 16 to 64 bytes; of 300 colours the first 256
    // count; of a huge biClrUsed what fits before the pixels.
    {"pal8", {"q/pal8offs", "q/pal8os2v2-16", "q/pal8os2v2-40sz", "q/pal8os2v2-sz", "q/pal8os2v2",
              "q/pal8oversizepal", "b/badpalettesize"}},
    {"rgb16", {"q/rgb16faketrns", "q/rgba16-5551"}},  // the top bit is ignored, alpha or not
    {"rgb24", {"q/rgb24largepal", "q/rgb24lprof", "q/rgb24prof",  // profiles, a large table, the 4th byte
               "q/rgb32-xbgr", "q/rgb32fakealpha", "q/rgb32h52"}},
    // biSizeImage (BI_RGB), the densities, bfSize and biPlanes are not needed.
    {"pal1", {"b/badbitssize", "b/baddens1", "b/baddens2", "b/badfilesize", "b/badplanes"}},
};

// Every other file loads with pixels of its own: a 1-colour table whose index 1 shows black, 2
// bits widened to 4, RLE that skips pixels (black) or runs past the rows (cut), odd masks widened
// as GDI does, BI_ALPHABITFIELDS as bitfields, a profile that would change the colours, indexes
// past the table (black).
TEST(BmpSuite, FilesAreLoadedOrRefusedAsRecorded) {
  std::map<std::string, std::string> sameAs;  // file: the good file it shows
  for (const auto& [good, files] : kSameAs)
    for (const std::string& file : files) sameAs[file] = good;
  std::size_t named = 0;  // files the tables name that were found
  for (const char* folder : {"g", "q", "b"})
    for (const auto& entry : fs::directory_iterator(kSuite / folder)) {
      const std::string file = folder + ("/" + entry.path().stem().string());
      SCOPED_TRACE(file);
      if (kRefused.contains(file)) {
        ++named;
        EXPECT_THAT(RefusalOf(test::FileBytes(entry.path())), HasSubstr(kRefused.at(file)));
        continue;
      }
      const DecodedDib decoded = Loaded(file);
      if (*folder == 'g') continue;  // their pixels: against the references in tool_test.cpp
      const auto good = sameAs.find(file);
      if (good == sameAs.end()) {
        EXPECT_EQ(std::pair(decoded.width, decoded.height), std::pair(127, 64));
        continue;
      }
      ++named;
      const DecodedDib expected = Loaded("g/" + good->second);
      EXPECT_EQ(std::pair(decoded.width, decoded.height), std::pair(expected.width, expected.height));
      EXPECT_EQ(decoded.pixels, expected.pixels);
    }
  EXPECT_EQ(named, kRefused.size() + sameAs.size()) << "a file the tables name is missing";
}

// A BMP file: a 40-byte header, `table` (0x00RRGGBB entries, biClrUsed their number), `pixels`.
test::Bytes BmpFile(int width, int height, int bitCount, std::uint32_t compression,
                    const std::vector<std::uint32_t>& table, const test::Bytes& pixels) {
  test::Bytes dib = test::DibInfo({width, height, std::uint16_t(bitCount), compression,
                                   std::uint32_t(table.size()), std::uint32_t(pixels.size())}, table);
  dib.insert(dib.end(), pixels.begin(), pixels.end());
  const std::string file = test::StreamForm(dib, std::uint32_t(54 + 4 * table.size()));
  return {file.begin(), file.end()};
}

// Every cut of an uncompressed file, and huge dimensions before any pixel is read.
TEST(TDibFile, RefusesEveryCutOfAnUncompressedFileAndHugeDimensions) {
  const std::vector<std::uint8_t> file = test::FileBytes(kSuite / "g" / "pal8.bmp");
  for (std::size_t size = 0; size < file.size(); ++size) {
    const std::string refusal = RefusalOf({file.begin(), file.begin() + std::ptrdiff_t(size)});
    // 127 x 64 pixels of 8 bits: rows of 128 bytes after 1062 bytes of headers and 252 colours.
    const std::string truncated = size < 1062 ? "file is truncated"
                                              : "file is truncated: its pixel data ends in row " +
                                                    std::to_string((size - 1062) / 128 + 1) + " of 64";
    ASSERT_EQ(refusal, size < 2 ? "not a BMP file" : truncated) << size << " bytes";
  }
  const std::vector<std::uint32_t> table(256);
  // 0.9 G pixels (past 32767 pixels a side: DecodeDib's rows); within the limits, but tiny.
  EXPECT_THAT(RefusalOf(BmpFile(30000, 30000, 8, kBiRgb, table, {1, 2, 3, 4})), HasSubstr("image is too large"));
  EXPECT_THAT(RefusalOf(BmpFile(16000, 4000, 8, kBiRgb, table, {1, 2, 3, 4})), HasSubstr("file is truncated"));
}

TEST(TDibFile, IgnoresAnUnusableBfOffBits) {
  const std::vector<std::uint8_t> file = test::FileBytes(kSuite / "g" / "pal8.bmp");
  const TDib original = TDib::FromBytes(file);
  // 0: the pixels follow the colour table; inside the header; past the end.
  for (const std::uint32_t offBits : {0u, 20u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(offBits);
    std::vector<std::uint8_t> edited = file;
    test::PutAt(edited, 10, offBits, 4);
    EXPECT_TRUE(std::ranges::equal(TDib::FromBytes(edited).Block(), original.Block()));
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
  const struct { const char* what; test::Bytes file; int bitCount; std::vector<std::uint32_t> pixels; } cases[] = {
      {"a full table with black uses it", BmpFile(3, 1, 4, kBiRle4, withBlack, codes), 4, {full[1], 0, full[2]}},
      {"a full table without black: 24 bits", BmpFile(3, 1, 4, kBiRle4, full, codes), 24, {full[1], 0, full[2]}},
      {"2 bits", BmpFile(5, 1, 2, kBiRgb, four, {0b00011011, 0b01000000, 0, 0}), 4,
       {0x000011, 0x002200, 0x330000, 0x444444, 0x002200}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TDib dib = TDib::FromBytes(c.file);
    EXPECT_EQ(dib.BitCount(), c.bitCount);
    const Result<DecodedDib> decoded = DecodeDib(dib.Info(), dib.Bits());
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
  const test::Bytes block(dib.Block().begin(), dib.Block().end());
  EXPECT_EQ(test::Contents(Cp932ToPath(name)), test::StreamForm(block, std::uint32_t(14 + 40 + 4 * dib.NumColors())));
  EXPECT_TRUE(std::ranges::equal(TDib(name.c_str()).Block(), dib.Block()));
  EXPECT_FALSE(dib.WriteFile(folder / "missing" / "x.bmp"));
  EXPECT_EQ(folder.Names().size(), 1u);
}

// (A file that is no BMP: the decode command's row in tests/tools/tool_test.cpp.)
TEST(TDibFile, SaysWhyAFileCannotBeLoaded) {
  EXPECT_THAT([] { TDib dib(fs::path("absent.bmp")); },
              ::testing::ThrowsMessage<TXGdi>(HasSubstr("\"absent.bmp\": no such file")));
#ifdef _WIN32
  EXPECT_THROW(TDib(nullptr, 12345), TXGdi);  // the test program has no bitmap resources
#endif
}

}  // namespace
}  // namespace kelna
