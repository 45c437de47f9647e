#pragma once
// A sprite object's wave sound: the whole wave file held in memory, stored inside the
// object file, played from memory at one frame of the sprite.

#include <array>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "platform/status.h"

namespace kelna {

class ZoSound {
 public:
  ZoSound();
  // An empty sound; with a name, it takes the name and loads that file.
  explicit ZoSound(const char* fileName);
  // Stops wave playback before the data goes, so that the platform never plays freed memory.
  ~ZoSound();
  ZoSound(const ZoSound&) = delete;
  ZoSound& operator=(const ZoSound&) = delete;

  // Loads the whole file (a code page 932 path): 1, or 0 when it does not open, is empty,
  // is larger than a sound may be, or reads short (the sound then has no data). A wave that
  // is playing goes on, unless it may be this sound's old data.
  [[nodiscard]] int GetSound(const char* path);
  // Back to the empty sound (playback stopped first).
  void DeleteSound();
  // Copies at most 255 bytes of the name.
  void SetFileName(const char* name);

  // Writes the sound record: name field, play frame, size, data. Always 1.
  int Write(std::ostream& os) const;
  // Reads a sound record into this empty sound: 1, or 0 when the record's size is negative
  // or more than the stream still holds. Such a record is refused before anything is
  // allocated and marks the stream failed, so that the caller sees the record is broken.
  [[nodiscard]] int Read(std::istream& is);
  // The same, saying why a record is refused ("has a sound of 9,000 bytes, 12 present"), in
  // words that follow the name of the object it belongs to.
  [[nodiscard]] Status ReadRecord(std::istream& is);

  // Plays the wave in the background unless another wave is playing. Nothing without data.
  void Play() const;
  // Stops whatever wave is playing.
  void Stop() const;

  const char* FileName() const { return fileName.data(); }
  std::int16_t PlayFrame() const { return playFrame; }
  void SetPlayFrame(std::int16_t frame) { playFrame = frame; }
  std::int32_t WaveSize() const { return waveSize; }
  // The wave file's bytes (without the two zero bytes that follow them in memory).
  std::span<const std::uint8_t> Wave() const;
  bool HasData() const { return !waveData.empty(); }

  // The largest wave a sound holds.
  static constexpr std::int32_t kMaxWaveSize = 256 << 20;

 private:
  void SetData(std::vector<std::uint8_t> data);

  std::array<char, 256> fileName{};
  std::int16_t playFrame = 0;
  std::int32_t waveSize = 0;
  std::vector<std::uint8_t> waveData;  // the wave file, then 2 zero bytes; empty: no data
  // Whether the data was checked as a wave file since it was set, and why it is none ("":
  // it is one). Worked out by the first Play, which is const as playing changes nothing.
  mutable bool checked_ = false;
  mutable std::string refusal_;
};

}  // namespace kelna
