#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "song/result.hpp"
#include "song/song.hpp"

namespace qvx {

inline constexpr std::string_view kInvalidModMessage = "Invalid or Incompatible MOD file";

// Layout of a 31-sample ProTracker module, offsets from the start of the file.
inline constexpr std::size_t kModSampleHeaders = 20;
inline constexpr std::size_t kModSampleHeaderBytes = 30;
inline constexpr std::size_t kModSampleNameBytes = 22;     // a sample header starts with its name
inline constexpr std::size_t kModSampleLengthOffset = 22;  // within a sample header, in words
inline constexpr std::size_t kModSampleVolumeOffset = 25;  // 0-64
inline constexpr int kModSamples = 31;
inline constexpr std::size_t kModSongLengthOffset = 950;
inline constexpr std::size_t kModOrderOffset = 952;
inline constexpr std::size_t kModOrderSlots = 128;
inline constexpr std::size_t kModSignatureOffset = 1080;
inline constexpr std::size_t kModPatternsOffset = 1084;
inline constexpr std::size_t kModPatternBytes = 1024;
// Nothing after the 64th pattern is ever looked at: the sample data only counts by its length.
inline constexpr std::size_t kModHeadBytes = kModPatternsOffset + kMaxPatterns * kModPatternBytes;

// What an import brought in, for the user to see what was lost on the way.
struct ModImportReport {
    int patterns = 0;  // patterns in the new song
    std::uint64_t patternsInFile =
        0;  // what the file's size gives; above `patterns` when cut to 64
    int orderEntries = 0;
    int droppedNotes = 0;  // notes whose period matches no semitone (finetuned or out of range)
    int clearedSampleNumbers = 0;  // notes whose sample number above 31 became "no instrument"
};

// How to import. A classic import keeps the driver's three effects' cells as they are and leaves
// the instruments in the new song state. A whole-chip import makes a whole-chip song whose FM
// tracks play the module's four channels, keeps every effect with its ProTracker meaning
// (arpeggio included; a note's sample volume below 64 becomes a Cxx where the cell has no other
// effect), and names each instrument the song uses after its sample, with the voice `voiceFor`
// gives (by the sample's name and number) so that it sounds at once.
struct ModImportOptions {
    bool wholeChip = false;
    std::function<VoiceBytes(std::string_view name, int number)> voiceFor;
};

// The semitone of a ProTracker period: (note 0..11, octave 3..7) on an exact match of the
// five-octave table, else (empty note, no octave). Period 0 means "no note".
std::pair<std::uint8_t, std::uint8_t> periodToNote(int period);

// Converts a module into a song in the new song state plus the module's patterns and order
// list. `head` is the start of the file and `fileLength` its whole size: the pattern count
// follows from the size, while only the first kModHeadBytes are ever read. `out` is replaced
// only on success.
Result parseMod(std::span<const std::uint8_t> head, std::uint64_t fileLength, Song& out,
                ModImportReport* report = nullptr, const ModImportOptions& options = {});
inline Result parseMod(std::span<const std::uint8_t> bytes, Song& out,
                       ModImportReport* report = nullptr, const ModImportOptions& options = {}) {
    return parseMod(bytes, bytes.size(), out, report, options);
}

// Reads a .mod file. Failure: "Failed to Open " + file name, or the invalid-module message.
Result importMod(const std::filesystem::path& path, Song& out, ModImportReport* report = nullptr,
                 const ModImportOptions& options = {});

}  // namespace qvx
