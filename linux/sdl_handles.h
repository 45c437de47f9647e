#pragma once
// Owning handles for what the player takes from SDL and SDL_mixer: each is freed by its own
// call when the handle goes. (Xlib's are in desktop_capture.cpp: its headers define macros,
// Status among them, that clash with the core's names.)

#include <SDL.h>
#include <SDL_mixer.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace kelna {

template <auto Free>
struct FreeWith {
  template <typename T>
  void operator()(T* handle) const {
    Free(handle);
  }
};

using SdlWindow = std::unique_ptr<SDL_Window, FreeWith<SDL_DestroyWindow>>;
using MixChunk = std::unique_ptr<Mix_Chunk, FreeWith<Mix_FreeChunk>>;
using MixMusic = std::unique_ptr<Mix_Music, FreeWith<Mix_FreeMusic>>;

// A failure of SDL or X that ends the player with a message (status 1).
class PlayerError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// SDL's subsystems for as long as the object lives.
class SdlSubsystems {
 public:
  explicit SdlSubsystems(Uint32 flags) : flags_(flags) {
    if (SDL_InitSubSystem(flags) != 0) throw PlayerError(std::string("SDL: ") + SDL_GetError());
  }
  ~SdlSubsystems() { SDL_QuitSubSystem(flags_); }
  SdlSubsystems(const SdlSubsystems&) = delete;
  SdlSubsystems& operator=(const SdlSubsystems&) = delete;

 private:
  Uint32 flags_;
};

}  // namespace kelna
