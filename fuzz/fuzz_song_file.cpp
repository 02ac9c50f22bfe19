// The song file readers, classic and whole-chip: any bytes are either refused with the reader's
// message, leaving the open song (of either kind) as it was, or give a song that saves and reads
// back to itself.
#include <memory>

#include "song/song_file.hpp"

namespace {

struct OpenSong {
    std::unique_ptr<qvx::Song> song = std::make_unique<qvx::Song>();
    std::vector<std::uint8_t> bytes;

    explicit OpenSong(qvx::SongKind kind) {
        if (kind == qvx::SongKind::WholeChip) song->resetWholeChip();
        bytes = qvx::serializeSong(*song);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Copying a made song is much cheaper than making one, and copying into songs kept from run
    // to run spares the sanitizer's allocator mapping fresh pages for each: the fuzzer runs this
    // a lot.
    static const OpenSong classic(qvx::SongKind::Classic);
    static const OpenSong wholeChip(qvx::SongKind::WholeChip);
    static const auto song = std::make_unique<qvx::Song>();
    static const auto again = std::make_unique<qvx::Song>();
    const OpenSong& open = size % 2 ? wholeChip : classic;
    *song = *open.song;
    const qvx::Result result = qvx::parseSong({data, size}, *song);
    if (!result) {
        if (result.message() != qvx::kInvalidSongMessage) __builtin_trap();
        if (qvx::serializeSong(*song) != open.bytes) __builtin_trap();  // nothing changed
        return 0;
    }
    const auto saved = qvx::serializeSong(*song);
    *again = *classic.song;
    if (!qvx::parseSong(saved, *again)) __builtin_trap();
    if (qvx::serializeSong(*again) != saved) __builtin_trap();
    return 0;
}
