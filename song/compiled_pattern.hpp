#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "song/song.hpp"

namespace qvx {

// The driver's form of a pattern: 64 rows x 4 tracks x 4 bytes, row by row. The song file stores
// patterns in exactly this form.
inline constexpr std::size_t kCompiledCellBytes = 4;
inline constexpr std::size_t kCompiledPatternBytes = kRows * kTracks * kCompiledCellBytes;
using CompiledCell = std::array<std::uint8_t, kCompiledCellBytes>;
using CompiledPattern = std::array<std::uint8_t, kCompiledPatternBytes>;

// Note nibble of a compiled cell: 0 = no note, 1..11 = C# .. B, 12 = C (stored one octave down
// because the driver's table entry 12 is the C above the block), 13 = end mark.
inline constexpr std::uint8_t kNibbleNone = 0;
inline constexpr std::uint8_t kNibbleC = 12;

// `muted` removes the note but keeps octave, instrument, effect and parameter.
CompiledCell compileCell(const Cell& cell, bool muted = false);

// Fills `out` with the pattern. With `trackFlags` the notes of disabled tracks are removed (what
// playback hears); without, every track is kept as it is (what the song file stores).
void compilePattern(const Pattern& pattern, const TrackFlags* trackFlags,
                    std::span<std::uint8_t, kCompiledPatternBytes> out);
CompiledPattern compilePattern(const Pattern& pattern, const TrackFlags* trackFlags = nullptr);

// Inverse of compileCell for every cell with an octave of 1..7; a cell without an octave comes
// back as the empty note.
Cell decodeCell(std::span<const std::uint8_t, kCompiledCellBytes> bytes);

// One stored cell, refused (nullopt) as decodePattern refuses it.
std::optional<Cell> decodeStoredCell(std::span<const std::uint8_t, kCompiledCellBytes> bytes);

// Decodes a whole pattern's cells. Refuses (nullopt) data the editor never writes and cannot
// show: note nibbles 14 and 15, or octaves beyond 7.
std::optional<TrackSet> decodePattern(std::span<const std::uint8_t, kCompiledPatternBytes> bytes);

}  // namespace qvx
