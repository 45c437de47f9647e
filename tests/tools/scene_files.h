#pragma once
// Test support: small scenes for render and trace. The objects are packed by kelna-tool
// from solid BMP files; the animation file is written by the scene's own writer.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/sprite_animation.h"
#include "tests/support/dib_builder.h"
#include "tests/support/temporary_folder.h"
#include "tests/tools/tool_runner.h"

namespace kelna::test {

inline constexpr std::uint32_t kRed = 0xFF0000;
inline constexpr std::uint32_t kGreen = 0x00FF00;

// A BMP file of one colour: the stream form is a complete BMP file.
inline void WriteSolidBmp(const std::filesystem::path& file, int width, int height, std::uint32_t colour) {
  WriteBytes(file, StreamForm(SolidDib(width, height, colour)));
}

// objects.foe in `folder`: "red", two frames of a 32 × 32 red square (the second borrows
// the first's picture), whose sound (without data) plays at frame 0.
inline void PackRedObject(const TemporaryFolder& folder) {
  WriteSolidBmp(folder / "red.bmp", 32, 32, kRed);
  WriteBytes(folder / "objects.json", R"({"objects": [{"name": "red",
      "frames": [{"image": "red.bmp"}, {"image": "previous"}],
      "sound": {"fileName": "ping.wav", "playFrame": 0}}]})");
  const ToolRun pack =
      RunTool({"pack", (folder / "objects.json").string(), (folder / "objects.foe").string()}, folder.Path());
  ASSERT_EQ(pack.status, 0) << pack.errors;
}

// A 32 × 32 sprite of "red" that cycles through both frames, placed where it is told.
inline ZoAnimatedSprite& AddRedSprite(ZoSpriteAnimation& scene, const char* name, std::int16_t depth,
                                      std::int32_t behaviour, std::int32_t x, std::int32_t y,
                                      std::int32_t speedX, std::int32_t speedY) {
  auto sprite = std::make_unique<ZoAnimatedSprite>();
  sprite->SetName(name);
  sprite->SetObjectName("red");
  sprite->depth = depth;
  sprite->behaviour = behaviour;
  sprite->randomStart = 0;
  sprite->imageWidth = sprite->imageHeight = 32;
  sprite->frameCount = 2;
  sprite->x = x, sprite->y = y, sprite->speedX = speedX, sprite->speedY = speedY;
  return *scene.AddSprite(std::move(sprite));
}

// Writes the scene as scene.anm beside objects.foe (named by its absolute path).
inline std::filesystem::path WriteScene(const TemporaryFolder& folder, ZoSpriteAnimation& scene) {
  scene.objectFileName = (folder / "objects.foe").string();
  const std::filesystem::path file = folder / "scene.anm";
  EXPECT_EQ(scene.Write(file.c_str()), 1);
  return file;
}

}  // namespace kelna::test
