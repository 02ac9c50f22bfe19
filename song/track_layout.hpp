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
enum class TrackKind : std::uint8_t { Fm = 0, AdpcmA = 1, Ssg = 2, AdpcmB = 3 };
inline constexpr int kTrackKinds = 4;

inline constexpr int kFmTracks = 4;
inline constexpr int kSsgTracks = 3;
inline constexpr int kAdpcmATracks = 6;
inline constexpr int kAdpcmBTracks = 1;
inline constexpr int kWholeChipTracks = kFmTracks + kSsgTracks + kAdpcmATracks + kAdpcmBTracks;
static_assert(kWholeChipTracks <= kMaxTracks);
static_assert(kFmTracks == kTracks);

constexpr int trackCount(SongKind kind) {
    return kind == SongKind::Classic ? kTracks : kWholeChipTracks;
}

// The groups of a whole-chip song, in the order the pattern view shows them.
inline constexpr TrackKind kWholeChipGroups[] = {TrackKind::Fm, TrackKind::Ssg, TrackKind::AdpcmA,
                                                 TrackKind::AdpcmB};

// How many tracks of a kind a song of `kind` has.
constexpr int tracksOf(SongKind kind, TrackKind track) {
    if (track == TrackKind::Fm) return kFmTracks;
    if (kind == SongKind::Classic) return 0;
    switch (track) {
        case TrackKind::Ssg:
            return kSsgTracks;
        case TrackKind::AdpcmA:
            return kAdpcmATracks;
        case TrackKind::AdpcmB:
            return kAdpcmBTracks;
        default:
            return 0;
    }
}

// The first track of a kind in a song of `kind`.
constexpr int firstTrackOf(SongKind kind, TrackKind track) {
    int first = 0;
    for (const TrackKind group : kWholeChipGroups) {
        if (group == track) return first;
        first += tracksOf(kind, group);
    }
    return first;
}

constexpr TrackKind trackKind(SongKind kind, int track) {
    for (const TrackKind group : kWholeChipGroups)
        if (track >= firstTrackOf(kind, group) &&
            track < firstTrackOf(kind, group) + tracksOf(kind, group))
            return group;
    return TrackKind::Fm;
}

// The track of a whole-chip song that plays `channel` of a group's.
constexpr int wholeChipTrack(TrackKind group, int channel) {
    return firstTrackOf(SongKind::WholeChip, group) + channel;
}

// The track's channel among those of its kind: FM 0-3, SSG 0-2 (A-C), ADPCM-A 0-5, ADPCM-B 0.
constexpr int trackChannel(SongKind kind, int track) {
    return track - firstTrackOf(kind, trackKind(kind, track));
}

// "FM 1" ... "FM 4", "SSG 1" ... "SSG 3", "ADPCM-A 1" ... "ADPCM-A 6", "ADPCM-B", as headers and
// messages name them.
std::string trackName(SongKind kind, int track);
// "FM", "SSG", "ADPCM-A", "ADPCM-B".
std::string trackKindName(TrackKind kind);

// Instruments a song of `kind` may use, numbered from 1.
constexpr int instrumentCount(SongKind kind) {
    return kind == SongKind::Classic ? kInstrumentCount : kWholeChipInstrumentCount;
}

}  // namespace qvx
