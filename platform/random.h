#pragma once
// The one process-wide random source. The saver seeds it from the clock; tests and
// kelna-tool replace it by a scripted list of values so that every draw can be checked.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace kelna {

// A non-negative 31-bit value (0 ... 0x7FFFFFFF): the next scripted value while a
// ScriptedRandom is alive, otherwise the next value of the seeded generator.
std::int32_t Random();

// Restarts the generator (srand). The same seed gives the same sequence.
void SeedRandom(std::uint32_t seed);

// Thrown by Random() when a script has no values left.
class RandomScriptExhausted : public std::runtime_error {
 public:
  RandomScriptExhausted() : std::runtime_error("the scripted random values ran out") {}
};

// While an object of this class is alive, Random() returns its values in order; once it is
// gone, the generator goes on where it left off. Scripts do not nest: constructing a second
// one while another is alive replaces the first, which then gives no more values.
class ScriptedRandom {
 public:
  // Throws std::invalid_argument when a value is negative.
  explicit ScriptedRandom(std::vector<std::int32_t> values);
  ~ScriptedRandom();
  ScriptedRandom(const ScriptedRandom&) = delete;
  ScriptedRandom& operator=(const ScriptedRandom&) = delete;

  std::size_t Remaining() const;
  std::size_t Drawn() const;

 private:
  friend std::int32_t Random();

  std::vector<std::int32_t> values_;
  std::size_t drawn_ = 0;
};

}  // namespace kelna
