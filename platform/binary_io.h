#pragma once
// Little-endian fields and 16-bit arithmetic, in one place: fields at an offset of bytes in
// memory, and records on binary streams.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string_view>

namespace kelna {

// The low 16 bits as a signed value: it wraps around, it never saturates. The argument is
// wide enough for the difference of two 32-bit values.
constexpr std::int16_t Low16(std::int64_t value) { return static_cast<std::int16_t>(value); }

// The value at `offset`, or nothing when it would pass the end.
std::optional<std::uint16_t> ReadLe16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::optional<std::uint32_t> ReadLe32(std::span<const std::uint8_t> bytes, std::size_t offset);
// The caller makes room: `out` holds the field.
void WriteLe16(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t value);
void WriteLe32(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t value);

// The stream reader keeps a sticky failure: after the first short read every value reads as
// zero, so a caller checks once, after a record, instead of after every field. It also says
// how many bytes the stream still holds, so that counts and sizes can be checked before
// anything is allocated for them.
class BinaryReader {
 public:
  explicit BinaryReader(std::istream& is) : is_(is) {}

  std::uint8_t U8();
  std::uint16_t U16();
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  std::uint32_t U32();
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  // Fills `out` completely, or zero-fills it and fails.
  bool Bytes(std::span<std::uint8_t> out);
  bool Bytes(std::span<char> out);
  // Bytes from the current position to the end of the stream; a failed stream holds none,
  // one that cannot tell (not seekable) reports the most it could hold.
  std::uint64_t Remaining() const;
  bool Ok() const { return !failed_; }
  void Fail() { failed_ = true; }

 private:
  std::istream& is_;
  bool failed_ = false;
};

class BinaryWriter {
 public:
  explicit BinaryWriter(std::ostream& os) : os_(os) {}

  void U8(std::uint8_t value);
  void U16(std::uint16_t value);
  void I16(std::int16_t value) { U16(static_cast<std::uint16_t>(value)); }
  void U32(std::uint32_t value);
  void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
  void Bytes(std::span<const std::uint8_t> bytes);
  void Bytes(std::span<const char> bytes);
  // `size` bytes: the text's bytes up to its first NUL, cut to `limit` bytes, then zeros.
  void FixedText(std::string_view text, std::size_t size, std::size_t limit);
  bool Ok() const;

 private:
  std::ostream& os_;
};

// The same over bytes already in memory (a fixed-size record read whole).
class SpanReader {
 public:
  explicit SpanReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  explicit SpanReader(std::span<const char> bytes)
      : bytes_(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) {}

  std::uint16_t U16();
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  std::uint32_t U32();
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  // The next `size` bytes as a fixed-size text field (see FieldText).
  std::string_view Text(std::size_t size);
  void Skip(std::size_t size);
  bool Ok() const { return !failed_; }

 private:
  std::span<const std::uint8_t> Take(std::size_t size);
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool failed_ = false;
};

// The text in a fixed-size field: up to its first NUL, or the whole field when it has none.
std::string_view FieldText(std::span<const char> field);

}  // namespace kelna
