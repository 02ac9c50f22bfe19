#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "song/result.hpp"

namespace qvx {

// The ROM Maker's record of one WAV file in its sample list. The file is read again, block by
// block, every time the sample is encoded.
struct RomSample {
    std::filesystem::path path;
    std::string name;              // the list name; messages and the command header use it
    std::uint64_t fileLength = 0;  // when it was accepted
    std::uint32_t dataBytes = 0;   // bytes of sound when it was accepted

    // ADPCM-A bytes the sample yields: two 16-bit samples make one byte; an odd last sample is
    // dropped.
    std::uint32_t encodedSize() const { return dataBytes / 4; }
};

// Bytes of WAV the encoder reads at a time; a multiple of 4, so no sample pair is split.
inline constexpr std::size_t kEncodeBlockBytes = 1024;

// Accepts a WAV file for the list. Failure: "Failed to Open " + name, "WAV file is not MONO",
// "WAV file is not 18500Hz" or "WAV file is not 16bit"; `out` is then untouched.
Result readRomSample(const std::filesystem::path& path, std::string name, RomSample& out);

// Checks that the file still holds the sound that was accepted: it opens, is still a WAV file
// the encoder takes, and has as many bytes of sound as before. The message names the file.
Result checkRomSample(const RomSample& sample);

// Receives encoded bytes as they are made.
using ByteSinkFn = std::function<void(std::span<const std::uint8_t> bytes)>;

// Encodes the sample from its file, 1024 bytes of WAV at a time, handing the ADPCM-A bytes of
// each block to `sink`; exactly encodedSize() bytes in all on success. Fails (after part of the
// bytes may have gone to `sink`) when the check above fails or the file shrinks while it is read.
Result encodeRomSample(const RomSample& sample, const ByteSinkFn& sink);

}  // namespace qvx
