#pragma once
// Opening the files a scene is made of, named by file-system paths, with the reason when one
// is refused: "FILE: reason", where the reason comes from the reader that found the fault.
// kelna-tool and the native player load through these; the Windows program reads through
// ZoSpriteAnimation's Read, whose 1/0 these reasons stand behind, and shows its own messages.

#include <filesystem>
#include <memory>

#include "engine/sprite_animation.h"
#include "platform/status.h"
#include "sprites/dib_loader.h"

namespace kelna {

// The objects of an object file.
Result<ZoSpriteAnimation::ObjectList> LoadObjectFile(const std::filesystem::path& file);
// A scene holding an animation file's sprites and its object file's name, read without objects.
Result<std::unique_ptr<ZoSpriteAnimation>> LoadAnimationFile(const std::filesystem::path& file);
// A scene read as the saver reads it: the animation file with its objects (at the stored path,
// else beside the animation file), tied to its sprites. A refused object file is named in the
// reason: "FILE: object file OBJECTS: reason".
Result<std::unique_ptr<ZoSpriteAnimation>> LoadScene(const std::filesystem::path& file);
// A BMP file through the loader the saver uses.
Result<TDib> LoadBitmapFile(const std::filesystem::path& file);

}  // namespace kelna
