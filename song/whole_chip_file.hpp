#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "song/song.hpp"

// The whole-chip song file. After the magic "QVXM2" come sections, each a four-letter tag, its
// length (32-bit little-endian) and that many bytes. A tag that starts with a capital letter must
// be understood by a reader; one that starts with a small letter holds what a reader may pass
// over. New track kinds, instrument kinds and song settings come as new values or new sections,
// so the file never needs another version.
//
//   "SONG"  once, first: the song's kind (1, whole-chip), the track count n, then n track kinds
//           (0 FM, 1 ADPCM-A), in the order the PATT sections store their tracks
//   "SMPL"  a sample, numbered from 0 in file order: its kind (0: ADPCM-A, 16-bit PCM at
//           18,518.5 Hz), name, frame count (32-bit), the frames (16-bit little-endian)
//   "INST"  an instrument: number (1-63), kind, name, then an FM voice's 25 register bytes or a
//           kit's 12 notes (sample number, 16-bit, 0xFFFF for none; level 0-31). An instrument
//           with no section is an unnamed FM voice with zero registers.
//   "ORDR"  once: the entry count (1-128), then one pattern number per entry
//   "PATT"  a pattern, 1 to 64 in pattern order: its name, then for each track of SONG its 64
//           cells in the classic song file's 4-byte form
//
// Names are zero-terminated, at most 255 bytes.
namespace qvx {

inline constexpr std::string_view kWholeChipSongMagic = "QVXM2";

// The largest file a whole-chip song can make: every sample the V ROM space could hold, plus
// room for everything else. A larger file is refused before it is read.
inline constexpr std::size_t kMaxWholeChipSongFileBytes = kMaxSongSampleFrames * 2 + (4u << 20);

std::vector<std::uint8_t> serializeWholeChipSong(const Song& song);

// Reads a whole file that starts with "QVXM2" into `out`, replacing it only when the file was read
// and validated whole. Returns why the file is refused, or nothing.
std::string readWholeChipSong(std::span<const std::uint8_t> bytes, Song& out);

}  // namespace qvx
