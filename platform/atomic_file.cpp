#include "platform/atomic_file.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <system_error>

namespace kelna {
namespace {

// A name beside `target` that no other writer uses: the clock keeps processes apart, the
// counter keeps apart the writes of this one.
std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> writes{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path temporary = target;
  temporary += ".tmp" + std::to_string(ticks) + "-" + std::to_string(++writes);
  return temporary;
}

bool WriteWholeFile(const std::filesystem::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) return false;
  out.close();
  return !out.fail();
}

// System messages may end in a line break (Windows' do).
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

Status ReplaceFileContent(const std::filesystem::path& target, std::string_view content) {
  std::error_code error;
  const std::filesystem::path temporary = TemporaryPathBeside(target);
  if (!WriteWholeFile(temporary, content)) {
    std::filesystem::remove(temporary, error);
    return Status::Failure("cannot write a temporary file beside it");
  }
  std::filesystem::rename(temporary, target, error);
  if (error) {
    const std::string reason = OneLine(error.message());
    std::filesystem::remove(temporary, error);
    return Status::Failure("cannot replace it (" + reason + ")");
  }
  return Status::Ok();
}

}  // namespace kelna
