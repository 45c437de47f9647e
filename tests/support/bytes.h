#pragma once
// Test support: little-endian bytes and whole files, built and read back.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace kelna::test {

using Bytes = std::vector<std::uint8_t>;

// Appends `value` as `size` little-endian bytes to Bytes or to a std::string.
template <class Out>
void Put(Out& out, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(typename Out::value_type(value >> (8 * i)));
}

// Overwrites `size` bytes at `at` with `value`, little-endian.
inline void PutAt(Bytes& bytes, std::size_t at, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

inline std::string Le(std::uint64_t value, int size) {
  std::string out;
  Put(out, value, size);
  return out;
}

// A whole file, as text or as bytes; empty when it cannot be read.
inline std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline Bytes FileBytes(const std::filesystem::path& file) {
  const std::string text = Contents(file);
  return {text.begin(), text.end()};
}

// Writes a whole file; false when that failed.
inline bool WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

}  // namespace kelna::test
