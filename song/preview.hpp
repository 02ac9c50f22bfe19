#pragma once

#include <cstdint>
#include <span>

#include "song/cell.hpp"

namespace qvx {

// Where the editor previews single notes: FM channel 1 of the sound board, a drum kit's sample
// on an ADPCM-A channel, an SSG channel's registers or the ADPCM-B, reached directly and not
// through the driver. The editor wires it to the sound library; tests record the calls.
class PreviewTarget {
  public:
    virtual ~PreviewTarget() = default;
    virtual void keyUp() = 0;
    virtual void loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) = 0;
    // `note` 0..11 (0 is the C of the block above), `octave` the block.
    virtual void keyDown(int note, int octave) = 0;
    // A kit's sample (16-bit at the ADPCM-A rate) on ADPCM-A `channel` 0-5 at `level` 0-31.
    virtual void playSample(std::span<const std::int16_t> pcm, int channel, int level) = 0;
    // A pitched sample (16-bit) on the ADPCM-B at delta-N `deltaN`, channel level `level` 0-255,
    // repeated with its padding when `loop`.
    virtual void playPitchedSample(std::span<const std::int16_t> pcm, bool loop, int deltaN,
                                   int level) = 0;
    // A register of the chip (bank 0 or 1), for the SSG's notes and to stop the ADPCM-B.
    virtual void writeChip(int bank, std::uint8_t address, std::uint8_t value) = 0;
};

}  // namespace qvx
