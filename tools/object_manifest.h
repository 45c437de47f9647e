#pragma once
// Object manifests, from which kelna-tool pack builds object files:
// {"objects": [OBJECT...]}, where an OBJECT holds the record's integer fields by the names
// inspect prints, a "name", its "frames" (BMP "image" and "mask" files, "previous" or null;
// a "png" with alpha; or one {"sheet": PNG, "cell": [W, H]} or {"sheetJson": EXPORT}),
// "locations" and a "sound". File names are relative to the manifest's folder.

#include <filesystem>

#include "engine/sprite_animation.h"
#include "tools/manifest_values.h"
#include "tools/png_frame.h"

namespace kelna::tool {

struct PackOptions {
  FrameForm frameForm;         // how PNG frames become an image and a mask
  bool reusePrevious = false;  // a frame showing what the frame before shows borrows it
};

// The objects the manifest describes, in its order, their files read from `folder`.
// ToolError "WHERE: WHY" for a bad entry or a file that does not read.
ZoSpriteAnimation::ObjectList ObjectsFromManifest(const Json& manifest, const std::filesystem::path& folder,
                                                  const PackOptions& options);

}  // namespace kelna::tool
