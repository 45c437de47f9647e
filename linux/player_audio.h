#pragma once
// The player's sound through SDL2_mixer: the sprites' wave sounds (the WAV files held in the
// object file) through the core's WavePlayer seam, and the background MIDI music, started
// again each time it ends when repeat is on. Without an audio device, or for MIDI without
// a sound font, it says once on stderr why and stays silent; the animation goes on.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "linux/music_render.h"
#include "linux/sdl_handles.h"
#include "platform/wave_player.h"

namespace kelna {

// What reached SDL's audio, for --verbose and the tests.
struct AudioCounts {
  long soundsStarted = 0;   // waves the player started (none while another plays)
  long musicStarts = 0;     // the music started, the first time and every repeat
  long audibleFrames = 0;   // sample frames not silent in the mixed output
  long mixes = 0;           // buffers SDL_mixer mixed: none while the device is paused
  long syntheses = 0;       // times the synthesizer went through the music: once when rendered
};

// The General MIDI sound fonts SDL_mixer can use: $SDL_SOUNDFONTS when set (paths separated
// by ';'), else the first of the system's that exists. Empty when there is none.
std::string FindSoundFonts(const char* environment);

class PlayerAudio final : public WavePlayer {
 public:
  // Opens the audio device when sounds or music are wanted.
  PlayerAudio(bool wanted, bool verbose);
  ~PlayerAudio() override;
  PlayerAudio(const PlayerAudio&) = delete;
  PlayerAudio& operator=(const PlayerAudio&) = delete;

  // WavePlayer: one wave at a time, as the platform's sound call plays them.
  void Play(std::span<const std::uint8_t> wave) override;
  void Stop() override;
  void Refused(std::string_view soundName, std::string_view reason) override;

  // Starts the music file (silent with a message when it cannot be played): once its samples
  // are made, or streamed when it is longer than maxRenderedSeconds. 5 minutes are 53 MB of
  // samples at 44.1 kHz.
  void StartMusic(const std::filesystem::path& file, bool repeat, double maxRenderedSeconds = 300);
  // Call from the event loop: starts the music again when it has ended and repeat is on, and
  // pauses the device while no wave and no music plays (Play and the music resume it).
  void Poll();

  AudioCounts Counts() const;

 private:
  static void MusicFinished();
  static void PostMix(void* self, Uint8* stream, int length);
  Mix_Chunk* Chunk(std::span<const std::uint8_t> wave);
  void PlayMusicOnce();
  void Resume();
  void TakeRenderedMusic();

  bool open_ = false;
  bool verbose_ = false;
  std::optional<SdlSubsystems> subsystem_;
  std::vector<std::pair<std::vector<std::uint8_t>, MixChunk>> chunks_;  // decoded waves
  MixMusic music_;  // streamed, until the rendered samples are there
  std::thread render_;
  std::atomic<bool> rendering_{false}, cancelRender_{false};
  RenderedMusic rendered_;                 // the render thread's, until it ends
  std::vector<std::uint8_t> musicSamples_;  // what musicChunk_ plays, when it is not a copy
  MixChunk musicChunk_;
  long syntheses_ = 0;
  bool repeat_ = false;
  long soundsStarted_ = 0;
  long musicStarts_ = 0;
  std::atomic<long> audibleFrames_{0};
  std::atomic<long> mixes_{0};
  SDL_AudioDeviceID device_ = 0;
  bool running_ = true;  // SDL_mixer unpauses the device it opens
  int channels_ = 2;
  int frequency_ = 44100;
};

}  // namespace kelna
