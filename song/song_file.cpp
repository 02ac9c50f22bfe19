#include "song/song_file.hpp"

#include <memory>
#include <utility>

#include "song/byte_reader.hpp"
#include "song/compiled_pattern.hpp"
#include "song/file_io.hpp"

namespace qvx {
namespace {

void appendString(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

// The body shared by both readers; they differ in their limits, their messages and in what they
// keep. Returns false on any structural problem.
struct SongFileContents {
    std::array<std::string, kInstrumentSlots> instrumentNames;
    std::array<VoiceBytes, kInstrumentSlots> registers{};
    std::vector<std::uint8_t> order;
    int patternCount = 0;
    std::array<std::string, kMaxPatterns> patternNames;
    std::array<TrackSet, kMaxPatterns> cells;
};

bool readSongFile(std::span<const std::uint8_t> bytes, std::size_t maxOrderEntries,
                  SongFileContents& out) {
    ByteReader in(bytes);
    if (!in.magic(kSongMagic)) return false;

    for (int k = 1; k <= kInstrumentCount; ++k) {
        auto name = in.string();
        auto regs = in.fixed<kVoiceBytes>();
        if (!name || !regs) return false;
        out.instrumentNames[k] = std::move(*name);
        std::copy(regs->begin(), regs->end(), out.registers[k].begin());
    }

    auto orderCount = in.byte();
    if (!orderCount || *orderCount > maxOrderEntries) return false;
    out.order.resize(*orderCount);
    for (auto& entry : out.order) {
        auto value = in.byte();
        if (!value || *value >= kMaxPatterns) return false;
        entry = *value;
    }

    auto patternCount = in.byte();
    if (!patternCount || *patternCount == 0 || *patternCount > kMaxPatterns) return false;
    out.patternCount = *patternCount;
    for (int p = 0; p < out.patternCount; ++p) {
        auto name = in.string();
        auto data = in.fixed<kCompiledPatternBytes>();
        if (!name || !data) return false;
        auto tracks = decodePattern(*data);
        if (!tracks) return false;
        out.patternNames[p] = std::move(*name);
        out.cells[p] = *tracks;
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> serializeSong(const Song& song) {
    std::vector<std::uint8_t> out;
    out.reserve(kMaxSongFileBytes);
    out.insert(out.end(), kSongMagic.begin(), kSongMagic.end());
    for (int k = 1; k <= kInstrumentCount; ++k) {
        appendString(out, sanitizeName(song.instrumentUserName(k)));
        const VoiceBytes& regs = song.instruments[k].registers;
        out.insert(out.end(), regs.begin(), regs.end());
    }
    // The editor never lets the list grow past what the image holds.
    const std::size_t orderCount = std::min<std::size_t>(song.order.size(), kMaxOrderEntries);
    out.push_back(static_cast<std::uint8_t>(orderCount));
    out.insert(out.end(), song.order.begin(),
               song.order.begin() + static_cast<std::ptrdiff_t>(orderCount));
    out.push_back(static_cast<std::uint8_t>(song.patternCount));
    for (const Pattern& pattern : song.usedPatterns()) {
        appendString(out, sanitizeName(pattern.name));
        const CompiledPattern data = compilePattern(pattern, nullptr);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

Result saveSong(const Song& song, const std::filesystem::path& path) {
    if (!writeFileAtomically(path, serializeSong(song)))
        return Result::failure(std::string(kFailedToCreate) + displayName(path));
    return Result::success();
}

Result parseSong(std::span<const std::uint8_t> bytes, Song& out) {
    auto contents = std::make_unique<SongFileContents>();
    if (!readSongFile(bytes, kMaxOrderEntries, *contents))
        return Result::failure(std::string(kInvalidSongMessage));

    auto song = std::make_unique<Song>();
    for (int k = 1; k <= kInstrumentCount; ++k) {
        song->instruments[k].name = instrumentName(k, contents->instrumentNames[k]);
        song->instruments[k].registers = contents->registers[k];
    }
    song->order = std::move(contents->order);
    song->patternCount = contents->patternCount;
    for (int p = 0; p < song->patternCount; ++p) {
        song->patterns[p].name = std::move(contents->patternNames[p]);
        song->patterns[p].tracks = contents->cells[p];
    }
    out = std::move(*song);
    return Result::success();
}

Result openSong(const std::filesystem::path& path, Song& out) {
    auto bytes = readFileHead(path, kMaxSongFileBytes);
    if (!bytes) return Result::failure(std::string(kFailedToOpen) + displayName(path));
    return parseSong(*bytes, out);
}

Result parseRomSong(std::span<const std::uint8_t> bytes, std::string label, RomSong& out) {
    auto contents = std::make_unique<SongFileContents>();
    if (!readSongFile(bytes, kRomSongOrderEntries, *contents))
        return Result::failure(std::string(kInvalidRomSongMessage));

    auto song = std::make_unique<RomSong>();
    song->name = std::move(label);
    for (int k = 1; k <= kInstrumentCount; ++k)
        song->instruments[k].registers = contents->registers[k];
    song->orderCount = static_cast<std::uint8_t>(contents->order.size());
    std::copy(contents->order.begin(), contents->order.end(), song->order.begin());
    song->patternCount = static_cast<std::uint8_t>(contents->patternCount);
    for (int p = 0; p < contents->patternCount; ++p)
        song->patterns[p].tracks = contents->cells[p];
    out = std::move(*song);
    return Result::success();
}

Result readRomSong(const std::filesystem::path& path, std::string label, RomSong& out) {
    auto bytes = readFileHead(path, kMaxSongFileBytes);
    if (!bytes) return Result::failure(std::string(kFailedToOpen) + path.string());
    return parseRomSong(*bytes, std::move(label), out);
}

}  // namespace qvx
