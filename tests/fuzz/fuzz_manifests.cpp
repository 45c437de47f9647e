// Any bytes as a manifest of kelna-tool pack, object manifest and animation manifest alike,
// and as the sheet editor's export that an object manifest can name.
// The first byte chooses how the rest becomes JSON (bit 0: parsed as text, as pack reads a
// manifest file; otherwise decoded as CBOR, so that any structure of values is reached) and
// pack's options (bit 1: --palette, bit 2: --reuse-previous; the second byte is the alpha
// threshold). Frames and sounds are read from a folder holding a PNG of each colour type,
// the demo's sprite sheet with its export, a BMP and a wave file.
//
// What reads must write: the objects as an object file that reads back to as many objects
// and writes again to the same bytes, the scene as an animation file that reads back; the
// frames of an export that reads, cut from the demo's sheet, all of the export's frame size.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>

#include "engine/sprite_animation.h"
#include "tools/animation_manifest.h"
#include "tools/object_manifest.h"
#include "tools/sprite_sheet.h"
#include "tools/tool_files.h"

namespace {

namespace fs = std::filesystem;
using kelna::tool::Json;

// The library reads CBOR's nested lists by recursion, so a long run of list heads would take
// it past the stack: CBOR documents are kept short. JSON text is read without recursion.
constexpr std::size_t kMaxCborSize = 2048;

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const fs::path& file, std::string_view bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

// A mono 8-bit wave of four samples.
std::string Wave() {
  using namespace std::string_literals;
  return "RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0data\x04\0\0\0\x80\x90\x70\x80"s;
}

// The folder the manifests' file names are looked up in, made once per process.
const fs::path& Folder() {
  static const fs::path folder = [] {
    const fs::path made = fs::temp_directory_path() / ("kelna-fuzz-manifests-" + std::to_string(::getpid()));
    fs::create_directories(made);
    const fs::path source = KELNA_SOURCE_DIR;
    for (const auto& entry : fs::directory_iterator(source / "tests/data/png"))
      fs::copy_file(entry.path(), made / entry.path().filename(), fs::copy_options::overwrite_existing);
    for (const char* name : {"twinkle-sheet.png", "twinkle-sheet.json"})
      fs::copy_file(source / "tools/demo/sheet" / name, made / name, fs::copy_options::overwrite_existing);
    fs::copy_file(source / "tests/data/bmpsuite/g/pal8.bmp", made / "pal8.bmp", fs::copy_options::overwrite_existing);
    Put(made / "blip.wav", Wave());
    return made;
  }();
  return folder;
}

void PackObjects(const Json& manifest, const kelna::tool::PackOptions& options) {
  kelna::ZoSpriteAnimation::ObjectList objects;
  try {
    objects = kelna::tool::ObjectsFromManifest(manifest, Folder(), options);
  } catch (const kelna::tool::ToolError&) {
    return;
  }
  const fs::path file = Folder() / "out.foe";
  const std::string written = kelna::tool::ObjectFileBytes(objects);
  Put(file, written);
  kelna::ZoSpriteAnimation scene;
  if (scene.ReadObjects(file.c_str()) != 1) std::abort();  // what pack writes must read
  if (scene.objects.size() != objects.size()) std::abort();
  if (kelna::tool::ObjectFileBytes(scene.objects) != written) std::abort();
}

void PackAnimation(const Json& manifest) {
  std::unique_ptr<kelna::ZoSpriteAnimation> scene;
  try {
    scene = kelna::tool::SceneFromManifest(manifest);
  } catch (const kelna::tool::ToolError&) {
    return;
  }
  const fs::path file = Folder() / "out.anm";
  kelna::tool::WriteAnimation(*scene, file);  // a scene that reads has a name to write
  kelna::ZoSpriteAnimation again;
  if (again.Read(file.c_str(), false) != 1) std::abort();
  const fs::path second = Folder() / "again.anm";
  if (again.Write(second.c_str()) != 1 || Contents(file) != Contents(second)) std::abort();
}

void CutExport(const Json& document) {
  static const kelna::tool::RgbaImage sheet =
      kelna::tool::DecodePng(kelna::tool::ReadWholeFile(Folder() / "twinkle-sheet.png", kelna::tool::kMaxPngFileSize));
  kelna::tool::SheetExport layout;
  std::vector<kelna::tool::RgbaImage> frames;
  try {
    layout = kelna::tool::ReadSheetExport(document);
    frames = kelna::tool::CutFrames(sheet, layout, 0, std::nullopt);
  } catch (const kelna::tool::ToolError&) {
    return;
  }
  if (frames.size() != layout.frames.size()) std::abort();
  for (const auto& frame : frames)
    if (frame.width != layout.frameWidth || frame.height != layout.frameHeight) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::span<const std::uint8_t> document(data + 2, size - 2);
  Json manifest;
  if (data[0] & 1) {
    try {
      manifest = kelna::tool::ManifestFromBytes(document);
    } catch (const kelna::tool::ToolError&) {
      return 0;
    }
  } else if (document.size() <= kMaxCborSize) {
    try {  // the library throws on an array size it cannot hold even when told not to throw
      manifest = Json::from_cbor(document.begin(), document.end(), true, false);
    } catch (const Json::exception&) {
      return 0;
    }
    if (manifest.is_discarded()) return 0;
  } else {
    return 0;
  }
  kelna::tool::PackOptions options;
  options.frameForm.palette = data[0] & 2;
  options.reusePrevious = data[0] & 4;
  options.frameForm.alphaThreshold = std::max(1, int(data[1]));
  PackObjects(manifest, options);
  PackAnimation(manifest);
  CutExport(manifest);
  return 0;
}
