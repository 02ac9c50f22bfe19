#pragma once

#include <string>

#include "song/song.hpp"

// The SSG has one noise generator and one envelope generator for its three channels: of two
// notes that ask for different ones, the later written wins for both, as on the chip. Finding
// where a song asks it of them, so that the editor can say so.
namespace qvx {

// What the note at `row` of `track` (an SSG track) in `pattern` asks of the shared generators
// that a note still sounding on another SSG track asks otherwise (that track's last note at or
// before the row, unless it was keyed off or ended since), in the editor's words; empty when
// nothing clashes. Notes of the same row count as sounding.
std::string ssgSharingClash(const Song& song, const Pattern& pattern, int track, int row);

}  // namespace qvx
