#include "sprites/sprite_data.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "platform/text.h"
#include "platform/wave_player.h"
#include "sprites/bmp_image.h"
#include "tests/support/dib_builder.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using test::Bytes;

// A 2 × 2 24-bit image from the stream form.
std::unique_ptr<ZoBmpImage> Image() {
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream is(test::StreamForm(test::PackedDib(2, 2, 24, 0)));
  EXPECT_EQ(image->Read(is), 1);
  return image;
}

// Frames given as (image, mask) pairs of 'I' (a new image), 'P' (UsePrevious) or '-'.
std::unique_ptr<ZoSpriteData> Frames(std::initializer_list<const char*> frames) {
  auto owned = std::make_unique<ZoSpriteData>();
  ZoSpriteData& object = *owned;
  short frame = 0;
  for (const char* pair : frames) {
    for (const PairPart part : {PairPart::Image, PairPart::Mask}) {
      const char slot = pair[part == PairPart::Image ? 0 : 1];
      if (slot == 'I') object.AddImage(Image(), frame, part);
      if (slot == 'P') object.AddUsePrevious(frame, part);
    }
    object.ExpandImageArray(std::max<int>(object.PairCount(), frame + 1));
    ++frame;
  }
  auto dc = CreateCompatibleDC(nullptr);
  object.MakeDDB(*dc);
  return owned;
}

TEST(ZoSpriteDataTest, UsePreviousResolvesImageAndMaskSeparately) {
  auto aOwned = Frames({"II", "PP", "I-"});
  ZoSpriteData& a = *aOwned;
  EXPECT_EQ(a.GetImageHandle(1), a.GetImage(0).Image()->Ddb());
  EXPECT_EQ(a.GetMaskHandle(1), a.GetMask(0).Image()->Ddb());
  EXPECT_EQ(a.GetImageHandle(2), a.GetImage(2).Image()->Ddb());
  EXPECT_EQ(a.GetMaskHandle(2), nullptr) << "frame 2 draws opaque";
  EXPECT_TRUE(a.GetImage(1).IsUsePrevious());

  auto bOwned = Frames({"I-", "PP"});
  ZoSpriteData& b = *bOwned;
  EXPECT_EQ(b.GetImageHandle(1), b.GetImage(0).Image()->Ddb());
  EXPECT_EQ(b.GetMaskHandle(1), nullptr) << "the mask search stops at frame 0's empty slot";

  auto cOwned = Frames({"PP", "I-"});
  ZoSpriteData& c = *cOwned;
  EXPECT_EQ(c.GetPrevImage(0), nullptr);
  EXPECT_EQ(c.GetImageHandle(0), nullptr);
  EXPECT_EQ(c.GetImageHandle(7), nullptr) << "no such frame";
  EXPECT_EQ(c.GetImageHandle(-1), nullptr);
}

TEST(ZoSpriteDataTest, MakeDdbBuildsNothingForABorrowedFrame) {
  auto objectOwned = Frames({"II", "PP", "I-"});
  ZoSpriteData& object = *objectOwned;
  auto dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(object.MakeDDB(*dc, 0), 1);
  EXPECT_EQ(object.MakeDDB(*dc, 1), 0);
  EXPECT_EQ(object.MakeDDB(*dc, 2), 0) << "no mask";
  EXPECT_EQ(object.MakeDDB(*dc, 3), 0);
  EXPECT_NE(object.GetImageHandle(1), nullptr) << "frame 1 still draws through frame 0";
}

TEST(ZoSpriteDataTest, FrameListGrowsShrinksAndReplacesSlots) {
  auto objectOwned = Frames({"I-", "I-", "I-", "I-", "I-"});
  ZoSpriteData& object = *objectOwned;
  EXPECT_EQ(object.ExpandImageArray(3), 3);
  EXPECT_EQ(object.PairCount(), 3);
  EXPECT_EQ(object.frameCount, 3);
  object.ExpandImageArray(5);
  EXPECT_EQ(object.PairCount(), 5);
  EXPECT_TRUE(object.GetImage(4).IsNone());

  // Replacing a borrowed mask ends the frame's borrowing of the image too.
  auto borrowingOwned = Frames({"II", "PP"});
  ZoSpriteData& borrowing = *borrowingOwned;
  borrowing.AddImage(Image(), 1, PairPart::Mask);
  EXPECT_TRUE(borrowing.GetImage(1).IsNone());
  EXPECT_NE(borrowing.GetMask(1).Image(), nullptr);
  EXPECT_EQ(borrowing.AddImage(Image(), 3, PairPart::Image), 3);
  EXPECT_EQ(borrowing.PairCount(), 4);

  // A file that does not load still gives an image, an empty one.
  borrowing.LoadImage("no such file.bmp", 0, PairPart::Image);
  ASSERT_NE(borrowing.GetImage(0).Image(), nullptr);
  EXPECT_FALSE(borrowing.GetImage(0).Image()->HasDib());
}

