// Background music through MCI's "sequencer" device.
#include <windows.h>
#include <mmsystem.h>

#include <string>

#include "platform/music_player.h"

namespace kelna {
namespace {

class MciPlayer final : public MusicPlayer {
 public:
  std::uint32_t Open(std::string_view path, std::uint32_t& device) override {
    const std::string element(path);
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = "sequencer";
    open.lpstrElementName = element.c_str();
    const MCIERROR error = ::mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                                             reinterpret_cast<DWORD_PTR>(&open));
    device = error == 0 ? open.wDeviceID : 0;
    return error;
  }

  std::uint32_t Play(std::uint32_t device, void* window) override {
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(window);
    return ::mciSendCommandA(device, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play));
  }

  std::uint32_t Close(std::uint32_t device, bool wait) override {
    return ::mciSendCommandA(device, MCI_CLOSE, wait ? MCI_WAIT : 0, 0);
  }

  std::string ErrorText(std::uint32_t error) override {
    char text[260] = {};
    if (!::mciGetErrorStringA(error, text, sizeof text)) return "MCI error " + std::to_string(error);
    return text;
  }
};

}  // namespace

MusicPlayer& PlatformMusicPlayer() {
  static MciPlayer player;
  return player;
}

}  // namespace kelna
