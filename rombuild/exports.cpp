#include "rombuild/exports.hpp"

#include <algorithm>
#include <memory>
#include "driver/megadrive_template.hpp"
#include "driver/memory_map.hpp"
#include "driver/whole_chip_map.hpp"

#include "song/file_io.hpp"
#include "song/song_file.hpp"

namespace qvx {
namespace {

Result writeSlice(const ImageBuffer& buffer, std::size_t from, std::size_t to,
                  const std::filesystem::path& path) {
    const std::span<const std::uint8_t> bytes(buffer.bytes.data() + from, to - from);
    if (!writeFileAtomically(path, bytes))
        return Result::failure(std::string(kFailedToCreate) + displayName(path));
    return Result::success();
}

}  // namespace

Result exportCompiledImage(const Song& song, ImageBuffer& buffer,
                           const std::filesystem::path& path) {
    const ImageBuild image = buildSongImage(song, buffer);
    if (!image) return Result::failure(image.message);
    return writeSlice(
        buffer, image.wholeChip ? driver::whole_chip::kFirstSongBlock : driver::kFirstSongBlock,
        image.length, path);
}

std::filesystem::path neoGeoTestV1Path(const std::filesystem::path& m1) {
    std::string stem = m1.stem().string();
    if (stem.ends_with("m1"))
        stem.replace(stem.size() - 2, 2, "v1");
    else if (stem.ends_with("M1"))
        stem.replace(stem.size() - 2, 2, "V1");
    else
        stem += "-v1";
    return m1.parent_path() / (stem + m1.extension().string());
}

Result exportNeoGeoTestRom(const Song& song, ImageBuffer& buffer,
                           const std::filesystem::path& path) {
    const ImageBuild image = buildSongImage(song, buffer);
    if (!image) return Result::failure(image.message);
    // The next build copies the driver afresh, so playback never sees this flag.
    buffer.bytes[driver::kAutoStartFlag] = 1;
    if (Result m1 = writeSlice(buffer, 0, image.length, path); !m1 || !image.wholeChip) return m1;
    const std::filesystem::path v1 = neoGeoTestV1Path(path);
    if (!writeFileAtomically(v1, image.sampleRom))
        return Result::failure(std::string(kFailedToCreate) + displayName(v1));
    return Result::success();
}

namespace {

// A whole-chip song's FM tracks as a classic song, which the Mega Drive port plays.
std::unique_ptr<Song> fmTracksOf(const Song& song) {
    auto classic = std::make_unique<Song>();
    for (int k = 1; k <= kInstrumentCount; ++k)
        if (song.instruments[k].kind == InstrumentKind::FmVoice)
            classic->instruments[k] = song.instruments[k];
    classic->order = song.order;
    classic->patternCount = song.patternCount;
    for (int p = 0; p < song.patternCount; ++p) {
        classic->patterns[p].name = song.patterns[p].name;
        std::copy_n(song.patterns[p].tracks.begin(), kTracks, classic->patterns[p].tracks.begin());
    }
    classic->trackEnabled = song.trackEnabled;
    return classic;
}

}  // namespace

std::string megaDriveLeftOut(const Song& song) {
    if (song.kind == SongKind::Classic) return {};
    return "The Mega Drive has no ADPCM-A: its test ROM plays the " + std::to_string(kTracks) +
           " FM tracks and leaves out the " + std::to_string(kWholeChipTracks - kTracks) +
           " others";
}

std::string megaDriveTestRomProblem(const Song& song) {
    if (song.kind == SongKind::WholeChip) {
        if (std::string problem = songProblem(song); !problem.empty()) return problem;
        for (int p = 0; p < song.patternCount; ++p)
            for (int t = 0; t < kTracks; ++t)
                for (int row = 0; row < kRows; ++row)
                    if (const Cell& cell = song.patterns[p].cell(t, row);
                        cell.instrument != kNone && cell.instrument > kInstrumentCount)
                        return "The Mega Drive test ROM takes instruments 1 to " +
                               std::to_string(kInstrumentCount) + ": pattern " +
                               patternNumberText(p) + ", " + trackName(song.kind, t) + ", row " +
                               patternNumberText(row) + " uses instrument " +
                               std::to_string(cell.instrument);
        return megaDriveTestRomProblem(*fmTracksOf(song));
    }
    if (std::string problem = songProblem(song); !problem.empty()) return problem;
    const std::size_t size = songBlockSize(songBlockSource(song));
    const std::size_t room = driver::megadrive::kWindowBytes;
    if (size <= room) return {};
    return "The song is too large for the Mega Drive test ROM: its block is " +
           std::to_string(size) + " bytes, " + std::to_string(size - room) + " more than the " +
           std::to_string(room) + " the console's Z80 can reach in one bank";
}

Result buildMegaDriveTestRom(const Song& song, ImageBuffer& buffer,
                             std::vector<std::uint8_t>& out) {
    if (std::string problem = megaDriveTestRomProblem(song); !problem.empty())
        return Result::failure(std::move(problem));
    if (song.kind == SongKind::WholeChip)
        return buildMegaDriveTestRom(*fmTracksOf(song), buffer, out);
    const ImageBuild image = buildSongImage(song, buffer);
    if (!image) return Result::failure(image.message);
    const auto mdTemplate = driver::megaDriveTemplate();
    const auto block =
        std::span(buffer.bytes)
            .subspan(driver::kFirstSongBlock, image.length - driver::kFirstSongBlock);
    std::vector<std::uint8_t> rom(kMegaDriveTestRomSize, 0);
    std::copy(mdTemplate.begin(), mdTemplate.end(), rom.begin());
    std::copy(block.begin(), block.end(), rom.begin() + driver::megadrive::kRomSong);
    out = std::move(rom);
    return Result::success();
}

Result exportMegaDriveTestRom(const Song& song, ImageBuffer& buffer,
                              const std::filesystem::path& path) {
    std::vector<std::uint8_t> rom;
    if (Result r = buildMegaDriveTestRom(song, buffer, rom); !r) return r;
    if (!writeFileAtomically(path, rom))
        return Result::failure(std::string(kFailedToCreate) + displayName(path));
    return Result::success();
}

}  // namespace qvx
