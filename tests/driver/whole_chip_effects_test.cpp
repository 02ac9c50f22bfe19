// The whole-chip driver's effects on the emulated board: what each writes on each tick of its
// row, on an FM, an SSG and an ADPCM-B track, against the tables the image builder writes from
// the song model's functions; the pattern flow (jump, break, pattern delay, stop) and the tempo.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "driver/whole_chip_driver.hpp"
#include "song/chip_levels.hpp"
#include "song/chip_pitch.hpp"
#include "song/chip_timing.hpp"
#include "song/mod_import.hpp"
#include "tests/support/effects_module.hpp"
#include "tests/support/whole_chip_song.hpp"
#include "voices/mod_voices.hpp"

namespace qvx {
namespace {

using testing::DriverRig;
using testing::DrumSong;
using testing::kFirstSong;
namespace wc = driver::whole_chip;

constexpr int kC4 = linearPitch(semitone(0, 4));

// The song's FM voice 40 (algorithm 0: S4 alone sounds, every total level 0x40), SSG voice 43
// (tone at level 15) and ADPCM-B sample 44, and the chip's registers as the driver left them.
struct EffectSong : DrumSong {
    EffectSong() {
        song.instruments[43].kind = InstrumentKind::SsgVoice;
        song.instruments[44].kind = InstrumentKind::AdpcmBSample;
        song.instruments[44].pitched.sample = snare;
    }

    struct Part {
        int track;
        std::uint8_t instrument;
    };
    Part part(TrackKind kind) const {
        switch (kind) {
            case TrackKind::Fm:
                return {0, 40};
            case TrackKind::Ssg:
                return {testing::ssgTrack(0), 43};
            default:
                return {wholeChipTrack(TrackKind::AdpcmB, 0), 44};
        }
    }
    void note(TrackKind kind, int row, int note, std::uint8_t effect, std::uint8_t parameter) {
        cell(part(kind).track, row) =
            Cell{static_cast<std::uint8_t>(note), 4, part(kind).instrument, effect, parameter};
    }
    void effect(TrackKind kind, int row, std::uint8_t effect, std::uint8_t parameter) {
        cell(part(kind).track, row) = Cell{kNoteEmpty, kNone, kNone, effect, parameter};
    }

    // Plays the song from its start up to its first row.
    DriverRig& start() {
        rig_.emplace(image(rom_));
        rig_->command(kFirstSong);
        rig_->ticks(5);
        return *rig_;
    }
    int reg(int bank, std::uint8_t r) const {
        std::map<std::pair<int, int>, int> regs;
        for (const auto& w : rig_->chip.writes)
            regs[{w.bank, w.reg}] = w.value;
        return regs.contains({bank, r}) ? regs.at({bank, r}) : -1;
    }
    // What the chip holds for the track's pitch, and what the tables give for `pitch`.
    int pitchHeld(TrackKind kind) const {
        if (kind == TrackKind::Fm) return reg(0, 0xA5) << 8 | reg(0, 0xA1);
        if (kind == TrackKind::Ssg) return reg(0, 0x01) << 8 | reg(0, 0x00);
        return reg(0, 0x1A) << 8 | reg(0, 0x19);
    }
    int pitchValue(TrackKind kind, int pitch) const {
        if (kind == TrackKind::Fm) {
            const FmPitch fm = fmPitchAt(pitch);
            return (fm.block << 3 | fm.fnum >> 8) << 8 | (fm.fnum & 0xFF);
        }
        if (kind == TrackKind::Ssg) return ssgTonePeriodAt(pitch);
        return adpcmBDeltaNAt(pitchedRates(song.instruments[44].pitched), pitch);
    }
    // The level register each part's volume goes to, and what the mapping gives for `volume`.
    int levelHeld(TrackKind kind) const {
        if (kind == TrackKind::Fm) return reg(0, 0x4D);  // S4's total level, channel 1
        if (kind == TrackKind::Ssg) return reg(0, 0x08);
        return reg(0, 0x1B);
    }
    static int levelValue(TrackKind kind, int volume) {
        if (kind == TrackKind::Fm) return fmCarrierLevel(0x40, volume);
        if (kind == TrackKind::Ssg) return ssgVolumeLevel(15, volume);
        return adpcmBVolumeLevel(255, volume);
    }

