#pragma once
// Test support: a fresh folder per test, removed with everything in it afterwards.

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

namespace kelna::test {

namespace fs = std::filesystem;

class TemporaryFolder {
 public:
  TemporaryFolder() {
    static int made = 0;
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            ("kelna-test-" + std::to_string(ticks) + "-" + std::to_string(++made));
    fs::create_directories(path_);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  fs::path operator/(const fs::path& name) const { return path_ / name; }
  const fs::path& Path() const { return path_; }

  // The names in the folder, to see that nothing was left behind.
  std::set<fs::path> Names() const {
    std::set<fs::path> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(path_)) {
      names.insert(entry.path().filename());
    }
    return names;
  }

 private:
  fs::path path_;
};

}  // namespace kelna::test
