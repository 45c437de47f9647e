#include "platform/binary_io.h"

#include <algorithm>
#include <istream>
#include <limits>
#include <ostream>
#include <vector>

namespace kelna {

std::optional<std::uint16_t> ReadLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 2) return std::nullopt;
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::optional<std::uint32_t> ReadLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return std::nullopt;
  return bytes[offset] | std::uint32_t{bytes[offset + 1]} << 8 | std::uint32_t{bytes[offset + 2]} << 16 |
         std::uint32_t{bytes[offset + 3]} << 24;
}

void WriteLe16(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t value) {
  out[offset] = static_cast<std::uint8_t>(value);
  out[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteLe32(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t value) {
  WriteLe16(out, offset, value);
  WriteLe16(out, offset + 2, value >> 16);
}

bool BinaryReader::Bytes(std::span<char> out) {
  if (!failed_) {
    is_.read(out.data(), static_cast<std::streamsize>(out.size()));
    failed_ = !is_ || static_cast<std::size_t>(is_.gcount()) != out.size();
  }
  if (failed_) std::fill(out.begin(), out.end(), '\0');
  return !failed_;
}

bool BinaryReader::Bytes(std::span<std::uint8_t> out) {
  return Bytes(std::span<char>(reinterpret_cast<char*>(out.data()), out.size()));
}

std::uint8_t BinaryReader::U8() {
  std::uint8_t value[1];
  Bytes(value);
  return value[0];
}

std::uint16_t BinaryReader::U16() {
  std::uint8_t b[2];
  Bytes(b);
  return *ReadLe16(b, 0);
}

std::uint32_t BinaryReader::U32() {
  std::uint8_t b[4];
  Bytes(b);
  return *ReadLe32(b, 0);
}

std::uint64_t BinaryReader::Remaining() const {
  if (failed_ || !is_) return 0;
  const std::streampos here = is_.tellg();
  if (here == std::streampos(-1)) return std::numeric_limits<std::uint64_t>::max();
  is_.seekg(0, std::ios::end);
  const std::streampos end = is_.tellg();
  is_.seekg(here);
  return end > here ? static_cast<std::uint64_t>(end - here) : 0;
}

void BinaryWriter::Bytes(std::span<const char> bytes) {
  os_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void BinaryWriter::Bytes(std::span<const std::uint8_t> bytes) {
  Bytes(std::span<const char>(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void BinaryWriter::U8(std::uint8_t value) { Bytes(std::span<const std::uint8_t>(&value, 1)); }

void BinaryWriter::U16(std::uint16_t value) {
  std::uint8_t b[2];
  WriteLe16(b, 0, value);
  Bytes(b);
}

void BinaryWriter::U32(std::uint32_t value) {
  std::uint8_t b[4];
  WriteLe32(b, 0, value);
  Bytes(b);
}

void BinaryWriter::FixedText(std::string_view text, std::size_t size, std::size_t limit) {
  std::vector<char> field(size, '\0');
  text = text.substr(0, std::min({text.find('\0'), limit, size}));
  std::copy(text.begin(), text.end(), field.begin());
  Bytes(std::span<const char>(field));
}

bool BinaryWriter::Ok() const { return static_cast<bool>(os_); }

std::span<const std::uint8_t> SpanReader::Take(std::size_t size) {
  if (failed_ || bytes_.size() - at_ < size) {
    failed_ = true;
    return {};
  }
  const auto taken = bytes_.subspan(at_, size);
  at_ += size;
  return taken;
}

std::uint16_t SpanReader::U16() { return ReadLe16(Take(2), 0).value_or(0); }

std::uint32_t SpanReader::U32() { return ReadLe32(Take(4), 0).value_or(0); }

std::string_view SpanReader::Text(std::size_t size) {
  const auto b = Take(size);
  return FieldText(std::span<const char>(reinterpret_cast<const char*>(b.data()), b.size()));
}

void SpanReader::Skip(std::size_t size) { Take(size); }

std::string_view FieldText(std::span<const char> field) {
  const auto end = std::find(field.begin(), field.end(), '\0');
  return {field.data(), static_cast<std::size_t>(end - field.begin())};
}

}  // namespace kelna
