#pragma once
// When input ends the player. Full screen it follows the Windows saver: any key, any mouse
// button, a mouse position other than the one at start (no threshold), or the input focus
// leaving the player's windows after one of them had it. In a window of its own: a key, a
// button or closing the window. Inside someone else's window (XScreenSaver's) input is the
// owner's business: nothing ends it but a termination signal.

#include <SDL.h>

#include <optional>

#include "linux/player_options.h"

namespace kelna {

struct InputState {
  // The pointer on the screen when the player started. Unknown where the window system
  // does not tell (Wayland): then the first position reported, where the pointer enters
  // a window, is the start.
  std::optional<SDL_Point> start;
  bool hadFocus = false;  // one of the windows has had the input focus
};

// `windowOrigin`: the top-left corner on the screen of the window the event is for.
// `focusStaysOurs`: whether the focus is still on one of the player's windows (it moves
// between them when there are several).
bool EndsPlayer(const SDL_Event& event, Placement placement, InputState& state, SDL_Point windowOrigin,
                bool focusStaysOurs);

}  // namespace kelna
