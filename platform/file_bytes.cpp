#include "platform/file_bytes.h"

#include <fstream>
#include <string>
#include <system_error>

namespace kelna {

namespace fs = std::filesystem;

Status CanOpen(const fs::path& file) {
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (!fs::exists(status)) return Status::Failure("no such file");
  if (fs::is_directory(status)) return Status::Failure("is a folder, not a file");
  if (!std::ifstream(file, std::ios::binary)) return Status::Failure("cannot open it");
  return Status::Ok();
}

Result<std::uintmax_t> ReadableFileSize(const fs::path& file, std::uintmax_t limit) {
  if (Status opens = CanOpen(file); !opens) return opens;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(file, error);
  if (error) return Status::Failure("cannot tell its size");
  if (size > limit) return Status::Failure("larger than " + std::to_string(limit >> 20) + " MiB");
  return size;
}

Result<std::vector<std::uint8_t>> ReadWholeFile(const fs::path& file, std::uintmax_t limit) {
  const Result<std::uintmax_t> size = ReadableFileSize(file, limit);
  if (!size) return size.status();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(*size));
  std::ifstream in(file, std::ios::binary);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in || in.gcount() != static_cast<std::streamsize>(bytes.size())) return Status::Failure("cannot read it");
  return bytes;
}

}  // namespace kelna
