// What the readers say when they refuse a file: what is wrong and where, in words a user can
// act on. (Whether a refusal leaves the scene as it was: sprite_animation_test.)
#include <gtest/gtest.h>

#include "engine/sprite_animation.h"
#include "platform/text.h"
#include "sprites/object_record.h"
#include "tests/sprites/pictures.h"
#include "tests/support/scene_file_builder.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using test::AnimationFileBytes, test::ObjectFileBytes, test::RecordOf;

// `bytes` with the 16- or 32-bit little-endian `value` at `offset`.
std::string With(std::string bytes, std::size_t offset, std::uint32_t value, std::size_t width) {
  return bytes.replace(offset, width, test::Le(value, width));
}

class RefusalReasons : public ::testing::Test {
 protected:
  std::string Name(const char* file) const { return PathToCp932(folder / file); }
  // Why `content` is refused as case.foe (objects) or case.anm; the 1/0 reader must agree.
  std::string Refusal(const std::string& content, bool objects, bool withObjects = false) {
    const std::string name = Name(objects ? "case.foe" : "case.anm");
    test::WriteBytes(Cp932ToPath(name), content);
    ZoSpriteAnimation scene;
    const Status read = objects ? scene.LoadObjects(name.c_str()) : scene.Load(name.c_str(), withObjects);
    EXPECT_EQ(objects ? scene.ReadObjects(name.c_str()) : scene.Read(name.c_str(), withObjects),
              read.ok() ? 1 : 0);
    return read.message();
  }
  test::TemporaryFolder folder;
};

TEST_F(RefusalReasons, ObjectFilesSayWhichObjectIsBrokenAndHow) {
  const ZoSpriteData plain;  // 79 bytes, no frames, no positions, the no-sound marker
  const std::string plainRecord = RecordOf(plain);
  ZoSpriteData placed;  // with ten positions: 79 + 80 + 4 bytes
  placed.behaviour = BehaveSpecified;
  for (int i = 0; i < 10; ++i) placed.AddLocation({i, -i});
  const std::string placedRecord = RecordOf(placed);
  const std::size_t frames = FieldOffset(kObjectRecord, "frameCount"),
                    positions = FieldOffset(kObjectRecord, "locationCount");
  test::WriteBytes(folder / "wave.wav", std::string(20, 'w'));
  ZoSpriteData sounding;
  sounding.sound = std::make_shared<ZoSound>(Name("wave.wav").c_str());
  // The sound's size follows the record, its marker, the 256-byte name and the play frame.
  const std::size_t waveSize = 79 + 4 + 256 + 2;
  const std::string soundRecord = RecordOf(sounding);
  const std::pair<std::string, std::string> cases[] = {  // the file, and the reason ("": read)
      {ObjectFileBytes(2, plainRecord + placedRecord), ""},
      {"BM" + std::string(60, '\0'), "not an object file"},
      {ObjectFileBytes(0, "").substr(0, 33), "cut short in its header"},
      {ObjectFileBytes(3, plainRecord), "3 objects announced, room for 1"},
      {ObjectFileBytes(2, placedRecord + plainRecord.substr(0, 40)), "object 2 of 2 cut short in its first 79 bytes"},
      {ObjectFileBytes(1, With(plainRecord, frames, 500, 2)), "object 1 of 1 announces 500 frames, room for 0"},
      {ObjectFileBytes(1, With(placedRecord, positions, 2000, 2)),
       "object 1 of 1 announces 2,000 positions, room for 10"},
      {ObjectFileBytes(1, With(soundRecord, waveSize, std::uint32_t(-5), 4)), "object 1 of 1 has a sound of -5 bytes"},
      {ObjectFileBytes(1, With(soundRecord, waveSize, 9000, 4)),
       "object 1 of 1 has a sound of 9,000 bytes, 20 present"},
      {ObjectFileBytes(1, soundRecord.substr(0, 79 + 4 + 100)), "object 1 of 1 cut short in its sound"},
  };
  for (const auto& [content, reason] : cases) EXPECT_EQ(Refusal(content, true), reason);
  ZoSpriteAnimation scene;
  EXPECT_EQ(scene.LoadObjects(Name("absent.foe").c_str()).message(), "no such file");
  EXPECT_EQ(scene.LoadObjects(PathToCp932(folder.Path()).c_str()).message(), "is a folder, not a file");
}

TEST_F(RefusalReasons, AnimationFilesSayWhatIsMissingAndNameTheirObjectFile) {
  const std::string sprite = RecordOf(ZoAnimatedSprite());
  test::WriteBytes(folder / "fish.foe", ObjectFileBytes(0, ""));
  test::WriteBytes(folder / "text.foe", "not an object file");
  const std::string fish = Name("fish.foe");
  const std::string broken = "object file " + Name("text.foe") + ": not an object file";
  const std::tuple<std::string, bool, std::string> cases[] = {  // the file, with objects?, the reason
      {AnimationFileBytes(fish, 2, sprite + sprite), true, ""},
      {ObjectFileBytes(0, ""), false, "not an animation file"},
      {AnimationFileBytes(fish, 0, "").substr(0, 40), false, "cut short in its header"},
      {AnimationFileBytes(fish, 3, sprite + sprite.substr(0, 50)), false, "3 sprites announced, 1 present"},
      {AnimationFileBytes("", 0, ""), true, "names no object file"},
      // Neither where it is stored nor beside; broken beside (and not where stored); broken where stored.
      {AnimationFileBytes("gone/away.foe", 0, ""), true, "object file gone/away.foe: no such file"},
      {AnimationFileBytes("gone/text.foe", 0, ""), true, broken},
      {AnimationFileBytes(Name("text.foe"), 0, ""), true, broken},
  };
  for (const auto& [content, withObjects, reason] : cases) EXPECT_EQ(Refusal(content, false, withObjects), reason);
}

}  // namespace
}  // namespace kelna
