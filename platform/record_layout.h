#pragma once
// A fixed-size file record described once: its fields in file order, each with its name,
// its width in bytes and the member it belongs to. Reading, writing, copying and kelna-tool's
// JSON all walk the one description, so a field's place, width and name cannot drift apart
// between them. Offsets follow from the widths.

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/binary_io.h"
#include "platform/member_of.h"

namespace kelna {

enum class FieldKind {
  Tag,      // fixed bytes that open the record; no member
  Integer,  // little-endian, `width` bytes; read sign-extended when the member is signed
  Derived,  // an integer written from the record's other state; the reader uses it apart
  Text,     // fixed-size text: read up to its first NUL within `readLimit` bytes; written
            // with at most `writeLimit` bytes, the rest of the field 0
};

template <class Record>
struct RecordField {
  std::string_view name;
  FieldKind kind;
  std::size_t width;
  std::string_view tag = {};  // Tag: its bytes
  std::size_t writeLimit = 0;  // Text: the most bytes written, and read
  std::size_t readLimit = 0;
  std::int64_t min = 0;       // Integer: the member's range
  std::int64_t max = 0;
  std::int64_t (*get)(const Record&) = nullptr;
  void (*set)(Record&, std::int64_t) = nullptr;
  std::string_view (*text)(const Record&) = nullptr;
  void (*setText)(Record&, std::string_view) = nullptr;
  void (*copy)(Record&, const Record&) = nullptr;
};

// A text member as its field's bytes, and a text stored into a text member.
inline std::string_view FieldView(const std::string& text) { return text; }
template <std::size_t N>
std::string_view FieldView(const std::array<char, N>& text) {
  return {text.data(), N};
}
inline void AssignFieldText(std::string& field, std::string_view text) { field = text; }
// An array keeps a NUL at its end, so a text that fills the field loses its last byte.
template <std::size_t N>
void AssignFieldText(std::array<char, N>& field, std::string_view text) {
  field.fill('\0');
  text = text.substr(0, std::min(text.find('\0'), N - 1));
  std::copy(text.begin(), text.end(), field.begin());
}

template <class Record>
constexpr RecordField<Record> TagField(std::string_view bytes) {
  return {.name = "tag", .kind = FieldKind::Tag, .width = bytes.size(), .tag = bytes};
}

template <auto Member>
constexpr auto IntegerField(std::string_view name, std::size_t width) {
  using Record = typename MemberOf<decltype(Member)>::Class;
  using Value = typename MemberOf<decltype(Member)>::Type;
  static_assert(std::is_integral_v<Value>);
  return RecordField<Record>{
      .name = name,
      .kind = FieldKind::Integer,
      .width = width,
      .min = std::numeric_limits<Value>::min(),
      .max = std::numeric_limits<Value>::max(),
      .get = [](const Record& record) -> std::int64_t { return record.*Member; },
      .set = [](Record& record, std::int64_t value) { record.*Member = static_cast<Value>(value); },
      .copy = [](Record& to, const Record& from) { to.*Member = from.*Member; }};
}

template <class Record>
constexpr RecordField<Record> DerivedField(std::string_view name, std::size_t width,
                                           std::int64_t (*get)(const Record&)) {
  return {.name = name, .kind = FieldKind::Derived, .width = width, .get = get};
}

// A text field. By default its writer keeps the last two bytes 0 (a double-byte character
// never loses its second byte to the NUL) and its reader reads the whole field; a field
// whose writer keeps one byte for the NUL is read the same way, so that a text without its
// NUL ends where a writer would have put one and survives being written back.
template <auto Member>
constexpr auto TextField(std::string_view name, std::size_t width, std::size_t writeLimit,
                         std::size_t readLimit) {
  using Record = typename MemberOf<decltype(Member)>::Class;
  return RecordField<Record>{
      .name = name,
      .kind = FieldKind::Text,
      .width = width,
      .writeLimit = writeLimit,
      .readLimit = readLimit,
      .text = [](const Record& record) { return FieldView(record.*Member); },
      .setText = [](Record& record, std::string_view text) { AssignFieldText(record.*Member, text); },
      .copy = [](Record& to, const Record& from) { to.*Member = from.*Member; }};
}
template <auto Member>
constexpr auto TextField(std::string_view name, std::size_t width) {
  return TextField<Member>(name, width, width - 2, width);
}

// --- Walking a description ---

template <class Field, std::size_t N>
constexpr std::size_t RecordSize(const std::array<Field, N>& fields) {
  std::size_t size = 0;
  for (const auto& field : fields) size += field.width;
  return size;
}

// The offset of the named field; the record's size when there is none.
template <class Field, std::size_t N>
constexpr std::size_t FieldOffset(const std::array<Field, N>& fields, std::string_view name) {
  std::size_t offset = 0;
  for (const auto& field : fields) {
    if (field.name == name) return offset;
    offset += field.width;
  }
  return offset;
}

// Whether the bytes open with every tag of the description, each at its offset.
template <class Field, std::size_t N>
bool HasTags(const std::array<Field, N>& fields, std::span<const char> bytes) {
  std::size_t offset = 0;
  for (const auto& field : fields) {
    if (field.kind == FieldKind::Tag &&
        (bytes.size() < offset + field.width ||
         std::string_view(bytes.data() + offset, field.width) != field.tag))
      return false;
    offset += field.width;
  }
  return true;
}

// Fills the members from a whole record's bytes; tags and derived fields are left to the caller.
template <class Record, std::size_t N>
void ReadFields(const std::array<RecordField<Record>, N>& fields, Record& record, std::span<const char> bytes) {
  SpanReader in(bytes);
  for (const auto& field : fields) {
    if (field.kind == FieldKind::Text) {
      field.setText(record, in.Text(field.width).substr(0, field.readLimit));
    } else if (field.kind == FieldKind::Integer) {
      const bool isSigned = field.min < 0;
      const std::int64_t value = field.width == 2 ? (isSigned ? std::int64_t(in.I16()) : in.U16())
                                                  : (isSigned ? std::int64_t(in.I32()) : in.U32());
      field.set(record, value);
    } else {
      in.Skip(field.width);
    }
  }
}

// Writes the whole record: an integer as its low `width` bytes.
template <class Record, std::size_t N>
void WriteFields(const std::array<RecordField<Record>, N>& fields, const Record& record, BinaryWriter& out) {
  for (const auto& field : fields) {
    if (field.kind == FieldKind::Tag) {
      out.Bytes(std::span<const char>(field.tag));
    } else if (field.kind == FieldKind::Text) {
      out.FixedText(field.text(record), field.width, field.writeLimit);
    } else if (field.width == 2) {
      out.U16(static_cast<std::uint16_t>(field.get(record)));
    } else {
      out.U32(static_cast<std::uint32_t>(field.get(record)));
    }
  }
}

// Copies every member the description names.
template <class Record, std::size_t N>
void CopyFields(const std::array<RecordField<Record>, N>& fields, Record& to, const Record& from) {
  for (const auto& field : fields)
    if (field.copy) field.copy(to, from);
}

}  // namespace kelna
