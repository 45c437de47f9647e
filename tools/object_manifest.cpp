// The object manifest's reader: each entry's fields, frames (BMP files, PNGs with alpha, a
// sheet's cells or a sheet editor's export), positions and wave file, every failure naming
// the entry at fault.

#include "tools/object_manifest.h"

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "sprites/bmp_image.h"
#include "tools/png_frame.h"
#include "tools/record_fields.h"
#include "tools/sprite_sheet.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;

// The object count is a positive 16-bit number, and so are the frames the record can write.
constexpr std::size_t kMaxObjects = 0x7FFF;
constexpr std::size_t kMaxFrames = 0x7FFF;
constexpr std::size_t kMaxLocations = 0xFFFF;
// Name fields: the object's keeps its last two bytes zero, the sound's its last one.
constexpr std::size_t kObjectNameLimit = 30;
constexpr std::size_t kSoundNameLimit = 255;
constexpr std::numeric_limits<std::int16_t> kInt16;
constexpr std::numeric_limits<std::int32_t> kInt32;

// The stream forms of a frame's image and mask, when it has both.
using FramePictures = std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>>;

std::optional<FramePictures> Pictures(const ZoSpriteData::ImagePair& pair) {
  if (!pair.image.Image() || !pair.mask.Image()) return std::nullopt;
  return FramePictures{StreamFormOf(*pair.image.Image()), StreamFormOf(*pair.mask.Image())};
}

class ManifestReader {
 public:
  ManifestReader(fs::path folder, PackOptions options) : folder_(std::move(folder)), options_(options) {}

  ZoSpriteAnimation::ObjectList Objects(const Json& manifest) const {
    CheckKeys(manifest, {"objects"}, "top level");
    if (!manifest.contains("objects")) Fail("top level", "no \"objects\" list");
    ZoSpriteAnimation::ObjectList objects;
    for (const Json& entry : Array(manifest.at("objects"), kMaxObjects, "objects"))
      objects.push_back(Object(entry, "objects[" + std::to_string(objects.size()) + "]"));
    return objects;
  }

 private:
  std::unique_ptr<ZoSpriteData> Object(const Json& entry, const std::string& where) const {
    CheckKeys(entry, ObjectKeys(), where);
    auto object = std::make_unique<ZoSpriteData>();
    Fields(entry, *object, where);
    if (entry.contains("name")) object->name = Cp932Text(entry.at("name"), kObjectNameLimit, where + ".name");
    if (entry.contains("frames")) Frames(entry.at("frames"), *object, where + ".frames");
    CheckFrameCount(entry, *object, where + ".frameCount");
    if (entry.contains("locations")) Locations(entry.at("locations"), *object, where + ".locations");
    if (entry.contains("sound")) Sound(entry.at("sound"), *object, where + ".sound");
    return object;
  }

  static void Fields(const Json& entry, ZoSpriteData& object, const std::string& where) {
    for (const auto& field : kObjectFields)
      if (const auto it = entry.find(field.name); it != entry.end())
        field.set(object, Integer(*it, field.min, field.max, where + "." + std::string(field.name)));
    // The reader takes the record's tag as "SPD" and a NUL, and that NUL is this field's low
    // byte: any other value makes the program refuse the object.
    if (object.reserved1 & 0xFF)
      Fail(where + ".reserved1",
           std::to_string(object.reserved1) + " is not a multiple of 256, which the program would not read");
  }

  static KeySet ObjectKeys() {
    KeySet keys = {"name", "frameCount", "frames", "locations", "sound"};
    for (const auto& field : kObjectFields) keys.emplace(field.name);
    return keys;
  }

