#include "rombuild/playback.hpp"

#include "engine/engine.hpp"
#include "qvxsnd.h"

namespace qvx {

void LibrarySoundTarget::sendData(std::span<const std::uint8_t> image) {
    ::sendData(image.data(), static_cast<std::uint32_t>(image.size()));
}

void LibrarySoundTarget::sendCommand(std::uint16_t command) {
    ::sendCommand(command);
}

void EngineSoundTarget::sendData(std::span<const std::uint8_t> image) {
    engine_.sendData(image);
}

void EngineSoundTarget::sendCommand(std::uint16_t command) {
    engine_.sendCommand(command);
}

Result Playback::playPattern(const Song& song, int pattern) {
    return play(buildPatternImage(song, pattern, buffer_));
}

Result Playback::playSong(const Song& song) {
    return play(buildSongImage(song, buffer_));
}

Result Playback::play(const ImageBuild& image) {
    if (!image) return Result::failure(image.message);
    target_.sendData(std::span<const std::uint8_t>(buffer_.bytes.data(), image.length));
    target_.sendCommand(kPlayCommand);
    return Result::success();
}

}  // namespace qvx
