#include "rombuild/sound_file.hpp"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <span>

namespace qvx {
namespace {

struct Closer {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, Closer>;

struct SoxrCloser {
    void operator()(soxr_t soxr) const { soxr_delete(soxr); }
};

// Values read at a time, over all channels: the block stays small whatever the channel count.
constexpr std::size_t kBlockValues = 65536;
constexpr std::size_t kOutputPiece = 16384;

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

Result holdsNoSound(const std::string& name) {
    return Result::failure(name + ": the file holds no sound");
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

Result tooLong(const std::string& name, double rate, double seconds, bool atLeast) {
    const double fits = double(kMaxConvertedSamples) / rate;
    return Result::failure(name + " is too long: converted to " + std::to_string(int(rate)) +
                           " Hz it would last " + (atLeast ? "more than " : "") +
                           secondsText(seconds) + ", and the largest V ROM (16 MB) holds " +
                           secondsText(fits));
}

Result damaged(const std::string& name, const std::string& what, std::uint64_t frame) {
    return Result::failure(name + " holds " + what + " at frame " + std::to_string(frame) +
                           "; the file is damaged");
}

SoundFile open(const std::filesystem::path& path, const std::string& name, SF_INFO& info,
               Result& result) {
    info = SF_INFO{};
    SoundFile file(sf_open(path.c_str(), SFM_READ, &info));
    result = Result::success();
    if (!file) {
        result = Result::failure(name + ": " + sf_strerror(nullptr));
    } else if (info.frames <= 0 || info.channels <= 0) {
        result = holdsNoSound(name);
    } else if (info.samplerate < kMinSoundFileRate || info.samplerate > kMaxSoundFileRate) {
        result = Result::failure(name + ": its sample rate, " + std::to_string(info.samplerate) +
                                 " Hz, is not one sound files use (" +
                                 std::to_string(kMinSoundFileRate) + " to " +
                                 std::to_string(kMaxSoundFileRate) + " Hz)");
    }
    if (!result) file.reset();
    return file;
}

// libsoxr fed block by block; a rate equal to the file's passes the sound through untouched.
class Resampler {
  public:
    Resampler(double from, double to) {
        if (from == to) return;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
        soxr_error_t error = nullptr;
        soxr_.reset(soxr_create(from, to, 1, &error, &io, &quality, nullptr));
        if (error) error_ = error;
    }
    const std::string& error() const { return error_; }

    // Appends what `in` gives to `out`; an empty `in` with `last` set drains the filter.
    bool feed(std::span<const float> in, bool last, std::vector<float>& out) {
        if (!soxr_) {
            out.insert(out.end(), in.begin(), in.end());
            return true;
        }
        std::size_t used = 0;
        for (;;) {
            const std::size_t start = out.size();
            out.resize(start + kOutputPiece);
            std::size_t taken = 0;
            std::size_t made = 0;
            const soxr_error_t error = soxr_process(soxr_.get(), last ? nullptr : in.data() + used,
                                                    last ? 0 : in.size() - used, &taken,
                                                    out.data() + start, kOutputPiece, &made);
            out.resize(start + made);
            if (error) {
                error_ = error;
                return false;
            }
            used += taken;
            if (last ? made == 0 : used == in.size() && made < kOutputPiece) return true;
            if (!last && taken == 0 && made == 0) {
                error_ = "the resampler took no sound";
                return false;
            }
        }
    }

  private:
    std::unique_ptr<soxr, SoxrCloser> soxr_;
    std::string error_;
};

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
                        ConvertedSound& out, const ConversionOptions& options) {
    SF_INFO info;
    Result result = Result::success();
    const SoundFile file = open(path, name, info, result);
    if (!file) return result;

    // A declared length is never trusted for memory, only to refuse early what cannot fit.
    const double ratio = options.rate / info.samplerate;
    const bool lengthKnown = info.frames != SF_COUNT_MAX;
    if (lengthKnown && double(info.frames) * ratio > double(kMaxConvertedSamples))
        return tooLong(name, options.rate, double(info.frames) / info.samplerate, false);

    Resampler resampler(info.samplerate, options.rate);
    if (!resampler.error().empty()) return Result::failure(name + ": " + resampler.error());
    std::vector<float> resampled;
    if (lengthKnown) resampled.reserve(std::size_t(double(info.frames) * ratio) + kOutputPiece);

    const auto channels = static_cast<std::size_t>(info.channels);
    const std::size_t blockFrames = std::max<std::size_t>(1, kBlockValues / channels);
    std::vector<double> block(blockFrames * channels);
    std::vector<float> mono(blockFrames);
    std::uint64_t frames = 0;
    double peak = 0;
    std::uint64_t peakFrame = 0;
    // Beyond this a value is refused anyway; keeping the resampler's input finite spares it.
    const double kept = std::pow(10.0, kMaxTakenDownDb / 20) * 2;
    for (;;) {
        const sf_count_t got =
            sf_readf_double(file.get(), block.data(), static_cast<sf_count_t>(blockFrames));
        if (got <= 0) break;
        for (std::size_t i = 0; i < std::size_t(got); ++i) {
            double sum = 0;
            for (std::size_t c = 0; c < channels; ++c) {
                const double v = block[i * channels + c];
                if (std::isnan(v)) return damaged(name, "a value that is not a number", frames + i);
                if (std::isinf(v)) return damaged(name, "an infinite value", frames + i);
                sum += v / double(channels);
            }
            if (std::fabs(sum) > peak) {
                peak = std::fabs(sum);
                peakFrame = frames + i;
            }
            mono[i] = static_cast<float>(std::clamp(sum, -kept, kept));
        }
        frames += std::uint64_t(got);
        if (!resampler.feed(std::span(mono).first(std::size_t(got)), false, resampled))
            return Result::failure(name + ": " + resampler.error());
        if (resampled.size() > kMaxConvertedSamples)
            return tooLong(name, options.rate, double(frames) / info.samplerate, true);
        if (options.progress &&
            !options.progress(lengthKnown ? std::min(1.0, double(frames) / double(info.frames))
                                          : -1.0))
            return Result::failure(std::string(kCancelled));
    }
    if (frames == 0) return holdsNoSound(name);
    if (!resampler.feed({}, true, resampled))
        return Result::failure(name + ": " + resampler.error());
    if (resampled.empty()) return holdsNoSound(name);
    if (resampled.size() > kMaxConvertedSamples)
        return tooLong(name, options.rate, double(frames) / info.samplerate, false);

    // Resampling can overshoot full scale where the original did not: the whole sound is taken
    // down rather than clipped.
    float resampledPeak = 0;
    for (const float v : resampled)
        resampledPeak = std::max(resampledPeak, std::fabs(v));
    constexpr float kFullScale = 32767.0f / 32768.0f;
    const float gain = resampledPeak > kFullScale ? kFullScale / resampledPeak : 1.0f;
    const double gainDb = 20 * std::log10(double(gain));
    if (-gainDb > kMaxTakenDownDb || 20 * std::log10(std::max(peak, 1e-30)) > kMaxTakenDownDb) {
        char level[32];
        std::snprintf(level, sizeof level, "%.1f dB", 20 * std::log10(peak));
        return damaged(name, std::string("a peak ") + level + " above full scale", peakFrame);
    }

    std::vector<std::int16_t> pcm(resampled.size());
    for (std::size_t i = 0; i < resampled.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(
            std::clamp(std::lround(resampled[i] * gain * 32768.0f), -32768L, 32767L));
    out.source = {info.samplerate, info.channels, sampleFormatName(info.format), info.frames};
    out.gainDb = gainDb;
    out.pcm = std::move(pcm);
    return Result::success();
}

}  // namespace qvx
