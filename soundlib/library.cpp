#include "soundlib/library.hpp"

namespace qvxsnd {
namespace {

constexpr std::uint32_t kDefaultRate = 44100;

std::uint32_t usableRate(int requested) {
    if (requested < static_cast<int>(YM2610::kMinRate) ||
        requested > static_cast<int>(YM2610::kMaxRate))
        return kDefaultRate;
    return static_cast<std::uint32_t>(requested);
}

}  // namespace

SoundLibrary& SoundLibrary::instance() {
    static SoundLibrary library;
    return library;
}

SoundLibrary::~SoundLibrary() {
    // The audio thread renders through the engine: stop it first.
    output_.reset();
    engine_.reset();
}

Engine& SoundLibrary::engine() {
    if (!engine_)
        engine_ = std::make_unique<Engine>(kDefaultRate, Engine::TickSource::Host, fmModel_);
    return *engine_;
}

void SoundLibrary::initSound(void* window, int sampleRate) {
    std::lock_guard lock(mutex_);
    window_ = window;
    if (!output_) {
        // Audio opens once per process, at the first call's rate.
        const std::uint32_t rate = usableRate(sampleRate);
        if (!engine_ || engine_->sampleRate() != rate)
            engine_ = std::make_unique<Engine>(rate, Engine::TickSource::Host, fmModel_);
        engine_->reset();
        Engine* target = engine_.get();
        output_ = std::make_unique<AudioOutput>(
            rate, [this, target](std::int16_t* out, std::size_t frames) {
                target->render(out, frames);
                framesRendered_.fetch_add(frames, std::memory_order_relaxed);
                if (outputObserver_)
                    outputObserver_(std::span<const std::int16_t>(out, frames * 2));
            });
        ++outputsOpened_;
        status_ = output_->status();
        return;
    }
    engine_->reset();
}

void SoundLibrary::stopSound() {
    std::lock_guard lock(mutex_);
    engine().stop();
}

void SoundLibrary::sendData(std::span<const std::uint8_t> image) {
    std::lock_guard lock(mutex_);
    engine().setAdpcmRom({});
    engine().sendData(image);
}

void SoundLibrary::sendRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) {
    std::lock_guard lock(mutex_);
    engine().setAdpcmRom(v1);
    engine().sendData(m1, Engine::TickSource::Chip);
}

void SoundLibrary::sendCommand(std::uint16_t command) {
    std::lock_guard lock(mutex_);
    engine().sendCommand(command);
}

void SoundLibrary::loadInstrument(std::span<const std::uint8_t, Engine::kVoiceBytes> voice) {
    std::lock_guard lock(mutex_);
    engine().loadInstrument(voice);
}

void SoundLibrary::keyDown(int note, int octave) {
    std::lock_guard lock(mutex_);
    engine().keyDown(note, octave);
}

void SoundLibrary::keyUp() {
    std::lock_guard lock(mutex_);
    engine().keyUp();
}

void SoundLibrary::previewSample(std::span<const std::uint8_t> adpcm, int channel, int level) {
    std::lock_guard lock(mutex_);
    engine().previewSample(adpcm, channel, level);
}

void SoundLibrary::previewPitchedSample(std::span<const std::uint8_t> adpcm, int deltaN, int level,
                                        bool loop) {
    std::lock_guard lock(mutex_);
    engine().previewPitchedSample(adpcm, deltaN, level, loop);
}

void SoundLibrary::previewWrite(int bank, std::uint8_t address, std::uint8_t value) {
    std::lock_guard lock(mutex_);
    engine().previewWrite(bank, address, value);
}

void SoundLibrary::setFmModel(FmModel model) {
    std::lock_guard lock(mutex_);
    fmModel_ = model;
    engine().setFmModel(model);
}

const char* SoundLibrary::status() {
    std::lock_guard lock(mutex_);
    // Set once, when audio opens, and never changed afterwards: the pointer stays valid.
    return status_.empty() ? "Sound has not been started" : status_.c_str();
}

std::optional<Engine::PlayPosition> SoundLibrary::playPosition() {
    // The lock only keeps the engine from being replaced meanwhile; the audio thread never takes
    // it, and the position itself is an atomic the engine updates after each render.
    std::lock_guard lock(mutex_);
    return engine_ ? engine_->playPosition() : std::nullopt;
}

std::size_t SoundLibrary::scopeHistory(std::int16_t* out, std::size_t frames, std::size_t values) {
    std::lock_guard lock(mutex_);
    return engine_ ? engine_->scopeHistory(out, frames, values) : 0;
}

bool SoundLibrary::hasDevice() {
    std::lock_guard lock(mutex_);
    return output_ && output_->hasDevice();
}

}  // namespace qvxsnd
