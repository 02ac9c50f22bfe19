#include "editor/library_sound.hpp"

#include <algorithm>

#include "rombuild/whole_chip_image.hpp"
#include "soundlib/include/qvxsnd.h"

namespace qvx::editor {

void LibrarySoundTarget::sendData(std::span<const std::uint8_t> image) {
    ::sendData(image.data(), static_cast<std::uint32_t>(image.size()));
}

void LibrarySoundTarget::sendRoms(std::span<const std::uint8_t> m1,
                                  std::span<const std::uint8_t> v1) {
    ::sendRoms(m1.data(), static_cast<std::uint32_t>(m1.size()), v1.data(),
               static_cast<std::uint32_t>(v1.size()));
}

void LibrarySoundTarget::sendCommand(std::uint16_t command) {
    ::sendCommand(command);
}

void LibraryPreviewTarget::playSample(std::span<const std::int16_t> pcm, int channel, int level) {
    const std::vector<std::uint8_t> adpcm =
        encodeKitSample(Sample{{}, std::vector<std::int16_t>(pcm.begin(), pcm.end())});
    ::playSample(adpcm.data(), static_cast<std::uint32_t>(adpcm.size()), channel, level);
}

void LibraryPreviewTarget::playPitchedSample(std::span<const std::int16_t> pcm, bool loop,
                                             int deltaN, int level) {
    const std::vector<std::uint8_t> adpcm =
        encodePitchedSample(Sample{{}, std::vector<std::int16_t>(pcm.begin(), pcm.end())}, loop);
    ::playPitchedSample(adpcm.data(), static_cast<std::uint32_t>(adpcm.size()), deltaN, level,
                        loop ? 1 : 0);
}

void LibraryPreviewTarget::writeChip(int bank, std::uint8_t address, std::uint8_t value) {
    ::previewWrite(bank, address, value);
}

void LibraryPreviewTarget::keyUp() {
    ::KeyUp();
}

void LibraryPreviewTarget::loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) {
    ::loadInstrument(voice.data());
}

void LibraryPreviewTarget::keyDown(int note, int octave) {
    ::KeyDown(note, octave);
}

void LibrarySound::start(void* window) {
    ::initSound(window, kSampleRate);
}

void LibrarySound::playRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) {
    ::sendRoms(m1.data(), static_cast<std::uint32_t>(m1.size()), v1.data(),
               static_cast<std::uint32_t>(v1.size()));
}

std::optional<SoundSystem::Position> LibrarySound::playPosition() {
    const std::int32_t packed = ::playPosition();
    if (packed < 0) return std::nullopt;
    return Position{packed >> 8, packed & 0xFF};
}

void LibrarySound::setChipAccurateFm(bool on) {
    ::setFmModel(on ? QVXSND_FM_ACCURATE : QVXSND_FM_DOCUMENTED);
}

std::size_t LibrarySound::scopeHistory(std::int16_t* out, std::size_t frames) {
    static_assert(kScopeValues == QVXSND_SCOPE_CHANNEL_VALUES);
    return static_cast<std::size_t>(
        std::max<std::int32_t>(0, ::scopeChannels(out, static_cast<std::int32_t>(frames))));
}

QString LibrarySound::status() const {
    return QString::fromUtf8(::soundStatus());
}

}  // namespace qvx::editor
