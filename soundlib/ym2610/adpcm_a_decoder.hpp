#pragma once

#include <array>
#include <cstdint>

// The YM2610's ADPCM-A decoder, exactly as the chip decodes: 4-bit codes, two to a byte with the
// earlier sample in the high nibble, into a 12-bit accumulator. The chip's model plays samples
// with it and the ROM build's encoder predicts with it, so what is encoded is what is heard.
namespace qvxsnd::adpcma {

// The chip's step sizes (the OKI / Dialogic table) and how each magnitude moves the step index.
inline constexpr std::array<std::int16_t, 49> kStepSizes = {
    16,  17,  19,  21,  23,  25,  28,  31,  34,  37,  41,   45,   50,   55,   60,   66,  73,
    80,  88,  97,  107, 118, 130, 143, 157, 173, 190, 209,  230,  253,  279,  307,  337, 371,
    408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552,
};
inline constexpr std::array<std::int8_t, 8> kIndexAdjust = {-1, -1, -1, -1, 2, 5, 7, 9};
inline constexpr int kMaxStepIndex = static_cast<int>(kStepSizes.size()) - 1;

// The chip's 12-bit accumulator. It wraps at both ends, which is heard as a loud click.
inline constexpr int kAccumulatorMin = -2048;
inline constexpr int kAccumulatorMax = 2047;

// What one code adds to the accumulator at the given step size. A code is a sign bit (bit 3) and
// a magnitude 0..7 in quarter steps. The chip rounds once, after multiplying, so this is not the
// sum of step/8, step/4, step/2 and step rounded one by one.
constexpr int codeDelta(std::uint8_t code, int step) {
    const int delta = (2 * (code & 7) + 1) * step / 8;
    return (code & 8) ? -delta : delta;
}

constexpr int nextStepIndex(int index, std::uint8_t code) {
    const int next = index + kIndexAdjust[code & 7];
    return next < 0 ? 0 : (next > kMaxStepIndex ? kMaxStepIndex : next);
}

// The chip's decoder, state for state.
class Decoder {
  public:
    // Decodes one 4-bit code (the high bits are ignored) and returns the accumulator.
    int decode(std::uint8_t code) {
        int next = accumulator_ + codeDelta(code, kStepSizes[stepIndex_]);
        // A delta never exceeds 15 * 1552 / 8, so one correction brings it back into range.
        if (next > kAccumulatorMax) {
            next -= 4096;
            ++wraps_;
        } else if (next < kAccumulatorMin) {
            next += 4096;
            ++wraps_;
        }
        accumulator_ = next;
        stepIndex_ = nextStepIndex(stepIndex_, code);
        return accumulator_;
    }

    int accumulator() const { return accumulator_; }
    int stepIndex() const { return stepIndex_; }
    // How many times the accumulator has wrapped since the start; each one clicks on the board.
    std::uint64_t wraps() const { return wraps_; }

  private:
    int accumulator_ = 0;
    int stepIndex_ = 0;
    std::uint64_t wraps_ = 0;
};

}  // namespace qvxsnd::adpcma
