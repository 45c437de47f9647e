// Any bytes as a settings file: two keys are written (one of the saver's, one in a new
// section, with a line break in its value) and the file is saved and read again. The keys
// read back as written, every other key of the saver's section and of another section
// reads as before, and every line but the one rewritten is still there, in order.
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace {

constexpr std::array<const char*, 2> kSections = {"Screen Saver.Vesk", "other"};
constexpr std::array<const char*, 7> kKeys = {"IntervalTime", "BGImageFile",   "BGMusicFile",  "BGImageMode",
                                              "BGMusicRepeat", "WaveSound", "AnimationFile"};

std::vector<std::string> Values(const kelna::ProfileFile& profile) {
  std::vector<std::string> values;
  for (const char* section : kSections)
    for (const char* key : kKeys) values.push_back(profile.GetString(section, key, "\x01missing", 4096));
  return values;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("kelna-fuzz-profile-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "CONTROL.INI";
  const std::string original(reinterpret_cast<const char*>(data), size);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << original;

  const std::size_t written = size == 0 ? 0 : data[0] % kKeys.size();
  std::vector<std::string> expected;
  {
    kelna::ProfileFile profile(file);
    expected = Values(profile);
    profile.WriteString(kSections[0], kKeys[written], "v" + std::to_string(size));
    profile.WriteString("new section", "key", "a\r\nb");
    Check(profile.Flush().ok());
  }
  expected[written] = "v" + std::to_string(size);
  const kelna::ProfileFile again(file);
  Check(Values(again) == expected);
  Check(again.GetString("new section", "key", "") == "a  b");

  // The old lines in order; at most one of them (the written key's) replaced.
  const std::vector<std::string> before = Lines(original);
  std::ifstream saved(file, std::ios::binary);
  const std::vector<std::string> after = Lines(std::string(std::istreambuf_iterator<char>(saved), {}));
  std::size_t next = 0, missing = 0;
  for (const std::string& line : before) {
    std::size_t at = next;
    while (at < after.size() && after[at] != line) ++at;
    if (at == after.size()) {
      ++missing;
      continue;
    }
    next = at + 1;
  }
  Check(missing <= 1);
  fs::remove_all(folder);
  return 0;
}
