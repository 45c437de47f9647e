#include "platform/random.h"

#include <algorithm>
#include <utility>

namespace kelna {
namespace {

// The generator is a 64-bit linear congruential generator with Knuth's MMIX constants:
//   state = state * 6364136223846793005 + 1442695040888963407   (mod 2^64)
//   value = state >> 33                                          (the top 31 bits)
// The low bits of such a generator repeat with short periods, so only the top ones are
// used. Before any SeedRandom() the state is 1, as if seeded with 1.
constexpr std::uint64_t kMultiplier = 6364136223846793005u;
constexpr std::uint64_t kIncrement = 1442695040888963407u;

// All of the program's global mutable state. Not thread-safe, by design: only the one UI
// thread draws random values.
struct RandomSource {
  std::uint64_t state = 1;
  ScriptedRandom* script = nullptr;  // the live script, if any
};

RandomSource source;

std::int32_t NextGeneratorValue() {
  source.state = source.state * kMultiplier + kIncrement;
  return static_cast<std::int32_t>(source.state >> 33);
}

// An int32_t holds nothing above 0x7FFFFFFF, so only the sign can be wrong.
bool IsInRange(std::int32_t value) { return value >= 0; }

}  // namespace

std::int32_t Random() {
  ScriptedRandom* script = source.script;
  if (script == nullptr) return NextGeneratorValue();
  if (script->Remaining() == 0) throw RandomScriptExhausted();
  return script->values_[script->drawn_++];
}

void SeedRandom(std::uint32_t seed) { source.state = seed; }

ScriptedRandom::ScriptedRandom(std::vector<std::int32_t> values) : values_(std::move(values)) {
  if (!std::ranges::all_of(values_, IsInRange)) {
    throw std::invalid_argument("scripted random values must lie in 0 ... 0x7FFFFFFF");
  }
  source.script = this;
}

// Only the live script hands the draws back to the generator; one that a later script
// replaced has nothing to give back.
ScriptedRandom::~ScriptedRandom() {
  if (source.script == this) source.script = nullptr;
}

std::size_t ScriptedRandom::Remaining() const { return values_.size() - drawn_; }

std::size_t ScriptedRandom::Drawn() const { return drawn_; }

}  // namespace kelna
