#include "linux/music_render.h"

#include <fluidsynth.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "linux/sdl_handles.h"

namespace kelna {
namespace {

using FluidSettings = std::unique_ptr<fluid_settings_t, FreeWith<delete_fluid_settings>>;
using FluidSynth = std::unique_ptr<fluid_synth_t, FreeWith<delete_fluid_synth>>;
using FluidPlayer = std::unique_ptr<fluid_player_t, FreeWith<delete_fluid_player>>;

constexpr int kBlockFrames = 4096;  // as SDL_mixer asks FluidSynth for them
constexpr int kChannels = 2;
constexpr std::size_t kWaveHeader = 44;

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

// The RIFF header of 16-bit PCM, once the data's size is known.
void WriteWaveHeader(std::vector<std::uint8_t>& wave, int rate) {
  const std::uint32_t data = std::uint32_t(wave.size() - kWaveHeader);
  std::memcpy(wave.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
  Put(wave, 4, 36 + data, 4);
  Put(wave, 16, 16, 4);  // the fmt chunk's size
  Put(wave, 20, 1, 2);   // PCM
  Put(wave, 22, kChannels, 2);
  Put(wave, 24, std::uint32_t(rate), 4);
  Put(wave, 28, std::uint32_t(rate * kChannels * 2), 4);
  Put(wave, 32, kChannels * 2, 2);
  Put(wave, 34, 16, 2);
  std::memcpy(wave.data() + 36, "data", 4);
  Put(wave, 40, data, 4);
}

}  // namespace

RenderedMusic RenderMidi(const std::filesystem::path& file, const std::string& fonts, int rate, double maxSeconds,
                         const std::atomic<bool>& cancel) {
  FluidSettings settings(new_fluid_settings());
  if (!settings) return {{}, "FluidSynth has no settings"};
  fluid_settings_setnum(settings.get(), "synth.sample-rate", rate);
  // SDL_mixer 2.6 sets the gain to 1.2 at full music volume, which is what the player uses.
  fluid_settings_setnum(settings.get(), "synth.gain", 1.2);
  // The player's MIDI clock follows the samples made, not the wall clock.
  fluid_settings_setstr(settings.get(), "player.timing-source", "sample");
  fluid_settings_setint(settings.get(), "synth.lock-memory", 0);
  FluidSynth synth(new_fluid_synth(settings.get()));
  if (!synth) return {{}, "FluidSynth cannot start"};
  std::istringstream paths(fonts);
  for (std::string path; std::getline(paths, path, ';');)
    if (!path.empty() && fluid_synth_sfload(synth.get(), path.c_str(), 1) == FLUID_FAILED)
      return {{}, "FluidSynth cannot load the sound font " + path};
  FluidPlayer player(new_fluid_player(synth.get()));
  if (!player || fluid_player_add(player.get(), file.c_str()) != FLUID_OK || fluid_player_play(player.get()) != FLUID_OK)
    return {{}, "FluidSynth cannot play it"};

  const std::size_t blockBytes = std::size_t(kBlockFrames) * kChannels * sizeof(std::int16_t);
  const double maxFrames = maxSeconds * rate;
  RenderedMusic music;
  music.wave.resize(kWaveHeader);
  for (double frames = 0; fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING; frames += kBlockFrames) {
    if (cancel) return {{}, "stopped"};
    if (frames + kBlockFrames > maxFrames) return {{}, "longer than the samples kept for it"};
    const std::size_t at = music.wave.size();
    music.wave.resize(at + blockBytes);
    void* out = music.wave.data() + at;
    if (fluid_synth_write_s16(synth.get(), kBlockFrames, out, 0, kChannels, out, 1, kChannels) != FLUID_OK)
      return {{}, "FluidSynth failed to synthesise it"};
  }
  WriteWaveHeader(music.wave, rate);
  return music;
}

}  // namespace kelna