TEST(ZoSpriteDataTest, LocationsAndNames) {
  ZoSpriteData object;
  object.AddLocation({1, 2});
  object.AddLocation({3, 4}, 0);
  object.AddLocation({5, 6}, 2);
  object.SetLocation({9, 9}, 3);  // index == count: nothing
  object.SetLocation({7, 8}, 1);
  EXPECT_EQ(*object.locations, (std::vector<TPoint>{{3, 4}, {7, 8}, {5, 6}}));

  const char* utf8[] = {"流れ", "ﾊﾞｳﾝﾄﾞ", "１ｼｮｯﾄ", "ﾗﾝﾀﾞﾑｳｫｰｸ", "指定位置"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Cp932ToUtf8(ZoSpriteData::BehaveName[i]), utf8[i]);
  EXPECT_EQ(ZoSpriteData::BehaveName[5], nullptr);
}

TEST(ZoSpriteDataTest, CopySharesOrDuplicatesTheLists) {
  auto sourceOwned = Frames({"I-"});
  ZoSpriteData& source = *sourceOwned;
  source.name = "fish";
  source.AddLocation({1, 1});
  ZoSpriteData shallow, deep;
  shallow.Copy(&source, false);
  deep.Copy(&source, true);
  EXPECT_EQ(shallow.images, source.images);
  EXPECT_NE(deep.images, source.images);
  EXPECT_EQ(deep.GetImage(0).Image(), source.GetImage(0).Image()) << "the pairs stay shared";
  deep.AddLocation({2, 2});
  EXPECT_EQ(source.locations->size(), 1u);
  source.Clear();
  EXPECT_NE(deep.GetImageHandle(0), nullptr) << "a shared pair lives while a copy uses it";
  EXPECT_EQ(source.PairCount(), 0);
  EXPECT_EQ(source.depth, 1);
}

// --- The record ---

// A fixed part with the given tag bytes and counts; every other field 0.
std::string FixedPart(std::string tag, std::uint16_t frames, std::uint16_t locations) {
  Bytes part(tag.begin(), tag.end());
  part.resize(79, 0);
  part[59] = std::uint8_t(frames), part[60] = std::uint8_t(frames >> 8);
  part[77] = std::uint8_t(locations), part[78] = std::uint8_t(locations >> 8);
  return {part.begin(), part.end()};
}

std::string Le32(std::uint32_t v) { return test::Le(v, 4); }

TEST(ObjectRecordTest, WritesTheLayoutAndReadsItBack) {
  ZoSpriteData object;
  object.name = std::string(32, 'n');
  object.reserved1 = 256;
  object.behaviour = BehaveOneShot;
  object.AddImage(Image(), 0, PairPart::Image);
  object.AddLocation({1, 2});
  object.AddLocation({3, 4});
  object.AddLocation({5, 6});
  std::ostringstream os;
  EXPECT_EQ(object.Write(os), 1);
  const std::string record = os.str();
  const std::size_t dib = test::PackedDib(2, 2, 24, 0).size();
  ASSERT_EQ(record.size(), 79 + 4 + (14 + dib) + 4 + 4) << "image, empty mask, no locations, no sound";
  EXPECT_EQ(record.substr(0, 3), "SPD");
  EXPECT_EQ(record.substr(5, 32), std::string(30, 'n') + std::string(2, '\0')) << "names keep 30 bytes";
  EXPECT_EQ(record.substr(77, 2), std::string(2, '\0')) << "no locations stored for a one-shot object";
  EXPECT_EQ(record.substr(79, 4), Le32(1)) << "an image's marker, then its stream form";
  EXPECT_EQ(record.substr(83, 2), "BM");

  ZoSpriteData read;
  std::istringstream is(record);
  ASSERT_EQ(read.Read(is), 1);
  EXPECT_EQ(read.reserved1, 256);
  EXPECT_EQ(read.name, std::string(30, 'n'));
  EXPECT_TRUE(read.locations->empty());
  ASSERT_NE(read.GetImage(0).Image(), nullptr);
  EXPECT_TRUE(std::equal(read.GetImage(0).Image()->Dib().begin(), read.GetImage(0).Image()->Dib().end(),
                         object.GetImage(0).Image()->Dib().begin(), object.GetImage(0).Image()->Dib().end()));
  EXPECT_TRUE(read.GetMask(0).IsNone());
  EXPECT_EQ(read.sound, nullptr);
}

