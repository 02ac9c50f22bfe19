#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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

inline constexpr std::size_t kMegaDriveTestRomSize = 0x20000;

// Why the song cannot go into the Mega Drive test ROM (empty when it can): the Z80 reads the song
// block through its 32 KB bank window, which must hold all of it.
std::string megaDriveTestRomProblem(const Song& song);

// "Export Megadrive Test ROM": the Mega Drive template, the song block at 0x8000 and zeros up to
// 128 KB. The console shows its title screen and plays the song over and over.
Result buildMegaDriveTestRom(const Song& song, ImageBuffer& buffer, std::vector<std::uint8_t>& out);
Result exportMegaDriveTestRom(const Song& song, ImageBuffer& buffer,
                              const std::filesystem::path& path);

}  // namespace qvx
