#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rombuild/song_block.hpp"
#include "song/song.hpp"

namespace qvx {

// The sound board's 64 KB, as the editor compiles into it: the driver, the sample table area,
// then one song block.
inline constexpr std::size_t kImageBufferSize = 65536;

// The one 64 KB buffer the editor compiles into, zero at first. Offset n is Z80 address n once
// uploaded. Bytes beyond the latest build keep what earlier builds left; only the built length is
// ever uploaded or saved.
struct ImageBuffer {
    std::array<std::uint8_t, kImageBufferSize> bytes{};
};

// Either the length of the image now in the buffer, or why the song cannot be played.
struct ImageBuild {
    bool ok = false;
    std::size_t length = 0;
    std::string message;
    // A whole-chip song's image plays with its samples, a V ROM of its own.
    bool wholeChip = false;
    std::vector<std::uint8_t> sampleRom;

    static ImageBuild refused(std::string why) { return {false, 0, std::move(why), false, {}}; }
    static ImageBuild built(std::size_t length) { return {true, length, {}, false, {}}; }

    explicit operator bool() const { return ok; }
};

// Why the sound driver could not play this song as it stands; empty when it can. Checks the
// order list against the driver's 128 entries and the existing patterns, the instrument numbers
// in the cells, and the room left below the driver's variables.
std::string songProblem(const Song& song);

// The whole song: every pattern, compiled with the track enable flags applied.
ImageBuild buildSongImage(const Song& song, ImageBuffer& buffer);

// The current pattern alone as song 1 with the order list [0] (Play Pattern). Only problems of
// that pattern refuse it; its instrument table still covers the instruments of the whole song.
ImageBuild buildPatternImage(const Song& song, int pattern, ImageBuffer& buffer);

// Play from here. The song from order entry `orderEntry`: its order list starts there and the
// entries before it follow the last, so the song goes round as it always does. The pattern from
// row `row`: its rows start there and the rows before it follow row 63.
ImageBuild buildSongImageFrom(const Song& song, int orderEntry, ImageBuffer& buffer);
ImageBuild buildPatternImageFrom(const Song& song, int pattern, int row, ImageBuffer& buffer);

// Ticks of the driver from song start until the order list has been played through once: the
// first row comes after the default speed, each row waits its speed (F effects, 0 = 256), and a
// D effect ends its pattern after its row. 0 when the song cannot be played.
std::uint64_t songTicks(const Song& song);

}  // namespace qvx
