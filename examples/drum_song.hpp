#pragma once

#include <cstdint>
#include <vector>

#include "song/song.hpp"

namespace qvx::examples {

// The whole-chip example shipped in examples/ as drums.mus: the demo's FM parts with a drum part
// on three ADPCM-A tracks (kick and snare, closed and open hi-hat, a crash at the top), about
// 33 seconds. Its drums are made here, at the chip's ADPCM-A rate, from sines and noise.
Song makeDrumSong();

// The drum sounds, 16-bit at kAdpcmARate.
std::vector<std::int16_t> synthesizeKick();
std::vector<std::int16_t> synthesizeSnare();
std::vector<std::int16_t> synthesizeHiHat(bool open);

// The kit's instrument number and the notes its sounds are on.
inline constexpr std::uint8_t kDrumKit = 5;
inline constexpr std::uint8_t kKickNote = 0, kSnareNote = 2, kClosedHatNote = 6, kOpenHatNote = 10;

}  // namespace qvx::examples
