#include "rombuild/compiled_image.hpp"

#include <algorithm>
#include <cstring>

#include "driver/sound_driver.hpp"

namespace qvx {
namespace {

std::string twoDigits(int value) {
    return patternNumberText(value);
}

// A cell's instrument byte the driver can look up: 1..31, 0 (played as the first) or none.
bool playableInstrument(std::uint8_t instrument) {
    return instrument <= kInstrumentCount || instrument == kNone;
}

std::string patternProblem(const Pattern& pattern, int index) {
    for (int track = 0; track < kTracks; ++track) {
        for (int row = 0; row < kRows; ++row) {
            const std::uint8_t instrument = pattern.cell(track, row).instrument;
            if (!playableInstrument(instrument)) {
                return "Pattern " + twoDigits(index) + ", track " + std::to_string(track + 1) +
                       ", row " + twoDigits(row) + " uses instrument " +
                       std::to_string(instrument) + "; instruments are numbered 1 to 31";
            }
        }
    }
    return {};
}

std::string sizeProblem(std::size_t end) {
    if (end <= kSongDataLimit) return {};
    return "The song is too long for the sound board: its data runs " +
           std::to_string(end - kSongDataLimit) +
           " bytes into the driver's memory at 0xF800 (use fewer patterns or instruments)";
}

// Driver, the untouched sample table area, and the head of the song block. Returns the offset
// where the order block goes.
std::size_t writeHead(const Song& song, int instrumentCount, ImageBuffer& buffer) {
    auto& b = buffer.bytes;
    const auto driverBytes = driver::image();
    std::copy(driverBytes.begin(), driverBytes.end(), b.begin());
    std::copy(kSongBlockMagic.begin(), kSongBlockMagic.end(), b.begin() + kSongBlockOffset);
    b[kSongBlockOffset + 4] = 0;  // link word: a single song
    b[kSongBlockOffset + 5] = 0;
    b[kSongBlockOffset + 6] = static_cast<std::uint8_t>(instrumentCount);
    std::size_t at = kSongBlockOffset + kSongBlockHeaderBytes;
    for (int k = 1; k <= instrumentCount; ++k, at += kInstrumentEntryBytes)
        writeInstrumentEntry(song.instruments[k].registers,
                             std::span(b).subspan(at).first<kInstrumentEntryBytes>());
    return at;
}

}  // namespace

void writeInstrumentEntry(const VoiceBytes& voice,
                          std::span<std::uint8_t, kInstrumentEntryBytes> out) {
    std::copy(voice.begin(), voice.end(), out.begin());
    std::fill(out.begin() + kVoiceBytes, out.end(), 0);
}

std::string songProblem(const Song& song) {
    const std::size_t orders = song.order.size();
    if (orders == 0) return "The order list is empty: add an entry to play the song";
    if (orders > kMaxOrderEntries)
        return "The order list has " + std::to_string(orders) +
               " entries; the sound driver plays at most 128";
    for (std::size_t k = 0; k < orders; ++k) {
        if (song.order[k] >= song.patternCount)
            return "Order entry " + orderEntryText(static_cast<int>(k), song.order[k]) +
                   " names pattern " + twoDigits(song.order[k]) + ", which does not exist";
    }
    for (int p = 0; p < song.patternCount; ++p)
        if (std::string problem = patternProblem(song.patterns[p], p); !problem.empty())
            return problem;
    return sizeProblem(kSongBlockOffset +
                       songBlockSize(static_cast<std::size_t>(song.usedInstrumentCount()),
                                     static_cast<std::size_t>(song.patternCount)));
}

ImageBuild buildSongImage(const Song& song, ImageBuffer& buffer) {
    if (std::string problem = songProblem(song); !problem.empty())
        return {false, 0, std::move(problem)};

    std::size_t at = writeHead(song, song.usedInstrumentCount(), buffer);
    auto& b = buffer.bytes;
    b[at++] = static_cast<std::uint8_t>(song.order.size());
    std::fill(b.begin() + static_cast<std::ptrdiff_t>(at),
              b.begin() + static_cast<std::ptrdiff_t>(at + kMaxOrderEntries), 0);
    std::copy(song.order.begin(), song.order.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    at += kMaxOrderEntries;
    for (const Pattern& pattern : song.usedPatterns()) {
        compilePattern(pattern, &song.trackEnabled,
                       std::span(b).subspan(at).first<kCompiledPatternBytes>());
        at += kCompiledPatternBytes;
    }
    return {true, at, {}};
}

ImageBuild buildPatternImage(const Song& song, int pattern, ImageBuffer& buffer) {
    if (pattern < 0 || pattern >= song.patternCount)
        return {false, 0, "Pattern " + std::to_string(pattern) + " does not exist"};
    if (std::string problem = patternProblem(song.patterns[pattern], pattern); !problem.empty())
        return {false, 0, std::move(problem)};

    // Other patterns may hold instrument numbers the driver cannot use; they are not played here,
    // and the table never needs more than the 31 instruments there are.
    const int instruments = std::min(song.usedInstrumentCount(), kInstrumentCount);
    std::size_t at = writeHead(song, instruments, buffer);
    auto& b = buffer.bytes;
    b[at++] = 1;
    std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), kMaxOrderEntries, 0);
    at += kMaxOrderEntries;
    compilePattern(song.patterns[pattern], &song.trackEnabled,
                   std::span(b).subspan(at).first<kCompiledPatternBytes>());
    return {true, at + kCompiledPatternBytes, {}};
}

}  // namespace qvx
