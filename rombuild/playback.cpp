#include "rombuild/playback.hpp"

#include "driver/memory_map.hpp"

namespace qvx {

Result Playback::playPattern(const Song& song, int pattern) {
    return play(buildPatternImage(song, pattern, buffer_));
}

Result Playback::playSong(const Song& song) {
    return play(buildSongImage(song, buffer_));
}

void Playback::stop() {
    target_.sendCommand(driver::command::kStop);
}

Result Playback::play(const ImageBuild& image) {
    if (!image) return Result::failure(image.message);
    target_.sendData(std::span<const std::uint8_t>(buffer_.bytes.data(), image.length));
    target_.sendCommand(driver::command::kFirstSong);
    return Result::success();
}

}  // namespace qvx
