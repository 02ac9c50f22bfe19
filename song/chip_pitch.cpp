#include "song/chip_pitch.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qvx {
namespace {

constexpr int kA4 = semitone(9, 4);
constexpr double kSsgStepHz = kChipClock / 32;  // the SSG's steps

int nearest(double value, int lowest, int highest) {
    return static_cast<int>(std::clamp(std::lround(value), long{lowest}, long{highest}));
}

// The envelope's steps in one of its repeats: 32 levels, down and up again on the triangles.
int envelopeStepsPerRepeat(std::uint8_t shape) {
    return (shape & 0x02) ? 64 : 32;
}

}  // namespace

double semitoneHz(int semitone) {
    return 440.0 * std::pow(2.0, (semitone - kA4) / 12.0);
}

double ssgToneHz(int period) {
    return kSsgStepHz / 2 / std::max(period, 1);
}

int ssgTonePeriod(int semitone) {
    return nearest(kSsgStepHz / 2 / semitoneHz(semitone), 1, kMaxSsgTonePeriod);
}

bool ssgEnvelopeRepeats(std::uint8_t shape) {
    // Continue set and hold clear: 8 and 12 (sawtooth), 10 and 14 (triangle).
    return (shape & 0x09) == 0x08;
}

double ssgEnvelopeHz(int period, std::uint8_t shape) {
    return kSsgStepHz / envelopeStepsPerRepeat(shape) / std::max(period, 1);
}

int ssgEnvelopePeriod(int semitone, std::uint8_t shape) {
    return nearest(kSsgStepHz / envelopeStepsPerRepeat(shape) / semitoneHz(semitone), 1,
                   kMaxSsgEnvelopePeriod);
}

double adpcmBRate(int deltaN) {
    return kAdpcmBTopRate * deltaN / 65536.0;
}

int adpcmBDeltaN(double sampleRate, int baseSemitone, int semitone) {
    const double rate = sampleRate * std::pow(2.0, (semitone - baseSemitone) / 12.0);
    return nearest(rate * 65536.0 / kAdpcmBTopRate, 1, kMaxAdpcmBDeltaN);
}

double centsBetween(double hz, double wanted) {
    return 1200 * std::log2(hz / wanted);
}

int shiftRounded(int value, int shift) {
    if (shift <= 0) return std::min(value << -shift, 0xFFFF);
    return (value >> shift) + ((value >> (shift - 1)) & 1);
}

namespace {

// The F-numbers of C# ... C in a block: the classic driver's, which whole-chip songs keep for
// their notes so that both kinds of song play a note alike.
constexpr std::array<int, 12> kSemitoneFnums = {654, 693, 734,  777,  824,  873,
                                                924, 979, 1038, 1099, 1165, 1234};

// The pitch's octave of the tables and its step in it.
std::pair<int, std::size_t> octaveStep(int pitch) {
    const int p = std::clamp(pitch, 0, kMaxLinearPitch);
    return {p / kOctavePitchSteps, static_cast<std::size_t>(p % kOctavePitchSteps)};
}

OctaveTable makeTable(auto value) {
    OctaveTable table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint16_t>(
            std::clamp(std::lround(value(static_cast<int>(i))), 1L, long{0xFFFF}));
    return table;
}

}  // namespace

const OctaveTable& fmFnumOctave() {
    static const OctaveTable table = makeTable([](int i) {
        // The last semitone's steps reach past the C, at the C's spacing of the one before.
        const auto semitone = static_cast<std::size_t>(i / kPitchSteps);
        const double base = semitone < 12 ? kSemitoneFnums[semitone] : 2 * kSemitoneFnums[0];
        return base * std::pow(2.0, (i % kPitchSteps) / double(kOctavePitchSteps));
    });
    return table;
}

FmPitch fmPitchAt(int pitch) {
    const auto [octave, step] = octaveStep(pitch);
    return {octave, fmFnumOctave()[step]};
}

const OctaveTable& ssgPeriodOctave() {
    static const OctaveTable table = makeTable([](int i) {
        return 16 * kSsgStepHz / 2 / semitoneHz(semitone(1, 1)) /
               std::pow(2.0, i / double(kOctavePitchSteps));
    });
    return table;
}

int ssgTonePeriodAt(int pitch) {
    const auto [octave, step] = octaveStep(pitch);
    return std::clamp(shiftRounded(ssgPeriodOctave()[step], 3 + octave), 1, kMaxSsgTonePeriod);
}

int ssgEnvelopePeriodAt(int pitch, std::uint8_t shape) {
    // The envelope's 32 steps (64 on the triangles) against the tone's 2 halves of 16 steps.
    const auto [octave, step] = octaveStep(pitch);
    const int shift = 3 + octave + ((shape & 0x02) ? 5 : 4);
    return std::max(shiftRounded(ssgPeriodOctave()[step], shift), 1);
}

AdpcmBPitchTable adpcmBPitchTable(double sampleRate, int baseSemitone) {
    const auto deltaN = [&](int pitch) {
        const double semitones = double(pitch) / kPitchSteps + 1 - baseSemitone;
        return sampleRate * std::pow(2.0, semitones / 12) * 65536.0 / kAdpcmBTopRate;
    };
    AdpcmBPitchTable out;
    out.octave = 7;
    while (out.octave > 0 &&
           deltaN(out.octave * kOctavePitchSteps + kOctavePitchSteps - 1) >= kMaxAdpcmBDeltaN + 0.5)
        --out.octave;
    out.deltaN = makeTable([&](int i) { return deltaN(out.octave * kOctavePitchSteps + i); });
    return out;
}

int adpcmBDeltaNAt(const AdpcmBPitchTable& table, int pitch) {
    const auto [octave, step] = octaveStep(pitch);
    return std::max(shiftRounded(table.deltaN[step], table.octave - octave), 1);
}

}  // namespace qvx
