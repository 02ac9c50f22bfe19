#include "rombuild/exports.hpp"

#include "driver/memory_map.hpp"
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
    return writeSlice(buffer, driver::kFirstSongBlock, image.length, path);
}

Result exportNeoGeoTestRom(const Song& song, ImageBuffer& buffer,
                           const std::filesystem::path& path) {
    const ImageBuild image = buildSongImage(song, buffer);
    if (!image) return Result::failure(image.message);
    // The next build copies the driver afresh, so playback never sees this flag.
    buffer.bytes[driver::kAutoStartFlag] = 1;
    return writeSlice(buffer, 0, image.length, path);
}

}  // namespace qvx
