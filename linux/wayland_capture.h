#pragma once
// The desktop as a Wayland compositor shows it, for the desktop background mode. Wayland
// gives clients no picture of other clients' windows; wlroots compositors (sway, Hyprland,
// labwc, river, ...) offer one through their screen-copy protocol, which this uses on a
// connection of its own: every output's picture, placed where the output is in the
// layout (as SDL lays out the displays, unscaled).

#include <memory>

#include "platform/raster.h"
#include "platform/status.h"

namespace kelna {

// The picture in a memory context that owns it, or why there is none (the compositor
// offers no screen copy, or a capture failed).
Result<std::unique_ptr<MemoryDC>> CaptureWaylandDesktop();

}  // namespace kelna
