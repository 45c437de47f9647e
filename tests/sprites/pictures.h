#pragma once
// Test support for the sprite and engine tests: images read from the stream form of a DIB,
// objects built from them, and a wave player that records what it is asked to do.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/wave_player.h"
#include "sprites/bmp_image.h"
#include "sprites/sprite_data.h"
#include "tests/support/dib_builder.h"

namespace kelna::test {

// What `record.Write` puts on a stream; the write must succeed.
template <class Record>
std::string RecordOf(Record&& record) {
  std::ostringstream os;
  EXPECT_EQ(record.Write(os), 1);
  return os.str();
}

inline std::unique_ptr<ZoBmpImage> ImageOf(const Bytes& dib) {
  auto image = std::make_unique<ZoBmpImage>();
  std::istringstream is(StreamForm(dib));
  EXPECT_EQ(image->Read(is), 1);
  return image;
}

// An object whose frames are (image, mask) pairs of 'I' (a new image of `dib`), 'P'
// (UsePrevious) or '-' (nothing), with its device bitmaps made.
inline std::unique_ptr<ZoSpriteData> Frames(const std::vector<const char*>& pairs,
                                            const Bytes& dib = PackedDib(2, 2, 24, 0), const char* name = "") {
  auto object = std::make_unique<ZoSpriteData>();
  object->name = name;
  short frame = 0;
  for (const char* pair : pairs) {
    for (const PairPart part : {PairPart::Image, PairPart::Mask}) {
      const char slot = pair[part == PairPart::Image ? 0 : 1];
      if (slot == 'I') object->AddImage(ImageOf(dib), frame, part);
      if (slot == 'P') object->AddUsePrevious(frame, part);
    }
    object->ExpandImageArray(std::max<int>(object->PairCount(), ++frame));
  }
  object->MakeDDB(*CreateCompatibleDC(nullptr));
  return object;
}

class RecordingWavePlayer : public WavePlayer {
 public:
  void Play(std::span<const std::uint8_t> wave) override { log.push_back("play " + std::to_string(wave.size())); }
  void Stop() override { log.push_back("stop"); }
  void Refused(std::string_view name, std::string_view reason) override {
    log.push_back("refused " + std::string(name) + ": " + std::string(reason));
  }
  std::vector<std::string> log;
};

// A wave file of 8-bit mono samples at 8 kHz: 44 bytes of header, then the samples.
inline std::string WaveFile(std::string_view samples) {
  return "RIFF" + Le(36 + samples.size(), 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(8000, 4) +
         Le(8000, 4) + Le(1, 2) + Le(8, 2) + "data" + Le(samples.size(), 4) + std::string(samples);
}

}  // namespace kelna::test
