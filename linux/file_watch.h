#pragma once
// Watching the files a scene is made of (--watch): each look at them compares what stat
// says of every file (there or not, size, modification time, inode) with the look before,
// so that a file written again in place and one replaced by a rename are both seen.

#include <ctime>
#include <filesystem>
#include <vector>

#include <sys/types.h>

namespace kelna {

struct FileStamp {
  bool exists = false;
  off_t size = 0;
  std::timespec modified{};
  dev_t device = 0;
  ino_t inode = 0;
  friend bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.exists == b.exists && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec && a.device == b.device && a.inode == b.inode;
  }
};

FileStamp StampOf(const std::filesystem::path& file);

class FileWatch {
 public:
  FileWatch() = default;
  // Starts from the files as they are now.
  explicit FileWatch(std::vector<std::filesystem::path> files);

  // Whether any file changed since the look before.
  bool Look();

 private:
  std::vector<std::filesystem::path> files_;
  std::vector<FileStamp> seen_;
};

}  // namespace kelna
