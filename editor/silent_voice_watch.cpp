#include "editor/silent_voice_watch.hpp"

#include <algorithm>

#include "song/voice_sound.hpp"

namespace qvx::editor {

SilentVoiceWatch::SilentVoiceWatch(PreviewTarget& inner, const Workspace& workspace,
                                   std::function<void(const QString&)> tell,
                                   std::function<int()> testKeyboardInstrument)
    : inner_(inner),
      workspace_(workspace),
      tell_(std::move(tell)),
      testKeyboardInstrument_(std::move(testKeyboardInstrument)) {}

void SilentVoiceWatch::loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) {
    std::copy(voice.begin(), voice.end(), voice_.begin());
    inner_.loadInstrument(voice);
}

void SilentVoiceWatch::keyDown(int note, int octave) {
    inner_.keyDown(note, octave);
    if (const auto reason = silentVoiceReason(voice_))
        tell_(QString::fromStdString(silentVoiceMessage(instrumentOf(voice_), *reason)));
}

int SilentVoiceWatch::instrumentOf(const VoiceBytes& voice) const {
    if (workspace_.heldPreview() == Workspace::PreviewSource::TestKeyboard)
        return testKeyboardInstrument_();
    // The pattern editor plays the voice of an instrument: the selected one, or else the first
    // that holds it.
    const Song& song = workspace_.song();
    const int selected = std::max(workspace_.selectedInstrument(), 1);
    if (song.instruments[selected].registers == voice) return selected;
    for (int k = 1; k <= kInstrumentCount; ++k)
        if (song.instruments[k].registers == voice) return k;
    return selected;
}

}  // namespace qvx::editor
