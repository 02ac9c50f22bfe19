#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "driver/memory_map.hpp"
#include "song/compiled_pattern.hpp"
#include "song/song.hpp"

// The song block: one song as the sound driver plays it. Every image the editor plays, every test
// ROM and every M1 ROM holds one or more of them, written by writeSongBlock and checked by
// findSongBlockProblem:
//
//   "QVX0"               magic
//   link word            bytes from behind the link word to the next block (0 in a one-song image)
//   instrument count n   instruments 1..n follow, 32 bytes each: 25 voice bytes, 7 zero bytes
//   order block          count, then 128 pattern numbers (unused entries zero)
//   patterns             1024 bytes each, 64 rows x 4 tracks x 4-byte compiled cells
namespace qvx {

inline constexpr std::array<std::uint8_t, driver::kSongMagicBytes> kSongBlockMagic = {'Q', 'V', 'X',
                                                                                      '0'};
inline constexpr std::size_t kOrderBlockBytes = driver::kPatternsOffset;

// The song model and the driver must agree on the shape of a song.
static_assert(kRows == driver::kRows && kTracks == driver::kTracks);
static_assert(kVoiceBytes == driver::kVoiceBytes && kCompiledCellBytes == driver::kCellBytes);
static_assert(kCompiledPatternBytes == driver::kPatternBytes);
static_assert(kMaxOrderEntries == driver::kOrderEntries);
static_assert(kMaxPatterns == driver::kPatternNumberMask + 1);
static_assert(kRomSongOrderEntries <= kMaxOrderEntries);

// What one song block is made of. Either a whole song (the editor's, with its track enable flags,
// or a ROM Maker song as its file stores it) or the editor's current pattern alone.
struct SongBlockSource {
    const std::array<Instrument, kInstrumentSlots>* instruments = nullptr;  // slot k: instrument k
    int instrumentCount = 0;  // instruments 1..n go into the table
    std::span<const std::uint8_t> order;
    std::span<const Pattern> patterns;
    int firstPatternNumber = 0;              // the number of patterns[0], for messages
    const TrackFlags* trackFlags = nullptr;  // null: every track as stored; else muted notes go
};

// The whole song; the notes of disabled tracks are left out, as playback hears it.
SongBlockSource songBlockSource(const Song& song);
// Pattern `pattern` alone as the only order entry. Its instrument table covers the instruments
// of the whole song, at most 31.
SongBlockSource patternBlockSource(const Song& song, int pattern);
SongBlockSource songBlockSource(const RomSong& song);

// Size in bytes of a song block with n instruments and p patterns.
constexpr std::size_t songBlockSize(std::size_t instruments, std::size_t patterns) {
    return driver::kSongInstruments + driver::kInstrumentBytes * instruments + kOrderBlockBytes +
           kCompiledPatternBytes * patterns;
}
std::size_t songBlockSize(const SongBlockSource& source);

// Why the driver cannot play a block as it stands. Each caller words it for its user.
struct SongBlockProblem {
    enum class Kind {
        None,
        EmptyOrderList,
        TooManyOrderEntries,  // `count` entries
        MissingPattern,       // order entry `orderEntry` names `pattern`
        BadInstrument,        // `pattern`, `track` (0-3), `row` use `instrument`
    };
    Kind kind = Kind::None;
    std::size_t count = 0;
    int orderEntry = 0;
    int pattern = 0;
    int track = 0;
    int row = 0;
    std::uint8_t instrument = 0;

    explicit operator bool() const { return kind != Kind::None; }
};

// The first problem of the order list (empty, longer than the driver's 128 entries, naming a
// pattern that is not there), then of the cells: an instrument byte the driver cannot look up
// (1..31, 0 for the first, or none are fine). The room the block needs is the caller's to check.
SongBlockProblem findSongBlockProblem(const SongBlockSource& source);

// Writes the block into `out`, which holds exactly songBlockSize(source) bytes. Expects a source
// without problems.
void writeSongBlock(const SongBlockSource& source, std::uint16_t link, std::span<std::uint8_t> out);

// The driver, the sample table, and one block per song, linked so that song n plays as command
// 0x80 + n. Expects sources without problems.
using SampleTable = std::array<std::uint8_t, driver::kSampleTableBytes>;
std::vector<std::uint8_t> buildMultiSongImage(std::span<const SongBlockSource> songs,
                                              const SampleTable& table);

// Stores a word little-endian, as the link words and the sample table hold them.
void putWord(std::span<std::uint8_t> at, std::uint16_t value);

// A sound board address as messages show it: "0x" and four upper-case hex digits.
std::string addressText(std::uint16_t address);
// A command number as the ROM Maker shows it and the command header spells it: "0x" and two
// lower-case hex digits.
std::string commandText(std::uint8_t command);

}  // namespace qvx
