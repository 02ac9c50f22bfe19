#include "voices/presets.hpp"

#include <array>

namespace qvx::voices {
namespace {

using Slot = VoiceFields::Slot;

// One operator slot: frequency multiple (0 is one half), total level, attack, decay, sustain
// (the second decay), sustain level, release; then detune (1-3 up, 5-7 down) and key scale.
constexpr Slot op(int mul, int tl, int ar, int d1r, int d2r, int sl, int rr, int dt = 0,
                  int ks = 0) {
    return {dt, mul, tl, ks, ar, d1r, d2r, sl, rr};
}

// Slots in the editor's columns, which are the chip's operators 1, 3, 2, 4. The wiring, in those
// slot numbers:
//   0: 1>3>2>4       1: (1+3)>2>4      2: 1>4, 3>2>4     3: 1>3>4, 2>4
//   4: 1>3, 2>4      5: 1>(3,2,4)      6: 1>3, 2, 4      7: 1, 2, 3, 4 all heard
constexpr VoiceFields voice(int connection, int feedback, Slot s1, Slot s2, Slot s3, Slot s4) {
    return {connection, feedback, {s1, s2, s3, s4}};
}

// clang-format off
constexpr std::array kPresets = {
    // ---- Bass: a strong fundamental, a bright start that settles ----
    Preset{"bass", "finger-bass", "Finger Bass", false,      // round: the thump fades in a second
        voice(0, 4, op(1, 50, 31, 14, 6, 6, 9), op(1, 30, 31, 13, 5, 5, 9),
                    op(1, 46, 31, 12, 5, 5, 9), op(1, 0, 31, 11, 5, 4, 9, 0, 1))},
    Preset{"bass", "pick-bass", "Pick Bass", false,          // bright and short, the octave up
        voice(4, 5, op(2, 26, 31, 15, 8, 6, 9), op(3, 30, 31, 16, 8, 7, 9),
                    op(1, 2, 31, 12, 7, 5, 9, 0, 1), op(2, 10, 31, 13, 7, 6, 9, 0, 1))},
    Preset{"bass", "synth-bass", "Synth Bass", false,        // a feedback saw closing over a sub
        voice(4, 6, op(1, 18, 31, 12, 3, 5, 8), op(0, 127, 31, 0, 0, 0, 15),
                    op(1, 4, 31, 6, 2, 2, 8), op(0, 10, 31, 4, 2, 2, 8))},
    Preset{"bass", "sub-bass", "Sub Bass", false,            // nearly a sine, an octave down
        voice(2, 0, op(1, 60, 31, 0, 0, 0, 9), op(1, 127, 31, 0, 0, 0, 15),
                    op(2, 58, 31, 8, 3, 3, 9), op(0, 0, 28, 0, 0, 0, 8))},

    // ---- Lead: held tones with a clear pitch ----
    Preset{"lead", "square-lead", "Square Lead", false,      // a modulator at twice the pitch: odd harmonics
        voice(4, 0, op(2, 32, 31, 0, 0, 0, 8), op(2, 33, 31, 0, 0, 0, 8),
                    op(1, 6, 31, 0, 0, 0, 8, 1), op(1, 6, 31, 0, 0, 0, 8, 5))},
    Preset{"lead", "saw-lead", "Saw Lead", false,            // modulators at the pitch: every harmonic
        voice(4, 5, op(1, 26, 31, 0, 0, 0, 8, 2), op(1, 27, 31, 0, 0, 0, 8, 6),
                    op(1, 6, 31, 0, 0, 0, 8), op(1, 6, 31, 0, 0, 0, 8))},
    Preset{"lead", "sync-lead", "Sync Lead", false,          // a fifth partial sweeping down into a buzz
        voice(0, 3, op(1, 44, 31, 10, 2, 3, 8), op(5, 20, 31, 12, 1, 5, 8),
                    op(1, 34, 31, 0, 0, 0, 8), op(1, 0, 31, 2, 0, 1, 8))},
    Preset{"lead", "soft-flute", "Soft Flute", false,        // a near sine, breath at the start
        voice(2, 7, op(13, 56, 24, 16, 0, 15, 7), op(1, 127, 31, 0, 0, 0, 15),
                    op(1, 52, 20, 0, 0, 0, 7), op(1, 0, 19, 0, 0, 0, 7))},

    // ---- Keys: struck, then a long fall ----
    Preset{"keys", "electric-piano", "Electric Piano", false, // a tine's ping over a soft body
        voice(4, 0, op(14, 38, 31, 17, 8, 15, 8, 0, 2), op(1, 34, 31, 11, 6, 6, 8, 0, 1),
                    op(1, 10, 31, 10, 6, 6, 8, 0, 1), op(1, 2, 31, 9, 5, 5, 8, 0, 1))},
    Preset{"keys", "clavinet", "Clavinet", false,            // bright, short and nasal
        voice(2, 5, op(3, 28, 31, 14, 10, 6, 10), op(1, 127, 31, 0, 0, 0, 15),
                    op(5, 32, 31, 15, 10, 7, 10), op(1, 2, 31, 13, 9, 7, 10, 0, 1))},
    Preset{"keys", "harpsichord", "Harpsichord", false,      // plucked strings: thin and bright
        voice(5, 6, op(4, 28, 31, 12, 7, 5, 8, 0, 1), op(4, 10, 31, 13, 7, 6, 8, 0, 1),
                    op(1, 6, 31, 11, 6, 5, 8, 0, 1), op(2, 8, 31, 12, 7, 6, 8, 0, 1))},
    Preset{"keys", "bright-piano", "Bright Piano", false,    // struck hard, an octave blended in
        voice(4, 3, op(1, 24, 31, 14, 7, 7, 8, 0, 2), op(3, 36, 31, 17, 8, 9, 8, 0, 2),
                    op(1, 2, 31, 10, 6, 6, 8, 0, 2), op(2, 10, 31, 11, 6, 6, 8, 0, 2))},

    // ---- Organ: sine partials, held at full level ----
    Preset{"organ", "drawbar-organ", "Drawbar Organ", false, // 16', 8', 4' and 2'
        voice(7, 0, op(0, 12, 31, 0, 0, 0, 9), op(1, 8, 31, 0, 0, 0, 9),
                    op(2, 14, 31, 0, 0, 0, 9), op(4, 20, 31, 0, 0, 0, 9))},
    Preset{"organ", "percussive-organ", "Percussive Organ", false, // a third partial that fades
        voice(7, 0, op(1, 8, 31, 0, 0, 0, 10), op(2, 14, 31, 0, 0, 0, 10),
                    op(3, 4, 31, 15, 0, 15, 10), op(4, 24, 31, 0, 0, 0, 10))},
    Preset{"organ", "church-organ", "Church Organ", false,   // principals from 8' to 1', a little apart
        voice(7, 2, op(1, 10, 22, 0, 0, 0, 6, 1), op(2, 12, 22, 0, 0, 0, 6, 5),
                    op(4, 18, 22, 0, 0, 0, 6), op(8, 24, 22, 0, 0, 0, 6, 2))},
    Preset{"organ", "reed-organ", "Reed Organ", false,       // a reedy pair beside two flutes
        voice(6, 5, op(1, 26, 26, 0, 0, 0, 8), op(2, 16, 26, 0, 0, 0, 8),
                    op(1, 8, 26, 0, 0, 0, 8), op(1, 12, 26, 0, 0, 0, 8, 3))},

    // ---- Brass: the brightness rises after the attack ----
    Preset{"brass", "brass-section", "Brass Section", false, // two detuned voices opening up
        voice(4, 5, op(1, 22, 16, 9, 1, 3, 8), op(1, 23, 16, 9, 1, 3, 8),
                    op(1, 6, 25, 2, 1, 1, 8, 2), op(1, 6, 25, 2, 1, 1, 8, 6))},
    Preset{"brass", "trumpet", "Trumpet", false,             // bright and focused
        voice(3, 6, op(1, 28, 19, 6, 1, 2, 8), op(2, 34, 19, 6, 1, 2, 8),
                    op(1, 24, 20, 5, 1, 1, 8), op(1, 0, 24, 3, 1, 1, 8))},
    Preset{"brass", "french-horn", "French Horn", false,     // round and soft-edged
        voice(3, 2, op(1, 38, 17, 3, 0, 1, 7), op(1, 127, 31, 0, 0, 0, 15),
                    op(1, 34, 18, 2, 0, 1, 7), op(1, 2, 20, 2, 0, 1, 7))},
    Preset{"brass", "synth-brass", "Synth Brass", false,     // a sweep that closes again
        voice(4, 6, op(1, 16, 17, 12, 2, 6, 7), op(1, 18, 17, 12, 2, 6, 7, 3),
                    op(1, 8, 31, 1, 0, 1, 7, 7), op(1, 8, 31, 1, 0, 1, 7, 3))},

    // ---- Strings and pads: slow to rise, slow to fade ----
    Preset{"strings-and-pads", "strings", "Strings", true,   // bowed, a little detuned
        voice(4, 4, op(1, 30, 14, 4, 0, 2, 6, 3), op(1, 30, 14, 4, 0, 2, 6, 7),
                    op(1, 8, 14, 0, 0, 0, 6, 1), op(1, 8, 14, 0, 0, 0, 6, 5))},
    Preset{"strings-and-pads", "slow-strings", "Slow Strings", true, // a swelling ensemble
        voice(4, 3, op(1, 34, 10, 0, 0, 0, 5, 2), op(2, 40, 10, 0, 0, 0, 5, 6),
                    op(1, 10, 11, 0, 0, 0, 5, 1), op(1, 10, 11, 0, 0, 0, 5, 5))},
    Preset{"strings-and-pads", "warm-pad", "Warm Pad", true, // soft sines: unison, octave, twelfth
        voice(7, 0, op(1, 10, 12, 0, 0, 0, 5, 1), op(1, 10, 12, 0, 0, 0, 5, 5),
                    op(2, 18, 11, 0, 0, 0, 5), op(3, 28, 10, 0, 0, 0, 5))},
    Preset{"strings-and-pads", "choir-pad", "Choir Pad", true, // vowel-like partials from one modulator
        voice(5, 3, op(1, 34, 13, 0, 0, 0, 5), op(2, 16, 13, 0, 0, 0, 5, 2),
                    op(1, 10, 12, 0, 0, 0, 5, 6), op(3, 22, 12, 0, 0, 0, 5, 1))},

    // ---- Bells and mallets: struck, inharmonic or high partials ----
    Preset{"bells-and-mallets", "tubular-bell", "Tubular Bell", false, // 7:2 for the clang
        voice(4, 0, op(7, 30, 31, 8, 5, 5, 5), op(5, 36, 31, 7, 5, 5, 5, 3),
                    op(2, 6, 31, 7, 5, 4, 5), op(1, 10, 31, 6, 4, 4, 5))},
    Preset{"bells-and-mallets", "glockenspiel", "Glockenspiel", false, // high and short
        voice(4, 0, op(11, 38, 31, 12, 8, 8, 7, 0, 2), op(14, 42, 31, 12, 8, 8, 7, 0, 2),
                    op(4, 4, 31, 11, 8, 8, 7, 0, 2), op(8, 14, 31, 11, 8, 8, 7, 0, 2))},
    Preset{"bells-and-mallets", "marimba", "Marimba", false, // wood: a knock, then a round tone
        voice(4, 0, op(4, 30, 31, 20, 14, 15, 9), op(10, 44, 31, 22, 14, 15, 9),
                    op(1, 2, 31, 14, 10, 8, 9, 0, 1), op(4, 20, 31, 16, 12, 10, 9, 0, 1))},
    Preset{"bells-and-mallets", "vibraphone", "Vibraphone", false, // soft metal, a long ring
        voice(4, 0, op(4, 44, 31, 14, 5, 8, 5), op(1, 50, 31, 8, 3, 4, 5),
                    op(1, 4, 31, 8, 4, 4, 5), op(4, 18, 31, 9, 4, 5, 5))},
    Preset{"bells-and-mallets", "music-box", "Music Box", false, // a small steel comb
        voice(5, 0, op(6, 40, 31, 14, 10, 8, 6), op(2, 8, 31, 11, 6, 6, 6),
                    op(4, 16, 31, 12, 7, 6, 6), op(8, 26, 31, 13, 8, 6, 6))},

    // ---- Percussion and effects: best an octave or two lower ----
    Preset{"percussion-and-effects", "kick", "Kick", false,  // a click on a short low sine
        voice(0, 0, op(1, 127, 31, 0, 0, 0, 15), op(1, 20, 31, 22, 22, 15, 15),
                    op(1, 127, 31, 0, 0, 0, 15), op(0, 0, 31, 15, 13, 15, 12))},
    Preset{"percussion-and-effects", "snare", "Snare", false, // noise from feedback over a tone
        voice(7, 7, op(15, 4, 31, 18, 14, 15, 12), op(1, 127, 31, 0, 0, 0, 15),
                    op(1, 12, 31, 20, 16, 15, 13), op(2, 127, 31, 0, 0, 0, 15))},
    Preset{"percussion-and-effects", "closed-hat", "Closed Hat", false, // short metallic noise
        voice(5, 7, op(15, 0, 31, 20, 20, 15, 15), op(13, 8, 31, 22, 20, 15, 15, 3),
                    op(11, 8, 31, 22, 20, 15, 15, 7), op(15, 8, 31, 22, 20, 15, 15))},
    Preset{"percussion-and-effects", "tom", "Tom", false,    // a drum body with a soft stick
        voice(0, 0, op(1, 127, 31, 0, 0, 0, 15), op(3, 26, 31, 20, 18, 15, 14),
                    op(1, 127, 31, 0, 0, 0, 15), op(1, 0, 31, 13, 11, 15, 10))},
    Preset{"percussion-and-effects", "laser-zap", "Laser Zap", false, // brightness falling fast
        voice(1, 7, op(15, 10, 31, 15, 8, 15, 9), op(7, 14, 31, 13, 8, 15, 9),
                    op(1, 8, 31, 11, 8, 12, 9), op(1, 2, 31, 10, 7, 10, 9))},
};
// clang-format on

}  // namespace

std::span<const Preset> presets() {
    return kPresets;
}

}  // namespace qvx::voices