    SampleRom rom_;
    std::optional<DriverRig> rig_;
};

constexpr TrackKind kPitchedKinds[] = {TrackKind::Fm, TrackKind::Ssg, TrackKind::AdpcmB};

std::string kindName(TrackKind kind) {
    return kind == TrackKind::Fm ? "FM" : kind == TrackKind::Ssg ? "SSG" : "ADPCM-B";
}

// Each pitch effect on a C-4 at speed 6: the pitch on each tick of the row, in sixteenths above
// the note. 4xy's sine at phases 0, 4, 8, 12 and 16 times depth 8 gives 0, 3, 6, 7 and 8.
TEST(WholeChipEffects, PitchEffectsMoveEachTickAsTheTablesSay) {
    struct Case {
        std::uint8_t effect, parameter;
        std::array<int, 6> offsets;
    };
    const Case cases[] = {
        {0x01, 0x10, {0, 16, 32, 48, 64, 80}},      // slide up
        {0x02, 0x08, {0, -8, -16, -24, -32, -40}},  // slide down
        {0x00, 0x47, {0, 64, 112, 0, 64, 112}},     // arpeggio: the note, +4, +7 semitones
        {0x04, 0x48, {0, 0, 3, 6, 7, 8}},           // vibrato, speed 4 depth 8
        {0x0E, 0x13, {3, 3, 3, 3, 3, 3}},           // fine slide up, once
        {0x0E, 0x25, {-5, -5, -5, -5, -5, -5}},     // fine slide down, once
    };
    for (const TrackKind kind : kPitchedKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(kindName(kind) + " effect " + std::to_string(c.effect) + " " +
                         std::to_string(c.parameter));
            EffectSong song;
            song.note(kind, 0, 0 /* C */, c.effect, c.parameter);
            DriverRig& rig = song.start();
            for (int tick = 0; tick < 6; ++tick) {
                rig.tick();
                EXPECT_EQ(song.pitchHeld(kind), song.pitchValue(kind, kC4 + c.offsets[tick]))
                    << "tick " << tick;
            }
        }
    }
}

// 3xx glides from the note sounding to the cell's without keying it, and stops exactly on it;
// the row after, without an effect, keeps it there.
TEST(WholeChipEffects, PortamentoEndsExactlyOnItsNote) {
    for (const TrackKind kind : kPitchedKinds) {
        SCOPED_TRACE(kindName(kind));
        EffectSong song;
        song.note(kind, 0, 0, kNone, kNone);
        song.note(kind, 1, 4 /* E */, 0x03, 0x0F);
        DriverRig& rig = song.start();
        rig.ticks(6);
        const std::size_t keyOns = rig.keyOns().size();
        const int offsets[] = {0, 15, 30, 45, 60, 64, 64};
        for (const int offset : offsets) {
            rig.tick();
            EXPECT_EQ(song.pitchHeld(kind), song.pitchValue(kind, kC4 + offset));
        }
        EXPECT_EQ(rig.keyOns().size(), keyOns);  // legato
    }
}

// Cxx sets a note's volume, Axy slides it a tick, EAx and EBx once; each part takes the nearest
// level it has.
TEST(WholeChipEffects, VolumeEffectsReachEachPartsLevels) {
    for (const TrackKind kind : kPitchedKinds) {
        SCOPED_TRACE(kindName(kind));
        EffectSong song;
        song.note(kind, 0, 0, 0x0C, 0x20);
        song.effect(kind, 1, 0x0A, 0x05);  // down 5 a tick
        song.effect(kind, 2, 0x0E, 0xA3);  // up 3, once
        DriverRig& rig = song.start();
        rig.tick();
        EXPECT_EQ(song.levelHeld(kind), EffectSong::levelValue(kind, 32));
        rig.ticks(5);
        for (const int volume : {32, 27, 22, 17, 12, 7, 10}) {
            rig.tick();
            EXPECT_EQ(song.levelHeld(kind), EffectSong::levelValue(kind, volume));
        }
    }
}

// The volume effects that go on with others, and tremolo: the volume on each tick of row 1 after
// a C20 note. 7xy's sine at phases 0, 4, 8, 12 and 16 times 4y = 8 gives 0, 3, 6, 7 and 8.
TEST(WholeChipEffects, CombinedSlidesAndTremoloMoveTheVolume) {
    struct Case {
        std::uint8_t effect, parameter;
        std::array<int, 6> volumes;
    };
    const Case cases[] = {
        {0x05, 0x03, {32, 29, 26, 23, 20, 17}},  // portamento (at rest) and volume down 3
        {0x06, 0x20, {32, 34, 36, 38, 40, 42}},  // vibrato (depth 0) and volume up 2
        {0x07, 0x42, {32, 32, 35, 38, 39, 40}},  // tremolo, speed 4 depth 2
    };
    for (const TrackKind kind : kPitchedKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(kindName(kind) + " effect " + std::to_string(c.effect));
            EffectSong song;
            song.note(kind, 0, 0, 0x0C, 0x20);
            song.effect(kind, 1, c.effect, c.parameter);
            DriverRig& rig = song.start();
            rig.ticks(6);
            for (const int volume : c.volumes) {
                rig.tick();
                EXPECT_EQ(song.levelHeld(kind), EffectSong::levelValue(kind, volume));
            }
        }
    }
}

