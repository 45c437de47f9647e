#include "tools/animation_manifest.h"

#include <string>

#include "platform/text.h"
#include "tools/record_fields.h"
#include "engine/file_headers.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;

// The sprite count is a positive 16-bit number; names keep their field's last two bytes
// zero (and the object file's path its last one, kPathLimit).
constexpr std::size_t kMaxSprites = 0x7FFF;
constexpr std::size_t kNameLimit = 30;

KeySet SpriteKeys() {
  KeySet keys = {"name", "objectName"};
  for (const auto& field : kSpriteFields) keys.emplace(field.name);
  return keys;
}

// A sprite with the values the program gives a new one.
std::unique_ptr<ZoAnimatedSprite> NewSprite() {
  ZoSpriteAnimation scratch;
  scratch.NewSprite();
  return scratch.RemoveSprite(0);
}

std::unique_ptr<ZoAnimatedSprite> Sprite(const Json& entry, const std::string& where) {
  CheckKeys(entry, SpriteKeys(), where);
  auto sprite = NewSprite();
  for (const auto& field : kSpriteFields)
    if (const auto it = entry.find(field.name); it != entry.end())
      field.set(*sprite, Integer(*it, field.min, field.max, where + "." + std::string(field.name)));
  // The reader takes any other value as off, so it would not read back as written.
  if (sprite->soundOn != 0 && sprite->soundOn != 1)
    Fail(where + ".soundOn", std::to_string(sprite->soundOn) + " is neither 0 (off) nor 1 (on)");
  if (entry.contains("name")) sprite->SetName(Cp932Text(entry.at("name"), kNameLimit, where + ".name"));
  if (entry.contains("objectName"))
    sprite->SetObjectName(Cp932Text(entry.at("objectName"), kNameLimit, where + ".objectName"));
  return sprite;
}

}  // namespace

std::unique_ptr<ZoSpriteAnimation> SceneFromManifest(const Json& manifest) {
  CheckKeys(manifest, {"type", "objectFile", "sprites"}, "top level");
  if (manifest.contains("type") && manifest.at("type") != "animation")
    Fail("type", "must be \"animation\" when present");
  if (!manifest.contains("objectFile")) Fail("top level", "no \"objectFile\"");
  if (!manifest.contains("sprites")) Fail("top level", "no \"sprites\" list");
  auto scene = std::make_unique<ZoSpriteAnimation>();
  scene->objectFileName =
      Cp932Text(manifest.at("objectFile"), kPathLimit, "objectFile");
  if (scene->objectFileName->empty()) Fail("objectFile", "must name the object file");
  std::size_t index = 0;
  for (const Json& entry : Array(manifest.at("sprites"), kMaxSprites, "sprites"))
    scene->AddSprite(Sprite(entry, "sprites[" + std::to_string(index++) + "]"));
  return scene;
}

void WriteAnimation(const ZoSpriteAnimation& scene, const fs::path& output) {
  const std::string shown = PathText(output);
  const std::string name = PathToCp932(output);
  if (Cp932ToPath(name) != output) throw ToolError(shown + ": the file name cannot be written in code page 932");
  if (scene.Write(name.c_str()) == 1) return;
  // The writer says only that it failed.
  std::error_code error;
  const fs::path folder = output.parent_path().empty() ? fs::path(".") : output.parent_path();
  if (!fs::is_directory(folder, error)) throw ToolError(shown + ": no such folder");
  throw ToolError(shown + ": cannot write it");
}

}  // namespace kelna::tool
