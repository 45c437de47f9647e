#pragma once
// Resources compiled into a Windows module (the program itself or a DLL).

#include <cstdint>
#include <optional>
#include <vector>

namespace kelna {

// The bytes of the RT_BITMAP resource `resourceId` of `module` (an HMODULE; null is the
// program itself): a packed DIB, without a file header. Nothing when there is no such
// resource. Windows only.
std::optional<std::vector<std::uint8_t>> LoadBitmapResource(void* module, int resourceId);

}  // namespace kelna
