// The two records' descriptions against the file layouts in docs/file-formats.md, and the
// walk over a description: widths, sign extension and text fields.
#include "platform/record_layout.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/sprite_record.h"
#include "sprites/object_record.h"

namespace kelna {
namespace {

using namespace std::string_literals;

struct Place {
  std::string_view name;
  std::size_t offset;  // a field ends where the next one starts, the last one at `size`
};

template <class Record, std::size_t N>
void ExpectPlaces(const std::array<RecordField<Record>, N>& fields, std::size_t size,
                  const std::vector<Place>& expected) {
  ASSERT_EQ(fields.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(fields[i].name, expected[i].name);
    EXPECT_EQ(FieldOffset(fields, fields[i].name), expected[i].offset);
    EXPECT_EQ(fields[i].width, (i + 1 < N ? expected[i + 1].offset : size) - expected[i].offset);
  }
}

TEST(RecordLayout, RecordsAreTheFileFormatsLayouts) {
  EXPECT_EQ(kObjectRecordSize, 79u);
  ExpectPlaces(kObjectRecord, 79,
               {{"tag", 0},          {"reserved1", 3},    {"name", 5},         {"depth", 37},
                {"behaviour", 39},   {"autoRepeat", 43},  {"randomStart", 47}, {"ownsImages", 51},
                {"imageWidth", 55},  {"imageHeight", 57}, {"frameCount", 59},  {"startX", 61},
                {"startY", 65},      {"speedX", 69},      {"speedY", 73},      {"locationCount", 77}});
  EXPECT_EQ(kSpriteRecordSize, 115u);
  ExpectPlaces(kSpriteRecord, 115,
               {{"tag", 0},          {"reserved1", 3},    {"name", 5},         {"objectName", 37},
                {"depth", 69},       {"behaviour", 71},   {"autoRepeat", 75},  {"randomStart", 79},
                {"reserved2", 83},   {"imageWidth", 87},  {"imageHeight", 89}, {"startFrame", 91},
                {"frameCount", 93},  {"skipCount", 95},   {"x", 97},           {"y", 101},
                {"speedX", 105},     {"speedY", 109},     {"soundOn", 113}});
}

// A record with one field of each way of walking.
struct Sample {
  std::int32_t narrow = 0;  // stored in 2 bytes
  std::uint16_t count = 0;
  std::string text;
  std::array<char, 4> shortText{};
};

constexpr std::array kSample = {
    TagField<Sample>("T"),
    IntegerField<&Sample::narrow>("narrow", 2),
    IntegerField<&Sample::count>("count", 2),
    TextField<&Sample::text>("text", 4),
    TextField<&Sample::shortText>("shortText", 4),
};

TEST(RecordLayout, FieldsReadSignExtendedAndWriteLowBytesWithTextsTwoBytesShort) {
  // A signed member reads sign-extended, an unsigned one does not; a text without a NUL is
  // the whole field, an array keeps a NUL.
  const std::string bytes = "T\xFE\xFF\xFE\xFF" "wxyz" "wxyz"s;
  ASSERT_TRUE(HasTags(kSample, bytes));
  Sample sample;
  ReadFields(kSample, sample, bytes);
  EXPECT_EQ(sample.narrow, -2);
  EXPECT_EQ(sample.count, 0xFFFE);
  EXPECT_EQ(sample.text, "wxyz");
  EXPECT_EQ(std::string(sample.shortText.data()), "wxy");

  sample = {.narrow = 0x12345678, .count = 0xBEEF, .text = "wxyz", .shortText = {'a', 0, 0, 0}};
  std::ostringstream os;
  BinaryWriter out(os);
  WriteFields(kSample, sample, out);
  EXPECT_EQ(os.str(), "T\x78\x56\xEF\xBE" "wx\0\0" "a\0\0\0"s);
}

}  // namespace
}  // namespace kelna
