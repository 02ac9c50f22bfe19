#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "song/result.hpp"

// VGM files of the YM2610 and YM2610B: written from a stream of register writes, and read back
// from any player's or tracker's export, for the usual VGM players and for comparing chip
// emulators on the same stream.
namespace qvx {

inline constexpr std::uint32_t kVgmRate = 44100;  // VGM time: samples at 44.1 kHz

// A chip write of a VGM file.
struct VgmWrite {
    std::uint64_t sample;
    std::uint8_t port;  // 0 or 1: the YM2610's register bank
    std::uint8_t address;
    std::uint8_t value;
    friend bool operator==(const VgmWrite&, const VgmWrite&) = default;
};

// What a VGM file holds for one YM2610: its writes (sorted by time), its length, where it loops
// back to, and the ROMs its data blocks fill.
struct VgmStream {
    std::uint32_t ym2610Clock = 0;
    bool ym2610b = false;  // all six FM channels sound
    std::uint64_t samples = 0;
    std::optional<std::uint64_t> loopStart;
    std::vector<VgmWrite> writes;
    std::string title;
    std::vector<std::uint8_t> adpcmA;  // the ADPCM-A ROM its 0x82 blocks hold
    std::vector<std::uint8_t> adpcmB;  // the ADPCM-B ROM its 0x83 blocks hold
    // What the file held that is not played (other chips), or that it lacked (a truncated file):
    // a line each, naming it and its offset.
    std::vector<std::string> notes;
};

// A VGM 1.51 file of YM2610 writes (sorted by time), `samples` long, looping back to `loop`,
// for a chip at `clock` Hz (a YM2610B with `ym2610b`); a non-empty `adpcmA` goes in front as the
// chip's ADPCM-A ROM, `adpcmB` as its ADPCM-B ROM.
struct VgmImage {
    std::vector<VgmWrite> writes;
    std::uint64_t samples = 0;
    std::optional<std::uint64_t> loop;
    std::string title;
    std::uint32_t clock = 8'000'000;
    bool ym2610b = false;
    std::span<const std::uint8_t> adpcmA;
    std::span<const std::uint8_t> adpcmB;
};
std::vector<std::uint8_t> encodeVgm(const VgmImage& image);
std::vector<std::uint8_t> encodeVgm(const std::vector<VgmWrite>& writes, std::uint64_t samples,
                                    std::optional<std::uint64_t> loop, const std::string& title,
                                    std::uint32_t clock = 8'000'000,
                                    std::span<const std::uint8_t> adpcmA = {},
                                    std::span<const std::uint8_t> adpcmB = {});

// Reads a VGM file's YM2610 part: both ports, every wait, the ADPCM-A (0x82) and ADPCM-B (0x83)
// ROM blocks, the loop point, the GD3 title. Other chips' commands are skipped and named in
// `notes`; a file cut off plays what is there and says so. Refused with a message naming the
// offset: no VGM file, no YM2610 in it, a command no VGM version defines.
Result parseVgm(std::span<const std::uint8_t> bytes, VgmStream& out);
// The same from a file, which may be gzip-compressed (".vgz").
Result readVgmFile(const std::filesystem::path& path, VgmStream& out);
// parseVgm's stream, or nothing when it refuses the bytes.
std::optional<VgmStream> readVgm(std::span<const std::uint8_t> bytes);

}  // namespace qvx
