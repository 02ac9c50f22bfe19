#include "rombuild/song_block.hpp"

#include <algorithm>
#include <cstdio>

#include "driver/sound_driver.hpp"

namespace qvx {
namespace {

constexpr std::array<std::uint8_t, 1> kOnlyFirstPattern = {0};

// A cell's instrument byte the driver can look up: 1..31, 0 (played as the first) or none.
bool playableInstrument(std::uint8_t instrument) {
    return instrument <= kInstrumentCount || instrument == kNone;
}

}  // namespace

void putWord(std::span<std::uint8_t> at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

SongBlockSource songBlockSource(const Song& song) {
    return {&song.instruments, song.usedInstrumentCount(), song.order, song.usedPatterns(), 0,
            &song.trackEnabled};
}

SongBlockSource patternBlockSource(const Song& song, int pattern) {
    // Other patterns may hold instrument numbers the driver cannot use; they are not played here,
    // and the table never needs more than the 31 instruments there are.
    return {&song.instruments, std::min(song.usedInstrumentCount(), kInstrumentCount),
            kOnlyFirstPattern, std::span(&song.patterns[static_cast<std::size_t>(pattern)], 1),
            pattern,           &song.trackEnabled};
}

SongBlockSource songBlockSource(const RomSong& song) {
    const std::size_t orders = std::min<std::size_t>(song.orderCount, song.order.size());
    return {&song.instruments,
            song.usedInstrumentCount(),
            std::span(song.order).first(orders),
            song.usedPatterns(),
            0,
            nullptr};
}

std::size_t songBlockSize(const SongBlockSource& source) {
    return songBlockSize(static_cast<std::size_t>(source.instrumentCount), source.patterns.size());
}

SongBlockProblem findSongBlockProblem(const SongBlockSource& source) {
    using Kind = SongBlockProblem::Kind;
    const std::size_t orders = source.order.size();
    if (orders == 0) return {Kind::EmptyOrderList};
    if (orders > driver::kOrderEntries) return {Kind::TooManyOrderEntries, orders};
    for (std::size_t k = 0; k < orders; ++k) {
        if (source.order[k] >= source.patterns.size())
            return {Kind::MissingPattern, 0, static_cast<int>(k),
                    source.firstPatternNumber + source.order[k]};
    }
    for (std::size_t p = 0; p < source.patterns.size(); ++p) {
        for (int track = 0; track < kTracks; ++track) {
            for (int row = 0; row < kRows; ++row) {
                const std::uint8_t instrument = source.patterns[p].cell(track, row).instrument;
                if (!playableInstrument(instrument))
                    return {Kind::BadInstrument,
                            0,
                            0,
                            source.firstPatternNumber + static_cast<int>(p),
                            track,
                            row,
                            instrument};
            }
        }
    }
    return {};
}

void writeSongBlock(const SongBlockSource& source, std::uint16_t link,
                    std::span<std::uint8_t> out) {
    std::copy(kSongBlockMagic.begin(), kSongBlockMagic.end(), out.begin());
    putWord(out.subspan(driver::kSongLink), link);
    out[driver::kSongInstrumentCount] = static_cast<std::uint8_t>(source.instrumentCount);

    std::size_t at = driver::kSongInstruments;
    for (int k = 1; k <= source.instrumentCount; ++k, at += driver::kInstrumentBytes) {
        const VoiceBytes& voice = (*source.instruments)[static_cast<std::size_t>(k)].registers;
        const auto entry = out.subspan(at, driver::kInstrumentBytes);
        std::copy(voice.begin(), voice.end(), entry.begin());
        std::fill(entry.begin() + kVoiceBytes, entry.end(), 0);
    }

    out[at] = static_cast<std::uint8_t>(source.order.size());
    const auto entries = out.subspan(at + 1, driver::kOrderEntries);
    std::fill(std::copy(source.order.begin(), source.order.end(), entries.begin()), entries.end(),
              0);
    at += kOrderBlockBytes;

    for (const Pattern& pattern : source.patterns) {
        compilePattern(pattern, source.trackFlags, out.subspan(at).first<kCompiledPatternBytes>());
        at += kCompiledPatternBytes;
    }
}

std::vector<std::uint8_t> buildMultiSongImage(std::span<const SongBlockSource> songs,
                                              const SampleTable& table) {
    std::size_t total = driver::kFirstSongBlock;
    for (const SongBlockSource& song : songs)
        total += songBlockSize(song);
    std::vector<std::uint8_t> image(total, 0);
    const auto driverBytes = driver::image();
    std::copy(driverBytes.begin(), driverBytes.end(), image.begin());
    std::copy(table.begin(), table.end(), image.begin() + driver::kSampleTable);

    std::size_t at = driver::kFirstSongBlock;
    for (const SongBlockSource& song : songs) {
        const std::size_t size = songBlockSize(song);
        // The driver hops from the byte after the link word to the next block's magic.
        const auto link = static_cast<std::uint16_t>(size - driver::kSongLink - 2);
        writeSongBlock(song, link, std::span(image).subspan(at, size));
        at += size;
    }
    return image;
}

std::string addressText(std::uint16_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", address);
    return text;
}

std::string commandText(std::uint8_t command) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", command);
    return text;
}

}  // namespace qvx
