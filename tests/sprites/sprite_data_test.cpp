#include "sprites/sprite_data.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/text.h"
#include "tests/sprites/pictures.h"
#include "tests/support/temporary_folder.h"

namespace kelna::test {
namespace {

using Log = std::vector<std::string>;

// Where the pixels start after the colour table (-1: nowhere, and no device bitmap), and the
// palette's size. (The colour counts themselves: tests/platform/dib_test.cpp.)
TEST(ZoImageTest, ColourTableSizeAndPalette) {
  const struct { Bytes dib; int bits; std::size_t palette; } cases[] = {
      {PackedDib(4, 1, 8, 20, 20), 4 * 20, 20}, {PackedDib(3, 2, 24, 0), 0, 0},
      {PackedDib(2, 2, 8, 4, 0x40000000), -1, 0},  // biClrUsed far past what the block holds
  };
  for (const auto& c : cases) {
    auto image = ImageOf(c.dib);
    EXPECT_EQ(image->GetBits(), c.bits < 0 ? nullptr : image->GetColors() + c.bits) << c.palette;
    image->MakePalette();
    ASSERT_EQ(image->GetPalette() != nullptr, c.palette != 0) << c.palette;
    if (c.palette) {
      ASSERT_EQ(image->GetPalette()->Entries().size(), c.palette);
      EXPECT_EQ(image->GetPalette()->Entries()[19], (Palette::Entry{57, 38, 19, 0}));
    }
    image->DIBtoDDB(*CreateCompatibleDC(nullptr));
    EXPECT_EQ(image->Ddb() != nullptr, c.bits >= 0) << c.palette;
  }
  ZoImage empty;
  EXPECT_EQ(empty.NumColors(), 0u);
  EXPECT_EQ(empty.GetBits(), nullptr);
}

TEST(ZoBmpImageTest, WritersKeepTheBlockAndNeverReadPastIt) {
  const Bytes dib = PackedDib(13, 5, 4, 16);
  EXPECT_EQ(RecordOf(*ImageOf(dib)), StreamForm(dib, 118)) << "bfSize, bfOffBits";
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
  const Bytes good = PackedDib(2, 2, 24, 0), core = PackedDib(2, 2, 24, 0, 0, 12);
  const std::string tail = "next";
  // Where the stream stands after the refusal (-1: failed).
  const struct { std::string what, bytes; std::streamoff position; } cases[] = {
      {"not BM: the 14 bytes stay consumed", "XY" + StreamForm(good).substr(2) + tail, 14},
      {"core header: read whole, then refused", StreamForm(core) + tail, std::streamoff(core.size() + 14)},
      {"ends before bfSize - 14 bytes", StreamForm(good).substr(0, 40), -1},
      {"bfSize smaller than the file header", StreamForm(good, 54, 10) + tail, 14},
      {"bfSize beyond any picture", StreamForm(good, 54, 0xFFFFFFFFu) + tail, 14},
      {"too short for a header", StreamForm(Bytes(20, 0)) + tail, 34},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ZoBmpImage image;
    std::istringstream is(c.bytes);
    EXPECT_EQ(image.Read(is), 0);
    EXPECT_FALSE(image.HasDib());
    if (c.position >= 0) EXPECT_EQ(is.tellg(), c.position);
    else EXPECT_FALSE(is);
  }
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
}

std::unique_ptr<ZoBmpImage> Image() { return ImageOf(PackedDib(2, 2, 24, 0)); }

TEST(ZoSpriteDataTest, UsePreviousResolvesImageAndMaskSeparately) {
  auto a = Frames({"II", "PP", "I-"});
  EXPECT_EQ(std::pair(a->GetImageHandle(1), a->GetMaskHandle(1)),
            std::pair(a->GetImage(0).Image()->Ddb(), a->GetMask(0).Image()->Ddb()));
  EXPECT_EQ(a->GetImageHandle(2), a->GetImage(2).Image()->Ddb());
  EXPECT_EQ(a->GetMaskHandle(2), nullptr) << "frame 2 draws opaque";
  auto b = Frames({"I-", "PP"});
  EXPECT_EQ(b->GetImageHandle(1), b->GetImage(0).Image()->Ddb());
  EXPECT_EQ(b->GetMaskHandle(1), nullptr) << "the mask search stops at frame 0's empty slot";
  auto c = Frames({"PP", "I-"});
  EXPECT_EQ(c->GetPrevImage(0), nullptr);
  for (const int frame : {0, 7, -1}) EXPECT_EQ(c->GetImageHandle(frame), nullptr) << "frame " << frame;
}

TEST(ZoSpriteDataTest, FrameListGrowsShrinksAndReplacesSlots) {
  auto object = Frames({"II", "PP", "I-", "I-", "I-"});
  EXPECT_EQ(object->ExpandImageArray(3), 3);
  EXPECT_EQ(object->frameCount, 3);
  object->ExpandImageArray(5);
  EXPECT_TRUE(object->GetImage(4).IsNone());
  // Replacing a borrowed mask ends the frame's borrowing of the image too.
  object->AddImage(Image(), 1, PairPart::Mask);
  EXPECT_TRUE(object->GetImage(1).IsNone());
  EXPECT_EQ(object->AddImage(Image(), 6, PairPart::Image), 6);
  EXPECT_EQ(object->PairCount(), 7);
}

// A record's fixed part (its offsets: tests/engine) with this frame count and tag, else 0.
std::string FixedPart(std::uint16_t frames, std::string tag = "SPD") {
  tag.resize(79, '\0');
  return tag.replace(59, 2, Le(frames, 2));
}

TEST(ObjectRecordTest, FramesFollowTheFixedPartAndReadBack) {
  ZoSpriteData object;
  object.name = std::string(32, 'n'), object.behaviour = BehaveOneShot;
  object.AddImage(Image(), 0, PairPart::Image);
  object.AddLocation({1, 2});
  const std::string record = RecordOf(object);
  // An image's marker and stream form, an empty mask, no locations (one-shot), no sound.
  EXPECT_EQ(record.substr(77), Le(0, 2) + Le(1, 4) + StreamForm(PackedDib(2, 2, 24, 0)) + Le(0, 4) + Le(0, 4));
  TemporaryFolder folder;
  const std::string file = PathToCp932(folder / "one.spd");
  ASSERT_EQ(object.Write(file.c_str()), 1);
  ZoSpriteData read;
  ASSERT_EQ(read.Read(file.c_str()), 1);
  EXPECT_EQ(RecordOf(read), record);
  EXPECT_EQ(read.Read(PathToCp932(folder / "missing.spd").c_str()), 0);
}

TEST(ObjectRecordTest, TagsAndBrokenRecords) {
  const std::string stream = StreamForm(PackedDib(2, 2, 24, 0));
  const struct { std::string what, bytes; int result; bool streamFails; } cases[] = {
      {"reserved1 0x0100: byte 3 is 0", FixedPart(0, std::string("SPD\0\x01", 5)) + Le(0, 4), 1, false},
      {"byte 3 not 0: refused", FixedPart(0, "SPDX") + Le(0, 4), 0, false},
      {"markers 0 and -1: the next slot", FixedPart(1) + Le(0, 4) + Le(~0u, 4) + Le(0, 4), 1, false},
      {"an image that fails to read stays, empty",
       FixedPart(1) + Le(1, 4) + "XY" + std::string(12, '\0') + Le(0, 4) + Le(0, 4), 1, false},
      {"cut short in an image", FixedPart(1) + Le(1, 4) + stream.substr(0, 30), 0, true},
      {"more frames than the stream holds", FixedPart(60000) + Le(0, 4), 0, true},
      // Cut in the fixed part, too many positions, too large a sound: refusal_reasons_test.
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ZoSpriteData object;
    object.name = "before";
    std::istringstream is(c.bytes);
    EXPECT_EQ(object.Read(is), c.result);
    EXPECT_EQ(std::pair(!is, object.name), std::pair(c.streamFails, std::string(c.result ? "" : "before")));
  }
}

// Stopping stops whatever wave plays, another object's too: only taking away data that may
// be playing does it, never loading a sound into an empty one.
TEST(ZoSoundTest, LoadsAWaveFileWritesItsRecordAndStopsOnlyBeforeItsDataGoes) {
  TemporaryFolder folder;
  WriteBytes(folder / "ten.wav", "RIFF123456");
  const std::string wave = PathToCp932(folder / "ten.wav");
  ZoSound ten(wave.c_str());
  const std::string name = wave + std::string(256 - wave.size(), '\0');
  EXPECT_EQ(RecordOf(ten), name + Le(0, 2) + Le(10, 4) + "RIFF123456");
  ten.DeleteSound();
  EXPECT_EQ(RecordOf(ten), std::string(262, '\0'));
  WriteBytes(folder / "empty.wav", "");
  EXPECT_EQ(ten.GetSound(PathToCp932(folder / "missing.wav").c_str()), 0);
  EXPECT_EQ(ten.GetSound(PathToCp932(folder / "empty.wav").c_str()), 0);

  const std::string record = std::string(258, '\0') + Le(46, 4) + WaveFile("ab");
  const struct {
    const char* what;
    std::function<void(std::unique_ptr<ZoSound>&, Log&)> step;
    Log empty, loaded;  // the sound held nothing, or the record's wave
  } cases[] = {
      {"reading a record", [&](auto& s, auto&) { std::istringstream is(record); EXPECT_EQ(s->Read(is), 1); },
       {}, {"stop"}},
      {"loading a wave file", [&](auto& s, auto&) { EXPECT_EQ(s->GetSound(wave.c_str()), 1); }, {}, {"stop"}},
      {"making a sound from a file", [&](auto&, Log& log) { ZoSound made(wave.c_str()); log.push_back("made"); },
       {"made", "stop"}, {"made", "stop"}},
      {"playing", [](auto& s, auto&) { s->Play(); }, {}, {"play 48"}},  // the data and its 2 zero bytes
      {"deleting the data", [](auto& s, auto&) { s->DeleteSound(); }, {"stop"}, {"stop"}},
      {"destroying it", [](auto& s, auto&) { s.reset(); }, {"stop"}, {"stop"}},
  };
  for (const auto& c : cases)
    for (const bool loaded : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.what << (loaded ? ", loaded" : ", empty"));
      RecordingWavePlayer player;
      ScopedWavePlayer scoped(player);
      auto sound = std::make_unique<ZoSound>();
      std::istringstream is(record);
      if (loaded) { ASSERT_EQ(sound->Read(is), 1); }
      player.log.clear();
      c.step(sound, player.log);
      EXPECT_EQ(player.log, loaded ? c.loaded : c.empty);
    }
}

// What is no wave file is never handed to a player: the first play says why, once.
TEST(ZoSoundTest, DataThatIsNoWaveFileIsRefusedOnceWithItsReason) {
  const std::string good = WaveFile("ab");  // the fmt chunk at 12, its fields at 20
  auto with = [&](std::size_t at, std::string_view bytes) {
    return good.substr(0, at) + std::string(bytes) + good.substr(at + bytes.size());
  };
  const struct { std::string wave; const char* reason; } cases[] = {  // reason "": played
      {good, ""}, {good + "trailing bytes", ""},
      {"RIFF", "it is not a RIFF file"}, {with(0, "RIFX"), "it is not a RIFF file"},
      {with(8, "AVI "), "it is a RIFF file but not a WAVE file"},
      {with(4, Le(37 + 2, 4)), "it announces 47 bytes and holds 46"},
      {with(16, Le(40, 4)), "its fmt chunk at byte 12 is cut short"},
      {with(40, Le(3, 4)), "its data chunk at byte 36 is cut short"},
      {with(16, Le(14, 4)), "its fmt chunk has 14 bytes, fewer than 16"},
      {with(22, Le(0, 2)), "it has no channels"}, {with(24, Le(0, 4)), "its sample rate is 0"},
      {with(32, Le(0, 2)), "its block size is 0"}, {with(36, "junk"), "it has no data chunk"},
      {with(12, "LIST"), "its data chunk comes before any fmt chunk"},
      {"RIFF" + Le(4, 4) + "WAVE", "it has no fmt chunk"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    RecordingWavePlayer player;
    ScopedWavePlayer scoped(player);
    ZoSound sound;
    std::istringstream plain(std::string("x.wav") + std::string(253, '\0') + Le(c.wave.size(), 4) + c.wave);
    ASSERT_EQ(sound.Read(plain), 1);
    sound.Play(), sound.Play();
    const std::string played = "play " + std::to_string(c.wave.size() + 2);
    EXPECT_EQ(player.log, (*c.reason ? Log{"refused x.wav: " + std::string(c.reason)} : Log{played, played}));
  }
}

}  // namespace
}  // namespace kelna::test
