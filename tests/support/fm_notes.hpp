#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/vgm_export.hpp"

// One-note register streams for FM channel 1 of a YM2610 (first bank, slot 1), each note in a
// time slot of its own, and the kinds of note that show how faithful an FM chip model is.
namespace qvx::testing {

struct FmOperator {
    std::uint8_t detuneMultiple = 0x01;
    std::uint8_t totalLevel = 0x7F;  // silent unless set
    std::uint8_t keyScaleAttack = 0x1F;
    std::uint8_t amDecay = 0x00;
    std::uint8_t sustainRate = 0x00;
    std::uint8_t sustainRelease = 0x08;
    std::uint8_t ssg = 0x00;
};

struct FmNote {
    std::string name;
    std::array<FmOperator, 4> ops{};  // operators 1, 2, 3, 4
    std::uint8_t feedbackAlgorithm = 0x07;
    std::uint8_t block = 4;
    std::uint16_t fnum = 1038;         // A-4 at 8 MHz
    std::uint8_t lfo = 0x00;           // register 0x22
    std::uint8_t sensitivity = 0x00;   // AMS and PMS bits of 0xB4 (both outputs are on)
    double hold = 0.6;                 // seconds from key-on to key-off
    double release = 0.4;              // seconds after key-off that are measured
    double pitch = 440.0;              // the partial whose frequency is compared
    bool frequencyAfterKeyOn = false;  // as the sound driver does: key on, then the frequency
};

inline constexpr double kNoteGap = 0.25;  // silence between slots, after a fast release
// The chip's clock in these streams: 144 times a whole number of samples a second (55555 Hz),
// so that renders at the chip's own rate need no resampling at all.
inline constexpr std::uint32_t kNotesClock = 7'999'920;
inline constexpr std::uint32_t kNotesChipRate = kNotesClock / 144;

// Where a note's slot starts, in seconds.
inline std::vector<double> noteStarts(const std::vector<FmNote>& notes) {
    std::vector<double> starts;
    double at = 0.05;
    for (const FmNote& n : notes) {
        starts.push_back(at);
        at += n.hold + n.release + kNoteGap;
    }
    starts.push_back(at);
    return starts;
}

// All the notes one after the other as a VGM stream.
inline std::vector<std::uint8_t> notesVgm(const std::vector<FmNote>& notes) {
    constexpr std::uint8_t kSlot = 1;
    constexpr std::array<std::uint8_t, 4> kOperatorOffset = {0, 8, 4, 12};
    std::vector<VgmWrite> writes;
    const auto at = [](double seconds) {
        return static_cast<std::uint64_t>(seconds * kVgmRate + 0.5);
    };
    const auto write = [&](double seconds, std::uint8_t reg, std::uint8_t value) {
        writes.push_back({at(seconds), 0, reg, value});
    };
    const std::vector<double> starts = noteStarts(notes);
    write(0, 0x27, 0x00);
    for (std::uint8_t s = 0; s < 3; ++s) {
        write(0, static_cast<std::uint8_t>(0xB4 + s), 0xC0);
        writes.push_back({0, 1, static_cast<std::uint8_t>(0xB4 + s), 0xC0});
    }
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const FmNote& n = notes[i];
        const double t = starts[i];
        write(t, 0x22, n.lfo);
        write(t, 0xB4 + kSlot, static_cast<std::uint8_t>(0xC0 | n.sensitivity));
        write(t, 0xB0 + kSlot, n.feedbackAlgorithm);
        for (std::size_t k = 0; k < 4; ++k) {
            const FmOperator& op = n.ops[k];
            const auto reg = [&](std::uint8_t base) {
                return static_cast<std::uint8_t>(base + kOperatorOffset[k] + kSlot);
            };
            write(t, reg(0x30), op.detuneMultiple);
            write(t, reg(0x40), op.totalLevel);
            write(t, reg(0x50), op.keyScaleAttack);
            write(t, reg(0x60), op.amDecay);
            write(t, reg(0x70), op.sustainRate);
            write(t, reg(0x80), op.sustainRelease);
            write(t, reg(0x90), op.ssg);
        }
        const auto frequency = [&](double when) {
            write(when, 0xA4 + kSlot, static_cast<std::uint8_t>(n.block << 3 | (n.fnum >> 8)));
            write(when, 0xA0 + kSlot, static_cast<std::uint8_t>(n.fnum));
        };
        if (!n.frequencyAfterKeyOn) frequency(t);
        write(t + 0.001, 0x28, 0xF0 | kSlot);
        if (n.frequencyAfterKeyOn) frequency(t + 0.0012);
        write(t + n.hold, 0x28, kSlot);
        // Then silence, fast, before the next slot.
        for (std::size_t k = 0; k < 4; ++k)
            write(t + n.hold + n.release,
                  static_cast<std::uint8_t>(0x80 + kOperatorOffset[k] + kSlot), 0x0F);
    }
    std::vector<VgmWrite> sorted = writes;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const VgmWrite& a, const VgmWrite& b) { return a.sample < b.sample; });
    return encodeVgm(sorted, at(starts.back()), std::nullopt, "FM notes", kNotesClock);
}

