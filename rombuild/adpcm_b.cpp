#include "rombuild/adpcm_b.hpp"

#include <algorithm>
#include <cmath>

namespace qvx::adpcmb {

std::uint16_t deltaN(double rate, double clock) {
    const double chipRate = clock / 144;
    return static_cast<std::uint16_t>(std::clamp(std::lround(rate / chipRate * 65536), 1L, 65535L));
}

std::uint8_t Encoder::encode(std::int16_t sample) {
    // Of the sixteen codes the decoder could take next, the one that lands nearest; the step
    // that code leaves behind is the decoder's, so the next choice starts where the chip will be.
    const int accumulator = decoder_.accumulator();
    const int step = decoder_.step();
    std::uint8_t best = 0;
    int bestError = 1 << 30;
    for (std::uint8_t code = 0; code < 16; ++code) {
        const int next =
            std::clamp(accumulator + qvxsnd::adpcmb::codeDelta(code, step),
                       qvxsnd::adpcmb::kAccumulatorMin, qvxsnd::adpcmb::kAccumulatorMax);
        const int error = std::abs(next - sample);
        if (error < bestError) {
            bestError = error;
            best = code;
        }
    }
    decoder_.decode(best);
    return best;
}

std::vector<std::uint8_t> Encoder::encodePcm(std::span<const std::int16_t> pcm) {
    std::vector<std::uint8_t> out((pcm.size() + 1) / 2);
    for (std::size_t i = 0; i < pcm.size(); i += 2) {
        const std::uint8_t high = encode(pcm[i]);
        const std::uint8_t low = encode(pcm[std::min(i + 1, pcm.size() - 1)]);
        out[i / 2] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return out;
}

}  // namespace qvx::adpcmb
