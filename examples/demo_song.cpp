#include "examples/demo_song.hpp"

#include <string_view>

namespace qvx::examples {
namespace {

// Voice bytes are in register order, so the operator columns read op1, op3, op2, op4.
struct Voice {
    const char* name;
    VoiceBytes bytes;
};

// clang-format off
constexpr Voice kVoices[] = {
    // Algorithm 0 with strong feedback: a round, plucked bass.
    {"Slap Bass",
     {0x01, 0x02, 0x01, 0x01,   // DT/MUL
      0x1C, 0x2A, 0x24, 0x00,   // TL
      0x1F, 0x1F, 0x1F, 0x1F,   // KS/AR
      0x0C, 0x0E, 0x0A, 0x07,   // AM/D1R
      0x04, 0x04, 0x04, 0x03,   // D2R
      0x3F, 0x3F, 0x3F, 0x2A,   // SL/RR
      0x30}},                   // FB 6, algorithm 0
    // Algorithm 4: two modulator-carrier pairs, slightly detuned against each other.
    {"Brass Lead",
     {0x31, 0x72, 0x01, 0x01,
      0x22, 0x28, 0x04, 0x06,
      0x14, 0x14, 0x12, 0x12,
      0x06, 0x06, 0x04, 0x04,
      0x01, 0x01, 0x01, 0x01,
      0x27, 0x27, 0x17, 0x17,
      0x2C}},
    // Algorithm 7: four carriers at octave ratios, an organ for the chords.
    {"Soft Organ",
     {0x01, 0x02, 0x04, 0x08,
      0x24, 0x2C, 0x30, 0x36,
      0x12, 0x12, 0x12, 0x12,
      0x02, 0x02, 0x02, 0x02,
      0x00, 0x00, 0x00, 0x00,
      0x16, 0x16, 0x16, 0x16,
      0x07}},
    // Algorithm 5: one modulator driving three carriers, a bright bell for the counter line.
    {"Glass Bell",
     {0x07, 0x0E, 0x03, 0x01,
      0x1E, 0x0A, 0x0C, 0x08,
      0x1F, 0x1F, 0x1F, 0x1F,
      0x0A, 0x0C, 0x08, 0x06,
      0x04, 0x05, 0x03, 0x02,
      0x55, 0x55, 0x45, 0x35,
      0x3D}},
};
// clang-format on

constexpr std::uint8_t kBass = 1, kLead = 2, kOrgan = 3, kBell = 4;
constexpr std::uint8_t kSpeed = 0x0F, kVolume = 0x0C, kBreak = 0x0D;

// Notes by name: "C", "C#", ..., "B".
std::uint8_t noteValue(std::string_view name) {
    static constexpr std::string_view kNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                  "F#", "G",  "G#", "A",  "A#", "B"};
    for (std::uint8_t i = 0; i < 12; ++i)
        if (kNames[i] == name) return i;
    return kNoteEmpty;
}

void put(Pattern& p, int track, int row, std::string_view name, int octave,
         std::uint8_t instrument) {
    p.cell(track, row) = Cell{noteValue(name), static_cast<std::uint8_t>(octave), instrument, 0, 0};
}

void effect(Pattern& p, int track, int row, std::uint8_t code, std::uint8_t parameter) {
    Cell& cell = p.cell(track, row);
    cell.effect = code;
    cell.parameter = parameter;
}

// Am - F - C - G, sixteen rows each.
constexpr std::string_view kRoots[] = {"A", "F", "C", "G"};
constexpr int kRootOctave[] = {2, 2, 3, 2};
constexpr std::string_view kChords[4][3] = {
    {"A", "C", "E"}, {"F", "A", "C"}, {"C", "E", "G"}, {"G", "B", "D"}};

void bassLine(Pattern& p, bool busy) {
    for (int bar = 0; bar < 4; ++bar) {
        const int base = bar * 16;
        put(p, 0, base, kRoots[bar], kRootOctave[bar], kBass);
        put(p, 0, base + 6, kRoots[bar], kRootOctave[bar] + 1, kBass);
        put(p, 0, base + 8, kRoots[bar], kRootOctave[bar], kBass);
        if (busy) {
            put(p, 0, base + 12, kChords[bar][2], kRootOctave[bar] + (bar == 2 ? 0 : 1), kBass);
            put(p, 0, base + 14, kChords[bar][1], kRootOctave[bar] + (bar == 2 ? 0 : 1), kBass);
        }
    }
}

void chords(Pattern& p, int track) {
    for (int bar = 0; bar < 4; ++bar) {
        put(p, track, bar * 16, kChords[bar][track == 2 ? 0 : 1], 4, kOrgan);
        effect(p, track, bar * 16 + 14, kVolume, 0);  // let go before the next chord
    }
}

struct MelodyNote {
    int row;
    std::string_view name;
    int octave;
};

void melody(Pattern& p, std::initializer_list<MelodyNote> notes) {
    for (const MelodyNote& n : notes)
        put(p, 1, n.row, n.name, n.octave, kLead);
}

}  // namespace