// A carrier alone: operator 4 of algorithm 7 with the other three silent.
inline FmNote sineNote(std::string name) {
    FmNote n;
    n.name = std::move(name);
    n.ops[3] = {0x01, 0x00, 0x1F, 0x00, 0x00, 0x08, 0x00};
    return n;
}

// The kinds of note the comparison plays: every algorithm, feedback, multiples, detune, fast
// and slow envelopes, octaves, SSG-type envelopes, the LFO, and detune at frequency 0.
inline std::vector<FmNote> comparisonNotes() {
    std::vector<FmNote> notes;
    notes.push_back(sineNote("sine A-4"));
    // A voice that sounds all four operators somewhere, under every algorithm.
    for (std::uint8_t algorithm = 0; algorithm < 8; ++algorithm) {
        FmNote n;
        n.name = "algorithm " + std::to_string(algorithm);
        n.feedbackAlgorithm = static_cast<std::uint8_t>(3 << 3 | algorithm);
        n.ops[0] = {0x01, 0x23, 0x1F, 0x05, 0x02, 0x27, 0x00};
        n.ops[1] = {0x02, 0x2C, 0x1F, 0x04, 0x02, 0x27, 0x00};
        n.ops[2] = {0x01, 0x26, 0x1F, 0x06, 0x01, 0x27, 0x00};
        n.ops[3] = {0x01, 0x08, 0x1F, 0x03, 0x01, 0x27, 0x00};
        notes.push_back(n);
    }
    for (std::uint8_t feedback : {4, 7}) {
        FmNote n = sineNote("feedback " + std::to_string(feedback));
        n.feedbackAlgorithm = static_cast<std::uint8_t>(feedback << 3 | 7);
        n.ops[3].totalLevel = 0x7F;
        n.ops[0] = {0x01, 0x00, 0x1F, 0x00, 0x00, 0x08, 0x00};
        notes.push_back(n);
    }
    {
        FmNote n = sineNote("multiple 3 and one half");
        n.ops[3].detuneMultiple = 0x03;
        n.ops[2] = {0x00, 0x00, 0x1F, 0x00, 0x00, 0x08, 0x00};
        n.pitch = 220.0;
        notes.push_back(n);
    }
    {
        FmNote n = sineNote("detune +3 against -3");
        n.ops[3].detuneMultiple = 0x31;
        n.ops[2] = {0x71, 0x00, 0x1F, 0x00, 0x00, 0x08, 0x00};
        notes.push_back(n);
    }
    {
        FmNote n = sineNote("fast envelope");
        n.ops[3] = {0x01, 0x00, 0x1F, 0x1F, 0x10, 0x5F, 0x00};
        n.hold = 0.3;
        notes.push_back(n);
    }
    {
        // Effective rates 2 to 7 with key scale 0 at this key code.
        FmNote n = sineNote("slow envelope");
        n.ops[3] = {0x01, 0x00, 0x03, 0x02, 0x01, 0x81, 0x00};
        n.hold = 2.0;
        n.release = 1.0;
        notes.push_back(n);
    }
    for (std::uint8_t block : {1, 7}) {
        FmNote n = sineNote("octave " + std::to_string(block));
        n.block = block;
        n.pitch = 440.0 * std::pow(2.0, block - 4);
        notes.push_back(n);
    }
    for (std::uint8_t ssg : {0x08, 0x0A, 0x0C, 0x0D, 0x0E}) {
        FmNote n = sineNote("SSG-type " + std::to_string(ssg & 7));
        n.ops[3] = {0x01, 0x00, 0x1F, 0x0C, 0x0C, 0x08, ssg};
        n.hold = 0.8;
        notes.push_back(n);
    }
    {
        FmNote n = sineNote("LFO tremolo");
        n.ops[3].amDecay = 0x80;
        n.lfo = 0x08 | 3;
        n.sensitivity = 0x30;
        n.hold = 1.0;
        notes.push_back(n);
    }
    {
        FmNote n = sineNote("LFO vibrato");
        n.lfo = 0x08 | 5;
        n.sensitivity = 0x07;
        n.hold = 1.0;
        notes.push_back(n);
    }
    {
        // Keyed before its frequency, as the sound driver does, with a negative detune.
        FmNote n = sineNote("detune -3 from frequency 0");
        n.ops[3].detuneMultiple = 0x71;
        n.ops[2] = {0x31, 0x00, 0x1F, 0x00, 0x00, 0x08, 0x00};
        n.frequencyAfterKeyOn = true;
        notes.push_back(n);
    }
    return notes;
}

}  // namespace qvx::testing
