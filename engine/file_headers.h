#pragma once
// The headers that open the animation file (.anm) and the object file (.foe), described as the
// records are (platform/record_layout.h). The scene's readers and writers, kelna-tool and the
// tests' file builders all take them from here. The records follow each header: 16-bit
// counts of them, read as signed (a negative count holds no records).

#include <array>
#include <cstdint>
#include <string>

#include "platform/record_layout.h"

namespace kelna {

// The magic texts, each in a field of its own, compared up to the field's first NUL.
inline constexpr char kAnimationMagic[] = "AN--1.00";
inline constexpr char kObjectMagic[] = "FO--1.00";
inline constexpr std::size_t kMagicFieldSize = 32;

struct AnimationFileHeader {
  std::string magic = kAnimationMagic;
  std::string objectFile;  // code page 932, as stored: absolute, or relative to the working folder
  std::int16_t spriteCount = 0;
};

// The path field keeps its last byte for the NUL, so a path holds at most kPathLimit bytes.
inline constexpr std::size_t kPathFieldSize = 260;
inline constexpr std::size_t kPathLimit = kPathFieldSize - 1;

inline constexpr std::array kAnimationFileHeader = {
    TextField<&AnimationFileHeader::magic>("magic", kMagicFieldSize),
    TextField<&AnimationFileHeader::objectFile>("objectFile", kPathFieldSize, kPathLimit, kPathLimit),
    IntegerField<&AnimationFileHeader::spriteCount>("spriteCount", 2),
};
inline constexpr std::size_t kAnimationHeaderSize = RecordSize(kAnimationFileHeader);

struct ObjectFileHeader {
  std::string magic = kObjectMagic;
  std::int16_t objectCount = 0;
};

inline constexpr std::array kObjectFileHeader = {
    TextField<&ObjectFileHeader::magic>("magic", kMagicFieldSize),
    IntegerField<&ObjectFileHeader::objectCount>("objectCount", 2),
};
inline constexpr std::size_t kObjectHeaderSize = RecordSize(kObjectFileHeader);

// The records a header's count announces.
inline std::size_t AnnouncedRecords(std::int16_t count) { return count > 0 ? std::size_t(count) : 0; }

}  // namespace kelna
