// Any bytes as sprite-object records: each is read or refused, and what is read can be
// prepared for drawing, asked for its frames and written again.
#include <sstream>
#include <string>

#include "platform/raster.h"
#include "sprites/sprite_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream is(std::string(reinterpret_cast<const char*>(data), size));
  auto dc = kelna::CreateCompatibleDC(nullptr);
  for (int records = 0; is && records < 64; ++records) {
    kelna::ZoSpriteData object;
    if (!object.Read(is)) continue;
    object.MakeDDB(*dc);
    for (short frame = 0; frame < object.PairCount() && frame < 64; ++frame) {
      object.GetImageHandle(frame);
      object.GetMaskHandle(frame);
    }
    std::ostringstream os;
    static_cast<void>(object.Write(os));  // always 1: writing must survive what was read
  }
  return 0;
}