TEST(ObjectRecordTest, MarkersLocationsAndSoundRoundTrip) {
  auto objectOwned = Frames({"II", "PP", "-I"});
  ZoSpriteData& object = *objectOwned;
  object.behaviour = BehaveSpecified;
  object.AddLocation({-1, 70000});
  object.sound = std::make_shared<ZoSound>();
  // A sound record: empty name, play frame 5, 4 bytes of data.
  std::istringstream wave(std::string(256, '\0') + std::string("\x05\x00\x04\x00\x00\x00", 6) + "wave");
  ASSERT_EQ(object.sound->Read(wave), 1);
  std::ostringstream os;
  object.Write(os);
  ZoSpriteData read;
  std::istringstream is(os.str());
  ASSERT_EQ(read.Read(is), 1);
  EXPECT_TRUE(read.GetImage(1).IsUsePrevious());
  EXPECT_TRUE(read.GetMask(1).IsUsePrevious());
  EXPECT_TRUE(read.GetImage(2).IsNone());
  EXPECT_NE(read.GetMask(2).Image(), nullptr);
  EXPECT_EQ(*read.locations, (std::vector<TPoint>{{-1, 70000}}));
  ASSERT_NE(read.sound, nullptr);
  EXPECT_EQ(read.sound->PlayFrame(), 5);
  EXPECT_EQ(std::string(read.sound->Wave().begin(), read.sound->Wave().end()), "wave");
  std::ostringstream again;
  read.Write(again);
  EXPECT_EQ(again.str(), os.str());
}

TEST(ObjectRecordTest, TagsAndBrokenRecords) {
  struct Case {
    const char* what;
    std::string bytes;
    int result;
    bool streamFails;
  };
  const std::string stream = test::StreamForm(test::PackedDib(2, 2, 24, 0));
  const Case cases[] = {
      {"reserved1 0x0100: byte 3 is 0, accepted", FixedPart(std::string("SPD\0\x01", 5), 0, 0) + Le32(0), 1, false},
      {"byte 3 not 0: refused", FixedPart("SPDX", 0, 0) + Le32(0), 0, false},
      {"markers 0 and -1 are followed by the next slot", FixedPart("SPD", 1, 0) + Le32(0) + Le32(~0u) + Le32(0), 1, false},
      {"marker 1 is followed by a stream form", FixedPart("SPD", 1, 0) + Le32(1) + stream + Le32(0) + Le32(0), 1, false},
      {"an image that fails to read stays, empty", FixedPart("SPD", 1, 0) + Le32(1) + "XY" + std::string(12, '\0') + Le32(0) + Le32(0), 1, false},
      {"cut short in the fixed part", FixedPart("SPD", 0, 0).substr(0, 50), 0, true},
      {"cut short in an image", FixedPart("SPD", 1, 0) + Le32(1) + stream.substr(0, 30), 0, true},
      {"more frames than the stream holds", FixedPart("SPD", 60000, 0) + Le32(0), 0, true},
      {"more locations than the stream holds", FixedPart("SPD", 0, 9) + Le32(0), 0, true},
      {"a sound larger than the stream", FixedPart("SPD", 0, 0) + Le32(1) + std::string(258, '\0') + Le32(1000), 0, true},
  };
  for (const Case& c : cases) {
    ZoSpriteData object;
    object.name = "before";
    std::istringstream is(c.bytes);
    EXPECT_EQ(object.Read(is), c.result) << c.what;
    EXPECT_EQ(!is, c.streamFails) << c.what;
    if (c.result == 0) {
      EXPECT_EQ(object.name, "before") << c.what << ": unchanged";
    }
  }
}

TEST(ObjectRecordTest, AnImageWithoutPictureIsStoredAsAnEmptySlot) {
  ZoSpriteData object;
  object.AddImage(std::make_unique<ZoImage>(), 0, PairPart::Image);  // no stream form of its own
  std::ostringstream os;
  object.Write(os);
  ZoSpriteData read;
  std::istringstream is(os.str());
  ASSERT_EQ(read.Read(is), 1);
  EXPECT_TRUE(read.GetImage(0).IsNone());
}

TEST(ObjectRecordTest, BareRecordFiles) {
  test::TemporaryFolder folder;
  const std::string file = PathToCp932(folder / "one.spd");
  auto objectOwned = Frames({"I-"});
  ZoSpriteData& object = *objectOwned;
  object.name = "fish";
  ASSERT_EQ(object.Write(file.c_str()), 1);
  ZoSpriteData read;
  ASSERT_EQ(read.Read(file.c_str()), 1);
  EXPECT_EQ(read.name, "fish");
  EXPECT_EQ(read.Read(PathToCp932(folder / "missing.spd").c_str()), 0);
}

// --- Sounds ---

