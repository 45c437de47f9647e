#include "platform/music_player.h"

namespace kelna {

#ifndef _WIN32
MusicPlayer& PlatformMusicPlayer() {
  // No MIDI playback on this platform yet: every open fails with a clear text.
  class NoMusic final : public MusicPlayer {
    std::uint32_t Open(std::string_view, std::uint32_t& device) override {
      device = 0;
      return 1;
    }
    std::uint32_t Play(std::uint32_t, void*) override { return 1; }
    std::uint32_t Close(std::uint32_t, bool) override { return 0; }
    std::string ErrorText(std::uint32_t) override { return "No music playback on this system."; }
  };
  static NoMusic player;
  return player;
}
#endif

}  // namespace kelna
