// Any bytes as BMP stream records of an object file's frames: whatever the reader takes
// survives the palette, the device-bitmap conversions and the writers.
#include <sstream>
#include <string>

#include "platform/raster.h"
#include "sprites/bmp_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream is(std::string(reinterpret_cast<const char*>(data), size));
  auto dc = kelna::CreateCompatibleDC(nullptr);
  while (is) {
    kelna::ZoBmpImage image;
    if (!image.Read(is)) continue;
    image.MakePalette();
    image.DIBtoDDB(*dc);
    std::ostringstream os;
    // Here only that writing what was read survives, whatever it reports.
    static_cast<void>(image.WriteDIB(os));
    static_cast<void>(image.Write(os));
    kelna::ZoImage cut(*dc, &image, 1, 1, 0, 0);
    cut.DDBtoDIB();
  }
  return 0;
}
