// The C face of the sound library. Nothing here may let an exception or an error end the
// host process: every export catches everything and then does nothing.
#include <span>

#include "soundlib/include/qvxsnd.h"
#include "soundlib/library.hpp"

namespace {

template <typename F>
void guarded(F&& f) noexcept {
    try {
        f();
    } catch (...) {
        // A failed request changes nothing; the editor carries on.
    }
}

qvxsnd::SoundLibrary& lib() {
    return qvxsnd::SoundLibrary::instance();
}

}  // namespace

extern "C" {

void initSound(void* window, int sampleRate) {
    guarded([&] { lib().initSound(window, sampleRate); });
}

void stopSound(void) {
    guarded([] { lib().stopSound(); });
}

void sendData(const uint8_t* image, uint32_t length) {
    if (image == nullptr && length != 0) return;
    guarded([&] { lib().sendData(std::span<const std::uint8_t>(image, image ? length : 0)); });
}

void sendRoms(const uint8_t* m1, uint32_t m1Length, const uint8_t* v1, uint32_t v1Length) {
    if ((m1 == nullptr && m1Length != 0) || (v1 == nullptr && v1Length != 0)) return;
    guarded([&] {
        lib().sendRoms(std::span<const std::uint8_t>(m1, m1 ? m1Length : 0),
                       std::span<const std::uint8_t>(v1, v1 ? v1Length : 0));
    });
}

void sendCommand(uint16_t command) {
    guarded([&] { lib().sendCommand(command); });
}

void loadInstrument(const uint8_t* voice) {
    if (voice == nullptr) return;
    guarded([&] {
        lib().loadInstrument(std::span<const std::uint8_t, qvxsnd::Engine::kVoiceBytes>(voice, 25));
    });
}

void KeyDown(int note, int octave) {
    guarded([&] { lib().keyDown(note, octave); });
}

void KeyUp(void) {
    guarded([] { lib().keyUp(); });
}

void playSample(const uint8_t* adpcm, uint32_t length, int channel, int level) {
    if (adpcm == nullptr) return;
    guarded([&] { lib().previewSample({adpcm, length}, channel, level); });
}

void playPitchedSample(const uint8_t* adpcm, uint32_t length, int deltaN, int level, int loop) {
    if (adpcm == nullptr) return;
    guarded([&] { lib().previewPitchedSample({adpcm, length}, deltaN, level, loop != 0); });
}

void previewWrite(int bank, uint8_t address, uint8_t value) {
    guarded([&] { lib().previewWrite(bank, address, value); });
}

void setFmModel(int model) {
    if (model != QVXSND_FM_DOCUMENTED && model != QVXSND_FM_ACCURATE) return;
    guarded([&] {
        lib().setFmModel(model == QVXSND_FM_ACCURATE ? qvxsnd::FmModel::Accurate
                                                     : qvxsnd::FmModel::Documented);
    });
}

static_assert(QVXSND_SCOPE_FRAMES == qvxsnd::ScopeHistory::kFrames);
static_assert(QVXSND_SCOPE_CHANNEL_VALUES == qvxsnd::ScopeHistory::kValues);
// Where the header says each value is.
static_assert(qvxsnd::ScopeHistory::kLeft == 9 &&
              qvxsnd::ScopeHistory::kRight + 1 == QVXSND_SCOPE_VALUES &&
              qvxsnd::ScopeHistory::kFirstAdpcmAChannel == QVXSND_SCOPE_VALUES);

namespace {

int32_t copyScope(int16_t* out, int32_t frames, std::size_t values) {
    if (!out || frames <= 0) return 0;
    try {
        return static_cast<int32_t>(
            lib().scopeHistory(out, static_cast<std::size_t>(frames), values));
    } catch (...) {
        return 0;
    }
}

}  // namespace

int32_t scopeHistory(int16_t* out, int32_t frames) {
    return copyScope(out, frames, QVXSND_SCOPE_VALUES);
}

int32_t scopeChannels(int16_t* out, int32_t frames) {
    return copyScope(out, frames, QVXSND_SCOPE_CHANNEL_VALUES);
}

int32_t playPosition(void) {
    try {
        const auto position = lib().playPosition();
        return position ? position->orderPosition << 8 | position->row : -1;
    } catch (...) {
        return -1;
    }
}

const char* soundStatus(void) {
    try {
        return lib().status();
    } catch (...) {
        return "Sound status unavailable";
    }
}

}  // extern "C"
