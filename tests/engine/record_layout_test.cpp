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
  std::size_t offset;
  std::size_t width;
};

template <class Record, std::size_t N>
std::vector<Place> Places(const std::array<RecordField<Record>, N>& fields) {
  std::vector<Place> places;
  for (const auto& field : fields) places.push_back({field.name, FieldOffset(fields, field.name), field.width});
  return places;
}

void ExpectPlaces(const std::vector<Place>& actual, const std::vector<Place>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(actual[i].name, expected[i].name);
    EXPECT_EQ(actual[i].offset, expected[i].offset);
    EXPECT_EQ(actual[i].width, expected[i].width);
  }
}

TEST(RecordLayout, ObjectRecordIsTheFileFormatsFixedPart) {
  ExpectPlaces(Places(kObjectRecord), {{"tag", 0, 3},          {"reserved1", 3, 2},    {"name", 5, 32},
                                       {"depth", 37, 2},       {"behaviour", 39, 4},   {"autoRepeat", 43, 4},
                                       {"randomStart", 47, 4}, {"ownsImages", 51, 4},  {"imageWidth", 55, 2},
                                       {"imageHeight", 57, 2}, {"frameCount", 59, 2},  {"startX", 61, 4},
                                       {"startY", 65, 4},      {"speedX", 69, 4},      {"speedY", 73, 4},
                                       {"locationCount", 77, 2}});
  EXPECT_EQ(kObjectRecordSize, 79u);
}

TEST(RecordLayout, SpriteRecordIsTheFileFormatsRecord) {
  ExpectPlaces(Places(kSpriteRecord), {{"tag", 0, 3},          {"reserved1", 3, 2},    {"name", 5, 32},
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

struct WalkCase {
  const char* why;
  std::string bytes;  // the record after its tag
  std::int32_t narrow;
  std::uint16_t count;
  std::string text;
  std::string shortText;
};

const WalkCase kWalkCases[] = {
    {"a signed member reads sign-extended, an unsigned one does not", "\xFE\xFF\xFE\xFF" "ab\0\0" "cd\0\0"s, -2, 0xFFFE,
     "ab", "cd"},
    {"a text without a NUL is the whole field; an array keeps a NUL", "\x01\x00\x02\x00" "wxyz" "wxyz"s, 1, 2, "wxyz",
     "wxy"},
};

TEST(RecordLayout, ReadFieldsWalksWidthsSignsAndTexts) {
  for (const auto& c : kWalkCases) {
    SCOPED_TRACE(c.why);
    const std::string bytes = "T" + c.bytes;
    ASSERT_TRUE(HasTags(kSample, bytes));
    Sample sample;
    ReadFields(kSample, sample, bytes);
    EXPECT_EQ(sample.narrow, c.narrow);
    EXPECT_EQ(sample.count, c.count);
    EXPECT_EQ(sample.text, c.text);
    EXPECT_EQ(std::string(sample.shortText.data()), c.shortText);
  }
}

TEST(RecordLayout, WriteFieldsStoresLowBytesAndKeepsTextsTwoBytesShort) {
  const Sample sample{.narrow = 0x12345678, .count = 0xBEEF, .text = "wxyz", .shortText = {'a', 0, 0, 0}};
  std::ostringstream os;
  BinaryWriter out(os);
  WriteFields(kSample, sample, out);
  EXPECT_EQ(os.str(), "T\x78\x56\xEF\xBE" "wx\0\0" "a\0\0\0"s);
}

TEST(RecordLayout, HasTagsComparesEveryTagByte) {
  EXPECT_FALSE(HasTags(kSample, std::string("X")));
  EXPECT_FALSE(HasTags(kSample, std::string()));
}

}  // namespace
}  // namespace kelna
