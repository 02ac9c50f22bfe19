#include "rombuild/rom_sample.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <system_error>
#include <utility>

#include "rombuild/adpcm_a.hpp"
#include "rombuild/wav_reader.hpp"

namespace qvx {
namespace {

static_assert(kMaxConvertedSamples * 2 <= UINT32_MAX,
              "a converted sample's bytes are counted in 32 bits");

Result changedSince(const RomSample& sample) {
    return Result::failure("The sample " + sample.name +
                           " has changed since it was added; add it again");
}

// Opens the sample's file and makes sure it still is what was accepted.
Result reopen(const RomSample& sample, WavFile& file) {
    const WavVerdict verdict = file.open(sample.path);
    if (verdict == WavVerdict::kCannotOpen)
        return Result::failure(wavMessage(verdict, sample.name));
    if (verdict != WavVerdict::kAccepted || file.dataBytes() != sample.dataBytes)
        return changedSince(sample);
    return Result::success();
}

// The converted sound of a sample that needed converting, as it was when accepted.
Result reconvert(const RomSample& sample, ConvertedSound& sound, const ProgressFn& progress) {
    if (Result r = convertSoundFile(sample.path, sample.name, sound, {kWavSampleRate, progress});
        !r)
        return r;
    if (sound.source != *sample.source || sound.pcm.size() * 2 != sample.dataBytes)
        return changedSince(sample);
    return Result::success();
}

}  // namespace

Result readRomSample(const std::filesystem::path& path, std::string name, RomSample& out,
                     const ProgressFn& progress) {
    WavFile file;
    const WavVerdict verdict = file.open(path);
    if (verdict == WavVerdict::kCannotOpen) return Result::failure(wavMessage(verdict, name));
    RomSample sample{path, name, file.fileLength(), file.dataBytes(), std::nullopt, 0};
    if (verdict != WavVerdict::kAccepted) {
        ConvertedSound sound;
        if (Result r = convertSoundFile(path, name, sound, {kWavSampleRate, progress}); !r)
            return r;
        std::error_code error;
        sample.fileLength = std::filesystem::file_size(path, error);
        sample.dataBytes = static_cast<std::uint32_t>(sound.pcm.size() * 2);
        sample.source = sound.source;
        sample.gainDb = sound.gainDb;
    }
    out = std::move(sample);
    return Result::success();
}

std::string conversionReport(const RomSample& sample) {
    if (!sample.source) return {};
    std::string report =
        sample.name + ": " + describe(*sample.source) + ", converted to 18500 Hz mono";
    if (sample.gainDb < -0.005) {
        char gain[64];
        std::snprintf(gain, sizeof gain, ", taken down %.2f dB to stay within full scale",
                      -sample.gainDb);
        report += gain;
    }
    return report;
}

Result checkRomSample(const RomSample& sample) {
    if (sample.source) {
        SoundFileFormat format;
        if (Result r = probeSoundFile(sample.path, sample.name, format); !r) return r;
        return format == *sample.source ? Result::success() : changedSince(sample);
    }
    WavFile file;
    return reopen(sample, file);
}

Result encodeRomSample(const RomSample& sample, const ByteSinkFn& sink,
                       const ProgressFn& progress) {
    adpcma::Encoder encoder;
    if (sample.source) {
        ConvertedSound sound;
        if (Result r = reconvert(sample, sound, progress); !r) return r;
        std::vector<std::uint8_t> pcm(sound.pcm.size() * 2);
        for (std::size_t i = 0; i < sound.pcm.size(); ++i) {
            pcm[2 * i] = static_cast<std::uint8_t>(sound.pcm[i]);
            pcm[2 * i + 1] =
                static_cast<std::uint8_t>(static_cast<std::uint16_t>(sound.pcm[i]) >> 8);
        }
        std::vector<std::uint8_t> encoded(sample.encodedSize());
        encoder.encodePcm(pcm, encoded);
        sink(encoded);
        return Result::success();
    }
    WavFile file;
    if (Result r = reopen(sample, file); !r) return r;

    std::array<std::uint8_t, kEncodeBlockBytes> pcm{};
    std::array<std::uint8_t, kEncodeBlockBytes / 4> encoded{};
    const std::uint64_t wanted = std::uint64_t{sample.encodedSize()} * 4;
    for (std::uint64_t at = 0; at < wanted; at += pcm.size()) {
        const std::size_t block =
            static_cast<std::size_t>(std::min<std::uint64_t>(pcm.size(), wanted - at));
        if (file.readData(at, std::span(pcm).first(block)) != block) return changedSince(sample);
        encoder.encodePcm(std::span(pcm).first(block), encoded);
        sink(std::span(encoded).first(block / 4));
    }
    return Result::success();
}

}  // namespace qvx
