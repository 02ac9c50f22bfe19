#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "song/song.hpp"
#include "song/voice_fields.hpp"

// What a voice sounds like, as far as the editor can tell without playing it: how its four
// operators are wired, whether it can sound at all, and each operator's envelope over time.
// Operators are numbered as the instrument editor's Slot columns, which follow the chip's
// register order (slot 1 is the chip's operator 1, slot 2 its operator 3, slot 3 its operator 2).
namespace qvx {

// The chip's routing for one connection (algorithm): which slot modulates which, and which slots
// are carriers (heard). Slot 1 alone takes feedback from itself.
struct FmRouting {
    struct Link {
        int from;  // slot 0..3
        int to;
    };
    std::vector<Link> links;
    std::array<bool, VoiceFields::kSlots> carrier{};
};
FmRouting fmRouting(int connection);

// Why a voice cannot sound: none of its carriers has an attack (Attack 0) or a level (Total Level
// 127). Nothing when at least one carrier can be heard.
std::optional<std::string> silentVoiceReason(const VoiceBytes& voice);
// "Instrument 01 makes no sound: its carrier operators have Attack 0."
std::string silentVoiceFact(int instrument, const std::string& reason);
// The fact and what to do about it in the editor: "... Press F12 to edit it or pick a preset."
std::string silentVoiceMessage(int instrument, const std::string& reason);

// The instruments the song's notes play (a note without one plays instrument 1), or instrument 1
// when there are no notes yet.
std::vector<int> playedInstruments(const Song& song);  // FM voices on FM tracks

// Each operator's envelope for a note held for `holdMs`, then released for `releaseMs`: its
// level in dB (0 loudest, -96 silent), one value a millisecond, Total Level left out. Computed by
// stepping the chip-accurate synthesis itself, at the key of a C in `octave` (Key Scale counts).
using EnvelopeCurve = std::vector<float>;
std::array<EnvelopeCurve, VoiceFields::kSlots> envelopeCurves(const VoiceBytes& voice, int octave,
                                                              int holdMs = 1500,
                                                              int releaseMs = 1000);

}  // namespace qvx
