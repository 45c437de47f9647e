// kelna: the screen saver on Linux (SDL2), standalone or as an XScreenSaver hack.

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "linux/player.h"
#include "linux/player_options.h"

#if defined(__SANITIZE_ADDRESS__)
// libdbus, which SDL opens, keeps its shared connection's memory to the end: not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
#endif

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  kelna::PlayerOptions options;
  try {
    options = kelna::ParsePlayerOptions(args, std::getenv("XSCREENSAVER_WINDOW"));
  } catch (const kelna::UsageError& problem) {
    std::fprintf(stderr, "kelna: %s\n(kelna --help lists the options)\n", problem.what());
    return 2;
  }
  if (options.help) {
    std::fputs(kelna::kPlayerHelp, stdout);
    return 0;
  }
  if (options.version) {
    std::puts("kelna " KELNA_VERSION);
    return 0;
  }
  return kelna::RunPlayer(options);
}
