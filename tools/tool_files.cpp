#include "tools/tool_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

#include "engine/file_headers.h"
#include "platform/binary_io.h"
#include "platform/file_bytes.h"

namespace kelna::tool {

namespace fs = std::filesystem;

int Report(std::string_view message) {
  std::fprintf(stderr, "kelna-tool: %.*s\n", static_cast<int>(message.size()), message.data());
  return 1;
}

int UsageError(std::string_view usage) {
  std::fprintf(stderr, "usage: kelna-tool %.*s\n", static_cast<int>(usage.size()), usage.data());
  return 2;
}

std::uintmax_t ReadableFileSize(const fs::path& file, std::uintmax_t limit) {
  return Take(kelna::ReadableFileSize(file, limit));
}

std::vector<std::uint8_t> ReadWholeFile(const fs::path& file, std::uintmax_t limit) {
  return Take(kelna::ReadWholeFile(file, limit));
}

TDib LoadBitmap(const fs::path& file) { return Take(TDib::ReadFile(file)); }

std::vector<std::uint8_t> StreamFormOf(ZoImage& image) {
  std::ostringstream form(std::ios::binary);
  if (image.Write(form) != 1) return {};
  const std::string_view bytes = form.view();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::string ObjectFileBytes(const ZoSpriteAnimation::ObjectList& objects) {
  std::ostringstream content(std::ios::binary);
  BinaryWriter out(content);
  ObjectFileHeader header;
  header.objectCount = static_cast<std::int16_t>(objects.size());
  WriteFields(kObjectFileHeader, header, out);
  for (const auto& object : objects) static_cast<void>(object->Write(content));  // always 1: the stream tells
  if (!content) throw ToolError("cannot build the object file in memory");
  return std::move(content).str();
}

fs::path Utf8Path(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string LowerExtension(const fs::path& file) {
  std::string extension = PathText(file.extension());
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension;
}

}  // namespace kelna::tool
