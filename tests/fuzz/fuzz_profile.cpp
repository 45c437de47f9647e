// Any bytes as a settings file: two keys are written (one of the saver's, one in a new
// section, with a line break in its value) and the file is saved and read again. The keys
// read back as written, every other key of the saver's section and of another section
// reads as before, and every line but those rewritten is still there, in order.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
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
    // A file of mixed line ends is written in the style of its first: lines compare
    // without the CRs that end them.
    while (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Whether `before`, less at most `dropped` of its lines, is a subsequence of `after`.
// reach[d] is the earliest place in `after` where the lines so far can end with d of them
// dropped: matching a line as early as it can be matched never leaves less room for the rest.
bool KeptInOrder(const std::vector<std::string>& before, const std::vector<std::string>& after,
                 std::size_t dropped) {
  constexpr std::size_t kNowhere = SIZE_MAX;
  std::vector<std::size_t> reach(dropped + 1, kNowhere);
  reach[0] = 0;
  for (const std::string& line : before) {
    for (std::size_t d = dropped + 1; d-- > 0;) {  // downwards: reach[d - 1] is still the old one
      std::size_t matched = kNowhere;
      if (reach[d] != kNowhere) {
        const auto at = std::find(after.begin() + std::ptrdiff_t(reach[d]), after.end(), line);
        if (at != after.end()) matched = std::size_t(at - after.begin()) + 1;
      }
      reach[d] = std::min(matched, d > 0 ? reach[d - 1] : kNowhere);
    }
  }
  return std::ranges::any_of(reach, [](std::size_t end) { return end != kNowhere; });
}

// Ends the run with the check that failed.
void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_profile: %s\n", what);
  std::abort();
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
    Check(profile.Flush().ok(), "the file is saved");
  }
  expected[written] = "v" + std::to_string(size);
  const kelna::ProfileFile again(file);
  Check(Values(again) == expected, "every key reads as written or as before");
  Check(again.GetString("new section", "key", "") == "a  b", "the new section's key reads as written");

  // The old lines in order, except the written keys' (the file may hold a "new section"
  // with a "key" already, so there can be two).
  std::ifstream saved(file, std::ios::binary);
  const std::vector<std::string> after = Lines(std::string(std::istreambuf_iterator<char>(saved), {}));
  Check(KeptInOrder(Lines(original), after, 2), "every line but the rewritten ones is kept");
  fs::remove_all(folder);
  return 0;
}
