#pragma once
// What the file subcommands share: their one-line failures, whole files read with the
// reason when they cannot be, and the object file's bytes as pack writes them. Kelna's own
// files are loaded through the core (engine/scene_files.h), whose reasons become ToolError.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scene_files.h"
#include "engine/sprite_animation.h"
#include "platform/status.h"
#include "platform/text.h"

namespace kelna::tool {

// A failure that a subcommand reports as one line, "kelna-tool: WHAT", with status 1.
class ToolError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// Prints "kelna-tool: MESSAGE" on stderr and gives status 1.
int Report(std::string_view message);
// Prints the subcommand's usage line on stderr and gives status 2.
int UsageError(std::string_view usage);

// The value of a result of the core's readers; ToolError with its reason when it failed.
template <class T>
T Take(Result<T> result) {
  if (!result) throw ToolError(result.message());
  return std::move(result).value();
}

// The size of a file that opens for reading. ToolError (without the file's name) when it
// does not, or is larger than `limit` bytes.
std::uintmax_t ReadableFileSize(const std::filesystem::path& file, std::uintmax_t limit);
// The whole file. ToolError (without the file's name) when it cannot be read or is larger
// than `limit` bytes.
std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& file, std::uintmax_t limit);

// A BMP file through the loader the saver uses; ToolError with the loader's reason, without
// the file's name.
TDib LoadBitmap(const std::filesystem::path& file);

// A frame picture in the form the object file holds it (a BMP file); empty when the picture
// has none (it did not read, and is stored as no image).
std::vector<std::uint8_t> StreamFormOf(ZoImage& image);

// An object file: the header, then each object's record as ZoSpriteData writes it.
std::string ObjectFileBytes(const ZoSpriteAnimation::ObjectList& objects);

// A path named in UTF-8 text (JSON), on every platform.
std::filesystem::path Utf8Path(std::string_view utf8);
// The file's extension in lower case, with its dot (".anm").
std::string LowerExtension(const std::filesystem::path& file);

}  // namespace kelna::tool
