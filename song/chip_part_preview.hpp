#pragma once

#include <memory>

#include "song/pitched_sample.hpp"
#include "song/preview.hpp"
#include "song/ssg_voice.hpp"

// The note preview on the SSG and the ADPCM-B: what the whole-chip driver writes for a note,
// sent straight to the chip. An SSG note's volume sequence goes on with tick(), which the editor
// calls every 16 ms (the driver's tick) until the note has died away.
namespace qvx {

class ChipPartPreview {
  public:
    void setTarget(PreviewTarget* target) { target_ = target; }

    // `semitone` as chip_pitch counts them; `channel` 0-2. The last note held goes on alone.
    void ssgNote(const SsgVoice& voice, int channel, int semitone);
    void pitchedNote(const PitchedSample& instrument, int semitone);
    // Key-off: an SSG note goes on from its release step, the ADPCM-B stops.
    void release();
    // Stops everything at once (the song starts, or the song the notes came from is gone).
    void silence();
    // A tick of the SSG note's sequence.
    void tick();
    // Whether a note is held (keyed and not yet released).
    bool holding() const { return (ssg_ && !released_) || pitched_; }

  private:
    struct SsgNote {
        SsgVoice voice;
        SsgSequencer sequencer{voice};
        int channel = 0;
        int level = -1;  // last written
    };
    void writeLevel(std::uint8_t level);

    PreviewTarget* target_ = nullptr;
    std::unique_ptr<SsgNote> ssg_;
    bool pitched_ = false;
    bool released_ = false;
    std::uint8_t mixer_ = 0x3F;  // what the preview last wrote to the mixer
};

}  // namespace qvx
