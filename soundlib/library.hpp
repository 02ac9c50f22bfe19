#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "soundlib/audio/audio_output.hpp"
#include "soundlib/engine/engine.hpp"

namespace qvxsnd {

// The one emulated board of the process behind the C exports. Every operation returns at once:
// requests go to the engine's queue and the audio thread applies them.
class SoundLibrary {
  public:
    static SoundLibrary& instance();

    void initSound(void* window, int sampleRate);
    void stopSound();
    // A compiled image has no V ROM: the ADPCM-A channels go silent with it.
    void sendData(std::span<const std::uint8_t> image);
    // An M1 booted with its V1, as the board starts them at power-on: its tick is the chip's
    // timer A, which the driver sets (a whole-chip song's tempo reprograms it).
    void sendRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1);
    void sendCommand(std::uint16_t command);
    void loadInstrument(std::span<const std::uint8_t, Engine::kVoiceBytes> voice);
    void keyDown(int note, int octave);
    void keyUp();
    void previewSample(std::span<const std::uint8_t> adpcm, int channel, int level);
    void previewPitchedSample(std::span<const std::uint8_t> adpcm, int deltaN, int level,
                              bool loop);
    void previewWrite(int bank, std::uint8_t address, std::uint8_t value);
    // Kept for every engine made later too.
    void setFmModel(FmModel model);
    const char* status();
    // Where the playing song is (order position, row last played); nothing while none plays.
    // Never waits for the audio thread.
    std::optional<Engine::PlayPosition> playPosition();
    // The engine's scope history (Engine::scopeHistory); 0 frames before initSound.
    std::size_t scopeHistory(std::int16_t* out, std::size_t frames, std::size_t values);

    // How many audio outputs were ever opened (one per process).
    int outputsOpened() const { return outputsOpened_; }
    bool hasDevice();
    // Frames the audio side has pulled from the engine so far.
    std::uint64_t framesRendered() const { return framesRendered_.load(std::memory_order_relaxed); }

    // Sees every buffer the audio output receives, on the audio thread, right after it is
    // rendered: for measuring what the user hears. Set it before initSound.
    using OutputObserver = std::function<void(std::span<const std::int16_t> samples)>;
    void setOutputObserver(OutputObserver observer) { outputObserver_ = std::move(observer); }

    SoundLibrary() = default;
    ~SoundLibrary();

  private:
    Engine& engine();

    std::mutex mutex_;  // guards the objects below while they are created
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<AudioOutput> output_;
    void* window_ = nullptr;
    std::string status_;
    FmModel fmModel_ = FmModel::Documented;
    int outputsOpened_ = 0;
    std::atomic<std::uint64_t> framesRendered_{0};
    OutputObserver outputObserver_;
};

}  // namespace qvxsnd
