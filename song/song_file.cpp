#include "song/song_file.hpp"

#include <algorithm>
#include <memory>
#include <utility>

#include "song/byte_reader.hpp"
#include "song/compiled_pattern.hpp"
#include "song/file_io.hpp"
#include "song/whole_chip_file.hpp"

namespace qvx {
namespace {

void appendString(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

// The body shared by both readers; they differ in their limits, their messages and in what they
// keep. Returns why the file is refused, or nothing when it was read whole.
struct SongFileContents {
    std::array<std::string, kInstrumentSlots> instrumentNames;
    std::array<VoiceBytes, kInstrumentSlots> registers{};
    std::vector<std::uint8_t> order;
    int patternCount = 0;
    std::array<std::string, kMaxPatterns> patternNames;
    std::array<TrackSet, kMaxPatterns> cells;
};

std::string endsIn(const ByteReader& in, const std::string& where) {
    return "the file ends after " + std::to_string(in.size()) + " bytes, in " + where;
}

// A name that failed to read: cut off by the end of the file, or longer than any writer makes.
std::string badName(const ByteReader& in, const std::string& whose) {
    return in.remaining() < 256 ? endsIn(in, whose + "'s name")
                                : whose + "'s name is longer than 255 characters";
}

std::string readSongFile(std::span<const std::uint8_t> bytes, std::size_t maxOrderEntries,
                         SongFileContents& out) {
    ByteReader in(bytes);
    if (bytes.empty()) return "the file is empty";
    if (!in.magic(kSongMagic)) return "it does not start with \"" + std::string(kSongMagic) + "\"";

    for (int k = 1; k <= kInstrumentCount; ++k) {
        const std::string whose = "instrument " + std::to_string(k);
        auto name = in.string();
        if (!name) return badName(in, whose);
        auto regs = in.fixed<kVoiceBytes>();
        if (!regs) return endsIn(in, whose + "'s registers");
        out.instrumentNames[k] = std::move(*name);
        std::copy(regs->begin(), regs->end(), out.registers[k].begin());
    }

    auto orderCount = in.byte();
    if (!orderCount) return endsIn(in, "the order list");
    if (*orderCount > maxOrderEntries)
        return "its order list has " + std::to_string(*orderCount) + " entries, more than " +
               std::to_string(maxOrderEntries);
    out.order.resize(*orderCount);
    for (std::size_t e = 0; e < out.order.size(); ++e) {
        auto value = in.byte();
        if (!value) return endsIn(in, "the order list");
        if (*value >= kMaxPatterns)
            return "order entry " + std::to_string(e) + " plays pattern " + std::to_string(*value) +
                   ", beyond the last of " + std::to_string(kMaxPatterns);
        out.order[e] = *value;
    }

    auto patternCount = in.byte();
    if (!patternCount) return endsIn(in, "the pattern count");
    if (*patternCount == 0 || *patternCount > kMaxPatterns)
        return "it holds " + std::to_string(*patternCount) + " patterns; a song holds 1 to " +
               std::to_string(kMaxPatterns);
    out.patternCount = *patternCount;
    for (int p = 0; p < out.patternCount; ++p) {
        const std::string whose = "pattern " + std::to_string(p);
        auto name = in.string();
        if (!name) return badName(in, whose);
        auto data = in.fixed<kCompiledPatternBytes>();
        if (!data) return endsIn(in, whose + "'s cells");
        auto tracks = decodePattern(*data);
        if (!tracks) return whose + " holds a note or an octave no song has";
        out.patternNames[p] = std::move(*name);
        out.cells[p] = *tracks;
    }
    return {};
}

}  // namespace

std::vector<std::uint8_t> serializeSong(const Song& song) {
    if (song.kind == SongKind::WholeChip) return serializeWholeChipSong(song);
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
    if (isWholeChipSongFile(bytes)) {
        std::string why = readWholeChipSong(bytes, out);
        return why.empty() ? Result::success()
                           : Result::failure(std::string(kInvalidSongMessage), std::move(why));
    }
    auto contents = std::make_unique<SongFileContents>();
    if (std::string why = readSongFile(bytes, kMaxOrderEntries, *contents); !why.empty())
        return Result::failure(std::string(kInvalidSongMessage), std::move(why));

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

bool isWholeChipSongFile(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kWholeChipSongMagic.size() &&
           std::equal(kWholeChipSongMagic.begin(), kWholeChipSongMagic.end(), bytes.begin());
}

Result openSong(const std::filesystem::path& path, Song& out) {
    // One byte more than any song file, so that a larger one is refused rather than cut short.
    auto bytes = readFileHead(path, std::max(kMaxSongFileBytes, kMaxWholeChipSongFileBytes + 1));
    if (!bytes) return cannotOpen(path);
    const Result read = parseSong(*bytes, out);
    return read ? read : refuseFile(read.message(), path, read.detail());
}

Result parseRomSong(std::span<const std::uint8_t> bytes, std::string label, RomSong& out) {
    if (isWholeChipSongFile(bytes)) {
        auto song = std::make_shared<Song>();
        if (std::string why = readWholeChipSong(bytes, *song); !why.empty())
            return Result::failure(std::string(kInvalidRomSongMessage), std::move(why));
        out.name = std::move(label);
        out.kind = SongKind::WholeChip;
        out.wholeChip = std::move(song);
        out.orderCount = 0;
        out.patternCount = 0;
        return Result::success();
    }
    auto contents = std::make_unique<SongFileContents>();
    if (std::string why = readSongFile(bytes, kRomSongOrderEntries, *contents); !why.empty())
        return Result::failure(std::string(kInvalidRomSongMessage), std::move(why));

    auto song = std::make_unique<RomSong>();
    song->name = std::move(label);
    song->kind = SongKind::Classic;
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
    auto bytes = readFileHead(path, std::max(kMaxSongFileBytes, kMaxWholeChipSongFileBytes + 1));
    if (!bytes)
        return refuseFile(std::string(kFailedToOpen) + path.string(), path, whyUnreadable(path));
    const Result read = parseRomSong(*bytes, std::move(label), out);
    return read ? read : refuseFile(read.message(), path, read.detail());
}

}  // namespace qvx
