#include "rombuild/rom_sample.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "rombuild/adpcm_a.hpp"
#include "rombuild/wav_reader.hpp"

namespace qvx {
namespace {

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

}  // namespace

Result readRomSample(const std::filesystem::path& path, std::string name, RomSample& out) {
    WavFile file;
    if (const WavVerdict verdict = file.open(path); verdict != WavVerdict::kAccepted)
        return Result::failure(wavMessage(verdict, name));
    out.path = path;
    out.name = std::move(name);
    out.fileLength = file.fileLength();
    out.dataBytes = file.dataBytes();
    return Result::success();
}

Result checkRomSample(const RomSample& sample) {
    WavFile file;
    return reopen(sample, file);
}

Result encodeRomSample(const RomSample& sample, const ByteSinkFn& sink) {
    WavFile file;
    if (Result r = reopen(sample, file); !r) return r;

    adpcma::Encoder encoder;
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
