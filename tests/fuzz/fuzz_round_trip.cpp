// Any bytes as an object file and as an animation file. Whatever reads is written, read
// again and written again: the two writes are the same bytes, so the writers keep all that
// the readers take.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/sprite_animation.h"
#include "tools/tool_files.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Reads `input` with `read`, writes it with `write` to `first`; reads that, writes it to
// `second`; the two must agree.
template <typename Read, typename Write>
void RoundTrip(const fs::path& input, const fs::path& first, const fs::path& second, Read read, Write write) {
  kelna::ZoSpriteAnimation scene;
  if (read(scene, input) != 1) return;
  if (write(scene, first) != 1) return;  // a scene the writer refuses (no object file name)
  kelna::ZoSpriteAnimation again;
  if (read(again, first) != 1) std::abort();  // what was written must read
  if (write(again, second) != 1) std::abort();
  if (Contents(first) != Contents(second)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path folder = fs::temp_directory_path() / ("kelna-fuzz-round-trip-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path input = folder / "input";
  std::ofstream(input, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  std::streamsize(size));
  RoundTrip(
      input, folder / "a.foe", folder / "b.foe",
      [](kelna::ZoSpriteAnimation& scene, const fs::path& file) { return scene.ReadObjects(file.c_str()); },
      [](const kelna::ZoSpriteAnimation& scene, const fs::path& file) {
        // The object file as kelna-tool writes one: the header, then each object's record.
        std::ofstream(file, std::ios::binary | std::ios::trunc) << kelna::tool::ObjectFileBytes(scene.objects);
        return 1;
      });
  RoundTrip(
      input, folder / "a.anm", folder / "b.anm",
      [](kelna::ZoSpriteAnimation& scene, const fs::path& file) { return scene.Read(file.c_str(), false); },
      [](const kelna::ZoSpriteAnimation& scene, const fs::path& file) { return scene.Write(file.c_str()); });
  fs::remove_all(folder);
  return 0;
}
