#include "engine/scene_files.h"

#include <string>

#include "platform/file_bytes.h"
#include "platform/text.h"

namespace kelna {
namespace {

namespace fs = std::filesystem;

// The name the scene's readers take (code page 932), checked to lead back to the file.
Result<std::string> ReaderName(const fs::path& file) {
  if (Status opens = CanOpen(file); !opens) return opens;
  std::string name = PathToCp932(file);
  if (Cp932ToPath(name) != file) return Status::Failure("the file name cannot be written in code page 932");
  return name;
}

// Reads `file` into a new scene with `read`, the scene's reader of that kind.
template <class Read>
Result<std::unique_ptr<ZoSpriteAnimation>> ReadScene(const fs::path& file, Read read) {
  const Result<std::string> name = ReaderName(file);
  if (!name) return WithContext(PathText(file), name.status());
  auto scene = std::make_unique<ZoSpriteAnimation>();
  if (Status loaded = read(*scene, name->c_str()); !loaded) return WithContext(PathText(file), loaded);
  return scene;
}

}  // namespace

Result<ZoSpriteAnimation::ObjectList> LoadObjectFile(const fs::path& file) {
  Result<std::unique_ptr<ZoSpriteAnimation>> scene =
      ReadScene(file, [](ZoSpriteAnimation& into, const char* name) { return into.LoadObjects(name); });
  if (!scene) return scene.status();
  return std::move((*scene)->objects);
}

Result<std::unique_ptr<ZoSpriteAnimation>> LoadAnimationFile(const fs::path& file) {
  return ReadScene(file, [](ZoSpriteAnimation& into, const char* name) { return into.Load(name, false); });
}

Result<std::unique_ptr<ZoSpriteAnimation>> LoadScene(const fs::path& file) {
  return ReadScene(file, [](ZoSpriteAnimation& into, const char* name) { return into.Load(name, true); });
}

Result<TDib> LoadBitmapFile(const fs::path& file) {
  Result<TDib> dib = TDib::ReadFile(file);
  if (!dib) return WithContext(PathText(file), dib.status());
  return dib;
}

}  // namespace kelna
