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
// plays song 1 from power-on. A whole-chip song's samples go into a V1 beside it
// (neoGeoTestV1Path).
Result exportNeoGeoTestRom(const Song& song, ImageBuffer& buffer,
                           const std::filesystem::path& path);
// Where the V1 of a test M1 goes: "202-m1.bin" -> "202-v1.bin", "song.bin" -> "song-v1.bin".
std::filesystem::path neoGeoTestV1Path(const std::filesystem::path& m1);

inline constexpr std::size_t kMegaDriveTestRomSize = 0x20000;

// Why the song cannot go into the Mega Drive test ROM (empty when it can): the Z80 reads the song
// block through its 32 KB bank window, which must hold all of it. The console has no ADPCM-A: of
// a whole-chip song it takes the FM tracks, with their instruments numbered up to 31.
std::string megaDriveTestRomProblem(const Song& song);
// What the Mega Drive test ROM leaves out of the song, for its user; empty for a classic song.
std::string megaDriveLeftOut(const Song& song);

// "Export Megadrive Test ROM": the Mega Drive template, the song block at 0x8000 and zeros up to
// 128 KB. The console shows its title screen and plays the song over and over.
Result buildMegaDriveTestRom(const Song& song, ImageBuffer& buffer, std::vector<std::uint8_t>& out);
Result exportMegaDriveTestRom(const Song& song, ImageBuffer& buffer,
                              const std::filesystem::path& path);

}  // namespace qvx
