#pragma once
// MIDI music synthesised once into samples, so that each repeat plays them again instead of
// running the synthesizer anew: FluidSynth as SDL_mixer 2.6 drives it (the same sound fonts,
// reverb and chorus, and its gain at full music volume), but on our own clock.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kelna {

struct RenderedMusic {
  std::vector<std::uint8_t> wave;  // a WAV file: 16-bit stereo at the rate asked; empty when not rendered
  std::string why;                 // why not: too long, or what FluidSynth refused
};

// Synthesises `file` with the sound fonts `fonts` (paths separated by ';', the last one
// loaded taking precedence, as SDL_mixer loads them) at `rate` frames a second. A piece
// longer than `maxSeconds` is not rendered. `cancel` stops it early.
RenderedMusic RenderMidi(const std::filesystem::path& file, const std::string& fonts, int rate, double maxSeconds,
                         const std::atomic<bool>& cancel);

}  // namespace kelna
