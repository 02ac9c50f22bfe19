// The ROM Maker's song reader: refused with its own message, or within the RomSong's limits.
#include <memory>

#include "song/song_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto rom = std::make_unique<qvx::RomSong>();
    rom->name = "before";
    const qvx::Result result = qvx::parseRomSong({data, size}, "label", *rom);
    if (!result) {
        if (result.message() != qvx::kInvalidRomSongMessage || rom->name != "before")
            __builtin_trap();
        return 0;
    }
    if (rom->orderCount > qvx::kRomSongOrderEntries || rom->patternCount < 1 ||
        rom->patternCount > qvx::kMaxPatterns || rom->name != "label")
        __builtin_trap();
    for (int i = 0; i < rom->orderCount; ++i)
        if (rom->order[i] >= qvx::kMaxPatterns) __builtin_trap();
    return 0;
}
