#pragma once
// The native player: reads the settings and files, opens the window where the options
// say, and runs the saver's ticks on it (the first one sets up music, background and
// scene; every later one is a frame step) until input, as the Windows saver does.

#include <chrono>

#include "linux/player_options.h"

namespace kelna {

// The interval between ticks as a Windows timer keeps it: below 10 ms is 10 ms, and a
// negative setting (a huge unsigned value to the timer) is the longest, 2^31 - 1 ms.
std::chrono::milliseconds TickInterval(int intervalTime);

// Plays until input or a termination signal. Returns the exit status: 0, or 1 after
// printing why a file or the display could not be used.
int RunPlayer(const PlayerOptions& options);

}  // namespace kelna
