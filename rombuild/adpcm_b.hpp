#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "soundlib/ym2610/adpcm_b_decoder.hpp"

// The YM2610's ADPCM-B format: 4-bit codes, two to a byte with the earlier sample in the high
// nibble, decoded into a 16-bit accumulator with an adaptive step. This is the encoder; the
// decoder is the chip model's.
namespace qvx::adpcmb {

using qvxsnd::adpcmb::Decoder;

// The delta-N that plays a sample recorded at `rate` Hz on a chip at `clock` Hz (which adds
// delta-N to a 16-bit position once every 144 clocks), within 1..65535.
std::uint16_t deltaN(double rate, double clock = 8'000'000);

// Chooses, sample by sample, the code whose decoded value comes nearest the input, predicting
// with the chip's own decoder, so that what is encoded is what the chip plays and the two never
// drift apart.
class Encoder {
  public:
    std::uint8_t encode(std::int16_t sample);
    // 16-bit samples to bytes, two samples a byte; an odd last sample is held for one more.
    std::vector<std::uint8_t> encodePcm(std::span<const std::int16_t> pcm);

    const Decoder& decoder() const { return decoder_; }

  private:
    Decoder decoder_;
};

}  // namespace qvx::adpcmb
