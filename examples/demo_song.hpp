#pragma once

#include "song/song.hpp"

namespace qvx::examples {

// The demo song shipped in examples/: four FM voices, a bass line, a melody, chords and a
// counter line over four patterns, using the speed, volume and break effects.
Song makeDemoSong();

// The bass voice of the demo, as its own instrument file.
inline constexpr int kDemoInstrument = 1;

}  // namespace qvx::examples
