// kelna-tool: inspects and builds Kelna's files from the command line. Its subcommands
// grow with the engine; each prints what programs read as JSON and fails with a one-line
// message and status 1.

#include <cstdio>
#include <string_view>

namespace {

constexpr char kUsage[] =
    "usage: kelna-tool COMMAND [ARGS...]\n"
    "\n"
    "commands:\n"
    "  help       show this text\n"
    "  version    show the version\n";

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
  std::fprintf(stderr, "kelna-tool: unknown command '%.*s' (try kelna-tool help)\n",
               static_cast<int>(command.size()), command.data());
  return 2;
}
