#pragma once

#include <cstdint>
#include <string>

#include "song/cell.hpp"

// Which tracks a song has. A classic song is the four FM tracks the classic driver plays; a
// whole-chip song adds tracks for the chip's other parts, each kind in its own group after the
// FM tracks. Files store each track with its kind, so the groups may grow without moving what an
// older file holds.
namespace qvx {

enum class SongKind : std::uint8_t { Classic, WholeChip };

// The values are the song file's.
enum class TrackKind : std::uint8_t { Fm = 0, AdpcmA = 1 };

inline constexpr int kFmTracks = 4;
inline constexpr int kAdpcmATracks = 6;
inline constexpr int kWholeChipTracks = kFmTracks + kAdpcmATracks;
static_assert(kWholeChipTracks <= kMaxTracks);
static_assert(kFmTracks == kTracks);

constexpr int trackCount(SongKind kind) {
    return kind == SongKind::Classic ? kTracks : kWholeChipTracks;
}

constexpr TrackKind trackKind(SongKind kind, int track) {
    return kind == SongKind::WholeChip && track >= kFmTracks ? TrackKind::AdpcmA : TrackKind::Fm;
}

// The track's channel among those of its kind: FM 0-3, ADPCM-A 0-5.
constexpr int trackChannel(SongKind kind, int track) {
    return trackKind(kind, track) == TrackKind::AdpcmA ? track - kFmTracks : track;
}

// The first track of a kind, and how many there are, in a song of `kind`.
constexpr int firstTrackOf(SongKind kind, TrackKind track) {
    (void)kind;
    return track == TrackKind::AdpcmA ? kFmTracks : 0;
}
constexpr int tracksOf(SongKind kind, TrackKind track) {
    if (track == TrackKind::Fm) return kFmTracks;
    return kind == SongKind::WholeChip ? kAdpcmATracks : 0;
}

// "FM 1" ... "FM 4", "ADPCM-A 1" ... "ADPCM-A 6", as headers and messages name them.
std::string trackName(SongKind kind, int track);

// Instruments a song of `kind` may use, numbered from 1.
constexpr int instrumentCount(SongKind kind) {
    return kind == SongKind::Classic ? kInstrumentCount : kWholeChipInstrumentCount;
}

}  // namespace qvx
