#include "rombuild/rom_build.hpp"

#include <algorithm>
#include <cstdio>
#include <set>

#include "rombuild/compiled_image.hpp"
#include "song/compiled_pattern.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"

namespace qvx {
namespace {

constexpr std::uint8_t kFirstSongCommand = driver::command::kFirstSong;
constexpr std::uint8_t kFirstSampleCommand = driver::command::kFirstSample;
constexpr std::string_view kSongPrefix = "SOUND_FM_";
constexpr std::string_view kSamplePrefix = "SOUND_ADPCM_";
constexpr std::size_t kRomOrderEntries = kRomSongOrderEntries;

bool isIdentifierChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The list name as define material: upper case, the extension's four characters gone, anything a
// C identifier cannot hold made an underscore. Characters are counted in UTF-8, so "é" is one.
std::string defineStem(std::string_view listName) {
    std::vector<std::string_view> characters;
    for (std::size_t i = 0; i < listName.size();) {
        std::size_t end = i + 1;
        while (end < listName.size() && (static_cast<unsigned char>(listName[end]) & 0xC0) == 0x80)
            ++end;
        characters.push_back(listName.substr(i, end - i));
        i = end;
    }
    characters.resize(characters.size() > 4 ? characters.size() - 4 : 0);
    std::string stem;
    for (std::string_view c : characters) {
        const auto first = static_cast<unsigned char>(c[0]);
        if (c.size() == 1 && isIdentifierChar(first))
            stem.push_back(first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A')
                                                        : c[0]);
        else
            stem.push_back('_');
    }
    return stem;
}

std::string uniqueDefine(std::string_view prefix, std::string_view listName,
                         std::set<std::string>& taken) {
    const std::string base = std::string(prefix) + defineStem(listName);
    std::string name = base;
    for (int k = 2; taken.contains(name); ++k)
        name = base + "_" + std::to_string(k);
    taken.insert(name);
    return name;
}

std::string hexByte(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value);
    return text;
}

std::string twoDigits(int value) {
    return patternNumberText(value);
}

std::string romSongProblem(const RomSong& song) {
    const std::string what = "The song " + song.name;
    if (song.orderCount == 0) return what + " has an empty order list";
    for (int k = 0; k < song.orderCount && k < static_cast<int>(kRomOrderEntries); ++k) {
        if (song.order[static_cast<std::size_t>(k)] >= song.patternCount)
            return what + " plays pattern " + twoDigits(song.order[static_cast<std::size_t>(k)]) +
                   " at order entry " + twoDigits(k) + ", which does not exist";
    }
    for (int p = 0; p < song.patternCount; ++p) {
        for (int track = 0; track < kTracks; ++track) {
            for (int row = 0; row < kRows; ++row) {
                const std::uint8_t instrument =
                    song.patterns[static_cast<std::size_t>(p)].cell(track, row).instrument;
                if (instrument > kInstrumentCount && instrument != kNone)
                    return what + " uses instrument " + std::to_string(instrument) + " (pattern " +
                           twoDigits(p) + ", track " + std::to_string(track + 1) + ", row " +
                           twoDigits(row) + "); instruments are numbered 1 to 31";
            }
        }
    }
    return {};
}

std::uint64_t paddedSize(const RomSample& sample) {
    return (std::uint64_t{sample.encodedSize()} / kAdpcmBlockBytes + 1) * kAdpcmBlockBytes;
}

void putWord(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void appendSongBlock(const RomSong& song, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    const std::size_t size = romSongBlockSize(song);
    out.resize(start + size, 0);
    std::uint8_t* b = out.data() + start;
    std::copy(kSongBlockMagic.begin(), kSongBlockMagic.end(), b);
    // The driver hops from the byte after the link word to the next block's magic.
    putWord(b + 4, static_cast<std::uint16_t>(size - 6));
    const int instruments = song.usedInstrumentCount();
    b[6] = static_cast<std::uint8_t>(instruments);
    std::size_t at = kSongBlockHeaderBytes;
    for (int k = 1; k <= instruments; ++k, at += kInstrumentEntryBytes)
        writeInstrumentEntry(song.instruments[static_cast<std::size_t>(k)].registers,
                             std::span(out).subspan(start + at).first<kInstrumentEntryBytes>());
    b[at++] = song.orderCount;
    std::copy_n(song.order.begin(), song.orderCount, b + at);  // the rest of the 128 stays zero
    at += kMaxOrderEntries;
    for (const Pattern& pattern : song.usedPatterns()) {
        compilePattern(pattern, nullptr,
                       std::span(out).subspan(start + at).first<kCompiledPatternBytes>());
        at += kCompiledPatternBytes;
    }
}

}  // namespace

std::size_t romSongBlockSize(const RomSong& song) {
    return songBlockSize(static_cast<std::size_t>(song.usedInstrumentCount()), song.patternCount);
}

RomCommands romCommands(std::span<const RomSong> songs, std::span<const RomSample> samples) {
    RomCommands commands;
    std::set<std::string> taken = {std::string(kSongPrefix) + "OFF",
                                   std::string(kSamplePrefix) + "OFF"};
    for (std::size_t i = 0; i < songs.size(); ++i)
        commands.songs.push_back({static_cast<std::uint8_t>(kFirstSongCommand + i),
                                  uniqueDefine(kSongPrefix, songs[i].name, taken), songs[i].name,
                                  romSongBlockSize(songs[i])});
    for (std::size_t i = 0; i < samples.size(); ++i)
        commands.samples.push_back({static_cast<std::uint8_t>(kFirstSampleCommand + i),
                                    uniqueDefine(kSamplePrefix, samples[i].name, taken),
                                    samples[i].name, samples[i].encodedSize()});
    return commands;
}

RomSpace romSpace(std::span<const RomSong> songs, std::span<const RomSample> samples) {
    RomSpace space{kM1SongRoom, kV1Size};
    for (const RomSong& song : songs)
        space.m1 -= static_cast<std::int64_t>(romSongBlockSize(song));
    for (const RomSample& sample : samples)
        space.v1 -= sample.encodedSize();
    return space;
}

std::uint64_t v1Size(std::span<const RomSample> samples) {
    std::uint64_t total = 0;
    for (const RomSample& sample : samples)
        total += paddedSize(sample);
    return total;
}

SampleTable sampleTable(std::span<const RomSample> samples) {
    SampleTable table{};
    std::uint16_t nextBlock = 0;
    for (std::size_t i = 0; i < samples.size() && kFirstSampleCommand + i < table.size() / 4; ++i) {
        const std::uint16_t start = nextBlock;
        const auto end =
            static_cast<std::uint16_t>(start + samples[i].encodedSize() / kAdpcmBlockBytes);
        std::uint8_t* entry = table.data() + 4 * (kFirstSampleCommand + i);
        putWord(entry, start);
        putWord(entry + 2, end);
        nextBlock = static_cast<std::uint16_t>(end + 1);
    }
    return table;
}

std::vector<std::string> romProblems(std::span<const RomSong> songs,
                                     std::span<const RomSample> samples) {
    std::vector<std::string> problems;
    if (songs.size() > kMaxRomSongs)
        problems.push_back("Too many songs: " + std::to_string(songs.size()) +
                           "; the ROM holds at most 126 (commands 0x81 to 0xfe)");
    if (samples.size() > kMaxRomSamples)
        problems.push_back("Too many samples: " + std::to_string(samples.size()) +
                           "; the ROM holds at most 123 (commands 0x04 to 0x7e)");
    const RomSpace space = romSpace(songs, samples);
    if (space.m1 < 0)
        problems.push_back("The songs take " + std::to_string(kM1SongRoom - space.m1) +
                           " bytes but only " + std::to_string(kM1SongRoom) +
                           " fit in the M1 below the sound driver's memory at 0xF800 (" +
                           std::to_string(-space.m1) + " bytes too many)");
    if (const std::uint64_t v1 = v1Size(samples); v1 > static_cast<std::uint64_t>(kV1Size))
        problems.push_back("The samples take " + std::to_string(v1) +
                           " bytes of V1 with their padding; the V1 holds " +
                           std::to_string(kV1Size) + " (" + std::to_string(v1 - kV1Size) +
                           " bytes too many)");
    for (const RomSong& song : songs)
        if (std::string problem = romSongProblem(song); !problem.empty())
            problems.push_back(std::move(problem));
    for (const RomSample& sample : samples)
        if (const Result r = checkRomSample(sample); !r) problems.push_back(r.message());
    return problems;
}

Result buildV1(std::span<const RomSample> samples, std::vector<std::uint8_t>& out) {
    std::vector<std::uint8_t> v1;
    v1.reserve(v1Size(samples));
    for (const RomSample& sample : samples) {
        const Result r = encodeRomSample(sample, [&v1](std::span<const std::uint8_t> bytes) {
            v1.insert(v1.end(), bytes.begin(), bytes.end());
        });
        if (!r) return r;
        v1.resize(v1.size() + paddedSize(sample) - sample.encodedSize(), kV1Padding);
    }
    out = std::move(v1);
    return Result::success();
}

std::vector<std::uint8_t> buildM1(std::span<const RomSong> songs, const SampleTable& table) {
    std::vector<std::uint8_t> m1;
    std::size_t total = driver::kFirstSongBlock;
    for (const RomSong& song : songs)
        total += romSongBlockSize(song);
    m1.reserve(total);
    const auto driverBytes = driver::image();
    m1.insert(m1.end(), driverBytes.begin(), driverBytes.end());
    m1.insert(m1.end(), table.begin(), table.end());
    for (const RomSong& song : songs)
        appendSongBlock(song, m1);
    return m1;
}

std::string commandHeader(const RomCommands& commands) {
    std::string text =
        "// FM/ADPCM HEADER FILE created by QVXTracker\n\n"
        "inline void send_sound_command(BYTE CommandNo)\n"
        "{\n\t(*((PBYTE)0x320000)) = CommandNo;\n}\n\n"
        "// FM Music commands\n";
    for (const RomCommand& c : commands.songs)
        text += "#define " + c.define + "\t(" + hexByte(c.number) + ")\n";
    text += "#define SOUND_FM_OFF\t(0xff)\n\n";
    text += "// ADPCM Sample commands\n";
    for (const RomCommand& c : commands.samples)
        text += "#define " + c.define + "\t(" + hexByte(c.number) + ")\n";
    text += "#define SOUND_ADPCM_OFF\t(0x7f)\n\n";
    return text;
}

std::vector<std::string> buildRoms(std::span<const RomSong> songs,
                                   std::span<const RomSample> samples, const RomOutputs& outputs) {
    if (std::vector<std::string> problems = romProblems(songs, samples); !problems.empty())
        return problems;

    // Everything is made in memory first, so a sample that fails to encode stops the build before
    // any file is touched.
    std::vector<std::uint8_t> v1;
    if (!outputs.v1.empty())
        if (const Result r = buildV1(samples, v1); !r) return {r.message()};
    // The table follows from the sample list alone, so the M1 carries it even when the V1 is
    // left out of this build.
    const std::vector<std::uint8_t> m1 = buildM1(songs, sampleTable(samples));
    const std::string header = commandHeader(romCommands(songs, samples));

    std::vector<std::string> messages;
    const auto write = [&messages](const std::filesystem::path& path,
                                   std::span<const std::uint8_t> bytes) {
        if (!path.empty() && !writeFileAtomically(path, bytes))
            messages.push_back(std::string(kFailedToCreate) + displayName(path));
    };
    write(outputs.v1, v1);
    write(outputs.m1, m1);
    write(outputs.header,
          std::span(reinterpret_cast<const std::uint8_t*>(header.data()), header.size()));
    return messages;
}

}  // namespace qvx
