#pragma once
// Profile (INI) files such as CONTROL.INI, with the semantics of the Windows private-profile
// calls that the program relies on. The file is read once when the object is made; writes
// change the copy in memory, and Flush() replaces the file on disk atomically.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace kelna {

class ProfileFile {
 public:
  // Reads the file if it exists. A missing or unreadable file reads as empty; one that
  // exists but cannot be read is never replaced by Flush(), so that settings it may hold
  // are not lost.
  explicit ProfileFile(std::filesystem::path path);

  // The value of `key` in `section`, or `defaultValue` when the section or key is missing.
  // A key that is present with an empty value gives an empty text, not the default. At
  // most bufferSize - 1 bytes are returned, as through a buffer of that size (a double-byte
  // character that would be cut in two is dropped whole; a bufferSize of 0 gives ""). A
  // value enclosed in a matching pair of double or single quotes loses them. Section and
  // key names match without regard to ASCII case; when a section or a key appears twice,
  // the first one counts.
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view defaultValue, std::size_t bufferSize = 256) const;

  // The value's leading decimal number (optional sign, then digits; "120ms" is 120, "abc"
  // is 0), or `defaultValue` only when the key is missing.
  int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

  // Whether `section` holds `key` at all (with any value, an empty one too).
  bool Has(std::string_view section, std::string_view key) const;

  // Sets a key's value in memory. An existing key keeps its line, spelling and place;
  // a new key goes after the last key of its section; a new section goes at the end of the
  // file. CR and LF in the value become spaces, so that a value can never add lines.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  // Writes the file if anything changed: a temporary file beside it, every write checked,
  // then a rename over the old file (the folder is created when missing). When that fails
  // the previous file is left exactly as it was, and the status says why ("Cannot save
  // "path": reason", one line).
  Status Flush();

  const std::filesystem::path& Path() const { return path_; }
  // Why a file that exists was not read ("cannot read it", "larger than 16 MiB", ...): its
  // keys then read as missing. Ok when it was read, or is not there.
  const Status& ReadStatus() const { return readStatus_; }

  // The largest settings file read.
  static constexpr std::uintmax_t kMaxProfileSize = 16u << 20;

 private:
  void Load();
  void InsertLine(std::size_t index, std::string line);
  std::string Content() const;
  Status Fail(std::string_view reason) const;

  std::filesystem::path path_;
  std::vector<std::string> lines_;  // without line ends
  std::string lineEnd_ = "\r\n";    // the file's own line end, CR LF for a new file
  bool endsWithLineEnd_ = true;     // false when the file's last line has no line end
  Status readStatus_ = Status::Ok();  // failed: the file exists but could not be read; never replace it
  bool dirty_ = false;
};

// The folder that holds the user's settings: KELNA_CONFIG_DIR when set and not empty;
// otherwise %APPDATA%\Kelna on Windows, $XDG_CONFIG_HOME/kelna or ~/.config/kelna elsewhere.
std::filesystem::path SettingsDirectory();

// SettingsDirectory() / "CONTROL.INI".
std::filesystem::path ControlIniPath();

}  // namespace kelna
