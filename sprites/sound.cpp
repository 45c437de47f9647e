#include "sprites/sound.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>

#include "platform/binary_io.h"
#include "platform/text.h"
#include "platform/wave_player.h"

namespace kelna {

ZoSound::ZoSound() = default;

ZoSound::ZoSound(const char* fileName) {
  if (!fileName) return;
  SetFileName(fileName);
  // A constructor has no result: a sound that did not load is recognised by its missing data.
  static_cast<void>(GetSound(fileName));
}

ZoSound::~ZoSound() { Stop(); }

void ZoSound::SetData(std::vector<std::uint8_t> data) {
  // Stopping silences whatever wave plays, another object's too, so it is done only when
  // this sound's own block goes: the platform may still be playing it.
  if (!waveData.empty()) Stop();
  waveData = std::move(data);
  checked_ = false;
}

int ZoSound::GetSound(const char* path) {
  // Whatever fails, the sound is left without data and with size 0, so that its record
  // never announces bytes it does not hold.
  SetData({});
  waveSize = 0;
  std::ifstream file(Cp932ToPath(path), std::ios::binary);
  if (!file) return 0;
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  file.seekg(0, std::ios::beg);
  if (length <= 0 || length > kMaxWaveSize) return 0;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(length) + 2);
  if (!file.read(reinterpret_cast<char*>(data.data()), length)) return 0;
  waveSize = static_cast<std::int32_t>(length);
  SetData(std::move(data));
  return 1;
}

void ZoSound::DeleteSound() {
  Stop();  // whether or not it holds data, as destroying it does
  waveData = std::vector<std::uint8_t>();
  waveSize = 0;
  fileName.fill('\0');
  playFrame = 0;
}

void ZoSound::SetFileName(const char* name) {
  fileName.fill('\0');
  if (name) std::strncpy(fileName.data(), name, fileName.size() - 1);
}

int ZoSound::Write(std::ostream& os) const {
  BinaryWriter out(os);
  out.Bytes(std::span<const char>(fileName));
  out.I16(playFrame);
  out.I32(waveSize);
  out.Bytes(Wave());
  return 1;
}

int ZoSound::Read(std::istream& is) { return ReadRecord(is).ok() ? 1 : 0; }

Status ZoSound::ReadRecord(std::istream& is) {
  BinaryReader in(is);
  in.Bytes(std::span<char>(fileName));
  fileName.back() = '\0';  // a name without its NUL ends at the field's end
  playFrame = in.I16();
  waveSize = in.I32();
  const auto refuse = [&](const std::string& why) {
    is.setstate(std::ios::failbit);
    return Status::Failure(why);
  };
  if (!in.Ok()) return refuse("cut short in its sound");
  if (waveSize < 0) return refuse("has a sound of " + Grouped(waveSize) + " bytes");
  if (waveSize > kMaxWaveSize) return refuse("has a sound larger than 256 MiB");
  if (std::uint64_t(waveSize) > in.Remaining())
    return refuse("has a sound of " + Grouped(waveSize) + " bytes, " +
                  Grouped(static_cast<long long>(in.Remaining())) + " present");
  std::vector<std::uint8_t> data(std::size_t(waveSize) + 2);
  if (!in.Bytes(std::span(data).first(std::size_t(waveSize)))) return refuse("cut short in its sound");
  SetData(std::move(data));
  return Status::Ok();
}

std::span<const std::uint8_t> ZoSound::Wave() const {
  if (waveData.empty()) return {};
  return std::span(waveData).first(std::min(waveData.size() - 2, std::size_t(std::max(waveSize, 0))));
}

// The data is checked once: what is no wave file is never handed to the platform, whose
// decoder then need not be trusted with it.
void ZoSound::Play() const {
  if (!HasData()) return;
  if (!checked_) {
    refusal_ = WaveRefusal(Wave());
    checked_ = true;
    if (!refusal_.empty()) CurrentWavePlayer().Refused(*fileName.data() ? fileName.data() : "(unnamed)", refusal_);
  }
  if (refusal_.empty()) CurrentWavePlayer().Play(waveData);
}

void ZoSound::Stop() const { CurrentWavePlayer().Stop(); }

}  // namespace kelna
