#include "tools/manifest_values.h"

#include <vector>

#include "platform/text.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

constexpr std::uintmax_t kMaxManifestSize = 64u << 20;

// A value as a message shows it: JSON text, bytes that are no UTF-8 replaced (a manifest from
// CBOR or built in code can hold them), cut after 40 bytes so a long string stays one short
// line. A list or object shows as [...] or {...}: written out, one nested a hundred thousand
// deep would take the writer's recursion past the stack.
std::string Shown(const Json& value) {
  constexpr std::size_t kShownLimit = 40;
  if (value.is_array()) return "[...]";
  if (value.is_object()) return "{...}";
  std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() <= kShownLimit) return text;
  std::size_t cut = kShownLimit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // whole characters
  return text.substr(0, cut) + "...";
}

}  // namespace

void Fail(const std::string& where, const std::string& why) { throw ToolError(where + ": " + why); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void CheckKeys(const Json& value, const KeySet& known, const std::string& where) {
  if (!value.is_object()) Fail(where, "must be a JSON object");
  for (const auto& [key, ignored] : value.items())
    if (!known.contains(key)) Fail(where, "unknown key " + Quoted(key));
}

std::int64_t Integer(const Json& value, std::int64_t min, std::int64_t max, const std::string& where) {
  if (!value.is_number_integer()) Fail(where, Shown(value) + " is not an integer");
  const bool fits = value.is_number_unsigned()
                        ? value.get<std::uint64_t>() <= std::uint64_t(max) &&
                              (min <= 0 || value.get<std::uint64_t>() >= std::uint64_t(min))
                        : value.get<std::int64_t>() >= min && value.get<std::int64_t>() <= max;
  if (!fits)
    Fail(where, Shown(value) + " is outside " + std::to_string(min) + " ... " + std::to_string(max));
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
    return ManifestFromBytes(bytes);
  } catch (const ToolError& failure) {
    throw ToolError(PathText(file) + ": " + failure.what());
  }
}

Json ManifestFromBytes(std::span<const std::uint8_t> bytes) {
  try {
    return Json::parse(bytes.begin(), bytes.end());
  } catch (const Json::exception& failure) {  // a syntax error, or a number too large (out_of_range)
    throw ToolError(std::string("not valid JSON: ") + failure.what());
  }
}

}  // namespace kelna::tool
