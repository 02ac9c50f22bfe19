#pragma once

#include <array>
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

// ---- Linear pitch, as the whole-chip driver plays it ----------------------------------------
// A pitch counts sixteenths of a semitone from C#-0 (0) up to C-8 (1520), so a slide moves as far
// in every octave and on every kind of track. The driver turns it into the chip's values through
// tables of one octave (192 steps), which the image builder writes from the functions here; each
// function below gives exactly what the driver writes.
inline constexpr int kPitchSteps = 16;                      // a semitone's
inline constexpr int kOctavePitchSteps = 12 * kPitchSteps;  // 192
inline constexpr int kMaxLinearPitch = 95 * kPitchSteps;    // C-8
using OctaveTable = std::array<std::uint16_t, kOctavePitchSteps>;

// The pitch of a semitone (C-0 = 0, as semitone()) with `fine` sixteenths above it.
constexpr int linearPitch(int semitone, int fine = 0) {
    return (semitone - 1) * kPitchSteps + fine;
}

// `value` / 2^shift rounded half up; for a negative shift, value × 2^-shift within 16 bits.
int shiftRounded(int value, int shift);

// FM: the F-number of each step from C# of a block up to 15/16 above the C that ends it. The
// semitones keep the F-numbers classic songs play (the editor's and the classic driver's table);
// the steps between lie evenly in pitch from each semitone.
const OctaveTable& fmFnumOctave();
struct FmPitch {
    int block = 0;  // 0-7
    int fnum = 0;
};
FmPitch fmPitchAt(int pitch);

// SSG: the tone period of each step of octave 1 (C#-1 ...), in sixteenths.
const OctaveTable& ssgPeriodOctave();
int ssgTonePeriodAt(int pitch);                          // within 1-4095
int ssgEnvelopePeriodAt(int pitch, std::uint8_t shape);  // the "buzz" period, within 1-65535

// ADPCM-B: an instrument's delta-N over the steps of one octave (the highest whose values all fit
// 16 bits, 0-7); below it the values halve, above it they double up to the chip's top rate.
struct AdpcmBPitchTable {
    OctaveTable deltaN{};
    int octave = 0;
};
AdpcmBPitchTable adpcmBPitchTable(double sampleRate, int baseSemitone);
int adpcmBDeltaNAt(const AdpcmBPitchTable& table, int pitch);  // within 1-65535

}  // namespace qvx
