#include "song/track_layout.hpp"

namespace qvx {

std::string trackKindName(TrackKind kind) {
    switch (kind) {
        case TrackKind::Ssg:
            return "SSG";
        case TrackKind::AdpcmA:
            return "ADPCM-A";
        case TrackKind::AdpcmB:
            return "ADPCM-B";
        default:
            return "FM";
    }
}

std::string trackName(SongKind kind, int track) {
    const TrackKind group = trackKind(kind, track);
    if (tracksOf(kind, group) == 1) return trackKindName(group);
    return trackKindName(group) + " " + std::to_string(trackChannel(kind, track) + 1);
}

}  // namespace qvx
