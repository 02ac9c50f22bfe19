#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "soundlib/ym2610/adpcm_a_decoder.hpp"

// The YM2610's ADPCM-A format: 4-bit codes, two to a byte with the earlier sample in the high
// nibble. A code is a sign bit (bit 3) and a magnitude 0..7 in quarter steps. This is the
// encoder; the decoder is the chip model's.
namespace qvx::adpcma {

// Sample addresses are 16-bit numbers of 256-byte blocks, so one sample can span at most 16 MB.
inline constexpr std::uint64_t kAddressableBytes = 65536 * 256;

// The decoder is the chip's own (soundlib/ym2610/adpcm_a_decoder.hpp): the encoder predicts with
// exactly what the chip plays.
using qvxsnd::adpcma::codeDelta;
using qvxsnd::adpcma::Decoder;
using qvxsnd::adpcma::kAccumulatorMax;
using qvxsnd::adpcma::kAccumulatorMin;
using qvxsnd::adpcma::kMaxStepIndex;
using qvxsnd::adpcma::kStepSizes;
using qvxsnd::adpcma::nextStepIndex;

// 16-bit PCM in the encoder's units: divided by 32 and truncated toward zero, giving -1024..1023.
// The half of the accumulator's range left over absorbs the decoder's overshoot.
constexpr int scalePcm(std::int16_t sample) {
    return sample / 32;
}

// Chooses codes that make the chip's decoder follow the input. Its predictor is always exactly
// the decoder's accumulator, and it never picks a code that would make the accumulator wrap.
class Encoder {
  public:
    // One sample in accumulator units (clamped to -2048..2047) to one 4-bit code.
    std::uint8_t encode(int sample);

    // 16-bit little-endian PCM to ADPCM-A bytes: each 4 input bytes (two samples) give one
    // output byte. Uses the first (pcm.size() / 4) * 4 bytes; `out` must hold pcm.size() / 4.
    void encodePcm(std::span<const std::uint8_t> pcm, std::span<std::uint8_t> out);

    int predictor() const { return predictor_; }
    int stepIndex() const { return stepIndex_; }

  private:
    int predictor_ = 0;
    int stepIndex_ = 0;
};

}  // namespace qvx::adpcma
