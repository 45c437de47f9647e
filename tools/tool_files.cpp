#include "tools/tool_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/binary_io.h"
#include "platform/dib.h"
#include "platform/status.h"
#include "platform/text.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;

// A BMP file larger than the largest picture the loader accepts, with room for headers.
constexpr std::uintmax_t kMaxBitmapFileSize = kMaxDibPixelBytes + (16u << 20);

// Whether `file` can be opened for reading, and why not.
Status CanOpen(const fs::path& file) {
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (!fs::exists(status)) return Status::Failure("no such file");
  if (fs::is_directory(status)) return Status::Failure("is a folder, not a file");
  if (!std::ifstream(file, std::ios::binary)) return Status::Failure("cannot open it");
  return Status::Ok();
}

// The name the program's readers take (code page 932), checked to lead back to the file.
std::string ReaderName(const fs::path& file, const std::string& shown) {
  if (const Status opens = CanOpen(file); !opens) throw ToolError(shown + ": " + opens.message());
  std::string name = PathToCp932(file);
  if (Cp932ToPath(name) != file) throw ToolError(shown + ": the file name cannot be written in code page 932");
  return name;
}

// The text in the file's first 32-byte field: its magic when it is one of ours.
std::string LeadingField(const fs::path& file) {
  std::array<char, ZoSpriteAnimation::kMagicFieldSize> field{};
  std::ifstream in(file, std::ios::binary);
  in.read(field.data(), field.size());
  return std::string(FieldText(std::span<const char>(field.data(), std::size_t(in.gcount()))));
}

}  // namespace

int Report(std::string_view message) {
  std::fprintf(stderr, "kelna-tool: %.*s\n", static_cast<int>(message.size()), message.data());
  return 1;
}

int UsageError(std::string_view usage) {
  std::fprintf(stderr, "usage: kelna-tool %.*s\n", static_cast<int>(usage.size()), usage.data());
  return 2;
}

std::uintmax_t ReadableFileSize(const fs::path& file, std::uintmax_t limit) {
  if (const Status opens = CanOpen(file); !opens) throw ToolError(opens.message());
  std::error_code error;
  const std::uintmax_t size = fs::file_size(file, error);
  if (error) throw ToolError("cannot tell its size");
  if (size > limit) throw ToolError("larger than " + std::to_string(limit >> 20) + " MiB");
  return size;
}

std::vector<std::uint8_t> ReadWholeFile(const fs::path& file, std::uintmax_t limit) {
  const std::uintmax_t size = ReadableFileSize(file, limit);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::ifstream in(file, std::ios::binary);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in || in.gcount() != static_cast<std::streamsize>(bytes.size())) throw ToolError("cannot read it");
  return bytes;
}

TDib LoadBitmap(const fs::path& file) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(file, kMaxBitmapFileSize);
  try {
    return TDib::FromBytes(bytes);
  } catch (const TXGdi& failure) {
    throw ToolError(failure.what());
  }
}

ZoSpriteAnimation::ObjectList LoadObjectFile(const fs::path& file) {
  const std::string shown = PathText(file);
  const std::string name = ReaderName(file, shown);
  ZoSpriteAnimation scene;
  if (scene.ReadObjects(name.c_str()) == 1) return std::move(scene.objects);
  // The reader says only that it refused the file; its first field tells the two cases apart.
  if (LeadingField(file) != kObjectFileMagic) throw ToolError(shown + ": not an object file");
  throw ToolError(shown + ": broken object file (cut short or damaged)");
}

std::unique_ptr<ZoSpriteAnimation> LoadAnimationFile(const fs::path& file) {
  const std::string shown = PathText(file);
  const std::string name = ReaderName(file, shown);
  auto scene = std::make_unique<ZoSpriteAnimation>();
  if (scene->Read(name.c_str(), false) == 1) return scene;
  if (LeadingField(file) != kAnimationFileMagic) throw ToolError(shown + ": not an animation file");
  throw ToolError(shown + ": broken animation file (cut short)");
}

std::unique_ptr<ZoSpriteAnimation> LoadScene(const fs::path& file) {
  const std::string shown = PathText(file);
  const std::string name = ReaderName(file, shown);
  auto scene = std::make_unique<ZoSpriteAnimation>();
  if (scene->Read(name.c_str(), true) == 1) return scene;
  // The reader says only that it failed: the animation file's reason first, then its
  // object file's (opened as stored, relative to the working folder).
  LoadAnimationFile(file);
  if (scene->objectFileName.value_or("").empty()) throw ToolError(shown + ": names no object file");
  try {
    LoadObjectFile(Cp932ToPath(scene->objectFileName.value_or("")));
  } catch (const ToolError& failure) {
    throw ToolError(shown + ": object file " + failure.what());
  }
  throw ToolError(shown + ": its object file cannot be read");
}

std::vector<std::uint8_t> StreamFormOf(ZoImage& image) {
  std::ostringstream form(std::ios::binary);
  if (image.Write(form) != 1) return {};
  const std::string_view bytes = form.view();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::string ObjectFileBytes(const ZoSpriteAnimation::ObjectList& objects) {
  std::ostringstream content(std::ios::binary);
  BinaryWriter out(content);
  constexpr std::size_t kMagicField = ZoSpriteAnimation::kMagicFieldSize;
  out.FixedText(kObjectFileMagic, kMagicField, kMagicField);
  out.I16(static_cast<std::int16_t>(objects.size()));
  for (const auto& object : objects) static_cast<void>(object->Write(content));  // always 1: the stream tells
  if (!content) throw ToolError("cannot build the object file in memory");
  return std::move(content).str();
}

fs::path Utf8Path(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string PathText(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string LowerExtension(const fs::path& file) {
  std::string extension = PathText(file.extension());
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension;
}

}  // namespace kelna::tool
