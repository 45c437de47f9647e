// Any bytes as an animation file and as an object file: the scene reads or refuses each,
// and a scene read from them can be prepared and played for a few ticks.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "engine/sprite_animation.h"
#include "platform/raster.h"
#include "platform/random.h"

namespace {

std::string WriteTemporary(const char* extension, const std::uint8_t* data, std::size_t size) {
  const std::string name = "/tmp/kelna-fuzz-" + std::to_string(::getpid()) + extension;
  std::ofstream(name, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                               std::streamsize(size));
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelna::SeedRandom(1);
  kelna::ZoSpriteAnimation scene;
  const std::string objects = WriteTemporary(".foe", data, size);
  scene.ReadObjects(objects.c_str());
  const std::string animation = WriteTemporary(".anm", data, size);
  scene.Read(animation.c_str(), false);
  scene.TieUpObjects();
  kelna::RecordingPresenter presenter(64, 48);
  kelna::WindowDC window(presenter, 64, 48);
  scene.InitAnimation(window, 64, 48, nullptr, nullptr);
  for (int tick = 0; tick < 4; ++tick) scene.Animate(window, 0, 0);
  return 0;
}
