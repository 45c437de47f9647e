// Any bytes as a BMP file: loaded or refused with TXGdi, and a block it makes decodes to its
// own size. The parts are copied apart so that reading past the colour table is caught.
#include <cstdlib>
#include <vector>

#include "platform/dib.h"
#include "sprites/dib_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const kelna::TDib dib = kelna::TDib::FromBytes({data, size});
    const std::vector<std::uint8_t> info(dib.Info().begin(), dib.Info().end());
    const std::vector<std::uint8_t> bits(dib.Bits().begin(), dib.Bits().end());
    const auto decoded = kelna::DecodeDib(info, bits);
    if (!decoded || decoded->width != dib.Width() || decoded->height != dib.Height()) std::abort();
  } catch (const kelna::TXGdi&) {
  }
  return 0;
}
