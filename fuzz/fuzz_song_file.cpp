// The song file readers, classic and whole-chip: any bytes are either refused with the reader's
// message, or give a song that saves and reads back to itself.
#include <memory>

#include "song/song_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto song = std::make_unique<qvx::Song>();
    const auto before = qvx::serializeSong(*song);
    const qvx::Result result = qvx::parseSong({data, size}, *song);
    if (!result) {
        if (result.message() != qvx::kInvalidSongMessage) __builtin_trap();
        if (qvx::serializeSong(*song) != before) __builtin_trap();  // refused files change nothing
        return 0;
    }
    const auto saved = qvx::serializeSong(*song);
    auto again = std::make_unique<qvx::Song>();
    if (!qvx::parseSong(saved, *again)) __builtin_trap();
    if (qvx::serializeSong(*again) != saved) __builtin_trap();
    return 0;
}
