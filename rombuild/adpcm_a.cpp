#include "rombuild/adpcm_a.hpp"

#include <algorithm>
#include <cassert>

namespace qvx::adpcma {
namespace {

bool insideAccumulator(int value) {
    return value >= kAccumulatorMin && value <= kAccumulatorMax;
}

std::int16_t pcmAt(const std::uint8_t* bytes) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
}

}  // namespace

std::uint8_t Encoder::encode(int sample) {
    sample = std::clamp(sample, kAccumulatorMin, kAccumulatorMax);
    const int step = kStepSizes[static_cast<std::size_t>(stepIndex_)];
    const int diff = sample - predictor_;
    std::uint8_t code = diff < 0 ? 8 : 0;
    int rest = diff < 0 ? -diff : diff;
    // The decision levels lie halfway between the decoder's levels (2m + 1) * step / 8.
    if (rest >= step) {
        code |= 4;
        rest -= step;
    }
    if (rest >= step / 2) {
        code |= 2;
        rest -= step / 2;
    }
    if (rest >= step / 4) code |= 1;

    int next = predictor_ + codeDelta(code, step);
    // Near either end of the range the nearest level may lie beyond it; the chip would then
    // wrap to the other end. Settle for the largest magnitude that stays inside.
    while (!insideAccumulator(next) && (code & 7) != 0) {
        --code;
        next = predictor_ + codeDelta(code, step);
    }
    if (!insideAccumulator(next)) {
        // Even the smallest step overshoots: step back the other way by the smallest amount.
        code ^= 8;
        next = predictor_ + codeDelta(code, step);
    }
    assert(insideAccumulator(next));
    predictor_ = next;
    stepIndex_ = nextStepIndex(stepIndex_, code);
    return code;
}

void Encoder::encodePcm(std::span<const std::uint8_t> pcm, std::span<std::uint8_t> out) {
    const std::size_t count = pcm.size() / 4;
    assert(out.size() >= count);
    const std::uint8_t* in = pcm.data();
    for (std::size_t i = 0; i < count; ++i, in += 4) {
        const std::uint8_t high = encode(scalePcm(pcmAt(in)));
        const std::uint8_t low = encode(scalePcm(pcmAt(in + 2)));
        out[i] = static_cast<std::uint8_t>((high << 4) | low);
    }
}

}  // namespace qvx::adpcma
