#include "rombuild/playback.hpp"

#include "driver/memory_map.hpp"

namespace qvx {

Result Playback::playPattern(const Song& song, int pattern) {
    return playPatternFrom(song, pattern, 0);
}

Result Playback::playSong(const Song& song) {
    return playSongFrom(song, 0);
}

Result Playback::playSongFrom(const Song& song, int orderEntry) {
    if (orderEntry < 0 || orderEntry >= static_cast<int>(song.order.size())) orderEntry = 0;
    return play(buildSongImageFrom(song, orderEntry, buffer_), {orderEntry, -1, 0});
}

Result Playback::playPatternFrom(const Song& song, int pattern, int row) {
    if (row < 0 || row >= kRows) row = 0;
    return play(buildPatternImageFrom(song, pattern, row, buffer_), {0, pattern, row});
}

void Playback::stop() {
    target_.sendCommand(driver::command::kStop);
}

Result Playback::play(const ImageBuild& image, const Playing& playing) {
    if (!image) return Result::failure(image.message);
    const std::span<const std::uint8_t> bytes(buffer_.bytes.data(), image.length);
    if (image.wholeChip)
        target_.sendRoms(bytes, image.sampleRom);
    else
        target_.sendData(bytes);
    target_.sendCommand(driver::command::kFirstSong);
    playing_ = playing;
    return Result::success();
}

std::optional<Playback::SongPlace> Playback::locate(const Song& song, int orderPosition,
                                                    int row) const {
    if (!playing_ || row < 0 || row >= kRows) return std::nullopt;
    if (playing_->pattern >= 0) {
        if (playing_->pattern >= song.patternCount) return std::nullopt;
        return SongPlace{-1, playing_->pattern, (row + playing_->firstRow) % kRows};
    }
    const int entries = static_cast<int>(song.order.size());
    if (entries == 0 || orderPosition < 0 || orderPosition >= entries) return std::nullopt;
    const int entry = (orderPosition + playing_->firstOrderEntry) % entries;
    const int pattern = song.order[static_cast<std::size_t>(entry)] & driver::kPatternNumberMask;
    if (pattern >= song.patternCount) return std::nullopt;
    return SongPlace{entry, pattern, row};
}

}  // namespace qvx
