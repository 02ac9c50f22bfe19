#pragma once

#include "tests/support/mod_builder.hpp"

namespace qvx::testing {

// A ProTracker module of our own that uses every effect, for the whole-chip import: a lead on
// channel 0 going through the effects one after another (with a bass, a pad and a bell beside
// it), then a pattern break, a jump with a break on its row, and F00 to end it, about 9 seconds in.
inline ModBuilder effectsModule() {
    enum { C = 856, D = 762, E = 678, F = 640, G = 570, A = 508, C3 = 428 };
    ModBuilder mod(2);
    mod.order({0, 1});
    mod.sampleName(0, "lead").sampleName(1, "bass").sampleVolume(1, 48);
    mod.sampleName(2, "warm pad").sampleName(3, "bell");
    for (const int s : {0, 2, 3})
        mod.sampleVolume(s, 64);
    for (int s = 0; s < 4; ++s)
        mod.sampleWords(s, 64);
    struct Step {
        int row, period, effect, parameter;
    };
    const Step lead[] = {
        {0, C, 0xF, 0x06},  {4, D, 0x0, 0x47},  {8, E, 0x1, 0x04},  {12, F, 0x2, 0x04},
        {16, C, 0x0, 0},    {17, G, 0x3, 0x08}, {18, 0, 0x3, 0x00}, {24, A, 0x4, 0x48},
        {25, 0, 0x4, 0x00}, {26, 0, 0x6, 0x01}, {32, E, 0x3, 0x10}, {33, 0, 0x5, 0x02},
        {36, D, 0x7, 0x84}, {40, E, 0xC, 0x20}, {41, 0, 0xA, 0x02}, {42, 0, 0xA, 0x20},
        {44, F, 0xE, 0x13}, {45, 0, 0xE, 0x23}, {46, G, 0xE, 0xA4}, {47, 0, 0xE, 0xB8},
        {48, A, 0xE, 0x93}, {50, C, 0xE, 0xC3}, {52, D, 0xE, 0xD2}, {54, E, 0x8, 0x00},
        {55, 0, 0x8, 0xFF}, {56, 0, 0x8, 0x80}, {58, F, 0x9, 0x10}, {60, G, 0xE, 0xE1},
        {62, A, 0xF, 0x7D}, {63, 0, 0xD, 0x10},
    };
    for (const Step& s : lead)
        mod.note(0, s.row, 0, s.period, s.period ? 1 : 0, s.effect, s.parameter);
    for (int row = 0; row < 64; row += 8) {
        mod.note(0, row, 1, row % 16 ? G : C, 2);
        mod.note(1, row, 1, row % 16 ? F : C, 2);
    }
    mod.note(0, 0, 2, C3, 3).note(0, 32, 2, 381, 3, 0xA, 0x01).note(1, 10, 2, C3, 3);
    mod.note(0, 20, 3, 214, 4, 0xC, 0x30).note(1, 14, 3, 190, 4);
    mod.note(1, 10, 0, C, 1, 0x4, 0x24).note(1, 20, 0, E, 1, 0xB, 0x01);
    mod.note(1, 20, 1, 0, 0, 0xD, 0x25).note(1, 25, 0, G, 1).note(1, 30, 0, 0, 0, 0xF, 0x00);
    return mod;
}

}  // namespace qvx::testing