Song makeDemoSong() {
    Song song;
    for (int k = 0; k < 4; ++k) {
        song.renameInstrument(k + 1, kVoices[k].name);
        song.setInstrumentRegisters(k + 1, kVoices[k].bytes);
    }
    for (int i = 1; i < 4; ++i)
        song.addPattern();
    song.renamePattern(0, "Intro");
    song.renamePattern(1, "Theme");
    song.renamePattern(2, "Answer");
    song.renamePattern(3, "Turnaround");

    // Intro: bass and organ chords; the speed is set in a cell without a note.
    Pattern& intro = song.patterns[0];
    effect(intro, 3, 0, kSpeed, 5);
    bassLine(intro, false);
    chords(intro, 2);

    Pattern& theme = song.patterns[1];
    bassLine(theme, true);
    chords(theme, 2);
    melody(theme, {{0, "E", 5},  {4, "A", 4},  {6, "C", 5},  {8, "E", 5},  {12, "D", 5},
                   {14, "C", 5}, {16, "C", 5}, {20, "A", 4}, {24, "F", 4}, {28, "A", 4},
                   {30, "C", 5}, {32, "G", 5}, {36, "E", 5}, {40, "C", 5}, {44, "E", 5},
                   {46, "G", 5}, {48, "B", 4}, {52, "D", 5}, {56, "G", 4}, {60, "B", 4}});
    effect(theme, 1, 62, kVolume, 0);

    Pattern& answer = song.patterns[2];
    bassLine(answer, true);
    chords(answer, 2);
    melody(answer,
           {{0, "A", 5},  {2, "G", 5},  {4, "E", 5},  {8, "C", 5},  {10, "D", 5}, {12, "E", 5},
            {16, "F", 5}, {20, "E", 5}, {22, "D", 5}, {24, "C", 5}, {28, "A", 4}, {32, "G", 4},
            {34, "C", 5}, {36, "E", 5}, {40, "G", 5}, {44, "E", 5}, {48, "D", 5}, {52, "B", 4},
            {56, "G", 4}, {58, "A", 4}, {60, "B", 4}});
    for (int bar = 0; bar < 4; ++bar) {
        for (int step = 0; step < 4; ++step) {
            const int row = bar * 16 + step * 4 + 2;
            put(answer, 3, row, kChords[bar][step % 3], 6, kBell);
        }
    }

    // Turnaround: half a pattern, then a break straight back to the top of the order list.
    Pattern& turn = song.patterns[3];
    put(turn, 0, 0, "F", 2, kBass);
    put(turn, 0, 8, "G", 2, kBass);
    put(turn, 0, 16, "E", 2, kBass);
    put(turn, 0, 24, "E", 3, kBass);
    put(turn, 2, 0, "F", 4, kOrgan);
    put(turn, 2, 8, "G", 4, kOrgan);
    put(turn, 2, 16, "G#", 4, kOrgan);
    melody(turn, {{0, "C", 5},
                  {4, "A", 4},
                  {8, "B", 4},
                  {12, "D", 5},
                  {16, "E", 5},
                  {20, "G#", 4},
                  {24, "B", 4},
                  {28, "E", 5}});
    effect(turn, 3, 31, kBreak, 0);

    song.order = {0, 1, 2, 1, 2, 3};
    return song;
}

}  // namespace qvx::examples
