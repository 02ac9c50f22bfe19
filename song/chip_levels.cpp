#include "song/chip_levels.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace qvx {

std::uint8_t volumeAttenuation(int volume) {
    if (volume <= 0) return kSilentVolume;
    const double db = -20 * std::log10(std::min(volume, kMaxTrackVolume) / 64.0);
    return static_cast<std::uint8_t>(std::lround(db / 0.75));
}

std::uint8_t fmCarrierLevel(std::uint8_t totalLevel, int volume) {
    return static_cast<std::uint8_t>(std::min(totalLevel + volumeAttenuation(volume), 127));
}

std::uint8_t ssgVolumeLevel(std::uint8_t level, int volume) {
    // Four steps of 0.75 dB to one of the SSG's.
    const int lowered = level - (volumeAttenuation(volume) + 2) / 4;
    return static_cast<std::uint8_t>(std::max(lowered, 0));
}

int adpcmAVolumeLevel(std::uint8_t level, int volume) {
    const int lowered = level - volumeAttenuation(volume);
    return lowered < 0 ? -1 : lowered;
}

std::uint8_t adpcmBVolumeLevel(std::uint8_t level, int volume) {
    return static_cast<std::uint8_t>((level * std::clamp(volume, 0, kMaxTrackVolume) + 32) / 64);
}

std::uint8_t vibratoSine(int n) {
    return static_cast<std::uint8_t>(std::lround(255 * std::sin(std::numbers::pi * n / 32)));
}

std::uint8_t fmCarriers(int algorithm) {
    // In register order S1 S3 S2 S4: algorithms 0-3 sound S4 alone, 4 adds S2, 5 and 6 every
    // operator but S1, 7 all four.
    static constexpr std::array<std::uint8_t, 8> kCarriers = {0x08, 0x08, 0x08, 0x08,
                                                              0x0C, 0x0E, 0x0E, 0x0F};
    return kCarriers[static_cast<std::size_t>(algorithm & 7)];
}

}  // namespace qvx
