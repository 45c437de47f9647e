#include "linux/input_rule.h"

namespace kelna {

bool EndsPlayer(const SDL_Event& event, Placement placement, const InputState& state) {
  if (event.type == SDL_QUIT) return true;  // a termination signal, or the last window closed
  if (placement == Placement::GivenWindow) return false;
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_MOUSEBUTTONDOWN:
      return true;
    case SDL_MOUSEMOTION:
      // The report that comes when the window appears under a still pointer is no movement.
      return placement == Placement::FullScreen &&
             (state.windowOrigin.x + event.motion.x != state.start.x ||
              state.windowOrigin.y + event.motion.y != state.start.y);
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) return true;
      return placement == Placement::FullScreen && event.window.event == SDL_WINDOWEVENT_FOCUS_LOST &&
             state.hadFocus;
    default:
      return false;
  }
}

}  // namespace kelna
