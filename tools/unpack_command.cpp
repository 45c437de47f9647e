// kelna-tool unpack FILE.foe DIR [--png]: writes every frame image and mask of an object file
// as a BMP file (with --png, a frame as one PNG with alpha wherever packing that PNG gives
// back the same image and mask), every sound as its wave file, and manifest.json, from which
// pack builds the object file again.
//
// The manifest holds what the program itself would store on saving the objects: an image
// the program cannot store (one that did not read, so it has no picture) is null, and
// positions are kept only for the specified-position behaviour. So pack gives back the
// file byte for byte whenever the program's own save would.

#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "sprites/bmp_image.h"
#include "tools/commands.h"
#include "tools/image_output.h"
#include "tools/png_frame.h"
#include "tools/record_fields.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr char kUsage[] = "unpack FILE.foe DIR [--png]";
constexpr char kManifestName[] = "manifest.json";

void WriteFile(const fs::path& file, std::string_view content) {
  if (const Status written = ReplaceFileContent(file, content); !written)
    throw ToolError(PathText(file) + ": " + written.message());
}

std::string_view AsText(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

Result<DecodedDib> Decode(const Bytes& stream) {
  const Result<TDib> dib = TDib::Parse(stream);
  if (!dib) return dib.status();
  return DecodeDib(dib->Info(), dib->Bits());
}

class Unpacker {
 public:
  Unpacker(fs::path folder, std::string source, bool png)
      : folder_(std::move(folder)), source_(std::move(source)), png_(png) {}

  Json Object(const ZoSpriteData& object, std::size_t index) const {
    const std::string prefix = std::to_string(index);
    const std::string where = "objects[" + prefix + "]";
    Json out = {{"name", Cp932ToUtf8(object.name)}};
    for (const auto& field : kObjectFields) out[std::string(field.name)] = field.get(object);
    Json frames = Json::array();
    for (int i = 0; i < object.PairCount(); ++i) {
      const ZoSpriteData::ImagePair& pair = *(*object.images)[std::size_t(i)];
      const std::string frame = prefix + "-" + std::to_string(i);
      const std::string at = where + ".frames[" + std::to_string(i) + "]";
      Json entry = png_ ? PngFrame(pair, frame + ".png") : Json();
      if (entry.is_null())
        entry = {{"image", Slot(pair.image, frame + "-image.bmp", at + ".image")},
                 {"mask", Slot(pair.mask, frame + "-mask.bmp", at + ".mask")}};
      frames.push_back(std::move(entry));
    }
    out["frames"] = std::move(frames);
    out["locations"] = Locations(object);
    out["sound"] = Sound(object, prefix + "-sound.wav");
    return out;
  }

 private:
  // The picture is written in the form the object file holds it, which is a BMP file.
  Json Slot(const ZoSpriteData::ImageSlot& slot, const std::string& name, const std::string& where) const {
    if (slot.IsNone()) return nullptr;
    if (slot.IsUsePrevious()) return "previous";
    const Bytes bytes = StreamFormOf(*slot.Image());
    if (bytes.empty()) return nullptr;  // stored as no image, as the program does
    // Refused here rather than by pack, which loads frames through the loader.
    try {
      TDib::FromBytes(bytes);
    } catch (const TXGdi& failure) {
      throw ToolError(source_ + ": " + where + ": the loader cannot read this picture back: " + failure.what());
    }
    WriteFile(folder_ / name, AsText(bytes));
    return name;
  }

  // {"png": NAME, "palette": P} when packing that PNG gives back the frame's image and mask
  // byte for byte; null otherwise.
  Json PngFrame(const ZoSpriteData::ImagePair& pair, const std::string& name) const {
    if (!pair.image.Image() || !pair.mask.Image()) return nullptr;
    const Bytes image = StreamFormOf(*pair.image.Image()), mask = StreamFormOf(*pair.mask.Image());
    const auto decodedImage = Decode(image), decodedMask = Decode(mask);
    if (!decodedImage || !decodedMask) return nullptr;
    // pack refuses a PNG of more pixels than this: such a frame stays two BMP files.
    if (std::uint64_t(decodedImage->width) * std::uint64_t(decodedImage->height) > kMaxPngPixels) return nullptr;
    const auto rgba = RgbaFromFrame(*decodedImage, *decodedMask);
    if (!rgba) return nullptr;
    for (const bool palette : {false, true}) {
      const FrameBitmaps again = FrameFromRgba(*rgba, {kDefaultAlphaThreshold, palette});
      if (again.image != image || again.mask != mask) continue;
      const auto png = EncodePng(rgba->rgba, rgba->width, rgba->height, 4);
      if (!png) throw ToolError("this build writes no PNG");
      WriteFile(folder_ / name, AsText(*png));
      return {{"png", name}, {"palette", palette}};
    }
    return nullptr;
  }

  static Json Locations(const ZoSpriteData& object) {
    Json out = Json::array();
    if (object.locations && object.behaviour == BehaveSpecified)
      for (const TPoint& p : *object.locations) out.push_back({p.x, p.y});
    return out;
  }

  Json Sound(const ZoSpriteData& object, const std::string& name) const {
    if (!object.sound) return nullptr;
    const ZoSound& sound = *object.sound;
    Json out = Json::object();
    const std::span<const std::uint8_t> wave = sound.Wave();
    if (!wave.empty()) {
      WriteFile(folder_ / name, std::string_view(reinterpret_cast<const char*>(wave.data()), wave.size()));
      out["file"] = name;
    }
    out["fileName"] = Cp932ToUtf8(sound.FileName());
    out["playFrame"] = sound.PlayFrame();
    return out;
  }

  fs::path folder_;
  std::string source_;
  bool png_;
};

}  // namespace

int Unpack(std::span<const std::string_view> args) {
  std::vector<std::string_view> files;
  bool png = false;
  bool filesOnly = false;  // after "--"
  for (const std::string_view arg : args) {
    if (filesOnly || !arg.starts_with("--"))
      files.push_back(arg);
    else if (arg == "--")
      filesOnly = true;
    else if (arg == "--png")
      png = true;
    else
      return UsageError(kUsage);
  }
  if (files.size() != 2) return UsageError(kUsage);
  const fs::path input(std::string{files[0]});
  const fs::path folder(std::string{files[1]});
  try {
    const ZoSpriteAnimation::ObjectList objects = Take(LoadObjectFile(input));
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder)) throw ToolError(PathText(folder) + ": cannot make this folder");
    const Unpacker unpacker(folder, PathText(input), png);
    Json list = Json::array();
    for (std::size_t i = 0; i < objects.size(); ++i) list.push_back(unpacker.Object(*objects[i], i));
    const Json manifest = {{"objects", std::move(list)}};
    WriteFile(folder / kManifestName, manifest.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
  } catch (const ToolError& failure) {
    return Report(failure.what());
  }
  return 0;
}

}  // namespace kelna::tool
