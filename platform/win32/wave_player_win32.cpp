// Wave sounds through sndPlaySound: from memory, asynchronous, and never over a sound that
// is already playing (SND_NOSTOP). Without any wave output device there is nothing to
// play on, and the ask is skipped: Wine starts a thread for every ask even then, which
// made the sounds the largest cost of a running saver on a machine without audio. Whether
// there is a device is asked again once a minute, so that one plugged in is used.
#include <windows.h>
#include <mmsystem.h>

#include <string>

#include "platform/wave_player.h"

namespace kelna {

WavePlayer& PlatformWavePlayer() {
  class SystemPlayer final : public WavePlayer {
    void Play(std::span<const std::uint8_t> wave) override {
      if (!wave.empty() && devices_.Available(OutputDeviceCheck::Clock::now()))
        sndPlaySoundA(reinterpret_cast<LPCSTR>(wave.data()), SND_ASYNC | SND_MEMORY | SND_NOSTOP);
    }
    void Stop() override { sndPlaySoundA(nullptr, 0); }
    OutputDeviceCheck devices_{[] { return waveOutGetNumDevs() != 0; }, std::chrono::minutes(1)};
    // The saver has no console: a debugger or DebugView shows why a sound is silent.
    void Refused(std::string_view soundName, std::string_view reason) override {
      const std::string line = "kelna: the sound " + std::string(soundName) + " cannot be played: " +
                               std::string(reason) + "\n";
      OutputDebugStringA(line.c_str());
    }
  };
  static SystemPlayer player;
  return player;
}

}  // namespace kelna
