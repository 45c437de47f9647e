#pragma once
// Reading a whole file whose name a user gave, with the reason when it cannot be read. The
// reasons are short and name no file: the caller knows which file it asked for and puts its
// name in front ("FILE: no such file").

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/status.h"

namespace kelna {

// Whether `file` opens for reading: "no such file", "is a folder, not a file" or
// "cannot open it" when it does not.
Status CanOpen(const std::filesystem::path& file);
// The size of a file that opens; as CanOpen, or "cannot tell its size", or
// "larger than N MiB" when it holds more than `limit` bytes.
Result<std::uintmax_t> ReadableFileSize(const std::filesystem::path& file, std::uintmax_t limit);
// The whole file; as ReadableFileSize, or "cannot read it".
Result<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& file, std::uintmax_t limit);

}  // namespace kelna
