#include "linux/input_rule.h"

namespace kelna {

bool EndsPlayer(const SDL_Event& event, Placement placement, InputState& state, SDL_Point windowOrigin,
                bool focusStaysOurs) {
  if (event.type == SDL_QUIT) return true;  // a termination signal, or the last window closed
  if (placement == Placement::GivenWindow) return false;
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_MOUSEBUTTONDOWN:
      return true;
    case SDL_MOUSEMOTION: {
      if (placement != Placement::FullScreen) return false;
      // The report that comes when a window appears under a still pointer is no movement.
      const SDL_Point at{windowOrigin.x + event.motion.x, windowOrigin.y + event.motion.y};
      if (!state.start) state.start = at;
      return at.x != state.start->x || at.y != state.start->y;
    }
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          state.hadFocus = true;
          return false;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          return placement == Placement::FullScreen && state.hadFocus && !focusStaysOurs;
        default:
          return false;
      }
    default:
      return false;
  }
}

}  // namespace kelna
