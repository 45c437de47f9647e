#include "linux/file_watch.h"

#include <sys/stat.h>

namespace kelna {

FileStamp StampOf(const std::filesystem::path& file) {
  struct stat status {};
  if (stat(file.c_str(), &status) != 0) return {};
  return {true, status.st_size, status.st_mtim, status.st_dev, status.st_ino};
}

FileWatch::FileWatch(std::vector<std::filesystem::path> files) : files_(std::move(files)) {
  for (const auto& file : files_) seen_.push_back(StampOf(file));
}

bool FileWatch::Look() {
  bool changed = false;
  for (std::size_t i = 0; i < files_.size(); ++i) {
    const FileStamp now = StampOf(files_[i]);
    changed = changed || !(now == seen_[i]);
    seen_[i] = now;
  }
  return changed;
}

}  // namespace kelna
