// Any bytes as a BMP file: the loader takes them or refuses them with TXGdi, never reads or
// writes out of bounds, and every block it makes decodes to the size it says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/dib.h"
#include "sprites/dib_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const kelna::TDib dib = kelna::TDib::FromBytes({data, size});
    // Separate copies, so that reading past the colour table is caught and does not land
    // in the pixels that follow it in the block.
    const std::vector<std::uint8_t> info(dib.Info().begin(), dib.Info().end());
    const std::vector<std::uint8_t> bits(dib.Bits().begin(), dib.Bits().end());
    const std::optional<kelna::DecodedDib> decoded = kelna::DecodeDib(info, bits);
    if (!decoded || decoded->width != dib.Width() || decoded->height != dib.Height()) std::abort();
  } catch (const kelna::TXGdi&) {
    // A refusal is a fine answer.
  }
  return 0;
}
