#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

// The YM2610's ADPCM-B decoder (Yamaha's DELTA-T ADPCM), as the chip decodes: 4-bit codes, the
// earlier sample in the high nibble, into a 16-bit accumulator with an adaptive step. The chip's
// model plays samples with it and the ROM build's encoder predicts with it, so what is encoded
// is what is heard.
namespace qvxsnd::adpcmb {

// How each magnitude 0..7 scales the step, in 64ths (0.9, 0.9, 0.9, 0.9, 1.2, 1.6, 2.0, 2.4).
inline constexpr std::array<int, 8> kStepFactors = {57, 57, 57, 57, 77, 102, 128, 153};
inline constexpr int kMinStep = 127;  // also the step after a key-on
inline constexpr int kMaxStep = 24576;
inline constexpr int kAccumulatorMin = -32768;
inline constexpr int kAccumulatorMax = 32767;

// What one code adds at the given step: a sign bit (bit 3) and a magnitude 0..7 in eighths of
// (2 * magnitude + 1) steps, rounded once after multiplying.
constexpr int codeDelta(std::uint8_t code, int step) {
    const int delta = (2 * (code & 7) + 1) * step / 8;
    return (code & 8) ? -delta : delta;
}

constexpr int nextStep(int step, std::uint8_t code) {
    return std::clamp(step * kStepFactors[code & 7] / 64, kMinStep, kMaxStep);
}

// The chip's decoder, state for state. Unlike ADPCM-A's the accumulator saturates rather than
// wraps.
class Decoder {
  public:
    // Decodes one 4-bit code (the high bits are ignored) and returns the accumulator.
    int decode(std::uint8_t code) {
        accumulator_ =
            std::clamp(accumulator_ + codeDelta(code, step_), kAccumulatorMin, kAccumulatorMax);
        step_ = nextStep(step_, code);
        return accumulator_;
    }

    int accumulator() const { return accumulator_; }
    int step() const { return step_; }

  private:
    int accumulator_ = 0;
    int step_ = kMinStep;
};

}  // namespace qvxsnd::adpcmb
