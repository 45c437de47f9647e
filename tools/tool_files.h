#pragma once
// What the file subcommands share: their one-line failures, and reading Kelna's files
// through the program's own readers with a reason when they refuse one.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sprite_animation.h"
#include "sprites/dib_loader.h"

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

// What the object file starts with: this text in a 32-byte field, then the object count.
inline constexpr const char* kObjectFileMagic = ZoSpriteAnimation::kObjectMagic;
inline constexpr const char* kAnimationFileMagic = ZoSpriteAnimation::kAnimationMagic;

// The size of a file that opens for reading. ToolError (without the file's name) when it
// does not, or is larger than `limit` bytes.
std::uintmax_t ReadableFileSize(const std::filesystem::path& file, std::uintmax_t limit);
// The whole file. ToolError (without the file's name) when it cannot be read or is larger
// than `limit` bytes.
std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& file, std::uintmax_t limit);

// A BMP file through the loader the saver uses; ToolError with the loader's reason.
TDib LoadBitmap(const std::filesystem::path& file);

// The objects of an object file, read by ZoSpriteAnimation::ReadObjects. ToolError
// "FILE: reason" when it refuses the file.
ZoSpriteAnimation::ObjectList LoadObjectFile(const std::filesystem::path& file);
// A scene holding an animation file's sprites and object file name, read without objects.
std::unique_ptr<ZoSpriteAnimation> LoadAnimationFile(const std::filesystem::path& file);
// A scene read as the saver reads it: the animation file with its objects, tied to its
// sprites. ToolError "FILE: reason", naming the object file when that is what failed.
std::unique_ptr<ZoSpriteAnimation> LoadScene(const std::filesystem::path& file);

// A frame picture in the form the object file holds it (a BMP file); empty when the picture
// has none (it did not read, and is stored as no image).
std::vector<std::uint8_t> StreamFormOf(ZoImage& image);

// An object file: the header, then each object's record as ZoSpriteData writes it.
std::string ObjectFileBytes(const ZoSpriteAnimation::ObjectList& objects);

// A path named in UTF-8 text (JSON), on every platform.
std::filesystem::path Utf8Path(std::string_view utf8);
// A path as UTF-8 text, for messages and JSON.
std::string PathText(const std::filesystem::path& path);
// The file's extension in lower case, with its dot (".anm").
std::string LowerExtension(const std::filesystem::path& file);

}  // namespace kelna::tool
