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
  std::size_t offset, width;
};

template <class Record, std::size_t N>
void ExpectPlaces(const std::array<RecordField<Record>, N>& fields, const std::vector<Place>& expected) {
  ASSERT_EQ(fields.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(fields[i].name, expected[i].name);
    EXPECT_EQ(FieldOffset(fields, fields[i].name), expected[i].offset);
    EXPECT_EQ(fields[i].width, expected[i].width);
  }
}

TEST(RecordLayout, RecordsAreTheFileFormatsLayouts) {
  ExpectPlaces(kObjectRecord, {{"tag", 0, 3},          {"reserved1", 3, 2},    {"name", 5, 32},
                               {"depth", 37, 2},       {"behaviour", 39, 4},   {"autoRepeat", 43, 4},
                               {"randomStart", 47, 4}, {"ownsImages", 51, 4},  {"imageWidth", 55, 2},
                               {"imageHeight", 57, 2}, {"frameCount", 59, 2},  {"startX", 61, 4},
                               {"startY", 65, 4},      {"speedX", 69, 4},      {"speedY", 73, 4},
                               {"locationCount", 77, 2}});
  EXPECT_EQ(kObjectRecordSize, 79u);
  ExpectPlaces(kSpriteRecord, {{"tag", 0, 3},          {"reserved1", 3, 2},    {"name", 5, 32},
                               {"objectName", 37, 32}, {"depth", 69, 2},       {"behaviour", 71, 4},
                               {"autoRepeat", 75, 4},  {"randomStart", 79, 4}, {"reserved2", 83, 4},
                               {"imageWidth", 87, 2},  {"imageHeight", 89, 2}, {"startFrame", 91, 2},
                               {"frameCount", 93, 2},  {"skipCount", 95, 2},   {"x", 97, 4},
                               {"y", 101, 4},          {"speedX", 105, 4},     {"speedY", 109, 4},
                               {"soundOn", 113, 2}});
  EXPECT_EQ(kSpriteRecordSize, 115u);
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
  EXPECT_FALSE(HasTags(kSample, "X"s));
  EXPECT_FALSE(HasTags(kSample, ""s));
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
