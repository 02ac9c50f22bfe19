#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "song/chip_pitch.hpp"
#include "song/drum_kit.hpp"

// ADPCM-B instruments: a sample at a rate the composer picked, played at each note's pitch. The
// song keeps the sample as 16-bit PCM at that rate; the ROM build encodes it.
namespace qvx {

inline constexpr std::uint32_t kDefaultPitchedSampleRate = 22050;
inline constexpr std::uint32_t kMinPitchedSampleRate = 2000;
// The highest base note a sample can have: B-8.
inline constexpr int kMaxBaseSemitone = semitone(11, 8);
// Above this the chip cannot play a sample even at its own pitch.
inline constexpr double kMaxPitchedSampleRate = kAdpcmBTopRate;
// The chip's ADPCM-B data is addressed in 256-byte blocks of two codes a byte, so a sample it
// plays ends on a 512-frame boundary, and a looped one repeats that whole length.
inline constexpr std::size_t kAdpcmBBlockFrames = 512;

struct PitchedSample {
    SampleRef sample;
    std::uint32_t rate = kDefaultPitchedSampleRate;  // Hz: the rate its frames were converted to
    int baseSemitone = semitone(0, 4);               // where it plays at `rate`: its own pitch
    std::uint8_t level = 255;                        // the channel level, 255 = 0 dB
    bool loop = false;

    friend bool operator==(const PitchedSample& a, const PitchedSample& b);
};

// The frames one pass of the loop plays: the sample, then its start again (over and over, for a
// sample shorter than the gap) up to the next block boundary. Padding with the start rather than
// silence keeps a sample made to loop sounding whole.
std::vector<std::int16_t> loopFrames(const std::vector<std::int16_t>& pcm);
std::size_t loopFrameCount(std::size_t frames);

// Whether the loop would click: where it turns back to the start (at the sample's end and at the
// end of the padding), the wave jumps by more than 1/32 of full scale and by more than four
// times the largest step in the 32 frames on either side.
bool loopClicks(const std::vector<std::int16_t>& pcm);

// The note's delta-N (see adpcmBDeltaN), and whether the chip can play that note at its pitch:
// notes asking a rate above the chip's top one play at the top rate.
int pitchedDeltaN(const PitchedSample& instrument, int semitone);
bool pitchedNoteReachable(const PitchedSample& instrument, int semitone);
// Its delta-N over an octave of linear pitch, as the whole-chip driver plays it.
AdpcmBPitchTable pitchedRates(const PitchedSample& instrument);

}  // namespace qvx
