#include "song/track_layout.hpp"

namespace qvx {

std::string trackName(SongKind kind, int track) {
    const std::string number = std::to_string(trackChannel(kind, track) + 1);
    return (trackKind(kind, track) == TrackKind::AdpcmA ? "ADPCM-A " : "FM ") + number;
}

}  // namespace qvx
