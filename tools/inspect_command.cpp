// kelna-tool inspect FILE: prints what the program reads from an animation file (.anm), an
// object file (.foe) or a BMP file as one JSON document, texts converted to UTF-8.

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/bmp_format.h"
#include "platform/text.h"
#include "sprites/bmp_image.h"
#include "tools/commands.h"
#include "tools/record_fields.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr char kUsage[] = "inspect FILE.anm|FILE.foe|FILE.bmp";

template <class Record, std::size_t N>
void AddFields(Json& out, const Record& record, const std::array<IntegerField<Record>, N>& fields) {
  for (const auto& field : fields) out[std::string(field.name)] = field.get(record);
}

Json DescribeSprite(const ZoAnimatedSprite& sprite) {
  Json out = {{"name", Cp932ToUtf8(sprite.Name())}, {"objectName", Cp932ToUtf8(sprite.ObjectName())}};
  AddFields(out, sprite, kSpriteFields);
  return out;
}

Json DescribeAnimation(const fs::path& file) {
  const auto scene = Take(LoadAnimationFile(file));
  Json sprites = Json::array();
  for (const auto& sprite : scene->sprites) sprites.push_back(DescribeSprite(*sprite));
  return {{"type", "animation"},
          {"objectFile", Cp932ToUtf8(scene->objectFileName.value_or(""))},
          {"sprites", std::move(sprites)}};
}

// null, "previous", the picture's format, or {"empty": true} for an image that did not read.
Json DescribeSlot(const ZoSpriteData::ImageSlot& slot) {
  if (slot.IsNone()) return nullptr;
  if (slot.IsUsePrevious()) return "previous";
  const ZoImage& image = *slot.Image();
  if (!image.HasDib()) return {{"empty", true}};
  return {{"width", image.Width()},
          {"height", image.Height()},
          {"bitCount", ReadBlockHeader(image.Dib()).bitCount},
          {"numColors", image.NumColors()}};
}

Json DescribeSound(const ZoSpriteData& object) {
  if (!object.sound) return nullptr;
  const ZoSound& sound = *object.sound;
  return {{"fileName", Cp932ToUtf8(sound.FileName())},
          {"playFrame", sound.PlayFrame()},
          {"waveSize", sound.WaveSize()}};
}

Json DescribeObject(const ZoSpriteData& object) {
  Json out = {{"name", Cp932ToUtf8(object.name)}};
  AddFields(out, object, kObjectFields);
  out["frameCount"] = object.frameCount;
  Json frames = Json::array();
  for (int frame = 0; frame < object.PairCount(); ++frame) {
    const ZoSpriteData::ImagePair& pair = *(*object.images)[std::size_t(frame)];
    frames.push_back({{"image", DescribeSlot(pair.image)}, {"mask", DescribeSlot(pair.mask)}});
  }
  out["frames"] = std::move(frames);
  Json locations = Json::array();
  if (object.locations)
    for (const TPoint& p : *object.locations) locations.push_back({p.x, p.y});
  out["locations"] = std::move(locations);
  out["sound"] = DescribeSound(object);
  return out;
}

Json DescribeObjects(const fs::path& file) {
  Json objects = Json::array();
  for (const auto& object : Take(LoadObjectFile(file))) objects.push_back(DescribeObject(*object));
  return {{"type", "objects"}, {"objects", std::move(objects)}};
}

// The bitmap as the loader leaves it (always uncompressed, rows bottom-up).
Json DescribeBitmap(const fs::path& file) {
  const TDib dib = Take(LoadBitmapFile(file));
  return {{"type", "bitmap"},
          {"width", dib.Width()},
          {"height", dib.Height()},
          {"bitCount", dib.BitCount()},
          {"numColors", dib.NumColors()},
          {"compression", ReadBlockHeader(dib.Block()).compression}};
}

}  // namespace

int Inspect(std::span<const std::string_view> args) {
  if (!args.empty() && args.front() == "--") args = args.subspan(1);
  if (args.size() != 1) return UsageError(kUsage);
  const fs::path file(std::string{args[0]});
  const std::string kind = LowerExtension(file);
  if (kind != ".anm" && kind != ".foe" && kind != ".bmp") {
    Report(PathText(file) + ": unknown kind of file (not .anm, .foe or .bmp)");
    return 2;
  }
  Json document;
  try {
    if (kind == ".anm") document = DescribeAnimation(file);
    if (kind == ".foe") document = DescribeObjects(file);
    if (kind == ".bmp") document = DescribeBitmap(file);
  } catch (const ToolError& failure) {
    return Report(failure.what());
  }
  std::puts(document.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
  return 0;
}

}  // namespace kelna::tool
