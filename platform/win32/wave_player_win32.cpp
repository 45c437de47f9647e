// Wave sounds through sndPlaySound: from memory, asynchronous, and never over a sound that
// is already playing (SND_NOSTOP). Without any wave output device there is nothing to
// play on, and the ask is skipped: Wine starts a thread for every ask even then, which
// made the sounds the largest cost of a running saver on a machine without audio.
#include <windows.h>
#include <mmsystem.h>

#include "platform/wave_player.h"

namespace kelna {

WavePlayer& PlatformWavePlayer() {
  class SystemPlayer final : public WavePlayer {
    void Play(std::span<const std::uint8_t> wave) override {
      if (!wave.empty() && waveOutGetNumDevs() != 0)
        sndPlaySoundA(reinterpret_cast<LPCSTR>(wave.data()), SND_ASYNC | SND_MEMORY | SND_NOSTOP);
    }
    void Stop() override { sndPlaySoundA(nullptr, 0); }
  };
  static SystemPlayer player;
  return player;
}

}  // namespace kelna
