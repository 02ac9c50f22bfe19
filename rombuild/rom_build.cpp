#include "rombuild/rom_build.hpp"

#include <algorithm>
#include <cstdio>
#include <set>

#include "driver/whole_chip_map.hpp"
#include "rombuild/whole_chip_image.hpp"
#include "song/file_io.hpp"
#include "song/song_file.hpp"

namespace qvx {
namespace {

constexpr std::uint8_t kFirstSongCommand = driver::command::kFirstSong;
constexpr std::uint8_t kFirstSampleCommand = driver::command::kFirstSample;
constexpr std::string_view kSongPrefix = "SOUND_FM_";
constexpr std::string_view kSamplePrefix = "SOUND_ADPCM_";

bool isIdentifierChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The list name as define material: upper case, the file's extension gone (whatever its length),
// anything a C identifier cannot hold made an underscore. Characters are counted in UTF-8, so "é"
// is one.
std::string defineStem(std::string_view listName) {
    const std::size_t dot = listName.rfind('.');
    if (dot != std::string_view::npos) listName = listName.substr(0, dot);
    std::string stem;
    for (std::size_t i = 0; i < listName.size();) {
        std::size_t end = i + 1;
        while (end < listName.size() && (static_cast<unsigned char>(listName[end]) & 0xC0) == 0x80)
            ++end;
        const auto first = static_cast<unsigned char>(listName[i]);
        if (end - i == 1 && isIdentifierChar(first))
            stem.push_back(first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A')
                                                        : listName[i]);
        else
            stem.push_back('_');
        i = end;
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

std::uint64_t paddedSize(const RomSample& sample) {
    return (std::uint64_t{sample.encodedSize()} / kAdpcmBlockBytes + 1) * kAdpcmBlockBytes;
}

// The songs' samples laid out after the command samples (whose bytes stand in as padding until
// the V1 is encoded): their places, and how far the V1 goes.
SampleRom songSampleRom(std::span<const RomSong> songs, std::span<const RomSample> samples) {
    SampleRom rom(std::vector<std::uint8_t>(v1Size(samples), kV1Padding));
    for (const RomSong& song : songs)
        if (song.wholeChip) addSongSamples(*song.wholeChip, rom);
    return rom;
}

// The whole-chip blocks of the songs, their samples placed in `rom`.
std::vector<std::vector<std::uint8_t>> wholeChipBlocks(std::span<const RomSong> songs,
                                                       SampleRom& rom, std::uint8_t& channels) {
    std::vector<std::vector<std::uint8_t>> blocks;
    channels = 0;
    for (const RomSong& song : songs) {
        const std::shared_ptr<const Song> whole = wholeChipSongOf(song);
        const WholeChipBlockSource source = wholeChipSongSource(*whole, false);
        channels |= adpcmAChannels(source);
        blocks.push_back(wholeChipBlock(source, rom));
    }
    return blocks;
}

}  // namespace

bool wholeChipRom(std::span<const RomSong> songs) {
    return std::any_of(songs.begin(), songs.end(),
                       [](const RomSong& song) { return song.kind == SongKind::WholeChip; });
}

std::shared_ptr<const Song> wholeChipSongOf(const RomSong& song) {
    if (song.wholeChip) return song.wholeChip;
    auto whole = std::make_shared<Song>();
    whole->convertToWholeChip();
    for (int k = 1; k <= kInstrumentCount; ++k)
        whole->instruments[k].registers = song.instruments[k].registers;
    whole->order.assign(song.order.begin(), song.order.begin() + song.orderCount);
    whole->patternCount = song.patternCount;
    for (int p = 0; p < song.patternCount; ++p)
        whole->patterns[p].tracks = song.patterns[p].tracks;
    return whole;
}

std::size_t romSongBlockSize(const RomSong& song, bool wholeChip) {
    if (!wholeChip) return songBlockSize(songBlockSource(song));
    SampleRom rom;
    return wholeChipBlock(wholeChipSongSource(*wholeChipSongOf(song), false), rom).size();
}

std::string romSongProblem(const RomSong& song) {
    if (song.wholeChip) {
        const std::string problem =
            wholeChipBlockProblem(wholeChipSongSource(*song.wholeChip, false));
        return problem.empty() ? problem : "The song " + song.name + ": " + problem;
    }
    using Kind = SongBlockProblem::Kind;
    const std::string what = "The song " + song.name;
    const SongBlockProblem problem = findSongBlockProblem(songBlockSource(song));
    switch (problem.kind) {
        case Kind::None:
            return {};
        case Kind::EmptyOrderList:
            return what + " has an empty order list";
        case Kind::TooManyOrderEntries:  // a ROM song's file holds at most 64 entries
            return what + " has " + std::to_string(problem.count) + " order entries";
        case Kind::MissingPattern:
            return what + " plays pattern " + patternNumberText(problem.pattern) +
                   " at order entry " + patternNumberText(problem.orderEntry) +
                   ", which does not exist";
        case Kind::BadInstrument:
            return what + " uses instrument " + std::to_string(problem.instrument) + " (pattern " +
                   patternNumberText(problem.pattern) + ", track " +
                   std::to_string(problem.track + 1) + ", row " + patternNumberText(problem.row) +
                   "); instruments are numbered 1 to " + std::to_string(kInstrumentCount);
    }
    return {};
}

RomCommands romCommands(std::span<const RomSong> songs, std::span<const RomSample> samples) {
    const bool wholeChip = wholeChipRom(songs);
    RomCommands commands;
    std::set<std::string> taken = {std::string(kSongPrefix) + "OFF",
                                   std::string(kSamplePrefix) + "OFF"};
    for (std::size_t i = 0; i < songs.size(); ++i)
        commands.songs.push_back({static_cast<std::uint8_t>(kFirstSongCommand + i),
                                  uniqueDefine(kSongPrefix, songs[i].name, taken), songs[i].name,
                                  romSongBlockSize(songs[i], wholeChip)});
    for (std::size_t i = 0; i < samples.size(); ++i)
        commands.samples.push_back({static_cast<std::uint8_t>(kFirstSampleCommand + i),
                                    uniqueDefine(kSamplePrefix, samples[i].name, taken),
                                    samples[i].name, samples[i].encodedSize()});
    return commands;
}

std::int64_t m1SongRoom(std::span<const RomSong> songs) {
    return wholeChipRom(songs) ? driver::kVariables - driver::whole_chip::kFirstSongBlock
                               : kM1SongRoom;
}

RomSpace romSpace(std::span<const RomSong> songs, std::span<const RomSample> samples) {
    const bool wholeChip = wholeChipRom(songs);
    RomSpace space{m1SongRoom(songs), kV1Size};
    for (const RomSong& song : songs)
        space.m1 -= static_cast<std::int64_t>(romSongBlockSize(song, wholeChip));
    for (const RomSample& sample : samples)
        space.v1 -= sample.encodedSize();
    // The songs' samples, each once, with the padding that places them.
    if (wholeChip)
        space.v1 -= static_cast<std::int64_t>(songSampleRom(songs, samples).bytes().size() -
                                              v1Size(samples));
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
    for (std::size_t i = 0; i < samples.size() && kFirstSampleCommand + i < driver::kSampleEntries;
         ++i) {
        const std::uint16_t start = nextBlock;
        const auto end =
            static_cast<std::uint16_t>(start + samples[i].encodedSize() / kAdpcmBlockBytes);
        std::uint8_t* entry = table.data() + driver::kSampleEntryBytes * (kFirstSampleCommand + i);
        putWord(std::span(entry, 2), start);
        putWord(std::span(entry + 2, 2), end);
        nextBlock = static_cast<std::uint16_t>(end + 1);
    }
    return table;
}

std::vector<std::string> romProblems(std::span<const RomSong> songs,
                                     std::span<const RomSample> samples) {
    std::vector<std::string> problems;
    using namespace driver::command;
    // ROMs without a song or a sample would be a driver alone and an empty V1: no use to anyone.
    if (songs.empty() && samples.empty()) problems.emplace_back(kNothingToBuild);
    if (songs.size() > kMaxRomSongs)
        problems.push_back("Too many songs: " + std::to_string(songs.size()) +
                           "; the ROM holds at most " + std::to_string(kMaxRomSongs) +
                           " (commands " + commandText(kFirstSong) + " to " +
                           commandText(kLastSong) + ")");
    if (samples.size() > kMaxRomSamples)
        problems.push_back("Too many samples: " + std::to_string(samples.size()) +
                           "; the ROM holds at most " + std::to_string(kMaxRomSamples) +
                           " (commands " + commandText(kFirstSample) + " to " +
                           commandText(kLastSample) + ")");
    const RomSpace space = romSpace(songs, samples);
    const std::int64_t room = m1SongRoom(songs);
    if (space.m1 < 0)
        problems.push_back("The songs take " + std::to_string(room - space.m1) +
                           " bytes but only " + std::to_string(room) +
                           " fit in the M1 below the sound driver's memory at " +
                           addressText(driver::kVariables) + " (" + std::to_string(-space.m1) +
                           " bytes too many)");
    const std::uint64_t v1 =
        wholeChipRom(songs) ? songSampleRom(songs, samples).bytes().size() : v1Size(samples);
    if (v1 > static_cast<std::uint64_t>(kV1Size))
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

Result buildV1(std::span<const RomSample> samples, std::vector<std::uint8_t>& out,
               const ProgressFn& progress) {
    std::vector<std::uint8_t> v1;
    v1.reserve(v1Size(samples));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const RomSample& sample = samples[i];
        // Each sample's share of the whole; a file that cannot tell its length reports nothing.
        const ProgressFn part =
            progress ? ProgressFn([&progress, i, n = double(samples.size())](double done) {
                return progress(done < 0 ? -1.0 : (double(i) + done) / n);
            })
                     : ProgressFn();
        const Result r = encodeRomSample(
            sample,
            [&v1](std::span<const std::uint8_t> bytes) {
                v1.insert(v1.end(), bytes.begin(), bytes.end());
            },
            part);
        if (!r) return r;
        v1.resize(v1.size() + paddedSize(sample) - sample.encodedSize(), kV1Padding);
    }
    out = std::move(v1);
    return Result::success();
}

std::vector<std::uint8_t> songSamplesV1(std::span<const RomSong> songs,
                                        std::span<const RomSample> samples,
                                        std::vector<std::uint8_t> commandSamples) {
    if (!wholeChipRom(songs)) return commandSamples;
    std::vector<std::uint8_t> v1 = songSampleRom(songs, samples).takeBytes();
    std::copy(commandSamples.begin(), commandSamples.end(), v1.begin());
    return v1;
}

std::vector<std::uint8_t> buildM1(std::span<const RomSong> songs, const SampleTable& table,
                                  std::span<const RomSample> samples) {
    if (wholeChipRom(songs)) {
        SampleRom rom = songSampleRom(songs, samples);
        std::uint8_t channels = 0;
        const std::vector<std::vector<std::uint8_t>> blocks = wholeChipBlocks(songs, rom, channels);
        return wholeChipImage(blocks, channels, table);
    }
    std::vector<SongBlockSource> sources;
    sources.reserve(songs.size());
    for (const RomSong& song : songs)
        sources.push_back(songBlockSource(song));
    return buildMultiSongImage(sources, table);
}

std::string commandHeader(const RomCommands& commands) {
    std::string text =
        "// FM/ADPCM HEADER FILE created by QVXTracker\n\n"
        "inline void send_sound_command(BYTE CommandNo)\n"
        "{\n\t(*((PBYTE)0x320000)) = CommandNo;\n}\n\n"
        "// FM Music commands\n";
    for (const RomCommand& c : commands.songs)
        text += "#define " + c.define + "\t(" + commandText(c.number) + ")\n";
    text += "#define SOUND_FM_OFF\t(" + commandText(driver::command::kStop) + ")\n\n";
    text += "// ADPCM Sample commands\n";
    for (const RomCommand& c : commands.samples)
        text += "#define " + c.define + "\t(" + commandText(c.number) + ")\n";
    text += "#define SOUND_ADPCM_OFF\t(" + commandText(driver::command::kAdpcmOff) + ")\n\n";
    if (commands.wholeChip)
        text +=
            "// The songs are whole-chip songs: each owns the ADPCM-A channels of its drum tracks\n"
            "// while it plays. Sample commands rotate over the channels no song uses; when the\n"
            "// songs use all six, over all six, and a song takes a channel back at its next "
            "note.\n";
    return text;
}

const std::filesystem::path& RomOutputs::path(RomOutput output) const {
    switch (output) {
        case RomOutput::V1:
            return v1;
        case RomOutput::M1:
            return m1;
        case RomOutput::Header:
            break;
    }
    return header;
}

std::vector<std::string> RomBuildResult::messages() const {
    std::vector<std::string> out = problems;
    for (const Failure& failure : failures)
        out.push_back(failure.message);
    return out;
}

RomImages makeRomImages(std::span<const RomSong> songs, std::span<const RomSample> samples,
                        bool withV1, const ProgressFn& progress) {
    RomImages images;
    images.problems = romProblems(songs, samples);
    if (!images.problems.empty()) return images;
    if (withV1) {
        if (const Result r = buildV1(samples, images.v1, progress); !r) {
            images.problems.push_back(r.message());
            return images;
        }
    }
    if (withV1) images.v1 = songSamplesV1(songs, samples, std::move(images.v1));
    images.m1 = buildM1(songs, sampleTable(samples), samples);
    images.commands = romCommands(songs, samples);
    images.commands.wholeChip = wholeChipRom(songs);
    images.header = commandHeader(images.commands);
    return images;
}

RomBuildResult buildRoms(std::span<const RomSong> songs, std::span<const RomSample> samples,
                         const RomOutputs& outputs, const ProgressFn& progress) {
    RomBuildResult result;
    if (outputs.m1PadTo != 0 &&
        std::ranges::find(kM1PadSizes, outputs.m1PadTo) == kM1PadSizes.end()) {
        result.problems.push_back("The M1 can be filled up to " + std::to_string(kM1PadSizes[0]) +
                                  " or " + std::to_string(kM1PadSizes[1]) + " bytes, not " +
                                  std::to_string(outputs.m1PadTo));
        return result;
    }
    // Everything is made in memory first, so a sample that fails to encode stops the build before
    // any file is touched.
    RomImages images = makeRomImages(songs, samples, !outputs.v1.empty(), progress);
    result.problems = std::move(images.problems);
    if (!result.problems.empty()) return result;
    if (images.m1.size() < outputs.m1PadTo) images.m1.resize(outputs.m1PadTo, kM1Padding);

    const auto write = [&](RomOutput output, std::span<const std::uint8_t> bytes) {
        const std::filesystem::path& path = outputs.path(output);
        if (path.empty()) return;
        if (writeFileAtomically(path, bytes))
            result.written.push_back(output);
        else
            result.failures.push_back({output, std::string(kFailedToCreate) + displayName(path)});
    };
    write(RomOutput::V1, images.v1);
    write(RomOutput::M1, images.m1);
    write(RomOutput::Header, std::span(reinterpret_cast<const std::uint8_t*>(images.header.data()),
                                       images.header.size()));
    return result;
}

}  // namespace qvx
