#pragma once

#include <cstdint>
#include <vector>

#include "song/song.hpp"

namespace qvx::examples {

// The whole-chip example shipped in examples/ as drums.mus, on all fourteen channels, about 33
// seconds: the demo's FM parts; drums on the six ADPCM-A tracks (kick and snare, hi-hats, the
// snare's roll, a crash at the top, toms, claps); on the SSG a plucked arpeggio, its echo and a
// buzz bass; on the ADPCM-B a looped pad. Its samples are made here from sines and noise: the
// drums at the chip's ADPCM-A rate, the pad at 22,050 Hz.
Song makeDrumSong();

// The drum sounds, 16-bit at kAdpcmARate.
std::vector<std::int16_t> synthesizeKick();
std::vector<std::int16_t> synthesizeSnare();
std::vector<std::int16_t> synthesizeHiHat(bool open);
std::vector<std::int16_t> synthesizeCrash();
std::vector<std::int16_t> synthesizeTom(double highHz, double lowHz);
std::vector<std::int16_t> synthesizeClap();
// The pad, 16-bit at kPadRate: two detuned sawtooth-like waves, whole cycles in a loop of a whole
// number of ADPCM-B blocks, so that it repeats without a seam.
std::vector<std::int16_t> synthesizePad();

// The kit's instrument number and the notes its sounds are on.
inline constexpr std::uint8_t kDrumKit = 5;
inline constexpr std::uint8_t kKickNote = 0, kCrashNote = 1, kSnareNote = 2, kHighTomNote = 3,
                              kLowTomNote = 5, kClosedHatNote = 6, kClapNote = 8, kOpenHatNote = 10;
// The SSG voices and the ADPCM-B pad.
inline constexpr std::uint8_t kPluck = 6, kBuzzBass = 7, kEcho = 8, kPad = 9;
inline constexpr std::uint32_t kPadRate = 22050;

}  // namespace qvx::examples
