#include "linux/player_audio.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "linux/music_render.h"

namespace kelna {
namespace {

namespace fs = std::filesystem;

// Set by SDL_mixer's audio thread when the music ends; read by the event loop.
std::atomic<bool> musicEnded{false};
std::atomic<Uint32> musicEndedEventType{0};

// Wakes the event loop, so that Poll sees what changed in the audio thread.
void WakeLoop() {
  SDL_Event event{};
  event.type = musicEndedEventType;
  if (event.type != 0) SDL_PushEvent(&event);
}

// The device SDL_mixer opened: SDL_mixer 2.6 keeps its id to itself, and unpauses it when it
// opens it. Ours is the only device the player opens, so it is the one that plays.
SDL_AudioDeviceID OpenedDevice() {
  for (SDL_AudioDeviceID id = 1; id <= 16; ++id)
    if (SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING) return id;
  return 0;
}

constexpr std::size_t kMaxCachedWaves = 32;
constexpr int kWaveChannel = 0, kMusicChannel = 1;

// Debian's choice of General MIDI font first (an alternative that timgm6mb-soundfont and
// fluid-soundfont-gm provide), then the fonts themselves.
constexpr const char* kSystemSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};

bool IsFile(const fs::path& path) {
  std::error_code ignored;
  return fs::is_regular_file(path, ignored);
}

}  // namespace

std::string FindSoundFonts(const char* environment) {
  if (environment && *environment) {
    // Only fonts that exist: SDL_mixer would otherwise fail with a less helpful message.
    std::string found;
    std::istringstream paths(environment);
    for (std::string path; std::getline(paths, path, ';');)
      if (!path.empty() && IsFile(path)) found += (found.empty() ? "" : ";") + path;
    return found;
  }
  for (const char* path : kSystemSoundFonts)
    if (IsFile(path)) return path;
  return {};
}

PlayerAudio::PlayerAudio(bool wanted, bool verbose) : verbose_(verbose) {
  if (!wanted) return;
  try {
    subsystem_.emplace(SDL_INIT_AUDIO);
  } catch (const PlayerError& failure) {
    std::fprintf(stderr, "kelna: no sound or music: %s\n", failure.what());
    return;
  }
  // Signed 16-bit samples whatever the device takes (SDL converts), so that the mixed
  // output can be checked for silence.
  if (Mix_OpenAudioDevice(44100, AUDIO_S16SYS, 2, 2048, nullptr,
                          SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE) != 0) {
    std::fprintf(stderr, "kelna: no sound or music: %s\n", Mix_GetError());
    subsystem_.reset();
    return;
  }
  open_ = true;
  Uint16 format = 0;
  Mix_QuerySpec(&frequency_, &format, &channels_);
  Mix_AllocateChannels(2);
  Mix_SetPostMix(&PlayerAudio::PostMix, this);
  musicEndedEventType = SDL_RegisterEvents(1);
  Mix_ChannelFinished([](int channel) {
    if (channel == kMusicChannel) musicEnded = true;
    WakeLoop();
  });
  device_ = OpenedDevice();
  Poll();  // nothing plays yet
}

PlayerAudio::~PlayerAudio() {
  if (!open_) return;
  cancelRender_ = true;
  if (render_.joinable()) render_.join();
  Mix_HookMusicFinished(nullptr);
  Mix_ChannelFinished(nullptr);
  Mix_SetPostMix(nullptr, nullptr);
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  chunks_.clear();
  music_.reset();
  musicChunk_.reset();
  Mix_CloseAudio();
}

// Counted from the mixed output: what SDL's device was given to play.
void PlayerAudio::PostMix(void* self, Uint8* stream, int length) {
  auto& audio = *static_cast<PlayerAudio*>(self);
  const int channels = audio.channels_ > 0 ? audio.channels_ : 1;
  const std::size_t samples = std::size_t(length) / sizeof(Sint16);
  long audible = 0;
  for (std::size_t frame = 0; frame + channels <= samples; frame += std::size_t(channels)) {
    for (int c = 0; c < channels; ++c) {
      Sint16 sample = 0;
      std::memcpy(&sample, stream + (frame + std::size_t(c)) * sizeof sample, sizeof sample);
      if (sample != 0) {
        ++audible;
        break;
      }
    }
  }
  audio.audibleFrames_ += audible;
  ++audio.mixes_;
}

Mix_Chunk* PlayerAudio::Chunk(std::span<const std::uint8_t> wave) {
  for (auto& [bytes, chunk] : chunks_)
    if (std::equal(bytes.begin(), bytes.end(), wave.begin(), wave.end())) return chunk.get();
  if (chunks_.size() >= kMaxCachedWaves) {
    Mix_HaltChannel(kWaveChannel);
    chunks_.clear();
  }
  // The wave comes from an object file: SDL's decoder checks it, and one it refuses is
  // remembered as silent so that it is not decoded again on every play.
  MixChunk chunk(Mix_LoadWAV_RW(SDL_RWFromConstMem(wave.data(), int(wave.size())), 1));
  if (!chunk && verbose_) std::fprintf(stderr, "kelna: a sound cannot be played: %s\n", Mix_GetError());
  chunks_.emplace_back(std::vector<std::uint8_t>(wave.begin(), wave.end()), std::move(chunk));
  return chunks_.back().second.get();
}

