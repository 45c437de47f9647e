#pragma once
// When input ends the player. Full screen it follows the Windows saver: any key, any mouse
// button, a mouse position other than the one at start (no threshold), or the loss of the
// input focus it had. In a window of its own: a key, a button or closing the window. Inside
// someone else's window (XScreenSaver's) input is the owner's business: nothing ends it
// but a termination signal.

#include <SDL.h>

#include "linux/player_options.h"

namespace kelna {

struct InputState {
  SDL_Point start{};        // the pointer on the screen when the player started
  SDL_Point windowOrigin{};  // the window's top-left corner on the screen
  bool hadFocus = false;     // the window has had the input focus
};

bool EndsPlayer(const SDL_Event& event, Placement placement, const InputState& state);

}  // namespace kelna
