#include "rombuild/compiled_image.hpp"

#include <algorithm>

#include "driver/sound_driver.hpp"
#include "driver/whole_chip_driver.hpp"
#include "rombuild/whole_chip_image.hpp"

namespace qvx {
namespace {

// The editor's words for what the driver cannot play.
std::string describe(const SongBlockProblem& problem, const std::vector<std::uint8_t>& order) {
    using Kind = SongBlockProblem::Kind;
    switch (problem.kind) {
        case Kind::None:
            return {};
        case Kind::EmptyOrderList:
            return "The order list is empty: add an entry to play the song";
        case Kind::TooManyOrderEntries:
            return "The order list has " + std::to_string(problem.count) +
                   " entries; the sound driver plays at most " +
                   std::to_string(driver::kOrderEntries);
        case Kind::MissingPattern:
            return "Order entry " +
                   orderEntryText(problem.orderEntry,
                                  order[static_cast<std::size_t>(problem.orderEntry)]) +
                   " names pattern " + patternNumberText(problem.pattern) +
                   ", which does not exist";
        case Kind::BadInstrument:
            return "Pattern " + patternNumberText(problem.pattern) + ", track " +
                   std::to_string(problem.track + 1) + ", row " + patternNumberText(problem.row) +
                   " uses instrument " + std::to_string(problem.instrument) +
                   "; instruments are numbered 1 to " + std::to_string(kInstrumentCount);
    }
    return {};
}

std::string sizeProblem(std::size_t end) {
    if (end <= driver::kVariables) return {};
    return "The song is too long for the sound board: its data runs " +
           std::to_string(end - driver::kVariables) + " bytes into the driver's memory at " +
           addressText(driver::kVariables) + " (use fewer patterns or instruments)";
}

// The driver, the untouched sample table area, and the block. Returns the image's length.
std::size_t build(const SongBlockSource& source, ImageBuffer& buffer) {
    const auto driverBytes = driver::image();
    std::copy(driverBytes.begin(), driverBytes.end(), buffer.bytes.begin());
    const std::size_t size = songBlockSize(source);
    writeSongBlock(source, 0, std::span(buffer.bytes).subspan(driver::kFirstSongBlock, size));
    return driver::kFirstSongBlock + size;
}

// A whole-chip song's image: the whole-chip driver and the one block, its samples beside it.
ImageBuild buildWholeChip(const WholeChipBlockSource& source, ImageBuffer& buffer) {
    if (std::string problem = wholeChipBlockProblem(source); !problem.empty())
        return ImageBuild::refused(std::move(problem));
    SampleRom rom;
    const std::vector<std::uint8_t> block = wholeChipBlock(source, rom);
    const std::vector<std::uint8_t> image =
        wholeChipImage(std::span(&block, 1), adpcmAChannels(source));
    if (image.empty())
        return ImageBuild::refused(sizeProblem(driver::whole_chip::kFirstSongBlock + block.size()));
    std::copy(image.begin(), image.end(), buffer.bytes.begin());
    return {true, image.size(), {}, true, rom.takeBytes()};
}

}  // namespace

std::string songProblem(const Song& song) {
    if (song.kind == SongKind::WholeChip) {
        const WholeChipBlockSource source = wholeChipSongSource(song);
        if (std::string problem = wholeChipBlockProblem(source); !problem.empty()) return problem;
        SampleRom rom;
        return sizeProblem(driver::whole_chip::kFirstSongBlock +
                           wholeChipBlock(source, rom).size());
    }
    const SongBlockSource source = songBlockSource(song);
    if (const SongBlockProblem problem = findSongBlockProblem(source))
        return describe(problem, song.order);
    return sizeProblem(driver::kFirstSongBlock + songBlockSize(source));
}

ImageBuild buildSongImage(const Song& song, ImageBuffer& buffer) {
    if (song.kind == SongKind::WholeChip) return buildWholeChip(wholeChipSongSource(song), buffer);
    if (std::string problem = songProblem(song); !problem.empty())
        return ImageBuild::refused(std::move(problem));
    return ImageBuild::built(build(songBlockSource(song), buffer));
}

ImageBuild buildPatternImage(const Song& song, int pattern, ImageBuffer& buffer) {
    if (pattern < 0 || pattern >= song.patternCount)
        return ImageBuild::refused("Pattern " + std::to_string(pattern) + " does not exist");
    if (song.kind == SongKind::WholeChip)
        return buildWholeChip(wholeChipPatternSource(song, pattern), buffer);
    const SongBlockSource source = patternBlockSource(song, pattern);
    if (const SongBlockProblem problem = findSongBlockProblem(source))
        return ImageBuild::refused(describe(problem, song.order));
    return ImageBuild::built(build(source, buffer));
}

ImageBuild buildSongImageFrom(const Song& song, int orderEntry, ImageBuffer& buffer) {
    if (orderEntry <= 0 || orderEntry >= static_cast<int>(song.order.size()))
        return buildSongImage(song, buffer);
    auto turned = std::make_unique<Song>(song);
    std::rotate(turned->order.begin(), turned->order.begin() + orderEntry, turned->order.end());
    return buildSongImage(*turned, buffer);
}

ImageBuild buildPatternImageFrom(const Song& song, int pattern, int row, ImageBuffer& buffer) {
    if (pattern < 0 || pattern >= song.patternCount || row <= 0 || row >= kRows)
        return buildPatternImage(song, pattern, buffer);
    auto turned = std::make_unique<Song>(song);
    for (Track& track : turned->patterns[static_cast<std::size_t>(pattern)].tracks)
        std::rotate(track.begin(), track.begin() + row, track.end());
    return buildPatternImage(*turned, pattern, buffer);
}

std::uint64_t songTicks(const Song& song) {
    if (!songProblem(song).empty()) return 0;
    int speed = driver::kDefaultSpeed;
    std::uint64_t ticks = static_cast<std::uint64_t>(speed);  // until the first row
    for (const std::uint8_t entry : song.order) {
        const Pattern& pattern = song.patterns[entry & driver::kPatternNumberMask];
        for (int row = 0; row < kRows; ++row) {
            bool breaks = false;
            for (int track = 0; track < song.trackCount(); ++track) {
                const Cell& cell = pattern.cell(track, row);
                if (cell.effect == driver::effect::kSpeed) speed = cell.parameter;
                if (cell.effect == driver::effect::kBreak) breaks = true;
            }
            ticks += static_cast<std::uint64_t>(speed == 0 ? 256 : speed);
            if (breaks) break;
        }
    }
    return ticks;
}

}  // namespace qvx
