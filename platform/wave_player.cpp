#include "platform/wave_player.h"

#include <algorithm>
#include <string_view>

namespace kelna {
namespace {

WavePlayer* current = nullptr;  // null: the platform's player

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
         std::uint32_t(bytes[at + 3]) << 24;
}

std::uint16_t Le16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint16_t(bytes[at] | bytes[at + 1] << 8);
}

bool IsTag(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view tag) {
  return std::equal(tag.begin(), tag.end(), bytes.begin() + std::ptrdiff_t(at),
                    [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
}

std::string Printable(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::string tag;
  for (std::size_t i = at; i < at + 4; ++i) tag += bytes[i] >= 0x20 && bytes[i] < 0x7F ? char(bytes[i]) : '?';
  while (!tag.empty() && tag.back() == ' ') tag.pop_back();  // "fmt " is the fmt chunk
  return tag;
}

// The format chunk's fields that every player needs to be sane.
std::string FormatRefusal(std::span<const std::uint8_t> wave, std::size_t at, std::uint32_t size) {
  if (size < 16) return "its fmt chunk has " + std::to_string(size) + " bytes, fewer than 16";
  if (Le16(wave, at + 2) == 0) return "it has no channels";
  if (Le32(wave, at + 4) == 0) return "its sample rate is 0";
  if (Le16(wave, at + 12) == 0) return "its block size is 0";
  return "";
}

}  // namespace

std::string WaveRefusal(std::span<const std::uint8_t> wave) {
  if (wave.size() < 12 || !IsTag(wave, 0, "RIFF")) return "it is not a RIFF file";
  if (!IsTag(wave, 8, "WAVE")) return "it is a RIFF file but not a WAVE file";
  const std::uint64_t riffEnd = std::uint64_t(Le32(wave, 4)) + 8;
  if (riffEnd > wave.size())
    return "it announces " + std::to_string(riffEnd) + " bytes and holds " + std::to_string(wave.size());
  bool format = false;
  for (std::uint64_t at = 12; at + 8 <= riffEnd;) {
    const std::uint32_t size = Le32(wave, std::size_t(at) + 4);
    const std::uint64_t body = at + 8;
    if (body + size > riffEnd)
      return "its " + Printable(wave, std::size_t(at)) + " chunk at byte " + std::to_string(at) + " is cut short";
    if (IsTag(wave, std::size_t(at), "fmt ")) {
      if (std::string why = FormatRefusal(wave, std::size_t(body), size); !why.empty()) return why;
      format = true;
    } else if (IsTag(wave, std::size_t(at), "data")) {
      return format ? "" : "its data chunk comes before any fmt chunk";
    }
    at = body + size + (size & 1);  // chunks start on even offsets
  }
  return format ? "it has no data chunk" : "it has no fmt chunk";
}

WavePlayer& CurrentWavePlayer() { return current ? *current : PlatformWavePlayer(); }

ScopedWavePlayer::ScopedWavePlayer(WavePlayer& player) : previous_(current) { current = &player; }

ScopedWavePlayer::~ScopedWavePlayer() { current = previous_; }

bool OutputDeviceCheck::Available(Clock::time_point now) {
  if (!askedAt_ || now - *askedAt_ >= interval_) {
    available_ = ask_();
    askedAt_ = now;
  }
  return available_;
}

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
