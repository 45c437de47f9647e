#include "platform/profile.h"

#include <optional>
#include <system_error>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/file_bytes.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace kelna {
namespace {

// Lines are Shift-JIS text, whose second bytes run from 0x40 up. White space, ';', '=' and
// the quotes lie below that, so they can never be half of a character; '[' is looked for
// only at the start of a line; ']' can be a second byte, so its search walks characters.

constexpr std::string_view kWhiteSpace = " \t\v\f\r\n";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kWhiteSpace);
  return text.substr(first, last - first + 1);
}

char FoldAsciiCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Section and key names compare like Windows compares them: ASCII letters without regard
// to case, double-byte characters exactly (their second byte may look like a letter).
bool NamesMatch(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t size = Cp932CharacterLength(a, i);
    if (size == 2) {
      if (a.substr(i, 2) != b.substr(i, 2)) return false;
    } else if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) {
      return false;
    }
    i += size;
  }
  return true;
}

// The position of the last ']' that is a character of its own, or npos.
std::size_t FindLastClosingBracket(std::string_view text) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i += Cp932CharacterLength(text, i)) {
    if (text[i] == ']') found = i;
  }
  return found;
}

enum class LineKind { kOther, kSection, kKey };  // kOther: blank lines, comments, anything else

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;   // the section or the key, trimmed
  std::string_view value;  // a key's value, trimmed
};

ParsedLine ParseLine(std::string_view line) {
  const std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';') return {};
  if (text.front() == '[') {
    const std::size_t close = FindLastClosingBracket(text);
    if (close == std::string_view::npos) return {};
    return {LineKind::kSection, Trim(text.substr(1, close - 1)), {}};
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  return {LineKind::kKey, Trim(text.substr(0, equals)), Trim(text.substr(equals + 1))};
}

// The lines of a section: its header line, and the line after its last line.
struct SectionLines {
  std::size_t header;
  std::size_t end;
};

// The first section of that name. Keys that come before any section belong to none.
std::optional<SectionLines> FindSection(const std::vector<std::string>& lines,
                                        std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine header = ParseLine(lines[i]);
    if (header.kind != LineKind::kSection || !NamesMatch(header.name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && ParseLine(lines[end]).kind != LineKind::kSection) ++end;
    return SectionLines{i, end};
  }
  return std::nullopt;
}

// The line of the first key of that name in the section.
std::optional<std::size_t> FindKey(const std::vector<std::string>& lines,
                                   const SectionLines& section, std::string_view key) {
  for (std::size_t i = section.header + 1; i < section.end; ++i) {
    const ParsedLine line = ParseLine(lines[i]);
    if (line.kind == LineKind::kKey && NamesMatch(line.name, key)) return i;
  }
  return std::nullopt;
}

// The line after the section's last key, or after its header when it has none, so that a
// new key goes before the blank lines and comments that end the section.
std::size_t NewKeyLine(const std::vector<std::string>& lines, const SectionLines& section) {
  std::size_t after = section.header + 1;
  for (std::size_t i = after; i < section.end; ++i) {
    if (ParseLine(lines[i]).kind == LineKind::kKey) after = i + 1;
  }
  return after;
}

std::optional<std::string_view> FindValue(const std::vector<std::string>& lines,
                                          std::string_view section, std::string_view key) {
  const std::optional<SectionLines> found = FindSection(lines, section);
  if (!found) return std::nullopt;
  const std::optional<std::size_t> line = FindKey(lines, *found, key);
  if (!line) return std::nullopt;
  return ParseLine(lines[*line]).value;
}

// Windows drops a matching pair of double or single quotes around a value.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// A value is written on one line; a CR or LF in it would end that line and let the rest
// of the value become lines of its own (a section header or another key, say).
std::string OnOneLine(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

// System messages may end in a line break (Windows' do); our messages are one line.
std::string MessageOf(const std::error_code& error) {
  return std::string(Trim(OnOneLine(error.message())));
}

}  // namespace

