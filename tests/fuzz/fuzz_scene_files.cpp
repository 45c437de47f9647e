// Any bytes as an object file and as an animation file: the scene reads or refuses each,
// and what it read can be prepared and played for a few ticks.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/sprite_animation.h"
#include "platform/raster.h"
#include "platform/random.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name = "/tmp/kelna-fuzz-" + std::to_string(::getpid());
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
  kelna::SeedRandom(1);
  kelna::ZoSpriteAnimation scene;
  // Read or refused, the scene is played: a refusal must leave it playable.
  static_cast<void>(scene.ReadObjects(name.c_str()));
  static_cast<void>(scene.Read(name.c_str(), false));
  scene.TieUpObjects();
  std::filesystem::remove(name);  // read: nothing is left behind when the fuzzer stops
  kelna::RecordingPresenter presenter(64, 48);
  kelna::WindowDC window(presenter, 64, 48);
  scene.InitAnimation(window, 64, 48, nullptr, nullptr);
  for (int tick = 0; tick < 4; ++tick) scene.Animate(window, 0, 0);
  return 0;
}
