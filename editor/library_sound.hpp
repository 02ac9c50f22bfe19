#pragma once

#include "editor/services.hpp"

namespace qvx::editor {

// Playback through the process's sound library (libqvxsnd).
class LibrarySoundTarget : public SoundTarget {
  public:
    void sendData(std::span<const std::uint8_t> image) override;
    void sendRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) override;
    void sendCommand(std::uint16_t command) override;
};

// Note preview through the library's KeyUp, loadInstrument, KeyDown and the sample and chip
// previews.
class LibraryPreviewTarget : public PreviewTarget {
  public:
    void keyUp() override;
    void loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) override;
    void keyDown(int note, int octave) override;
    void playSample(std::span<const std::int16_t> pcm, int channel, int level) override;
    void playPitchedSample(std::span<const std::int16_t> pcm, bool loop, int deltaN,
                           int level) override;
    void writeChip(int bank, std::uint8_t address, std::uint8_t value) override;
};

// The sound library at 44100 Hz, as the program uses it.
class LibrarySound : public SoundSystem {
  public:
    static constexpr int kSampleRate = 44100;

    void start(void* window) override;
    QString status() const override;
    SoundTarget& player() override { return player_; }
    PreviewTarget& preview() override { return preview_; }
    void playRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) override;
    std::optional<Position> playPosition() override;
    void setChipAccurateFm(bool on) override;
    std::size_t scopeHistory(std::int16_t* out, std::size_t frames) override;

  private:
    LibrarySoundTarget player_;
    LibraryPreviewTarget preview_;
};

}  // namespace qvx::editor
