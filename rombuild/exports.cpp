#include "rombuild/exports.hpp"

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

Result exportNeoGeoTestRom(const Song& song, ImageBuffer& buffer,
                           const std::filesystem::path& path) {
    const ImageBuild image = buildSongImage(song, buffer);
    if (!image) return Result::failure(image.message);
    // The next build copies the driver afresh, so playback never sees this flag.
    buffer.bytes[driver::kAutoStartFlag] = 1;
    return writeSlice(buffer, 0, image.length, path);
}

std::string megaDriveTestRomProblem(const Song& song) {
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
