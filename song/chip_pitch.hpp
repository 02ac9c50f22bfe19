#pragma once

#include <cstdint>

// How a note becomes the chip's own pitch values on the parts beside FM, at the Neo Geo's 8 MHz:
// the SSG's tone period, the period of its envelope when the envelope sounds as a pitched tone,
// and the ADPCM-B's delta-N for a sample played at a note. Each is the nearest value the chip
// has to the equal-tempered pitch (A-4 = 440 Hz), so the composer hears what the chip can play.
namespace qvx {

inline constexpr double kChipClock = 8'000'000;
inline constexpr int kMaxSsgTonePeriod = 4095;              // 12 bits
inline constexpr int kMaxSsgEnvelopePeriod = 65535;         // 16 bits
inline constexpr int kMaxAdpcmBDeltaN = 65535;              // 16 bits
inline constexpr double kAdpcmBTopRate = kChipClock / 144;  // delta-N 65,536

// Semitones from C-0: note 0-11 (C to B) in octave `octave`.
constexpr int semitone(int note, int octave) {
    return 12 * octave + note;
}

// The equal-tempered pitch of a semitone, in Hz.
double semitoneHz(int semitone);

// The SSG's tone of `period` (0 counts as 1): 125,000 / period Hz.
double ssgToneHz(int period);
// The nearest tone period to a semitone's pitch, within 1-4095.
int ssgTonePeriod(int semitone);

// The SSG's envelope repeats every 32 of its steps on the sawtooth shapes (8 and 12: 7,812.5 /
// period Hz) and every 64 on the triangles (10 and 14), so as a "buzz" tone it sounds at those
// pitches. The nearest envelope period to a semitone's pitch for `shape`, within 1-65535.
bool ssgEnvelopeRepeats(std::uint8_t shape);
double ssgEnvelopeHz(int period, std::uint8_t shape);
int ssgEnvelopePeriod(int semitone, std::uint8_t shape);

// ADPCM-B plays at 55,555.6 × delta-N / 65,536 Hz. A sample recorded at `sampleRate` that plays
// its own pitch at `baseSemitone`, played at `semitone`: the nearest delta-N, within 1-65535.
double adpcmBRate(int deltaN);
int adpcmBDeltaN(double sampleRate, int baseSemitone, int semitone);

// How far `hz` lies from `wanted`, in cents (100 to a semitone).
double centsBetween(double hz, double wanted);

}  // namespace qvx
