// Any bytes as a DIB: the first two (little-endian) give the size of the BITMAPINFO part,
// the rest are the pixels, each part copied apart so that reading past it is caught.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t infoSize = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
  const std::vector<std::uint8_t> info(data + 2, data + 2 + infoSize);
  const std::vector<std::uint8_t> bits(data + 2 + infoSize, data + size);
  const auto decoded = kelna::DecodeDib(info, bits);
  if (decoded && decoded->pixels.size() != std::size_t(decoded->width) * decoded->height) std::abort();
  return 0;
}
