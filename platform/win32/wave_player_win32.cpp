// Wave sounds through sndPlaySound: from memory, asynchronous, and never over a sound that
// is already playing (SND_NOSTOP).
#include <windows.h>
#include <mmsystem.h>

#include "platform/wave_player.h"

namespace kelna {

WavePlayer& PlatformWavePlayer() {
  class SystemPlayer final : public WavePlayer {
    void Play(std::span<const std::uint8_t> wave) override {
      if (!wave.empty())
        sndPlaySoundA(reinterpret_cast<LPCSTR>(wave.data()), SND_ASYNC | SND_MEMORY | SND_NOSTOP);
    }
    void Stop() override { sndPlaySoundA(nullptr, 0); }
  };
  static SystemPlayer player;
  return player;
}

}  // namespace kelna
