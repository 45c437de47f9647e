// Any bytes as a sprite's sound: the check reads them or refuses them with a reason, and
// only what it accepts reaches the player, once for each play.
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/wave_player.h"
#include "sprites/sound.h"

namespace {

class CountingPlayer final : public kelna::WavePlayer {
 public:
  void Play(std::span<const std::uint8_t>) override { ++played; }
  void Stop() override {}
  void Refused(std::string_view, std::string_view reason) override {
    if (reason.empty()) std::abort();
    ++refused;
  }
  int played = 0, refused = 0;
};

std::string Le32(std::size_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += char(value >> (8 * i) & 0xFF);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reason = kelna::WaveRefusal({data, size});
  CountingPlayer player;
  kelna::ScopedWavePlayer scoped(player);
  kelna::ZoSound sound;
  std::istringstream record(std::string(258, '\0') + Le32(size) + std::string(reinterpret_cast<const char*>(data), size));
  if (!sound.Read(record)) std::abort();  // a record that holds its whole sound reads
  sound.Play();
  sound.Play();
  const bool accepted = reason.empty();
  if (size > 0 && (player.played != (accepted ? 2 : 0) || player.refused != (accepted ? 0 : 1))) std::abort();
  return 0;
}
