#pragma once

#include <QString>
#include <functional>

#include "song/preview.hpp"
#include "song/workspace.hpp"

namespace qvx::editor {

// Stands between the editor's note previews and the sound: when a note is keyed on a voice none
// of whose carriers can sound, it says so, naming the instrument and what to do.
class SilentVoiceWatch : public PreviewTarget {
  public:
    // `tell` shows the message; `testKeyboardInstrument` names the instrument editor's while
    // its test keyboard plays.
    SilentVoiceWatch(PreviewTarget& inner, const Workspace& workspace,
                     std::function<void(const QString&)> tell,
                     std::function<int()> testKeyboardInstrument);

    void keyUp() override { inner_.keyUp(); }
    void loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) override;
    void keyDown(int note, int octave) override;
    void playSample(std::span<const std::int16_t> pcm, int channel, int level) override {
        inner_.playSample(pcm, channel, level);
    }
    void playPitchedSample(std::span<const std::int16_t> pcm, bool loop, int deltaN,
                           int level) override {
        inner_.playPitchedSample(pcm, loop, deltaN, level);
    }
    void writeChip(int bank, std::uint8_t address, std::uint8_t value) override {
        inner_.writeChip(bank, address, value);
    }

  private:
    int instrumentOf(const VoiceBytes& voice) const;

    PreviewTarget& inner_;
    const Workspace& workspace_;
    std::function<void(const QString&)> tell_;
    std::function<int()> testKeyboardInstrument_;
    VoiceBytes voice_{};
};

}  // namespace qvx::editor
