#pragma once
// Animation manifests, from which kelna-tool pack builds animation files:
// {"objectFile": PATH, "sprites": [SPRITE...]}, where a SPRITE holds any of the keys that
// inspect prints for one ("name", "objectName" and the integer fields); a missing key keeps
// the value of a new sprite. Inspect's own output (with "type": "animation") is accepted.

#include <filesystem>
#include <memory>

#include "engine/sprite_animation.h"
#include "tools/manifest_values.h"

namespace kelna::tool {

// The scene the manifest describes, its sprites added as the program adds them: deepest
// first, equal depths in the manifest's order. ToolError "WHERE: WHY" for a bad entry.
std::unique_ptr<ZoSpriteAnimation> SceneFromManifest(const Json& manifest);

// Saves the scene through its own writer. ToolError "FILE: WHY" when it cannot.
void WriteAnimation(const ZoSpriteAnimation& scene, const std::filesystem::path& output);

}  // namespace kelna::tool
