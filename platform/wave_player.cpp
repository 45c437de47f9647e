#include "platform/wave_player.h"

namespace kelna {
namespace {

WavePlayer* current = nullptr;  // null: the platform's player

}  // namespace

WavePlayer& CurrentWavePlayer() { return current ? *current : PlatformWavePlayer(); }

ScopedWavePlayer::ScopedWavePlayer(WavePlayer& player) : previous_(current) { current = &player; }

ScopedWavePlayer::~ScopedWavePlayer() { current = previous_; }

#ifndef _WIN32
WavePlayer& PlatformWavePlayer() {
  // No sound output on this platform yet: waves are accepted and not heard.
  class SilentPlayer final : public WavePlayer {
    void Play(std::span<const std::uint8_t>) override {}
    void Stop() override {}
  };
  static SilentPlayer player;
  return player;
}
#endif

}  // namespace kelna
