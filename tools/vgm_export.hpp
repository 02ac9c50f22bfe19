#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "song/result.hpp"
#include "song/song.hpp"

// VGM files: the YM2610 register writes of a song played through the emulated board, with their
// timing, for the usual VGM players and for comparing chip emulators on the same stream.
namespace qvx {

inline constexpr std::uint32_t kVgmRate = 44100;  // VGM time: samples at 44.1 kHz

struct VgmOptions {
    // A fixed length and no loop; without it the file holds `passes` passes through the order
    // list and loops back to the start of the second.
    std::optional<double> seconds;
    int passes = 2;
    std::string title;  // the GD3 tag's track name
};

struct VgmInfo {
    std::uint64_t samples = 0;
    std::optional<std::uint64_t> loopStart;  // in samples; nothing without a loop
    std::size_t writes = 0;
};

struct VgmWrite;

// A VGM 1.51 file of YM2610 writes (sorted by time), `samples` long, looping back to `loop`,
// for a chip at `clock` Hz; a non-empty `adpcmA` goes in front as the chip's ADPCM-A ROM.
std::vector<std::uint8_t> encodeVgm(const std::vector<VgmWrite>& writes, std::uint64_t samples,
                                    std::optional<std::uint64_t> loop, const std::string& title,
                                    std::uint32_t clock = 8'000'000,
                                    std::span<const std::uint8_t> adpcmA = {});

// The song as Play Song plays it, as a VGM 1.51 file in memory. Fails when the song cannot be
// played, or when the order list does not come round within an hour.
Result buildVgm(const Song& song, const VgmOptions& options, std::vector<std::uint8_t>& out,
                VgmInfo* info = nullptr);
Result exportVgm(const Song& song, const VgmOptions& options, const std::filesystem::path& path,
                 VgmInfo* info = nullptr);

struct TimedCommand;

// A built M1 booted on the board with its V1 (which may be empty), sent `commands` at their
// times, `seconds` long, paced by the chip's timer as on the board: both register banks with
// their timing, and the V1 as the chip's ADPCM-A ROM, so that any VGM player plays the samples.
Result buildRomVgm(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1,
                   const std::vector<TimedCommand>& commands, double seconds,
                   const std::string& title, std::vector<std::uint8_t>& out,
                   VgmInfo* info = nullptr);

// A chip write read back from a VGM file.
struct VgmWrite {
    std::uint64_t sample;
    std::uint8_t port;  // 0 or 1: the YM2610's register bank
    std::uint8_t address;
    std::uint8_t value;
    friend bool operator==(const VgmWrite&, const VgmWrite&) = default;
};

// The YM2610 writes of a VGM file and its header's lengths; nothing when it is no VGM file this
// reader understands (only YM2610 writes, waits, data blocks and the end mark).
struct VgmStream {
    std::uint32_t ym2610Clock = 0;
    std::uint64_t samples = 0;
    std::optional<std::uint64_t> loopStart;
    std::vector<VgmWrite> writes;
    std::string title;
    std::vector<std::uint8_t> adpcmA;  // the ADPCM-A ROM its data blocks hold
};
std::optional<VgmStream> readVgm(const std::vector<std::uint8_t>& bytes);

}  // namespace qvx
