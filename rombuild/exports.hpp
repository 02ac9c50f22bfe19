#pragma once

#include <filesystem>

#include "rombuild/compiled_image.hpp"
#include "song/result.hpp"

namespace qvx {

// "Export QVX0": the song block alone, from its "QVX0" magic to the end of the last pattern.
Result exportCompiledImage(const Song& song, ImageBuffer& buffer,
                           const std::filesystem::path& path);

// "Export Neogeo Test ROM": the whole image with the driver's auto-start flag set, so the board
// plays song 1 from power-on.
Result exportNeoGeoTestRom(const Song& song, ImageBuffer& buffer,
                           const std::filesystem::path& path);

}  // namespace qvx
