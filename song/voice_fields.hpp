#pragma once

#include <array>
#include <optional>

#include "song/song.hpp"

// An instrument's 25 voice bytes as the instrument editor shows them: 38 numbers, Connection and
// Feedback for the voice and nine per operator slot, and the test keyboard's picture.
namespace qvx {

struct VoiceFields {
    // One operator slot's nine fields, top to bottom as the editor lists them.
    struct Slot {
        int detune = 0;
        int multiple = 0;
        int totalLevel = 0;
        int keyScale = 0;
        int attack = 0;
        int decay = 0;
        int sustain = 0;
        int susLevel = 0;
        int release = 0;

        friend bool operator==(const Slot&, const Slot&) = default;
    };
    static constexpr int kSlots = 4;

    int connection = 0;
    int feedback = 0;
    std::array<Slot, kSlots> slot{};  // "slots" is taken by Qt

    // The fields of a stored voice. Total Level, Decay and Sustain show their whole byte, so a
    // bit the editor does not model shows as a value of 128 or more.
    static VoiceFields decode(const VoiceBytes& voice);
    // The voice the fields store: each field cut to its bits (a Detune of 9 stores 1).
    VoiceBytes encode() const;

    friend bool operator==(const VoiceFields&, const VoiceFields&) = default;
};

// Whether storing the fields would change what the instrument plays. Bits of the stored bytes
// that no field can show (the AM bit of a .y12 voice, for one) do not count: the fields are
// compared with the stored voice as it would come back through the fields.
bool fieldsDiffer(const VoiceFields& fields, const VoiceBytes& stored);

// The test keyboard: one octave, C to B, in a 57 x 41 pixel picture; seven white keys side by
// side, five black keys in the top 24 rows.
namespace test_keyboard {

inline constexpr int kWidth = 57;
inline constexpr int kHeight = 41;
inline constexpr int kBlackKeyHeight = 24;

struct BlackKey {
    int left;
    int right;  // inclusive
    int note;
};
inline constexpr std::array<BlackKey, 5> kBlackKeys = {
    {{5, 10, 1}, {13, 19, 3}, {29, 34, 6}, {37, 42, 8}, {45, 50, 10}}};
inline constexpr int kWhiteKeyWidth = 8;
inline constexpr std::array<int, 8> kWhiteKeyNotes = {0, 2, 4, 5, 7, 9, 11, 11};

// The note (0..11) a click at (x, y) of the picture plays, or nothing outside it.
std::optional<int> noteAt(int x, int y);
// The octave KeyDown gets: the Octave box's, one lower for a C (the library's C is the one of
// the block above) unless already 0, kept to its low three bits.
int octaveFor(int note, int octaveBox);

}  // namespace test_keyboard
}  // namespace qvx
