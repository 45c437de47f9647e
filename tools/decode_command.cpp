// kelna-tool decode FILE.bmp OUT: loads a BMP as the saver loads a background (loader,
// image, palette, device bitmap) and writes the device pixels.

#include <cstdio>
#include <memory>
#include <string>

#include "platform/raster.h"
#include "sprites/bmp_image.h"
#include "sprites/dib_loader.h"
#include "tools/commands.h"
#include "tools/image_output.h"

namespace kelna::tool {

int Decode(std::span<const std::string_view> args) {
  if (!args.empty() && args.front() == "--") args = args.subspan(1);
  if (args.size() != 2) {
    std::fputs("usage: kelna-tool decode FILE.bmp OUT.pam|OUT.png\n", stderr);
    return 2;
  }
  const std::string input(args[0]);
  std::unique_ptr<TDib> dib;
  try {
    dib = std::make_unique<TDib>(std::filesystem::path(input));
  } catch (const TXGdi& failure) {
    std::fprintf(stderr, "kelna-tool: %s\n", failure.what());  // it names the file
    return 1;
  }
  ZoBmpImage image(std::move(dib));
  auto screen = CreateCompatibleDC(nullptr);
  if (image.NumColors() != 0) image.MakePalette();
  image.DIBtoDDB(*screen);
  if (!image.Ddb()) {
    std::fprintf(stderr, "kelna-tool: %s: the bitmap cannot be converted for display\n", input.c_str());
    return 1;
  }
  if (const Status written = WritePicture(*image.Ddb(), std::string(args[1])); !written) {
    std::fprintf(stderr, "kelna-tool: %s\n", written.message().c_str());
    return 1;
  }
  return 0;
}

}  // namespace kelna::tool