  void Frames(const Json& frames, ZoSpriteData& object, const std::string& where) const {
    if (frames.is_object()) return Sheet(frames, object, where);
    object.ExpandImageArray(int(Array(frames, kMaxFrames, where).size()));
    std::optional<FramePictures> shown;  // what the frame before shows, when it is a whole pair
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const std::string at = where + "[" + std::to_string(i) + "]";
      const Json& frame = frames[i];
      CheckKeys(frame, {"image", "mask", "png", "palette"}, at);
      ZoSpriteData::ImagePair& pair = *(*object.images)[i];
      if (frame.contains("png")) {
        Png(frame, pair, at);
      } else {
        if (frame.contains("palette")) Fail(at + ".palette", "belongs to a \"png\" frame");
        if (frame.contains("image")) Slot(frame.at("image"), pair.image, at + ".image");
        if (frame.contains("mask")) Slot(frame.at("mask"), pair.mask, at + ".mask");
      }
      ReuseIfRepeated(pair, shown);
    }
  }

  // Under --reuse-previous a frame showing what the frame before shows borrows its pictures.
  void ReuseIfRepeated(ZoSpriteData::ImagePair& pair, std::optional<FramePictures>& shown) const {
    if (!options_.reusePrevious || (pair.image.IsUsePrevious() && pair.mask.IsUsePrevious())) return;
    std::optional<FramePictures> own = Pictures(pair);
    if (own && own == shown) {
      pair.image.SetUsePrevious();
      pair.mask.SetUsePrevious();
    } else {
      shown = std::move(own);
    }
  }

  // {"sheet": PNG, "cell": [W, H]} or {"sheetJson": EXPORT}, with "first", "count" and
  // "palette": every frame cut from one picture, made as a PNG frame of its own would be.
  void Sheet(const Json& sheet, ZoSpriteData& object, const std::string& where) const {
    CheckKeys(sheet, {"sheet", "cell", "sheetJson", "first", "count", "palette"}, where);
    if (sheet.contains("sheet") == sheet.contains("sheetJson"))
      Fail(where, "needs either \"sheet\" (with \"cell\") or \"sheetJson\"");
    if (sheet.contains("sheet") != sheet.contains("cell"))
      Fail(where, sheet.contains("cell") ? "\"cell\" belongs to a \"sheet\""
                                         : "\"sheet\" needs \"cell\": [width, height]");
    const int first = sheet.contains("first") ? int(Integer(sheet.at("first"), 0, kMaxFrames, where + ".first")) : 0;
    std::optional<int> count;
    if (sheet.contains("count")) count = int(Integer(sheet.at("count"), 1, kMaxFrames, where + ".count"));
    FrameForm form = options_.frameForm;
    if (sheet.contains("palette")) {
      if (!sheet.at("palette").is_boolean()) Fail(where + ".palette", "must be true or false");
      form.palette = sheet.at("palette").get<bool>();
    }
    const std::string key = sheet.contains("sheet") ? "sheet" : "sheetJson";
    const Json& value = sheet.at(key);
    if (!value.is_string()) Fail(where + "." + key, "must be a file name");
    const std::string& name = value.get_ref<const std::string&>();
    const std::optional<CellGrid> grid =
        key == "sheet" ? std::optional(Grid(sheet.at("cell"), first, count, where + ".cell")) : std::nullopt;
    std::vector<RgbaImage> frames;
    try {
      frames = grid ? CutCells(ReadPicture(Resolve(name)), *grid) : Exported(name, first, count);
    } catch (const std::runtime_error& failure) {  // ToolError or PngError
      Fail(where + "." + key, Quoted(name) + ": " + failure.what());
    }
    object.ExpandImageArray(int(frames.size()));
    std::optional<FramePictures> shown;
    for (std::size_t i = 0; i < frames.size(); ++i) {
      ZoSpriteData::ImagePair& pair = *(*object.images)[i];
      const FrameBitmaps bitmaps = FrameFromRgba(frames[i], form);
      pair.image.Set(Frame(bitmaps.image, name, where));
      pair.mask.Set(Frame(bitmaps.mask, name, where));
      ReuseIfRepeated(pair, shown);
    }
  }

  static CellGrid Grid(const Json& cell, int first, std::optional<int> count, const std::string& where) {
    if (!cell.is_array() || cell.size() != 2) Fail(where, "must be [width, height]");
    return {int(Integer(cell[0], 1, kMaxPngDimension, where + "[0]")),
            int(Integer(cell[1], 1, kMaxPngDimension, where + "[1]")), first, count};
  }

  // The frames of a sheet editor's export, from the picture its meta.image names beside it.
  std::vector<RgbaImage> Exported(const std::string& name, int first, std::optional<int> count) const {
    const fs::path file = Resolve(name);
    const SheetExport layout = ReadSheetExport(ParseSheetExport(file));
    const fs::path picture = file.parent_path() / Utf8Path(layout.image);
    RgbaImage sheet;
    try {
      sheet = ReadPicture(picture);
    } catch (const std::runtime_error& failure) {
      throw ToolError("meta.image: cannot read " + Quoted(layout.image) + ": " + failure.what());
    }
    return CutFrames(sheet, layout, first, count);
  }

  static RgbaImage ReadPicture(const fs::path& file) { return DecodePng(ReadWholeFile(file, kMaxPngFileSize)); }

  // The export's JSON, parsed; ToolError without the file's name (the caller gives it).
  static Json ParseSheetExport(const fs::path& file) { return ManifestFromBytes(ReadWholeFile(file, kMaxPngFileSize)); }

  // {"png": FILE, "palette": true|false}: the image and mask made from the PNG's alpha.
  void Png(const Json& frame, ZoSpriteData::ImagePair& pair, const std::string& at) const {
    if (frame.contains("image") || frame.contains("mask"))
      Fail(at, "\"png\" takes the place of \"image\" and \"mask\"");
    FrameForm form = options_.frameForm;
    if (frame.contains("palette")) {
      if (!frame.at("palette").is_boolean()) Fail(at + ".palette", "must be true or false");
      form.palette = frame.at("palette").get<bool>();
    }
    const Json& value = frame.at("png");
    if (!value.is_string()) Fail(at + ".png", "must be a PNG file name");
    const std::string& name = value.get_ref<const std::string&>();
    FrameBitmaps bitmaps;
    try {
      bitmaps = FrameFromRgba(DecodePng(ReadWholeFile(Resolve(name), kMaxPngFileSize)), form);
    } catch (const std::runtime_error& failure) {  // ToolError or PngError
      Fail(at + ".png", "cannot read " + Quoted(name) + ": " + failure.what());
    }
    pair.image.Set(Frame(bitmaps.image, name, at + ".png"));
    pair.mask.Set(Frame(bitmaps.mask, name, at + ".png"));
  }

  static std::unique_ptr<ZoBmpImage> Frame(const Bytes& bmp, const std::string& name, const std::string& where) {
    std::unique_ptr<ZoBmpImage> image;
    try {
      image = std::make_unique<ZoBmpImage>(std::make_unique<TDib>(TDib::FromBytes(bmp)));
    } catch (const TXGdi& failure) {
      Fail(where, "cannot make a frame of " + Quoted(name) + ": " + failure.what());
    }
    if (!image->HasDib()) Fail(where, Quoted(name) + " is too wide for a frame (rows over 65535 bytes)");
    return image;
  }

  // The count the record stores is the length of the list; a "frameCount" must agree.
  static void CheckFrameCount(const Json& entry, const ZoSpriteData& object, const std::string& where) {
    if (!entry.contains("frameCount")) return;
    if (Integer(entry.at("frameCount"), 0, 0xFFFF, where) != object.PairCount())
      Fail(where, "does not match the number of frames listed (" + std::to_string(object.PairCount()) + ")");
  }

  // null: no picture; "previous": the nearest earlier frame's; otherwise a BMP file.
  void Slot(const Json& value, ZoSpriteData::ImageSlot& slot, const std::string& where) const {
    if (value.is_null()) return;
    if (!value.is_string()) Fail(where, "must be a BMP file name, \"previous\" or null");
    const std::string& name = value.get_ref<const std::string&>();
    if (name == "previous") {
      slot.SetUsePrevious();
      return;
    }
    std::unique_ptr<ZoBmpImage> image;
    try {
      image = std::make_unique<ZoBmpImage>(std::make_unique<TDib>(LoadBitmap(Resolve(name))));
    } catch (const ToolError& failure) {
      Fail(where, "cannot read " + Quoted(name) + ": " + failure.what());
    }
    if (!image->HasDib()) Fail(where, Quoted(name) + " is too wide for a frame (rows over 65535 bytes)");
    slot.Set(std::move(image));
  }

  static void Locations(const Json& locations, ZoSpriteData& object, const std::string& where) {
    Array(locations, kMaxLocations, where);
    // The record keeps positions only for this behaviour; others would be lost unseen.
    if (!locations.empty() && object.behaviour != BehaveSpecified)
      Fail(where, "only objects of behaviour " + std::to_string(BehaveSpecified) +
                      " (specified position) keep locations");
    for (std::size_t i = 0; i < locations.size(); ++i) {
      const std::string at = where + "[" + std::to_string(i) + "]";
      if (!locations[i].is_array() || locations[i].size() != 2) Fail(at, "must be [x, y]");
      const auto x = Integer(locations[i][0], kInt32.min(), kInt32.max(), at + "[0]");
      const auto y = Integer(locations[i][1], kInt32.min(), kInt32.max(), at + "[1]");
      object.AddLocation({std::int32_t(x), std::int32_t(y)});
    }
  }

  // {"file": wave to load, "fileName": name stored (default: file), "playFrame": N}; a sound
  // without "file" holds no data.
  void Sound(const Json& value, ZoSpriteData& object, const std::string& where) const {
    if (value.is_null()) return;
    CheckKeys(value, {"file", "fileName", "playFrame"}, where);
    if (!value.contains("file") && !value.contains("fileName")) Fail(where, "needs \"file\" or \"fileName\"");
    auto sound = std::make_shared<ZoSound>();
    if (value.contains("file")) Load(*sound, value.at("file"), where + ".file");
    const std::string nameKey = value.contains("fileName") ? "fileName" : "file";
    sound->SetFileName(Cp932Text(value.at(nameKey), kSoundNameLimit, where + "." + nameKey).c_str());
    if (value.contains("playFrame")) {
      const auto frame = Integer(value.at("playFrame"), kInt16.min(), kInt16.max(), where + ".playFrame");
      sound->SetPlayFrame(std::int16_t(frame));
    }
    object.sound = std::move(sound);
  }

  void Load(ZoSound& sound, const Json& value, const std::string& where) const {
    if (!value.is_string()) Fail(where, "must be a file name");
    const std::string& name = value.get_ref<const std::string&>();
    const fs::path file = Resolve(name);
    // ZoSound says only whether it loaded; these are the reasons it would not.
    try {
      if (ReadableFileSize(file, ZoSound::kMaxWaveSize) == 0) throw ToolError("the file is empty");
      const std::string reader = PathToCp932(file);
      if (Cp932ToPath(reader) != file) throw ToolError("the path cannot be written in code page 932");
      if (sound.GetSound(reader.c_str()) != 1) throw ToolError("cannot read it");
    } catch (const ToolError& failure) {
      Fail(where, "cannot read " + Quoted(name) + ": " + failure.what());
    }
  }

  fs::path Resolve(const std::string& name) const { return folder_ / Utf8Path(name); }

  fs::path folder_;
  PackOptions options_;
};

}  // namespace

ZoSpriteAnimation::ObjectList ObjectsFromManifest(const Json& manifest, const std::filesystem::path& folder,
                                                  const PackOptions& options) {
  return ManifestReader(folder, options).Objects(manifest);
}

}  // namespace kelna::tool
