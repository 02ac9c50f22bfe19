#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "soundlib/ym2610/registers.hpp"

namespace qvx {

inline constexpr int kTracks = 4;      // a classic song's: the FM channels the classic driver plays
inline constexpr int kMaxTracks = 14;  // the most a song has: one per channel of the chip
inline constexpr int kRows = 64;
inline constexpr int kMaxPatterns = 64;
inline constexpr int kInstrumentCount = 31;  // numbered 1..31; slot 0 is never part of a song
inline constexpr int kWholeChipInstrumentCount = 63;  // a whole-chip song's: 1..63
inline constexpr int kInstrumentSlots = 64;
inline constexpr int kVoiceBytes = 25;
inline constexpr int kMaxOrderEntries = 128;  // what the compiled image's order area holds
inline constexpr int kRomSongOrderEntries = 64;
inline constexpr int kMaxNameLength = 255;  // longest name the file formats can carry
inline constexpr int kMinOctave = 1;
inline constexpr int kMaxOctave = 7;

inline constexpr std::uint8_t kNone = 0xFF;  // "no octave / instrument / effect / parameter"

enum Note : std::uint8_t {
    kNoteC = 0,
    kNoteB = 11,
    kNoteEmpty = 12,
    kNoteEnd = 13,
};

// One entry of one track in one row. The five bytes keep their file order because song data is
// moved around as raw bytes in several places.
struct Cell {
    std::uint8_t note = kNoteEmpty;
    std::uint8_t octave = kNone;
    std::uint8_t instrument = kNone;
    std::uint8_t effect = kNone;
    std::uint8_t parameter = kNone;

    friend bool operator==(const Cell&, const Cell&) = default;
};
static_assert(sizeof(Cell) == 5);

inline constexpr Cell kEmptyCell{};

// The bytes of a cell are compared as signed values, so 0xFF (none) never wins a maximum.
constexpr int asSigned(std::uint8_t value) {
    return static_cast<std::int8_t>(value);
}

// Editor display name of a note value: "C -" ... "B -", "- -" (empty), "END"; "???" for values
// no cell should hold.
std::string_view noteName(std::uint8_t note);

// The YM2610 registers (FM channel 1) that an instrument's 25 bytes go to, in byte order.
using qvxsnd::ym::kVoiceRegisters;
static_assert(kVoiceRegisters.size() == kVoiceBytes);

}  // namespace qvx
