#pragma once

#include <string_view>

#include "song/song.hpp"

namespace qvx::voices {

// The preset voice a whole-chip MOD import gives the module's sample `number` (1-31) named
// `name`: one whose kind the name suggests ("Bass 1" a bass, "snare" the snare, "strings" the
// strings ...), else one of a few all-round voices in turn, so neighbouring samples differ.
VoiceBytes presetVoiceForSample(std::string_view name, int number);

}  // namespace qvx::voices
