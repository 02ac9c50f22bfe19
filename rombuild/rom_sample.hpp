#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "rombuild/sound_file.hpp"
#include "song/result.hpp"

namespace qvx {

// The ROM Maker's record of one sound file in its sample list. The file is read again every
// time the sample is encoded: a 16-bit mono 18500 Hz WAV file block by block, any other sound
// file converted whole.
struct RomSample {
    std::filesystem::path path;
    std::string name;              // the list name; messages and the command header use it
    std::uint64_t fileLength = 0;  // when it was accepted
    std::uint32_t dataBytes = 0;   // bytes of 16-bit sound when it was accepted
    // What a converted file held, and how far it was taken down to fit; nothing for a file the
    // encoder reads as it is.
    std::optional<SoundFileFormat> source;
    double gainDb = 0;

    // ADPCM-A bytes the sample yields: two 16-bit samples make one byte; an odd last sample is
    // dropped.
    std::uint32_t encodedSize() const { return dataBytes / 4; }
};

// Bytes of WAV the encoder reads at a time; a multiple of 4, so no sample pair is split.
inline constexpr std::size_t kEncodeBlockBytes = 1024;

// Accepts a sound file for the list: a 16-bit mono 18500 Hz WAV file as it is, any other file
// libsndfile reads converted to one. Failure: "Failed to Open " + name, or the name and
// libsndfile's message; `out` is then untouched. A conversion tells `progress` how far it is.
Result readRomSample(const std::filesystem::path& path, std::string name, RomSample& out,
                     const ProgressFn& progress = {});

// "hit.flac: 44100 Hz stereo 24-bit, converted to 18500 Hz mono" (and how far it was taken down
// when it would have clipped); empty for a sample that needed no conversion.
std::string conversionReport(const RomSample& sample);

// Checks that the file still holds the sound that was accepted: it opens, is still a WAV file
// the encoder takes, and has as many bytes of sound as before. The message names the file.
Result checkRomSample(const RomSample& sample);

// Receives encoded bytes as they are made.
using ByteSinkFn = std::function<void(std::span<const std::uint8_t> bytes)>;

// Encodes the sample from its file, 1024 bytes of WAV at a time, handing the ADPCM-A bytes of
// each block to `sink`; exactly encodedSize() bytes in all on success. Fails (after part of the
// bytes may have gone to `sink`) when the check above fails or the file shrinks while it is read.
Result encodeRomSample(const RomSample& sample, const ByteSinkFn& sink,
                       const ProgressFn& progress = {});

}  // namespace qvx
