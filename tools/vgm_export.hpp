#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "song/result.hpp"
#include "song/song.hpp"
#include "tools/vgm_file.hpp"

// VGM files: the YM2610 register writes of a song played through the emulated board, with their
// timing, for the usual VGM players and for comparing chip emulators on the same stream.
namespace qvx {

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

}  // namespace qvx
