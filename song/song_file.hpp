#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "song/result.hpp"
#include "song/song.hpp"

namespace qvx {

inline constexpr std::string_view kSongMagic = "QVXM1";
inline constexpr std::string_view kInvalidSongMessage = "Invalid QVX Tracker Music file";
// The ROM Maker's reader has always spelt the product without the blank; its texts are kept apart.
inline constexpr std::string_view kInvalidRomSongMessage = "Invalid QVXTracker Music file";
inline constexpr std::string_view kFailedToOpen = "Failed to Open ";
inline constexpr std::string_view kFailedToCreate = "Failed to Create ";

// Largest song file the readers can need: every instrument and pattern name at 255 characters,
// 128 order entries, 64 patterns. Anything after that is never looked at.
inline constexpr std::size_t kMaxSongFileBytes = 5 + kInstrumentCount * (256 + kVoiceBytes) + 1 +
                                                 kMaxOrderEntries + 1 + kMaxPatterns * (256 + 1024);

// The song file bytes: instruments, order list, and every pattern compiled with all tracks as
// they are (muting never reaches the file). A classic song makes a "QVXM1" file, a whole-chip song
// a "QVXM2" one (whole_chip_file.hpp).
std::vector<std::uint8_t> serializeSong(const Song& song);

// Writes the song safely (temporary file, then rename). Failure: "Failed to Create " + file name.
Result saveSong(const Song& song, const std::filesystem::path& path);

// Whether the bytes start as a whole-chip song file ("QVXM2") does.
bool isWholeChipSongFile(std::span<const std::uint8_t> bytes);

// Reads a whole song file, of either kind, into `out`. `out` is replaced only when the file was
// read and validated completely; on failure it is untouched and the message says why.
Result parseSong(std::span<const std::uint8_t> bytes, Song& out);
Result openSong(const std::filesystem::path& path, Song& out);

// The ROM Maker's reader: registers and cells only, 64 order entries at most. `out` is replaced
// only on success. Failure: "Failed to Open " + path, or "Invalid QVXTracker Music file".
Result parseRomSong(std::span<const std::uint8_t> bytes, std::string label, RomSong& out);
Result readRomSong(const std::filesystem::path& path, std::string label, RomSong& out);

}  // namespace qvx
