#pragma once
// Test support: animation (.anm) and object (.foe) files as bytes: the header written through
// its description (engine/file_headers.h; tests/engine's RecordLayout test pins its layout)
// with the magic spelled out here, then the caller's records, whatever the count says.

#include <cstdint>
#include <sstream>
#include <string>

#include "engine/file_headers.h"

namespace kelna::test {

template <class Header, std::size_t N>
std::string HeaderThen(const std::array<RecordField<Header>, N>& fields, const Header& header,
                       const std::string& records) {
  std::ostringstream os(std::ios::binary);
  BinaryWriter out(os);
  WriteFields(fields, header, out);
  return os.str() + records;
}

inline std::string AnimationFileBytes(const std::string& objectFile, std::int16_t count,
                                      const std::string& records = "") {
  return HeaderThen(kAnimationFileHeader, AnimationFileHeader{"AN--1.00", objectFile, count}, records);
}

inline std::string ObjectFileBytes(std::int16_t count, const std::string& records = "") {
  return HeaderThen(kObjectFileHeader, ObjectFileHeader{"FO--1.00", count}, records);
}

}  // namespace kelna::test
