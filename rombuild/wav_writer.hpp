#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qvx {

// A canonical 16-bit PCM WAV file of interleaved samples.
std::vector<std::uint8_t> encodeWav16(std::span<const std::int16_t> samples, int channels,
                                      std::uint32_t sampleRate);

}  // namespace qvx
