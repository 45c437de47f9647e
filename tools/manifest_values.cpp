#include "tools/manifest_values.h"

#include <vector>

#include "platform/text.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

constexpr std::uintmax_t kMaxManifestSize = 64u << 20;

}  // namespace

void Fail(const std::string& where, const std::string& why) { throw ToolError(where + ": " + why); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void CheckKeys(const Json& value, const KeySet& known, const std::string& where) {
  if (!value.is_object()) Fail(where, "must be a JSON object");
  for (const auto& [key, ignored] : value.items())
    if (!known.contains(key)) Fail(where, "unknown key " + Quoted(key));
}

std::int64_t Integer(const Json& value, std::int64_t min, std::int64_t max, const std::string& where) {
  if (!value.is_number_integer()) Fail(where, value.dump() + " is not an integer");
  const bool fits = value.is_number_unsigned()
                        ? value.get<std::uint64_t>() <= std::uint64_t(max) &&
                              (min <= 0 || value.get<std::uint64_t>() >= std::uint64_t(min))
                        : value.get<std::int64_t>() >= min && value.get<std::int64_t>() <= max;
  if (!fits)
    Fail(where, value.dump() + " is outside " + std::to_string(min) + " ... " + std::to_string(max));
  return value.get<std::int64_t>();
}

std::string Cp932Text(const Json& value, std::size_t limit, const std::string& where) {
  if (!value.is_string()) Fail(where, "must be a string");
  const std::string& utf8 = value.get_ref<const std::string&>();
  const std::string cp932 = Utf8ToCp932(utf8);
  if (Cp932ToUtf8(cp932) != utf8) Fail(where, Quoted(utf8) + " has characters that code page 932 cannot hold");
  if (cp932.find('\0') != std::string::npos) Fail(where, "must not contain NUL");
  if (cp932.size() > limit) {
    Fail(where, Quoted(utf8) + " takes " + std::to_string(cp932.size()) +
                    " bytes in code page 932, more than " + std::to_string(limit));
  }
  return cp932;
}

const Json& Array(const Json& value, std::size_t limit, const std::string& where) {
  if (!value.is_array()) Fail(where, "must be a JSON array");
  if (value.size() > limit) Fail(where, "more than " + std::to_string(limit) + " entries");
  return value;
}

Json ParseManifest(const std::filesystem::path& file) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadWholeFile(file, kMaxManifestSize);
  } catch (const ToolError& failure) {
    throw ToolError(PathText(file) + ": " + failure.what());
  }
  try {
    return Json::parse(bytes.begin(), bytes.end());
  } catch (const Json::parse_error& failure) {
    throw ToolError(PathText(file) + ": not valid JSON: " + failure.what());
  }
}

}  // namespace kelna::tool
