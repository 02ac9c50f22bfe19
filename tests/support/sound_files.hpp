#pragma once

#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <vector>

// Sound files of any format libsndfile writes (FLAC, AIFF, 24-bit WAV...), holding a sine.
namespace qvx::testing {

// `seconds` of a sine (or a square wave) at `hz` and `amplitude` (of full scale) on every
// channel; false when libsndfile cannot write it.
inline bool writeSoundFile(const std::filesystem::path& path, int format, int rate, int channels,
                           double seconds, double hz = 440, double amplitude = 0.5,
                           bool square = false) {
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    const auto frames = static_cast<sf_count_t>(seconds * rate);
    std::vector<double> data(std::size_t(frames * channels));
    for (std::size_t i = 0; i < data.size(); ++i) {
        const double wave =
            std::sin(2 * std::numbers::pi * hz * double(i / std::size_t(channels)) / rate);
        data[i] = amplitude * (square ? (wave < 0 ? -1 : 1) : wave);
    }
    const bool written = sf_writef_double(file, data.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

}  // namespace qvx::testing
