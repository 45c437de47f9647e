// Any bytes as a settings file: two keys are written (one of the saver's, one in a new
// section, with a line break in its value) and the file is saved and read again. The keys
// read back as written, every other key of the saver's section and of another section
// reads as before, and every line but the one rewritten is still there, in order.
#include <unistd.h>

#include <algorithm>
#include <array>
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

// Whether `before`, less at most one of its lines, is a subsequence of `after`. Matching
// greedily from the front gives, for each prefix of `before`, the earliest place in
// `after` where it can end; from the back, for each suffix, the latest where it can start.
bool KeptInOrder(const std::vector<std::string>& before, const std::vector<std::string>& after) {
  const std::size_t n = before.size();
  constexpr std::ptrdiff_t kNowhere = -1;
  std::vector<std::ptrdiff_t> prefixEnd(n + 1, kNowhere), suffixStart(n + 1, kNowhere);
  prefixEnd[0] = 0;
  for (std::size_t i = 0; i < n && prefixEnd[i] != kNowhere; ++i) {
    auto at = std::find(after.begin() + prefixEnd[i], after.end(), before[i]);
    if (at != after.end()) prefixEnd[i + 1] = (at - after.begin()) + 1;
  }
  if (prefixEnd[n] != kNowhere) return true;
  suffixStart[n] = std::ptrdiff_t(after.size());
  for (std::size_t i = n; i-- > 0 && suffixStart[i + 1] != kNowhere;) {
    for (std::ptrdiff_t j = suffixStart[i + 1] - 1; j >= 0; --j) {
      if (after[std::size_t(j)] != before[i]) continue;
      suffixStart[i] = j;
      break;
    }
  }
  for (std::size_t dropped = 0; dropped < n; ++dropped) {
    if (prefixEnd[dropped] != kNowhere && suffixStart[dropped + 1] != kNowhere &&
        prefixEnd[dropped] <= suffixStart[dropped + 1])
      return true;
  }
  return false;
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

  // The old lines in order, except at most one (the written key's, rewritten).
  std::ifstream saved(file, std::ios::binary);
  const std::vector<std::string> after = Lines(std::string(std::istreambuf_iterator<char>(saved), {}));
  Check(KeptInOrder(Lines(original), after), "every line but the rewritten one is kept");
  fs::remove_all(folder);
  return 0;
}
