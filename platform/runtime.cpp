#include "platform/runtime.h"

#include <cstdint>

#include "platform/text.h"

namespace kelna {
namespace {

bool IsAtolSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::size_t DriveLength(std::string_view path) {
  return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':' ? 2 : 0;
}

// Where the extension starts in a file name (name.size() when there is none). "." and ".."
// are names, not extensions. A dot is never the second byte of a double-byte character, so
// plain search finds it.
std::size_t ExtensionStart(std::string_view name) {
  if (name == "." || name == "..") return name.size();
  const std::size_t lastDot = name.rfind('.');
  return lastDot == std::string_view::npos ? name.size() : lastDot;
}

}  // namespace

long AsciiToLong(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsAtolSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  // Unsigned arithmetic wraps where signed overflow would be undefined.
  std::uint32_t magnitude = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    magnitude = magnitude * 10u + static_cast<std::uint32_t>(text[at] - '0');
  }
  const std::uint32_t value = negative ? 0u - magnitude : magnitude;
  return static_cast<std::int32_t>(value);
}

std::string IntToDecimal(int value) { return std::to_string(value); }

// The file part is what follows the last separator. In it the last dot starts the
// extension, so ".profile" is all extension and "a." has the extension "."; only "." and
// ".." as a whole are names. A trail byte of a double-byte character is never a separator
// or a dot.
PathParts SplitPath(std::string_view path) {
  const std::size_t driveLength = DriveLength(path);
  std::size_t fileStart = driveLength;
  for (std::size_t at = driveLength; at < path.size(); at += Cp932CharacterLength(path, at)) {
    if (IsSeparator(path[at])) fileStart = at + 1;
  }
  const std::string_view file = path.substr(fileStart);
  const std::size_t extensionStart = ExtensionStart(file);
  return PathParts{
      .drive = std::string(path.substr(0, driveLength)),
      .directory = std::string(path.substr(driveLength, fileStart - driveLength)),
      .name = std::string(file.substr(0, extensionStart)),
      .extension = std::string(file.substr(extensionStart)),
  };
}

}  // namespace kelna
