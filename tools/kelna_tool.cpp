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
    "  pack MANIFEST.json OUT.foe [--alpha-threshold N] [--palette] [--reuse-previous]\n"
    "                              build an object file from a JSON manifest\n"
    "  pack ANIMATION.json OUT.anm build an animation file from an animation manifest\n"
    "  unpack FILE.foe DIR [--png] write the objects' frames (N-F-image.bmp, N-F-mask.bmp;\n"
    "                              with --png N-F.png wherever that packs back the same),\n"
    "                              sounds (N-sound.wav) and DIR/manifest.json, from which\n"
    "                              pack builds the same file again\n"
    "  render FILE.anm --out DIR [OPTIONS] [--format png|pam]\n"
    "                              play the animation as the saver does and write the\n"
    "                              window after each tick: DIR/tick-0000.png (prepared),\n"
    "                              tick-0001.png, ...\n"
    "  render FILE.anm --out FILE.webp [OPTIONS] [--interval MS]\n"
    "                              the same as one lossless animated WebP, each frame shown\n"
    "                              for MS milliseconds (default 50; below 10 is 10)\n"
    "  sheet FILE.foe OUT.png      draw every object's frames in a grid, numbered and named,\n"
    "                              masks applied over a checkerboard (.pam unless OUT ends\n"
    "                              in .png; names outside ASCII are drawn as boxes)\n"
    "  trace FILE.anm [OPTIONS]    play it and print one JSON line per tick (tick 0: prepared):\n"
    "                              {\"tick\", \"blits\": [[x, y, width, height]...] into the\n"
    "                              window, \"sounds\": names of the sprites whose sounds\n"
    "                              played, \"sprites\": [{\"name\", \"state\", \"curFrame\",\n"
    "                              \"x\", \"y\", \"speedX\", \"speedY\", \"tickCounter\",\n"
    "                              \"frameCount\", \"flags\"}...] in the scene's order}\n"
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
    "A frame may instead be {\"png\": FILE} (relative to the manifest, at most 32767 pixels a\n"
    "side and 16777216 in all): the mask is black where alpha is at least the threshold (128;\n"
    "--alpha-threshold 1 to 255), the image the PNG's colour there and black elsewhere, 24-bit\n"
    "or with --palette (or \"palette\": true in the frame) 8-bit when 256 colours do.\n"
    "--reuse-previous stores a frame whose image and mask equal the frame before's as\n"
    "\"previous\".\n"
    "\"frames\" may instead cut every frame from one PNG sheet: {\"sheet\": PNG, \"cell\":\n"
    "[W, H]} (cells left to right, top to bottom), or {\"sheetJson\": FILE}, a sheet editor's\n"
    "JSON export (Aseprite's array or hash form; its meta.image is the picture, trimmed frames\n"
    "keep their place in the full size); either with \"first\" and \"count\" (which frames,\n"
    "from 0) and \"palette\". Each frame is made as a PNG frame of its own.\n"
    "\n"
    "An animation manifest is {\"objectFile\": PATH, \"sprites\": [SPRITE...]}; a SPRITE\n"
    "holds any of the keys inspect prints for one (missing: a new sprite's value). The\n"
    "sprites are stored deepest first, equal depths in the manifest's order. The saver opens\n"
    "PATH as stored (a relative path from its working folder), else the file of that name\n"
    "beside the animation file: store the absolute path of the object file where it will be\n"
    "installed, or keep the two files in one folder. inspect's output packs again.\n"
    "\n"
    "render and trace OPTIONS:\n"
    "  --size WxH              the window (default 640x480)\n"
    "  --ticks N               frame steps after preparing (default 10)\n"
    "  --random FILE           the values the random source gives, one a line, in order;\n"
    "                          running out of them is an error\n"
    "  --seed N                seed of the random source (default 1)\n"
    "  --background FILE.bmp   the background picture; with --mode 2 the captured desktop\n"
    "  --mode 0|1|2            background centred, tiled, or the desktop (default 0)\n"
    "  --no-sound              the saver's wave sounds off (sounds are never heard here)\n"
    "\n"
    "\"--\" ends the options: every argument after it is a file name, even one that starts\n"
    "with a dash.\n"
    "\n"
    "Exit status: 0; 1 when a file cannot be read or written, or the random values ran\n"
    "out (one line on stderr); 2 for a wrong command line or a kind of file inspect does\n"
    "not know.\n";

}  // namespace

int main(int argc, char* argv[]) {
  const std::string_view command = argc > 1 ? argv[1] : "help";
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return argc > 1 ? 0 : 2;
  }
  if (command == "version" || command == "--version") {
    std::puts("kelna-tool " KELNA_VERSION);
    return 0;
  }
  const std::vector<std::string_view> args(argv + 2, argv + argc);
  if (command == "decode") return kelna::tool::Decode(args);
  if (command == "inspect") return kelna::tool::Inspect(args);
  if (command == "pack") return kelna::tool::Pack(args);
  if (command == "unpack") return kelna::tool::Unpack(args);
  if (command == "render") return kelna::tool::Render(args);
  if (command == "sheet") return kelna::tool::Sheet(args);
  if (command == "trace") return kelna::tool::Trace(args);
  std::fprintf(stderr, "kelna-tool: unknown command '%.*s' (try kelna-tool help)\n",
               static_cast<int>(command.size()), command.data());
  return 2;
}
