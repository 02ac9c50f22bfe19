#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "song/track_layout.hpp"

// The effects of a whole-chip song's cells as its driver plays them: ProTracker's 0-F, then the
// chip's own from 0x10, shown as the letters G, H, ... in the pattern view's effect column. A
// classic song's cells keep their decimal fields and the classic driver's three effects.
namespace qvx {

struct EffectInfo {
    std::uint8_t effect;
    std::string_view name;       // "vibrato"
    std::string_view parameter;  // "xy"
    std::string_view what;       // what it does, for Help
};

// Every effect of a whole-chip song, in effect order.
std::span<const EffectInfo> wholeChipEffects();

// The effect column's character for an effect: '0'-'9', 'A'-'F', then 'G' ... for the chip's
// own; '?' for a value no effect has.
char effectSymbol(std::uint8_t effect);
// The effect a typed character names (upper- or lower-case), if any.
std::optional<std::uint8_t> effectForSymbol(char32_t key);
// A hex digit's value.
std::optional<int> hexDigitForKey(char32_t key);

// What an effect with its parameter does on a track of `kind`, for the status bar:
// "4 vibrato: speed 3, depth 6/16 semitone". Empty for a cell without an effect.
std::string describeEffect(std::uint8_t effect, std::uint8_t parameter, TrackKind kind);

}  // namespace qvx
