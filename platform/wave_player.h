#pragma once
// The platform's one-shot wave player: plays a complete wave file held in memory, in the
// background, and refuses to start while another wave is playing; one call stops whatever
// plays. Like the sound device it stands for, it is one per process. The platform's player
// is in use unless a ScopedWavePlayer puts another in its place (tests, kelna-tool).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelna {

class WavePlayer {
 public:
  virtual ~WavePlayer() = default;
  // `wave` must stay alive until Stop() is called or it has finished playing.
  virtual void Play(std::span<const std::uint8_t> wave) = 0;
  virtual void Stop() = 0;
  // A sound (named as the object file names it) whose data is no wave file: it is never
  // handed to Play. Told once per sound; the player says so where it can.
  virtual void Refused(std::string_view /*soundName*/, std::string_view /*reason*/) {}
};

// Why `wave` is not a wave file that can be handed to a sound player, or "" when it is one:
// a RIFF file of form WAVE whose chunks all fit in it, with a "fmt " chunk of at least 16
// bytes (some channels, a sample rate, a block size) before its "data" chunk.
std::string WaveRefusal(std::span<const std::uint8_t> wave);

// Whether the system has a wave output device, asked of it at most once per `interval`: the
// answer changes only when a device is plugged in or out, and asking is not free (under
// Wine every ask enumerates the devices and keeps some 48 bytes for good, so asking at
// each sound made a running saver grow without end).
class OutputDeviceCheck {
 public:
  using Clock = std::chrono::steady_clock;
  OutputDeviceCheck(std::function<bool()> ask, Clock::duration interval)
      : ask_(std::move(ask)), interval_(interval) {}
  bool Available(Clock::time_point now);

 private:
  std::function<bool()> ask_;
  Clock::duration interval_;
  std::optional<Clock::time_point> askedAt_;
  bool available_ = false;
};

// The player in use.
WavePlayer& CurrentWavePlayer();

// Puts `player` in place of the current one while this object lives.
class ScopedWavePlayer {
 public:
  explicit ScopedWavePlayer(WavePlayer& player);
  ~ScopedWavePlayer();
  ScopedWavePlayer(const ScopedWavePlayer&) = delete;
  ScopedWavePlayer& operator=(const ScopedWavePlayer&) = delete;

 private:
  WavePlayer* previous_;
};

// The platform's own player: sndPlaySound on Windows, silence elsewhere (the native player
// puts its SDL_mixer player in its place with a ScopedWavePlayer).
WavePlayer& PlatformWavePlayer();

}  // namespace kelna
