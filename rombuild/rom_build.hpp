#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/memory_map.hpp"
#include "rombuild/rom_sample.hpp"
#include "rombuild/song_block.hpp"
#include "song/result.hpp"
#include "song/song.hpp"

// The ROM Maker's build: the V1 ROM (ADPCM-A samples), the M1 ROM (driver, sample table, songs)
// and the command header that tells the game's programmer which command plays what.
namespace qvx {

inline constexpr std::size_t kMaxRomSongs =
    driver::command::kLastSong - driver::command::kFirstSong + 1;
inline constexpr std::size_t kMaxRomSamples =
    driver::command::kLastSample - driver::command::kFirstSample + 1;
// Room for song blocks: from the first block up to the driver's variables and stack.
inline constexpr std::int64_t kM1SongRoom = driver::kVariables - driver::kFirstSongBlock;
inline constexpr std::int64_t kV1Size = 524288;
inline constexpr std::size_t kAdpcmBlockBytes = 256;  // the chip's address unit
inline constexpr std::uint8_t kV1Padding = 0x80;
inline constexpr std::string_view kNothingToBuild =
    "There is nothing to build: add a song or a sample to the lists first";

// One line of the command table.
struct RomCommand {
    std::uint8_t number = 0;
    std::string define;       // e.g. SOUND_FM_INTRO
    std::string name;         // the list name it came from, e.g. intro.mus
    std::uint64_t bytes = 0;  // song block size, or encoded sample size without padding
};

struct RomCommands {
    std::vector<RomCommand> songs;
    std::vector<RomCommand> samples;
    bool wholeChip = false;  // the M1 holds the whole-chip driver
};

// Command numbers and define names: songs from 0x81, samples from 0x04, in list order. A define
// name is the list name in upper case without its extension (from its last "."), with every
// character other than a letter, digit or underscore made an underscore; a name already taken (also
// the fixed SOUND_FM_OFF and SOUND_ADPCM_OFF) gets the first free suffix _2, _3, ...
RomCommands romCommands(std::span<const RomSong> songs, std::span<const RomSample> samples);

// Remaining space as the ROM Maker shows it; below zero when the list does not fit. The M1
// figure counts only the room songs can use (up to the driver's variables); the V1 figure leaves
// out padding.
struct RomSpace {
    std::int64_t m1 = 0;
    std::int64_t v1 = 0;
};
RomSpace romSpace(std::span<const RomSong> songs, std::span<const RomSample> samples);

// A song's block as the M1 holds it: for the classic driver, or (`wholeChip`) the whole-chip one.
std::size_t romSongBlockSize(const RomSong& song, bool wholeChip = false);
// An M1 holds one driver: the whole-chip one as soon as one of its songs is a whole-chip song.
// A classic song is then compiled for it with its classic meaning.
bool wholeChipRom(std::span<const RomSong> songs);
std::shared_ptr<const Song> wholeChipSongOf(const RomSong& song);

// Bytes the V1 takes: every sample padded with 0x80 up to the next 256-byte boundary, a whole
// block of padding when it already ends on one.
std::uint64_t v1Size(std::span<const RomSample> samples);

// Entry 4 + i for sample i: start block and end block (the block holding the last encoded byte),
// little-endian; every other entry zero.
SampleTable sampleTable(std::span<const RomSample> samples);

// The ROM Maker's words for why the driver cannot play a song as it stands.
std::string romSongProblem(const RomSong& song);

// Every reason the lists cannot be built, in the order found; empty when they can. Covers empty
// lists, the command-number limits, the room on both ROMs, songs the driver cannot play as they
// stand, and samples whose files vanished or changed since they were added.
std::vector<std::string> romProblems(std::span<const RomSong> songs,
                                     std::span<const RomSample> samples);

// The V1 image, encoding each sample from its file. Fails, naming the file, when a sample's file
// cannot be read as it was accepted; `out` is then untouched. Conversions tell `progress` how far
// the whole V1 is.
Result buildV1(std::span<const RomSample> samples, std::vector<std::uint8_t>& out,
               const ProgressFn& progress = {});

// The M1 image: the driver, the table, then one song block per song with link words that chain
// them. Expects songs that passed romProblems. Whole-chip songs' samples go in the V1 after
// `samples` (the command samples), each once.
std::vector<std::uint8_t> buildM1(std::span<const RomSong> songs, const SampleTable& table,
                                  std::span<const RomSample> samples = {});
// The V1 with the whole-chip songs' samples after the command samples' bytes.
std::vector<std::uint8_t> songSamplesV1(std::span<const RomSong> songs,
                                        std::span<const RomSample> samples,
                                        std::vector<std::uint8_t> commandSamples);

std::string commandHeader(const RomCommands& commands);

// The three outputs made in memory, with the commands the header names.
struct RomImages {
    std::vector<std::string> problems;  // when not empty, nothing else was made
    std::vector<std::uint8_t> v1;
    std::vector<std::uint8_t> m1;
    std::string header;
    RomCommands commands;
};
// Without `withV1` the V1 is left empty (its samples are not encoded); the M1's sample table is
// the same either way, since it follows from the list alone.
RomImages makeRomImages(std::span<const RomSong> songs, std::span<const RomSample> samples,
                        bool withV1 = true, const ProgressFn& progress = {});

// Sizes a written M1 may be filled up to, with 0xFF as an erased EPROM reads: the 64 KB the Z80
// addresses, or the 128 KB chip that boards and emulators commonly expect.
inline constexpr std::array<std::size_t, 2> kM1PadSizes = {65536, 131072};
inline constexpr std::uint8_t kM1Padding = 0xFF;

enum class RomOutput { V1, M1, Header };

// Where to write each output; an empty path leaves that output out.
struct RomOutputs {
    std::filesystem::path v1;
    std::filesystem::path m1;
    std::filesystem::path header;
    std::size_t m1PadTo = 0;  // 0: the M1 as built; else one of kM1PadSizes

    const std::filesystem::path& path(RomOutput output) const;
};

struct RomBuildResult {
    struct Failure {
        RomOutput output;
        std::string message;  // "Failed to Create " + file name
    };
    std::vector<std::string> problems;  // with the inputs: nothing was written
    std::vector<Failure> failures;      // outputs that could not be written
    std::vector<RomOutput> written;     // in the order written

    bool ok() const { return problems.empty() && failures.empty(); }
    // What the user is told, in order: the problems, or the failed outputs.
    std::vector<std::string> messages() const;
};

// Builds everything first and writes nothing when any input has a problem. Then writes the V1,
// the M1 and the header, each on its own: an output that cannot be written leaves its old file as
// it was and the others are still written.
RomBuildResult buildRoms(std::span<const RomSong> songs, std::span<const RomSample> samples,
                         const RomOutputs& outputs, const ProgressFn& progress = {});

}  // namespace qvx