// E9x keys the note again every x ticks, ECx keys it off at tick x, EDx keys it first at tick x:
// the ticks of the FM track's key-ons and key-offs in its row.
TEST(WholeChipEffects, RetriggerCutAndDelayKeyOnTheirTicks) {
    struct Case {
        std::uint8_t parameter;
        std::vector<int> keyOns, keyOffs;  // ticks of the row, 0 its first
    };
    const Case cases[] = {
        {0x92, {0, 2, 4}, {0, 2, 4}},  // each key-on after a key-off
        {0xC3, {0}, {0, 3}},
        {0xD4, {4}, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.parameter));
        EffectSong song;
        song.note(TrackKind::Fm, 0, 0, 0x0E, c.parameter);
        DriverRig& rig = song.start();
        std::vector<int> keyOns, keyOffs;
        for (int tick = 0; tick < 6; ++tick) {
            const std::size_t from = rig.chip.writes.size();
            rig.tick();
            for (const auto& w : rig.writesTo(0, 0x28, from))
                ((w.value & 0xF0) ? keyOns : keyOffs).push_back(tick);
        }
        EXPECT_EQ(keyOns, c.keyOns);
        EXPECT_EQ(keyOffs, c.keyOffs);
    }
}

// 9xx starts the ADPCM-B sample xx blocks in (never past its end); the chip's own effects write
// their registers.
TEST(WholeChipEffects, SampleOffsetAndTheChipsOwnEffects) {
    EffectSong song;
    song.note(TrackKind::AdpcmB, 0, 0, 0x09, 0x01);
    song.note(TrackKind::AdpcmB, 1, 0, 0x09, 0xFF);
    const std::pair<std::array<std::uint8_t, 2>, std::array<int, 3>> chip[] = {
        {{0x10, 0x15}, {0, 0x22, 0x0D}}, {{0x12, 0x3F}, {0, 0x06, 0x1F}},
        {{0x13, 0x0E}, {0, 0x0D, 0x0E}}, {{0x14, 0x12}, {0, 0x0C, 0x12}},
        {{0x15, 0x34}, {0, 0x0B, 0x34}}, {{0x16, 0x20}, {1, 0x01, 0x20}},
    };
    for (std::size_t i = 0; i < std::size(chip); ++i)
        song.effect(TrackKind::Ssg, 2 + static_cast<int>(i), chip[i].first[0], chip[i].first[1]);
    song.effect(TrackKind::Fm, 2, 0x11, 0x37);
    DriverRig& rig = song.start();
    const SamplePlace place = *song.rom_.placeOf(song.snare, SampleCoding::AdpcmB);
    rig.tick();
    EXPECT_EQ(song.reg(0, 0x13) << 8 | song.reg(0, 0x12), place.start + 1);
    rig.ticks(6);
    EXPECT_EQ(song.reg(0, 0x13) << 8 | song.reg(0, 0x12), place.end);
    for (const auto& [effect, write] : chip) {
        rig.ticks(6);
        EXPECT_EQ(song.reg(write[0], static_cast<std::uint8_t>(write[1])), write[2])
            << int(effect[0]);
    }
    EXPECT_EQ(song.reg(0, 0xB5), 0xC0 | 0x37);  // H: AMS 3, PMS 7, both outputs kept
}

