// kelna-tool: inspects and builds Kelna's files from the command line. Its subcommands
// grow with the engine; each prints what programs read as JSON and fails with a one-line
// message and status 1.

#include <cstdio>
#include <string_view>
#include <vector>

#include "tools/commands.h"

namespace {

constexpr char kUsage[] =
    "usage: kelna-tool COMMAND [ARGS...]\n"
    "\n"
    "commands:\n"
    "  decode FILE.bmp OUT   load a BMP as the saver does; write its pixels (.pam or .png)\n"
    "  help                  show this text\n"
    "  version               show the version\n";

}  // namespace

int main(int argc, char* argv[]) {
  const std::string_view command = argc > 1 ? argv[1] : "help";
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return argc > 1 ? 0 : 2;
  }
  if (command == "version" || command == "--version") {
    std::puts("kelna-tool 1.0.0");
    return 0;
  }
  const std::vector<std::string_view> args(argv + 2, argv + argc);
  if (command == "decode") return kelna::tool::Decode(args);
  std::fprintf(stderr, "kelna-tool: unknown command '%.*s' (try kelna-tool help)\n",
               static_cast<int>(command.size()), command.data());
  return 2;
}
