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
//           (0 FM, 1 ADPCM-A, 2 SSG, 3 ADPCM-B), in the order the PATT sections store their
//           tracks; the tracks of each kind go to that kind's channels in turn, so a file of
//           fewer tracks (four FM and six ADPCM-A, as the first whole-chip songs were) opens
//   "SMPL"  a sample, numbered from 0 in file order: its kind (0: ADPCM-A, 16-bit PCM at
//           18,518.5 Hz; 1: ADPCM-B, 16-bit PCM at the rate of the instrument that plays it),
//           name, frame count (32-bit), the frames (16-bit little-endian)
//   "INST"  an instrument: number (1-63), kind, name, then
//           0 FM voice: its 25 register bytes
//           1 ADPCM-A kit: 12 notes of (sample number, 16-bit, 0xFFFF for none; level 0-31)
//           2 SSG voice: mix (0 tone, 1 noise, 2 both), noise period (0-31), volume (0-15),
//             envelope flags (bit 0 on, bit 1 period follows the note), envelope shape (0-15),
//             envelope period (16-bit), the volume sequence's step count (0-32) and steps
//             (0-15), its loop step and release step (0xFF for none)
//           3 ADPCM-B sample: sample number (16-bit, 0xFFFF for none), rate in Hz (32-bit,
//             2,000-55,555), base note (semitones from C-0), level (0-255), loop (0 or 1)
//           An instrument with no section is an unnamed FM voice with zero registers.
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