// Bxx jumps to its order entry, Dxx breaks to its row (the digits as typed), EEx holds the row
// for x rows' ticks, F00 stops the song: each lands where it says, seen by the notes keyed.
TEST(WholeChipEffects, JumpsBreaksDelaysAndStopsLandWhereTheySay) {
    EffectSong song;
    song.song.patternCount = 3;
    song.song.order = {0, 1, 2};
    const auto fmNote = [&](int pattern, int row, int note, std::uint8_t effect,
                            std::uint8_t parameter) {
        song.song.patterns[static_cast<std::size_t>(pattern)].cell(0, row) =
            Cell{static_cast<std::uint8_t>(note), 4, 40, effect, parameter};
    };
    fmNote(0, 0, 1, 0x0E, 0xE2);  // this row lasts three rows' ticks
    fmNote(0, 1, 2, 0x0B, 0x02);  // then order entry 2 ...
    fmNote(1, 0, 9, kNone, kNone);
    fmNote(2, 0, 3, 0x0D, 0x12);  // ... which breaks to row 12 of entry 0 (played through)
    fmNote(0, 11, 9, kNone, kNone);
    fmNote(0, 12, 4, 0x0F, 0x00);  // which stops the song
    fmNote(0, 13, 9, kNone, kNone);
    DriverRig& rig = song.start();
    // The tick of each key-on and its note's F-number.
    std::vector<std::pair<int, int>> keyed;
    for (int tick = 0; tick < 60; ++tick) {
        const std::size_t from = rig.chip.writes.size();
        rig.tick();
        if (!rig.keyOns(from).empty()) keyed.push_back({tick, song.reg(0, 0xA1)});
    }
    const auto fnum = [](int note) { return fmPitchAt(kC4 + 16 * note).fnum & 0xFF; };
    const std::vector<std::pair<int, int>> expected = {
        {0, fnum(1)}, {18, fnum(2)}, {24, fnum(3)}, {30, fnum(4)}};
    EXPECT_EQ(keyed, expected);
    EXPECT_EQ(rig.var(driver::var::kPlaying), 0);
}

// 8xx sets a track's outputs (FM with its AMS and PMS, ADPCM-B); the next song starts with both
// outputs again, and the start writes nothing else.
TEST(WholeChipEffects, PanningSetsTheOutputsAndANewSongResetsThem) {
    EffectSong song;
    song.note(TrackKind::Fm, 0, 0, 0x11, 0x23);  // AMS 2, PMS 3 ...
    song.effect(TrackKind::Fm, 1, 0x08, 0x10);   // ... then left
    song.note(TrackKind::AdpcmB, 0, 0, 0x08, 0xC0);
    DriverRig& rig = song.start();
    rig.ticks(7);
    EXPECT_EQ(song.reg(0, 0xB5), 0x80 | 0x23);
    EXPECT_EQ(song.reg(0, 0x11), 0x40);
    rig.command(kFirstSong);
    const std::size_t from = rig.chip.writes.size();
    rig.tick();  // prepares the song
    std::vector<testing::RegisterWrite> prepared;
    for (std::size_t i = from; i < rig.chip.writes.size(); ++i)
        if (rig.chip.writes[i].reg != 0x27) prepared.push_back(rig.chip.writes[i]);
    const std::vector<testing::RegisterWrite> expected = {{0, 0, 0xB5, 0xC0}, {0, 1, 0xB5, 0xC0},
                                                          {0, 0, 0xB6, 0xC0}, {0, 1, 0xB6, 0xC0},
                                                          {0, 0, 0x22, 0x00}, {0, 1, 0x01, 0x3F}};
    EXPECT_EQ(prepared, expected);
}

