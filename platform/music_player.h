#pragma once
// Background music through the platform's media control interface: a MIDI file opened on
// the "sequencer" device, played with a notification to a window when it ends, closed.
// Results are MCI error codes (0: success); ErrorText gives the platform's own text.

#include <cstdint>
#include <string>
#include <string_view>

namespace kelna {

class MusicPlayer {
 public:
  virtual ~MusicPlayer() = default;
  // Opens the file (a code page 932 path) on the sequencer; `device` receives its id.
  virtual std::uint32_t Open(std::string_view path, std::uint32_t& device) = 0;
  // Plays from the start to the end; the end is reported to `window` (an HWND) with
  // MM_MCINOTIFY carrying the device id.
  virtual std::uint32_t Play(std::uint32_t device, void* window) = 0;
  // Closes the device; with `wait`, only when closing has completed.
  virtual std::uint32_t Close(std::uint32_t device, bool wait) = 0;
  // The platform's text for an error code (code page 932).
  virtual std::string ErrorText(std::uint32_t error) = 0;
};

// The platform's player (MCI on Windows; elsewhere every open fails).
MusicPlayer& PlatformMusicPlayer();

}  // namespace kelna
