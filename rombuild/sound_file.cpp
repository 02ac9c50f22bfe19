#include "rombuild/sound_file.hpp"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "rombuild/wav_reader.hpp"

namespace qvx {
namespace {

struct Closer {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, Closer>;

std::string sampleFormatName(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return "8-bit";
        case SF_FORMAT_PCM_16:
            return "16-bit";
        case SF_FORMAT_PCM_24:
            return "24-bit";
        case SF_FORMAT_PCM_32:
            return "32-bit";
        case SF_FORMAT_FLOAT:
            return "32-bit float";
        case SF_FORMAT_DOUBLE:
            return "64-bit float";
        default: {
            SF_FORMAT_INFO info{format & SF_FORMAT_SUBMASK, nullptr, nullptr};
            if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
                return info.name;
            return "encoded";
        }
    }
}

SoundFile open(const std::filesystem::path& path, const std::string& name, SF_INFO& info,
               Result& result) {
    info = SF_INFO{};
    SoundFile file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        result = Result::failure(name + ": " + sf_strerror(nullptr));
    } else if (info.frames <= 0 || info.channels <= 0 || info.samplerate <= 0) {
        result = Result::failure(name + ": the file holds no sound");
        file.reset();
    } else {
        result = Result::success();
    }
    return file;
}

}  // namespace

std::string describe(const SoundFileFormat& format) {
    const std::string channels = format.channels == 1 ? "mono"
                                 : format.channels == 2
                                     ? "stereo"
                                     : std::to_string(format.channels) + " channels";
    return std::to_string(format.rate) + " Hz " + channels + " " + format.sampleFormat;
}

Result probeSoundFile(const std::filesystem::path& path, const std::string& name,
                      SoundFileFormat& out) {
    SF_INFO info;
    Result result = Result::success();
    if (const SoundFile file = open(path, name, info, result); file)
        out = {info.samplerate, info.channels, sampleFormatName(info.format), info.frames};
    return result;
}

Result convertSoundFile(const std::filesystem::path& path, const std::string& name,
                        ConvertedSound& out) {
    SF_INFO info;
    Result result = Result::success();
    const SoundFile file = open(path, name, info, result);
    if (!file) return result;
    const auto frames = static_cast<std::size_t>(info.frames);
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> interleaved(frames * channels);
    const auto read = static_cast<std::size_t>(
        sf_readf_float(file.get(), interleaved.data(), static_cast<sf_count_t>(frames)));
    if (read == 0) return Result::failure(name + ": " + sf_strerror(file.get()));
    std::vector<float> mono(read);
    for (std::size_t i = 0; i < read; ++i) {
        float sum = 0;
        for (std::size_t c = 0; c < channels; ++c)
            sum += interleaved[i * channels + c];
        mono[i] = sum / static_cast<float>(channels);
    }

    std::vector<float> resampled;
    if (info.samplerate == static_cast<int>(kWavSampleRate)) {
        resampled = std::move(mono);
    } else {
        resampled.resize(static_cast<std::size_t>(
            std::llround(double(read) * kWavSampleRate / info.samplerate)));
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
        std::size_t done = 0;
        if (const soxr_error_t error =
                soxr_oneshot(info.samplerate, kWavSampleRate, 1, mono.data(), read, nullptr,
                             resampled.data(), resampled.size(), &done, &io, &quality, nullptr))
            return Result::failure(name + ": " + error);
        resampled.resize(done);
    }

    // Resampling can overshoot full scale where the original did not: the whole sound is taken
    // down rather than clipped.
    float peak = 0;
    for (const float v : resampled)
        peak = std::max(peak, std::fabs(v));
    constexpr float kFullScale = 32767.0f / 32768.0f;
    const float gain = peak > kFullScale ? kFullScale / peak : 1.0f;
    out.source = {info.samplerate, info.channels, sampleFormatName(info.format), info.frames};
    out.gainDb = 20 * std::log10(double(gain));
    out.pcm.resize(resampled.size());
    for (std::size_t i = 0; i < resampled.size(); ++i)
        out.pcm[i] = static_cast<std::int16_t>(
            std::clamp(std::lround(resampled[i] * gain * 32768.0f), -32768L, 32767L));
    return Result::success();
}

}  // namespace qvx