void PlayerAudio::Play(std::span<const std::uint8_t> wave) {
  if (!open_ || wave.empty() || wave.size() > std::size_t(INT32_MAX) || Mix_Playing(kWaveChannel)) return;
  Mix_Chunk* chunk = Chunk(wave);
  if (!chunk) return;
  Resume();
  if (Mix_PlayChannel(kWaveChannel, chunk, 0) == 0) ++soundsStarted_;
}

void PlayerAudio::Refused(std::string_view soundName, std::string_view reason) {
  std::fprintf(stderr, "kelna: the sound %.*s cannot be played: %.*s\n", int(soundName.size()), soundName.data(),
               int(reason.size()), reason.data());
}

void PlayerAudio::Stop() {
  if (open_) Mix_HaltChannel(kWaveChannel);
}

void PlayerAudio::StartMusic(const fs::path& file, bool repeat, double maxRenderedSeconds) {
  if (!open_) return;  // the reason was given when the device did not open
  // Always a font we found, so that what plays does not depend on other synthesizers'
  // defaults.
  const std::string fonts = FindSoundFonts(SDL_getenv("SDL_SOUNDFONTS"));
  if (fonts.empty()) {
    std::fprintf(stderr,
                 "kelna: no music: no General MIDI sound font found (install timgm6mb-soundfont, or name one"
                 " in SDL_SOUNDFONTS)\n");
    return;
  }
  Mix_SetSoundFonts(fonts.c_str());
  music_.reset(Mix_LoadMUS(file.c_str()));
  if (!music_) {
    std::fprintf(stderr, "kelna: no music: %s: %s\n", file.c_str(), Mix_GetError());
    return;
  }
  repeat_ = repeat;
  Mix_HookMusicFinished(&PlayerAudio::MusicFinished);
  // Synthesised once on a thread of its own (a few hundred times faster than it plays), then
  // played from its samples each time; one too long for that streams as SDL_mixer plays it.
  if (render_.joinable()) {  // a render of music started before
    cancelRender_ = true;
    render_.join();
  }
  musicChunk_.reset();
  cancelRender_ = false;
  rendering_ = true;
  render_ = std::thread([this, file, fonts, maxRenderedSeconds, rate = frequency_] {
    rendered_ = RenderMidi(file, fonts, rate, maxRenderedSeconds, cancelRender_);
    rendering_ = false;
    WakeLoop();
  });
}

// The rendered samples as a chunk for the music channel: as they are when the device takes
// stereo (they are made at its rate and sample format), converted otherwise.
void PlayerAudio::TakeRenderedMusic() {
  render_.join();
  if (rendered_.wave.empty()) {
    if (verbose_) std::printf("kelna: music streams: %s\n", rendered_.why.c_str());
    return;
  }
  constexpr std::size_t header = 44;
  musicSamples_ = std::move(rendered_.wave);
  if (channels_ == 2) {
    musicChunk_.reset(Mix_QuickLoad_RAW(musicSamples_.data() + header, Uint32(musicSamples_.size() - header)));
  } else {
    musicChunk_.reset(Mix_LoadWAV_RW(SDL_RWFromConstMem(musicSamples_.data(), int(musicSamples_.size())), 1));
    musicSamples_ = {};
  }
  if (!musicChunk_) return;
  ++syntheses_;
  music_.reset();  // and with it SDL_mixer's synthesizer and its copy of the sound font
  if (verbose_)
    std::printf("kelna: music rendered: %.1f s of samples\n", double(musicChunk_->alen) / (channels_ * 2 * frequency_));
}

void PlayerAudio::MusicFinished() {
  musicEnded = true;
  WakeLoop();
}

void PlayerAudio::PlayMusicOnce() {
  Resume();
  const bool started = musicChunk_ ? Mix_PlayChannel(kMusicChannel, musicChunk_.get(), 0) == kMusicChannel
                                   : Mix_PlayMusic(music_.get(), 0) == 0;
  if (started) {
    ++musicStarts_;
    if (!musicChunk_) ++syntheses_;
    if (verbose_) {
      std::printf("kelna: music started (%ld)\n", musicStarts_);
      std::fflush(stdout);
    }
    return;
  }
  std::fprintf(stderr, "kelna: no music: %s\n", Mix_GetError());
  repeat_ = false;
}

void PlayerAudio::Poll() {
  if (!open_) return;
  if (rendering_) return;
  if (render_.joinable()) {
    TakeRenderedMusic();
    if (music_ || musicChunk_) PlayMusicOnce();
  } else if (musicEnded.exchange(false) && repeat_ && (music_ || musicChunk_)) {
    PlayMusicOnce();
  }
  // SDL_mixer mixes silence while nothing plays: a paused device does not call it.
  if (running_ && !Mix_Playing(-1) && !Mix_PlayingMusic()) {
    SDL_PauseAudioDevice(device_, 1);
    running_ = false;
  }
}

void PlayerAudio::Resume() {
  if (running_) return;
  SDL_PauseAudioDevice(device_, 0);
  running_ = true;
}

AudioCounts PlayerAudio::Counts() const {
  return {soundsStarted_, musicStarts_, audibleFrames_.load(), mixes_.load(), syntheses_};
}

}  // namespace kelna
