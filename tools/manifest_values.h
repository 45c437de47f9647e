#pragma once
// Reading the values of pack's JSON manifests: each check names the entry at fault, so a
// failure reads "WHERE: WHY" on one line.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <span>
#include <string>

namespace kelna::tool {

using Json = nlohmann::ordered_json;
using KeySet = std::set<std::string, std::less<>>;

// Throws ToolError "WHERE: WHY".
[[noreturn]] void Fail(const std::string& where, const std::string& why);
std::string Quoted(const std::string& text);

// The value must be an object holding no key but the known ones.
void CheckKeys(const Json& value, const KeySet& known, const std::string& where);
// An integer in min ... max.
std::int64_t Integer(const Json& value, std::int64_t min, std::int64_t max, const std::string& where);
// Text for a code page 932 field of at most `limit` bytes, converted from UTF-8.
std::string Cp932Text(const Json& value, std::size_t limit, const std::string& where);
// An array of at most `limit` entries.
const Json& Array(const Json& value, std::size_t limit, const std::string& where);

// The manifest file parsed; ToolError "FILE: why" when it cannot be read or is not JSON.
Json ParseManifest(const std::filesystem::path& file);
// The same for bytes in memory: ToolError "not valid JSON: why".
Json ManifestFromBytes(std::span<const std::uint8_t> bytes);

}  // namespace kelna::tool
