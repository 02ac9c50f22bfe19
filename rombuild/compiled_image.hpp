#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "song/compiled_pattern.hpp"
#include "song/result.hpp"
#include "song/song.hpp"

namespace qvx {

// Layout of a compiled image: the driver, the sample table, then the song block.
inline constexpr std::size_t kImageBufferSize = 65536;
inline constexpr std::size_t kSongBlockOffset = 0x06F1;
inline constexpr std::size_t kSongDataLimit = 0xF800;  // the driver's variables start here
inline constexpr std::size_t kInstrumentEntryBytes = 32;
inline constexpr std::size_t kSongBlockHeaderBytes = 7;  // "QVX0", link word, instrument count
inline constexpr std::size_t kOrderBlockBytes = 1 + kMaxOrderEntries;
inline constexpr std::array<std::uint8_t, 4> kSongBlockMagic = {'Q', 'V', 'X', '0'};

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

// Size in bytes of a song block with n instruments and p patterns.
constexpr std::size_t songBlockSize(std::size_t instruments, std::size_t patterns) {
    return kSongBlockHeaderBytes + kInstrumentEntryBytes * instruments + kOrderBlockBytes +
           kCompiledPatternBytes * patterns;
}

// Writes one instrument table entry: the 25 voice bytes and 7 zero bytes.
void writeInstrumentEntry(const VoiceBytes& voice,
                          std::span<std::uint8_t, kInstrumentEntryBytes> out);

}  // namespace qvx