class RecordingWavePlayer : public WavePlayer {
 public:
  void Play(std::span<const std::uint8_t> wave) override { log.push_back("play " + std::to_string(wave.size())); }
  void Stop() override { log.push_back("stop"); }
  std::vector<std::string> log;
};

TEST(ZoSoundTest, LoadsAWaveFileWithTwoZeroBytesAfterIt) {
  test::TemporaryFolder folder;
  const std::string file = PathToCp932(folder / "ten.wav");
  std::ofstream(folder / "ten.wav", std::ios::binary) << "RIFF123456";
  ZoSound sound(file.c_str());
  EXPECT_EQ(sound.WaveSize(), 10);
  EXPECT_EQ(std::string(sound.FileName()), file);
  std::ostringstream os;
  EXPECT_EQ(sound.Write(os), 1);
  EXPECT_EQ(os.str().size(), 272u);

  ZoSound read;
  std::istringstream is(os.str());
  ASSERT_EQ(read.Read(is), 1);
  EXPECT_EQ(std::string(read.FileName()), file);
  EXPECT_EQ(std::string(read.Wave().begin(), read.Wave().end()), "RIFF123456");

  sound.DeleteSound();
  std::ostringstream empty;
  sound.Write(empty);
  EXPECT_EQ(empty.str(), std::string(262, '\0'));

  EXPECT_EQ(sound.GetSound(PathToCp932(folder / "missing.wav").c_str()), 0);
  std::ofstream(folder / "empty.wav", std::ios::binary).close();
  EXPECT_EQ(sound.GetSound(PathToCp932(folder / "empty.wav").c_str()), 0);
  EXPECT_EQ(sound.WaveSize(), 0);
}

// Stopping stops whatever wave plays, another object's too: only taking away data that may
// be playing does it, never loading a sound.
TEST(ZoSoundTest, PlaysFromMemoryAndStopsOnlyBeforeItsDataGoes) {
  test::TemporaryFolder folder;
  std::ofstream(folder / "ten.wav", std::ios::binary) << "RIFF123456";
  const std::string wave = PathToCp932(folder / "ten.wav");
  const std::string missing = PathToCp932(folder / "missing.wav");
  const std::string record = std::string(258, '\0') + Le32(4) + "data";
  using Log = std::vector<std::string>;
  const struct {
    const char* what;
    bool loaded;  // the sound holds the record's 4 bytes before the step
    std::function<void(std::unique_ptr<ZoSound>&, Log&)> step;
    Log log;
  } cases[] = {
      {"reading a record", false, [&](auto& s, auto&) { std::istringstream is(record); s->Read(is); }, {}},
      {"loading a wave file", false, [&](auto& s, auto&) { s->GetSound(wave.c_str()); }, {}},
      {"a load that fails", false, [&](auto& s, auto&) { s->GetSound(missing.c_str()); }, {}},
      {"making a sound from a file",
       false,
       [&](auto&, Log& log) {
         ZoSound made(wave.c_str());
         log.push_back("made");
       },
       {"made", "stop"}},
      {"playing", true, [](auto& s, auto&) { s->Play(); }, {"play 6"}},  // the data and its 2 zero bytes
      {"playing without data", false, [](auto& s, auto&) { s->Play(); }, {}},
      {"deleting the data", true, [](auto& s, auto&) { s->DeleteSound(); }, {"stop"}},
      {"deleting the data of an empty sound", false, [](auto& s, auto&) { s->DeleteSound(); }, {"stop"}},
      {"loading over data that may be playing", true, [&](auto& s, auto&) { s->GetSound(wave.c_str()); }, {"stop"}},
      {"destroying it", true, [](auto& s, auto&) { s.reset(); }, {"stop"}},
      {"destroying an empty sound", false, [](auto& s, auto&) { s.reset(); }, {"stop"}},
  };
  for (const auto& c : cases) {
    RecordingWavePlayer player;
    ScopedWavePlayer scoped(player);
    auto sound = std::make_unique<ZoSound>();
    std::istringstream is(record);
    if (c.loaded) {
      ASSERT_EQ(sound->Read(is), 1) << c.what;
    }
    player.log.clear();
    c.step(sound, player.log);
    EXPECT_EQ(player.log, c.log) << c.what;
  }
}

TEST(ZoSoundTest, RefusesSizesTheStreamCannotHold) {
  for (std::uint32_t size : {0xFFFFFFFFu, 1000u}) {
    ZoSound sound;
    std::istringstream is(std::string(258, '\0') + Le32(size) + "data");
    EXPECT_EQ(sound.Read(is), 0) << size;
    EXPECT_FALSE(sound.HasData());
    EXPECT_FALSE(is);
  }
}

}  // namespace
}  // namespace kelna