ProfileFile::ProfileFile(std::filesystem::path path) : path_(std::move(path)) { Load(); }

void ProfileFile::Load() {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path_, error);
  if (status.type() == std::filesystem::file_type::not_found) return;
  if (error || std::filesystem::is_directory(status)) {
    readStatus_ = Status::Failure(error ? MessageOf(error) : "is a folder, not a file");
    return;
  }
  const Result<std::vector<std::uint8_t>> bytes = ReadWholeFile(path_, kMaxProfileSize);
  if (!bytes) {
    readStatus_ = bytes.status();
    return;
  }
  const std::string content(bytes->begin(), bytes->end());

  const std::size_t firstLineEnd = content.find('\n');
  if (firstLineEnd != std::string::npos) {
    lineEnd_ = (firstLineEnd > 0 && content[firstLineEnd - 1] == '\r') ? "\r\n" : "\n";
  }
  // Both CR LF and LF end a line. A file in mixed styles is written back in the style of
  // its first line end.
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t end = content.find('\n', start);
    if (end == std::string::npos) {
      lines_.push_back(content.substr(start));
      endsWithLineEnd_ = false;
      break;
    }
    std::size_t lineSize = end - start;
    if (lineSize > 0 && content[end - 1] == '\r') --lineSize;
    lines_.push_back(content.substr(start, lineSize));
    start = end + 1;
  }
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue, std::size_t bufferSize) const {
  const std::optional<std::string_view> value = FindValue(lines_, section, key);
  return std::string(FitInBuffer(value ? Unquote(*value) : defaultValue, bufferSize));
}

int ProfileFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
  const std::optional<std::string_view> value = FindValue(lines_, section, key);
  if (!value) return defaultValue;
  return static_cast<int>(AsciiToLong(Unquote(*value)));
}

bool ProfileFile::Has(std::string_view section, std::string_view key) const {
  return FindValue(lines_, section, key).has_value();
}

void ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  const std::string newValue = OnOneLine(value);
  const std::optional<SectionLines> found = FindSection(lines_, section);
  if (!found) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) InsertLine(lines_.size(), "");
    InsertLine(lines_.size(), std::string("[").append(section).append("]"));
    InsertLine(lines_.size(), std::string(key) + "=" + newValue);
    return;
  }
  const std::optional<std::size_t> keyLine = FindKey(lines_, *found, key);
  if (!keyLine) {
    InsertLine(NewKeyLine(lines_, *found), std::string(key) + "=" + newValue);
    return;
  }
  const ParsedLine current = ParseLine(lines_[*keyLine]);
  if (current.value == newValue) return;
  lines_[*keyLine] = std::string(current.name) + "=" + newValue;
  dirty_ = true;
}

void ProfileFile::InsertLine(std::size_t index, std::string line) {
  // A line added at the end gets a line end, and so does the line before it.
  if (index == lines_.size()) endsWithLineEnd_ = true;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
  dirty_ = true;
}

std::string ProfileFile::Content() const {
  std::string content;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    content += lines_[i];
    if (i + 1 < lines_.size() || endsWithLineEnd_) content += lineEnd_;
  }
  return content;
}

Status ProfileFile::Flush() {
  if (!dirty_) return Status::Ok();
  if (!readStatus_) return Fail("it exists but could not be read, so it is left as it is");

  std::error_code error;
  const std::filesystem::path folder = path_.parent_path();
  if (!folder.empty()) {
    std::filesystem::create_directories(folder, error);
    if (error) return Fail("cannot create its folder (" + MessageOf(error) + ")");
  }

  if (const Status replaced = ReplaceFileContent(path_, Content()); !replaced)
    return Fail(replaced.message());
  dirty_ = false;
  return Status::Ok();
}

Status ProfileFile::Fail(std::string_view reason) const {
  return Status::Failure("Cannot save " + QuotedPath(path_) + ": " + std::string(reason));
}

}  // namespace kelna