// Our own module with every effect, imported into a whole-chip song, plays its effects: the lead
// moves its pitch within rows (slides, arpeggio, vibrato, portamento) and its level (volume
// slides, tremolo), its tempo changes the tick timer, and F00 ends it where the module says.
TEST(WholeChipEffects, AnImportedModulePlaysItsEffects) {
    EffectSong song;
    const ModImportOptions options{true, voices::presetVoiceForSample};
    ASSERT_TRUE(parseMod(testing::effectsModule().bytes(), song.song, nullptr, options));
    DriverRig& rig = song.start();
    // The ticks on which the lead's pitch or level moved without a key-on, and each position
    // played (order entry, row), once.
    int pitchMoves = 0, levelMoves = 0;
    std::vector<std::pair<int, int>> rows;
    for (int tick = 0; rig.var(driver::var::kPlaying) && tick < 2000; ++tick) {
        const std::size_t from = rig.chip.writes.size();
        rig.tick();
        const std::pair<int, int> at{rig.var(driver::var::kOrderPosition),
                                     rig.var(driver::var::kRow)};
        if (rows.empty() || rows.back() != at) rows.push_back(at);
        if (!rig.keyOns(from).empty()) continue;
        pitchMoves += !rig.writesTo(0, 0xA5, from).empty();
        levelMoves += !rig.writesTo(0, 0x4D, from).empty();
    }
    EXPECT_GE(pitchMoves, 40);
    EXPECT_GE(levelMoves, 15);
    EXPECT_EQ(song.reg(0, 0x24), tempoTimer(0x7D).timerA >> 2);
    // Row 63 breaks to row 10 of the second pattern, whose row 20 jumps to its own row 25 (B01
    // and D25 together), and row 30 stops the song. (The driver's row counter names the row to
    // come.)
    std::vector<std::pair<int, int>> expected;
    for (int row = 1; row < 64; ++row)
        expected.push_back({0, row});
    for (int row = 10; row <= 20; ++row)
        expected.push_back({1, row});
    for (int row = 25; row <= 30; ++row)
        expected.push_back({1, row});
    EXPECT_EQ(rows, expected);
    EXPECT_FALSE(rig.var(driver::var::kPlaying));
}

// Fxx from 20 sets the tick timer: the nearest timer A value (and, below the tempos it reaches,
// a tick on every few overflows) to ProTracker's 2t/5 ticks a second, within 0.1 %.
TEST(WholeChipEffects, TempoSetsTheTickTimer) {
    for (int tempo = kMinTempo; tempo <= kMaxTempo; ++tempo) {
        const TickTimer timer = tempoTimer(tempo);
        EXPECT_NEAR(tickHz(timer) / tempoTickHz(tempo), 1.0, 0.001) << tempo;
    }
    EXPECT_NEAR(tickHz(kDefaultTickTimer), 62.5, 0.01);
    for (const int tempo : {0x7D, 0x20}) {
        EffectSong song;
        song.note(TrackKind::Fm, 0, 0, 0x0F, static_cast<std::uint8_t>(tempo));
        DriverRig& rig = song.start();
        rig.tick();
        const TickTimer timer = tempoTimer(tempo);
        EXPECT_EQ(song.reg(0, 0x24), timer.timerA >> 2);
        EXPECT_EQ(song.reg(0, 0x25), timer.timerA & 3);
        EXPECT_EQ(rig.var(wc::var::kTickDivider), timer.divider);
    }
}

}  // namespace
}  // namespace qvx
