#include "platform/module_resource.h"

#include <windows.h>

namespace kelna {

std::optional<std::vector<std::uint8_t>> LoadBitmapResource(void* module, int resourceId) {
  const HMODULE handle = static_cast<HMODULE>(module);
  const HRSRC found = FindResourceW(handle, MAKEINTRESOURCEW(resourceId), RT_BITMAP);
  if (found == nullptr) return std::nullopt;
  // Resource memory belongs to the module and needs no freeing; we keep a copy of our own.
  const HGLOBAL loaded = LoadResource(handle, found);
  const DWORD size = SizeofResource(handle, found);
  const auto* bytes =
      loaded != nullptr ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

}  // namespace kelna
