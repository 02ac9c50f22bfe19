#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "song/cell.hpp"

// What a typed character does to one field of a cell in the pattern editor.
namespace qvx {

// The computer keyboard as a one-octave piano: the position of a key in its layout's map is the
// note value it enters (C .. B, then the empty note).
enum class KeyboardLayout { Qwerty, Azerty };
inline constexpr std::string_view kQwertyNoteKeys = "ZSXDCVGBHNJM ";
inline constexpr std::string_view kAzertyNoteKeys = "WSXDCVGBHNJ, ";

// The note value a character enters in the note field (upper- or lower-case alike): 0..11 a
// note, 12 the empty note (space), 13 the end mark ('#'); nothing for any other character.
std::optional<std::uint8_t> noteForKey(char32_t key, KeyboardLayout layout);

// The octave a digit sets: '1'..'7'.
std::optional<std::uint8_t> octaveForKey(char32_t key);

// New field values after typing digit `digit` (0..9) into a field holding `current` (kNone when
// empty).
//   instrument: "1" "2" gives 12, "3" "1" gives 31, "3" "2" gives 2; otherwise the digit, and a
//               0 into an empty field (or one holding 0 or 4..255) changes nothing.
//   effect:     "1" then 0..5 gives 10..15; otherwise the digit.
//   parameter:  the last two digits typed, 0..99.
std::uint8_t typeInstrumentDigit(std::uint8_t current, int digit);
std::uint8_t typeEffectDigit(std::uint8_t current, int digit);
std::uint8_t typeParameterDigit(std::uint8_t current, int digit);

// In a whole-chip song the effect field takes one symbol (0-9, A-F, then G ... for the chip's own
// effects, see song/effects.hpp) and the parameter field hex digits, the last two typed. Nothing
// for a character the field does not take.
std::optional<std::uint8_t> typedEffect(std::uint8_t current, char32_t key, bool hex);
std::optional<std::uint8_t> typedParameter(std::uint8_t current, char32_t key, bool hex);

// '0'..'9' as 0..9.
std::optional<int> digitForKey(char32_t key);

}  // namespace qvx
