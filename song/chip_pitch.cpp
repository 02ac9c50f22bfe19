#include "song/chip_pitch.hpp"

#include <algorithm>
#include <cmath>

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

}  // namespace qvx
