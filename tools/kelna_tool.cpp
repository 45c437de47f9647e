// kelna-tool: inspects and builds Kelna's files from the command line. Its subcommands
// grow with the engine; each prints what programs read as JSON and fails with a one-line
// message: status 1 for a file it cannot read or write, 2 for a wrong command line.

#include <cstdio>
#include <string_view>
#include <vector>

#include "tools/commands.h"

namespace {

constexpr char kUsage[] =
    "usage: kelna-tool COMMAND [ARGS...]\n"
    "\n"
    "commands:\n"
    "  decode FILE.bmp OUT         load a BMP as the saver does; write its pixels\n"
    "                              (.pam, or .png when OUT ends in .png)\n"
    "  inspect FILE                print what the saver reads from an animation (.anm),\n"
    "                              object (.foe) or BMP file as one JSON document,\n"
    "                              indented, texts in UTF-8\n"
    "  pack MANIFEST.json OUT.foe  build an object file from a JSON manifest\n"
    "  unpack FILE.foe DIR         write the objects' frames (N-F-image.bmp, N-F-mask.bmp),\n"
    "                              sounds (N-sound.wav) and DIR/manifest.json, from which\n"
    "                              pack builds the same file again\n"
    "  help                        show this text\n"
    "  version                     show the version\n"
    "\n"
    "A manifest is {\"objects\": [OBJECT...]}; an OBJECT holds any of \"name\",\n"
    "\"reserved1\", \"depth\", \"behaviour\", \"autoRepeat\", \"randomStart\", \"ownsImages\",\n"
    "\"imageWidth\", \"imageHeight\", \"startX\", \"startY\", \"speedX\", \"speedY\" (missing:\n"
    "a new object's value), \"frameCount\" (must match the frames), \"frames\":\n"
    "[{\"image\": I, \"mask\": I}...] where I is a BMP file (relative to the manifest),\n"
    "\"previous\" or null, \"locations\": [[x, y]...] (behaviour 4 only), and \"sound\":\n"
    "{\"file\": WAV, \"fileName\": name stored (default: file), \"playFrame\": N} or null.\n"
    "unpack writes an image that did not read as null: the saver stores it as no image.\n"
    "\n"
    "Exit status: 0; 1 when a file cannot be read or written (one line on stderr);\n"
    "2 for a wrong command line or a kind of file inspect does not know.\n";

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
  if (command == "inspect") return kelna::tool::Inspect(args);
  if (command == "pack") return kelna::tool::Pack(args);
  if (command == "unpack") return kelna::tool::Unpack(args);
  std::fprintf(stderr, "kelna-tool: unknown command '%.*s' (try kelna-tool help)\n",
               static_cast<int>(command.size()), command.data());
  return 2;
}
