#pragma once

#include <cstdint>
#include <span>

#include "song/cell.hpp"

namespace qvx {

// Where the editor previews single notes: FM channel 1 of the sound board, or a drum kit's sample
// on an ADPCM-A channel, reached directly and not through the driver. The editor wires it to the
// sound library; tests record the calls.
class PreviewTarget {
  public:
    virtual ~PreviewTarget() = default;
    virtual void keyUp() = 0;
    virtual void loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) = 0;
    // `note` 0..11 (0 is the C of the block above), `octave` the block.
    virtual void keyDown(int note, int octave) = 0;
    // A kit's sample (16-bit at the ADPCM-A rate) on ADPCM-A `channel` 0-5 at `level` 0-31.
    virtual void playSample(std::span<const std::int16_t> pcm, int channel, int level) = 0;
};

}  // namespace qvx
