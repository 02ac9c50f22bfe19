#include <gtest/gtest.h>

#include <algorithm>

#include "driver/sound_driver.hpp"
#include "soundlib/ym2610/registers.hpp"
#include "tests/support/driver_rig.hpp"

namespace qvx {
namespace {

using testing::DriverRig;
using testing::kTickTStates;
using testing::multiSongImage;
using testing::patternImage;
using testing::RegisterWrite;
using testing::songImage;
using namespace driver::command;
namespace var = driver::var;

constexpr std::uint8_t kKeyOn = 0x28;  // the chip's key on/off register

Cell noteCell(std::uint8_t note, std::uint8_t octave, std::uint8_t instrument = 1) {
    return Cell{note, octave, instrument, 0xFF, 0xFF};
}
Cell effectCell(std::uint8_t effect, std::uint8_t parameter) {
    return Cell{12, 0xFF, 0xFF, effect, parameter};
}

// Distinct voices so that every load can be told apart by its first register.
Song songWithVoices() {
    Song song;
    for (int k = 1; k <= kInstrumentCount; ++k)
        song.instruments[k].registers.fill(static_cast<std::uint8_t>(k * 8));
    return song;
}

// Frequency writes of one track: pairs of (0xA4+slot, 0xA0+slot) values since `from`.
std::vector<std::pair<std::uint8_t, std::uint8_t>> frequencies(const DriverRig& rig, int track,
                                                               std::size_t from = 0) {
    const int bank = track / 2;
    const std::uint8_t slot = static_cast<std::uint8_t>(track % 2 + 1);
    std::vector<std::pair<std::uint8_t, std::uint8_t>> out;
    std::optional<std::uint8_t> high;
    for (std::size_t i = from; i < rig.chip.writes.size(); ++i) {
        const RegisterWrite& w = rig.chip.writes[i];
        if (w.bank != bank) continue;
        if (w.reg == 0xA4 + slot) high = w.value;
        if (w.reg == 0xA0 + slot && high) out.emplace_back(*high, w.value);
    }
    return out;
}

// The driver loads voices through its own tables of the two register slots; they must be the
// registers the song model and the preview use, in the same order.
TEST(Driver, VoiceRegisterTablesAreTheChipsVoiceRegisters) {
    const auto image = driver::image();
    std::vector<std::uint8_t> tables(qvxsnd::ym::kVoiceRegisters.begin(),
                                     qvxsnd::ym::kVoiceRegisters.end());
    const auto slot2 = qvxsnd::ym::voiceRegisters(2);
    tables.insert(tables.end(), slot2.begin(), slot2.end());
    EXPECT_NE(std::search(image.begin(), image.end(), tables.begin(), tables.end()), image.end());
}

TEST(Driver, StartUpWritesAndIdleTicks) {
    DriverRig rig(patternImage(Song{}, 0));
    // Timer A for a 16 ms tick ((1024 - 135) * 144 clocks at 8 MHz), timer B stopped; both FM
    // outputs on for every channel slot; every ADPCM-A channel on both outputs at full level.
    std::vector<RegisterWrite> expected = {
        {0, 0, 0x27, 0x30}, {0, 0, 0x24, 135 >> 2}, {0, 0, 0x25, 135 & 3}, {0, 0, 0x27, 0x15}};
    for (std::uint8_t slot = 0; slot < 3; ++slot) {
        expected.push_back({0, 0, static_cast<std::uint8_t>(0xB4 + slot), 0xC0});
        expected.push_back({0, 1, static_cast<std::uint8_t>(0xB4 + slot), 0xC0});
    }
    for (std::uint8_t channel = 0; channel < 6; ++channel)
        expected.push_back({0, 1, static_cast<std::uint8_t>(0x08 + channel), 0xDF});
    expected.push_back({0, 1, 0x01, 0x3F});
    EXPECT_EQ(rig.chip.writes, expected);
    EXPECT_EQ(rig.var(var::kPlaying), 0);
    EXPECT_EQ(rig.var(var::kNextAdpcmChannel), 0);
    EXPECT_GE(rig.board().cpu().pc, 0xC0);
    // Commands are let in, and the M1 windows show the M1 at their own addresses.
    EXPECT_TRUE(rig.board().nmiEnabled());
    EXPECT_EQ(rig.board().bank(0), 0xF000 / 0x800);
    EXPECT_EQ(rig.board().bank(1), 0xE000 / 0x1000);
    EXPECT_EQ(rig.board().bank(2), 0xC000 / 0x2000);
    EXPECT_EQ(rig.board().bank(3), 0x8000 / 0x4000);

    // Idle ticks count and acknowledge timer A, nothing else.
    const std::size_t before = rig.chip.writes.size();
    rig.ticks(3);
    ASSERT_EQ(rig.chip.writes.size(), before + 3);
    for (std::size_t i = before; i < rig.chip.writes.size(); ++i)
        EXPECT_EQ(rig.chip.writes[i], (RegisterWrite{0, 0, 0x27, 0x15}));
    EXPECT_EQ(rig.var(var::kTickCounter), 3);
}

TEST(Driver, OnePatternLoopsWithRowsOf96Milliseconds) {
    Song song = songWithVoices();
    Pattern& p = song.patterns[0];
    p.cell(0, 0) = noteCell(9, 4);
    p.cell(0, 1) = noteCell(1, 3);  // C#3
    p.cell(0, 2) = noteCell(0, 5);  // C-5: nibble 12 one block lower
    p.cell(0, 63) = noteCell(11, 7);
    DriverRig rig(patternImage(song, 0));
    rig.command(kFirstSong);
    EXPECT_EQ(rig.var(var::kPlaying), 1);
    EXPECT_EQ(rig.var(var::kSpeed), 6);

    rig.ticks(5);
    EXPECT_TRUE(rig.keyOns().empty());  // the first row comes on the sixth tick
    rig.ticks(1 + 2 * 6);
    const auto keys = rig.keyOns();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].value, 0xF1);
    // Same instrument, no voice load in between: the rows are 6 ticks apart, give or take the
    // instruction the tick interrupt waits for.
    EXPECT_NEAR(static_cast<double>(keys[2].t - keys[1].t), 6.0 * kTickTStates, 20.0);

    auto f = frequencies(rig, 0);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0], (std::pair<std::uint8_t, std::uint8_t>{0x24, 0x0E}));  // block 4, F-number 1038
    EXPECT_EQ(f[1], (std::pair<std::uint8_t, std::uint8_t>{0x1A, 0x8E}));  // block 3, 654
    EXPECT_EQ(f[2], (std::pair<std::uint8_t, std::uint8_t>{0x24, 0xD2}));  // block 4, 1234

    // Rows 3..62 are empty; row 63, then row 0 again: the pattern repeats.
    rig.ticks(62 * 6);
    f = frequencies(rig, 0);
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[3], (std::pair<std::uint8_t, std::uint8_t>{0x3C, 0x8D}));
    EXPECT_EQ(f[4], f[0]);
    EXPECT_EQ(rig.var(var::kOrderPosition), 0);
}

TEST(Driver, KeyOnComesBeforeTheFrequency) {
    Song song = songWithVoices();
    song.patterns[0].cell(3, 0) = noteCell(4, 2, 2);
    DriverRig rig(patternImage(song, 0));
    rig.command(kFirstSong);
    const std::size_t from = rig.chip.writes.size();
    rig.ticks(6);
    std::vector<RegisterWrite> tail;
    for (std::size_t i = from; i < rig.chip.writes.size(); ++i)
        if (const std::uint8_t reg = rig.chip.writes[i].reg;
            reg == kKeyOn || (reg >= 0xA0 && reg <= 0xA6))
            tail.push_back(rig.chip.writes[i]);
    ASSERT_EQ(tail.size(), 5u);
    EXPECT_EQ(tail[0], (RegisterWrite{0, 0, kKeyOn, 0x06}));  // the voice load keys off first
    EXPECT_EQ(tail[1], (RegisterWrite{0, 0, kKeyOn, 0x06}));
    EXPECT_EQ(tail[2], (RegisterWrite{0, 0, kKeyOn, 0xF6}));
    EXPECT_EQ(tail[3], (RegisterWrite{0, 1, 0xA6, 0x13}));  // track 4: slot 2 of the second bank
    EXPECT_EQ(tail[4], (RegisterWrite{0, 1, 0xA2, 0x09}));
    // The voice went to the second bank's slot 2 registers, in voice order.
    const auto voice = rig.writesTo(1, 0x32, from);
    ASSERT_EQ(voice.size(), 1u);
    EXPECT_EQ(voice[0].value, 16);
    EXPECT_EQ(rig.writesTo(1, 0xB2, from).size(), 1u);
}

TEST(Driver, VoiceReloadsOnlyWhenTheInstrumentChanges) {
    Song song = songWithVoices();
    const std::uint8_t instruments[] = {1, 1, 3, 3, 1};
    for (int row = 0; row < 5; ++row)
        song.patterns[0].cell(0, row) = noteCell(5, 4, instruments[row]);
    song.patterns[0].cell(1, 0) = noteCell(5, 4, 3);
    DriverRig rig(patternImage(song, 0));
    rig.command(kFirstSong);
    rig.ticks(6 * 5);
    const auto loads = rig.writesTo(0, 0x31);
    ASSERT_EQ(loads.size(), 3u);
    EXPECT_EQ(loads[0].value, 8);
    EXPECT_EQ(loads[1].value, 24);
    EXPECT_EQ(loads[2].value, 8);
    // Track 2 keeps its own record: one load for its one note.
    EXPECT_EQ(rig.writesTo(0, 0x32).size(), 1u);
    EXPECT_EQ(rig.writesTo(0, 0xB1).size(), 3u);
    EXPECT_EQ(rig.var(var::kLoadedInstrument), 0);
    EXPECT_EQ(rig.var(var::kLoadedInstrument + 1), 2);
    EXPECT_EQ(rig.var(var::kLoadedInstrument + 2), 0xFF);
}

TEST(Driver, SpeedEffect) {
    Song song = songWithVoices();
    song.patterns[0].cell(0, 0) = Cell{7, 4, 1, 0x0F, 3};  // F03 with a note: the note is held back
    song.patterns[0].cell(0, 1) = noteCell(7, 4);
    song.patterns[0].cell(0, 2) = noteCell(7, 4);
    DriverRig rig(patternImage(song, 0));
    rig.command(kFirstSong);
    rig.ticks(6);
    EXPECT_TRUE(rig.keyOns().empty());
    EXPECT_EQ(rig.var(var::kSpeed), 3);
    EXPECT_EQ(rig.writesTo(0, 0x31).size(), 1u);  // its instrument was still loaded
    rig.ticks(2);
    EXPECT_TRUE(rig.keyOns().empty());
    rig.ticks(1);
    EXPECT_EQ(rig.keyOns().size(), 1u);
    rig.ticks(3);
    EXPECT_EQ(rig.keyOns().size(), 2u);
}

TEST(Driver, SpeedZeroMeans256Ticks) {
    Song song = songWithVoices();
    song.patterns[0].cell(3, 0) = effectCell(0x0F, 0);
    song.patterns[0].cell(0, 1) = noteCell(2, 4);
    DriverRig rig(patternImage(song, 0));
    rig.command(kFirstSong);
    rig.ticks(6 + 255);
    EXPECT_TRUE(rig.keyOns().empty());
    rig.tick();
    EXPECT_EQ(rig.keyOns().size(), 1u);
}

TEST(Driver, BreakOnTheLastRowAdvancesTheOrderOnce) {
    Song song = songWithVoices();
    song.addPattern();
    song.addPattern();
    song.patterns[0].cell(0, 0) = noteCell(0, 2);
    song.patterns[0].cell(3, 63) = effectCell(0x0D, 7);
    song.patterns[1].cell(0, 0) = noteCell(1, 2);
    song.patterns[1].cell(0, 63) = noteCell(2, 2);
    song.patterns[2].cell(0, 0) = noteCell(3, 2);
    song.order = {0, 1, 2};
    DriverRig rig(songImage(song));
    rig.command(kFirstSong);
    rig.ticks(6 + 64 * 6);
    EXPECT_EQ(rig.var(var::kOrderPosition), 1);
    auto f = frequencies(rig, 0);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[1].second, 0x8E);  // C#: pattern 1, row 0
    rig.ticks(64 * 6);
    f = frequencies(rig, 0);
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[2].second, 0xB5);  // D: pattern 1, row 63 -- the whole pattern played
    EXPECT_EQ(f[3].second, 0xDE);  // D#: pattern 2, row 0
    EXPECT_EQ(rig.var(var::kOrderPosition), 2);
    // After the last entry the song starts over.
    rig.ticks(64 * 6);
    EXPECT_EQ(rig.var(var::kOrderPosition), 0);
}

TEST(Driver, BreakInTheMiddleOfAPattern) {
    Song song = songWithVoices();
    song.addPattern();
    song.patterns[0].cell(2, 10) = Cell{4, 4, 1, 0x0D, 0};  // D with a note: not sounded
    song.patterns[1].cell(0, 0) = noteCell(6, 3);
    song.order = {0, 1};
    DriverRig rig(songImage(song));
    rig.command(kFirstSong);
    rig.ticks(6 + 10 * 6);
    EXPECT_TRUE(rig.keyOns().empty());
    EXPECT_EQ(rig.var(var::kOrderPosition), 1);
    EXPECT_EQ(rig.var(var::kRow), 0);
    rig.ticks(6);
    ASSERT_EQ(rig.keyOns().size(), 1u);
    EXPECT_EQ(rig.keyOns()[0].value, 0xF1);
}

TEST(Driver, VolumeZeroOnAnEmptyCellKeysTheTrackOff) {
    Song song = songWithVoices();
    song.patterns[0].cell(1, 0) = noteCell(9, 4);
    song.patterns[0].cell(1, 1) = effectCell(0x0C, 0);
    song.patterns[0].cell(1, 2) = effectCell(0x0C, 5);
    song.patterns[0].cell(1, 3) = Cell{9, 4, 1, 0x0C, 0};  // C00 with a note: off, not on
    DriverRig rig(patternImage(song, 0));
    rig.command(kFirstSong);
    rig.ticks(6);
    std::size_t mark = rig.chip.writes.size();
    rig.ticks(6);
    auto keys = rig.writesTo(0, kKeyOn, mark);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].value, 0x02);
    mark = rig.chip.writes.size();
    rig.ticks(6);
    EXPECT_TRUE(rig.writesTo(0, kKeyOn, mark).empty());
    mark = rig.chip.writes.size();
    rig.ticks(6);
    keys = rig.writesTo(0, kKeyOn, mark);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].value, 0x02);
}

TEST(Driver, EndMarkAndUnknownEffectsPlayAsTheDriverSays) {
    Song song = songWithVoices();
    song.patterns[0].cell(0, 0) = Cell{13, 3, 1, 0xFF, 0xFF};  // end mark with an octave: no note
    song.patterns[0].cell(0, 1) = Cell{4, 3, 1, 0x0A, 0x22};   // other effects: the note plays
    DriverRig rig(patternImage(song, 0));
    rig.command(kFirstSong);
    rig.ticks(6);
    EXPECT_TRUE(rig.keyOns().empty());
    EXPECT_EQ(rig.var(var::kCellFnumHigh), 0);
    EXPECT_EQ(rig.var(var::kCellFnumLow), 0);
    rig.ticks(6);
    EXPECT_EQ(rig.keyOns().size(), 1u);
}

// A classic song acts on C, D and F alone: one whose notes carry every other effect a whole-chip
// song plays writes exactly what the same song without them writes.
TEST(Driver, AClassicSongIgnoresTheWholeChipEffects) {
    const auto writes = [](bool effects) {
        Song song = songWithVoices();
        for (int row = 0; row < kRows; ++row) {
            const std::uint8_t effect = static_cast<std::uint8_t>(row % 12);  // 0-B, then E
            song.patterns[0].cell(row % kTracks, row) =
                Cell{static_cast<std::uint8_t>(row % 12), 3, 1,
                     effects ? (effect == 0x0B ? std::uint8_t{0x0E} : effect) : kNone,
                     effects ? std::uint8_t{0x93} : kNone};
        }
        DriverRig rig(patternImage(song, 0));
        rig.command(kFirstSong);
        rig.ticks(6 * kRows);
        return rig.chip.writes;
    };
    const auto plain = writes(false);
    ASSERT_GT(plain.size(), 300u);
    EXPECT_EQ(writes(true), plain);
}

TEST(Driver, SongCommandsHopThroughLinkedBlocks) {
    Song first = songWithVoices();
    first.patterns[0].cell(0, 0) = noteCell(2, 3);
    Song second = songWithVoices();
    second.patterns[0].cell(0, 0) = noteCell(11, 5, 3);
    const auto image = multiSongImage({&first, &second});

    DriverRig rig(image);
    rig.command(kFirstSong + 1);
    EXPECT_EQ(rig.var(var::kPlaying), 1);
    rig.ticks(6);
    auto f = frequencies(rig, 0);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0], (std::pair<std::uint8_t, std::uint8_t>{0x2C, 0x8D}));
    EXPECT_EQ(rig.writesTo(0, 0x31)[0].value, 24);  // the second song's instrument 3

    rig.command(kFirstSong);
    rig.ticks(6);
    f = frequencies(rig, 0);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[1], (std::pair<std::uint8_t, std::uint8_t>{0x1A, 0xB5}));

    // Behind the second block there is no third: the sequencer stops, nothing is keyed off.
    const std::size_t mark = rig.chip.writes.size();
    rig.command(kFirstSong + 2);
    EXPECT_EQ(rig.var(var::kPlaying), 0);
    EXPECT_TRUE(rig.writesTo(0, kKeyOn, mark).empty());
    rig.ticks(12);
    EXPECT_EQ(frequencies(rig, 0).size(), 2u);
}

TEST(Driver, SongZeroNeverStarts) {
    Song song = songWithVoices();
    song.patterns[0].cell(0, 0) = noteCell(2, 3);
    DriverRig rig(songImage(song));
    rig.command(kFirstSong);
    rig.command(kSong);
    EXPECT_EQ(rig.var(var::kPlaying), 0);
    rig.ticks(12);
    EXPECT_TRUE(rig.keyOns().empty());
}

TEST(Driver, StopKeysTheFourChannelsOff) {
    Song song = songWithVoices();
    for (int t = 0; t < 4; ++t)
        song.patterns[0].cell(t, 0) = noteCell(2, 3);
    DriverRig rig(songImage(song));
    rig.command(kFirstSong);
    rig.ticks(6);
    const std::size_t mark = rig.chip.writes.size();
    rig.command(kStop);
    const auto offs = rig.writesTo(0, kKeyOn, mark);
    ASSERT_EQ(offs.size(), 4u);
    EXPECT_EQ(offs[0].value, 0x01);
    EXPECT_EQ(offs[1].value, 0x02);
    EXPECT_EQ(offs[2].value, 0x05);
    EXPECT_EQ(offs[3].value, 0x06);
    EXPECT_EQ(rig.var(var::kPlaying), 0);
    EXPECT_EQ(rig.var(var::kRow), 1);  // position is left for the next start to set
    rig.ticks(12);
    EXPECT_EQ(rig.keyOns().size(), 4u);
}

TEST(Driver, SampleTriggersRotateOverTheSixChannels) {
    Song song;
    std::vector<std::uint8_t> image = songImage(song);
    const std::uint8_t commands[] = {0x02, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    for (std::uint8_t c : commands)
        for (std::size_t i = 0; i < driver::kSampleEntryBytes; ++i)
            image[driver::kSampleTable + driver::kSampleEntryBytes * c + i] =
                static_cast<std::uint8_t>(c * 16 + i);
    // The entry's four bytes go to the channel's start and end address registers; the channel's
    // end flag is cleared (its bit, then 0, to the flag control) and the channel keyed on.
    const std::uint8_t entryRegisters[] = {0x10, 0x18, 0x20, 0x28};
    DriverRig rig(image);
    for (int n = 0; n < 7; ++n) {
        const std::uint8_t c = commands[n];
        const int channel = n % 6;
        const auto bit = static_cast<std::uint8_t>(1 << channel);
        const std::size_t mark = rig.chip.writes.size();
        rig.command(c);
        std::vector<RegisterWrite> w(rig.chip.writes.begin() + static_cast<std::ptrdiff_t>(mark),
                                     rig.chip.writes.end());
        ASSERT_EQ(w.size(), 7u) << n;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(w[i],
                      (RegisterWrite{0, 1, static_cast<std::uint8_t>(entryRegisters[i] + channel),
                                     static_cast<std::uint8_t>(c * 16 + i)}));
        EXPECT_EQ(w[4], (RegisterWrite{0, 0, 0x1C, bit}));
        EXPECT_EQ(w[5], (RegisterWrite{0, 0, 0x1C, 0x00}));
        EXPECT_EQ(w[6], (RegisterWrite{0, 1, 0x00, bit}));
        EXPECT_EQ(rig.var(var::kLastAdpcmChannel), channel);
    }
    EXPECT_EQ(rig.var(var::kNextAdpcmChannel), 1);
}

TEST(Driver, AdpcmOffKeysAllSampleChannelsOff) {
    DriverRig rig(songImage(Song{}));
    const std::size_t mark = rig.chip.writes.size();
    rig.command(kAdpcmOff);
    ASSERT_EQ(rig.chip.writes.size(), mark + 1);
    EXPECT_EQ(rig.chip.writes[mark], (RegisterWrite{0, 1, 0x00, 0xBF}));
}

TEST(Driver, AutoStartPlaysSongOneWithoutACommand) {
    Song song = songWithVoices();
    song.patterns[0].cell(0, 0) = noteCell(2, 3);
    std::vector<std::uint8_t> image = songImage(song);
    image[driver::kAutoStartFlag] = 1;
    DriverRig rig(image);
    EXPECT_EQ(rig.var(var::kPlaying), 1);
    rig.ticks(6);
    EXPECT_EQ(rig.keyOns().size(), 1u);

    image[driver::kAutoStartFlag] = 0;
    DriverRig quiet(image);
    quiet.ticks(6);
    EXPECT_TRUE(quiet.keyOns().empty());
}

TEST(Driver, HaltThenRestart) {
    Song song = songWithVoices();
    song.patterns[0].cell(0, 0) = noteCell(2, 3);
    DriverRig rig(songImage(song));
    rig.command(kFirstSong);
    rig.command(kHalt);
    EXPECT_FALSE(rig.board().cpu().iff1);
    std::size_t mark = rig.chip.writes.size();
    rig.ticks(12);  // ticks are no longer taken
    EXPECT_EQ(rig.chip.writes.size(), mark);

    rig.command(kFirstSong);  // commands still are
    EXPECT_EQ(rig.var(var::kPlaying), 1);
    rig.ticks(12);
    EXPECT_TRUE(rig.keyOns().empty());

    mark = rig.chip.writes.size();
    rig.command(kRestart);
    ASSERT_GT(rig.chip.writes.size(), mark);
    EXPECT_EQ(rig.chip.writes[mark], (RegisterWrite{0, 0, 0x27, 0x30}));
    EXPECT_TRUE(rig.board().nmiEnabled()) << "the restart lets commands in again";
    EXPECT_EQ(rig.var(var::kPlaying), 0);
    // The restart ends the interrupted handler, so ticks come again and songs play.
    rig.command(kFirstSong);
    rig.ticks(6);
    EXPECT_EQ(rig.keyOns().size(), 1u);
}

// A busy song: four tracks with a note on every row, instruments changing on every row, one
// tick a row.
Song busySong() {
    Song song = songWithVoices();
    for (int row = 0; row < kRows; ++row)
        for (int t = 0; t < kTracks; ++t)
            song.patterns[0].cell(t, row) = noteCell(static_cast<std::uint8_t>((row + t) % 12), 4,
                                                     static_cast<std::uint8_t>(1 + (row + t) % 5));
    song.patterns[0].cell(3, 0) = Cell{12, 0xFF, 0xFF, 0x0F, 1};
    return song;
}

TEST(Driver, ChipWritesLeaveTheYM2610TimeToFinish) {
    DriverRig rig(songImage(busySong()));
    rig.command(kFirstSong);
    rig.ticks(6 + 80);
    rig.command(kFirstSample);
    rig.command(kStop);
    const auto& ports = rig.chip.ports;
    ASSERT_GT(ports.size(), 3000u);
    std::uint64_t shortestAfterAddress = ~0ull, shortestAfterData = ~0ull;
    for (std::size_t i = 1; i < ports.size(); ++i) {
        const std::uint64_t gap = ports[i].t - ports[i - 1].t;
        const bool afterAddress = ports[i - 1].port % 2 == 0;
        (afterAddress ? shortestAfterAddress : shortestAfterData) =
            std::min(afterAddress ? shortestAfterAddress : shortestAfterData, gap);
        // Every address write is followed by its data write on the same bank.
        if (afterAddress) {
            ASSERT_EQ(ports[i].port, ports[i - 1].port + 1) << i;
        }
    }
    EXPECT_GE(shortestAfterAddress, 9u);
    EXPECT_GE(shortestAfterData, 42u);
    RecordProperty("shortest_gap_after_address", static_cast<int>(shortestAfterAddress));
    RecordProperty("shortest_gap_after_data", static_cast<int>(shortestAfterData));
}

TEST(Driver, AcknowledgeValues) {
    Song song;
    song.addPattern();
    DriverRig rig(songImage(song));
    auto ack = [&] { return rig.board().acknowledge(); };
    rig.command(kFirstSong);
    EXPECT_EQ(ack(), 0x81);
    rig.tick();
    EXPECT_EQ(ack(), 0x00);  // every tick answers 0
    rig.command(kStop);
    EXPECT_EQ(ack(), 0xFF);
    rig.command(kSong);
    EXPECT_EQ(ack(), 0x80);
    rig.command(kAdpcmOff);
    EXPECT_EQ(ack(), 0x7F);
    rig.command(kFirstSample);
    EXPECT_EQ(ack(), 0x00);  // sample triggers answer with the channel used
    rig.command(0x02);
    EXPECT_EQ(ack(), 0x01);
    rig.command(kFirstSong);
    rig.command(kNothing);
    EXPECT_EQ(ack(), 0x00);
    rig.command(kHalt);
    EXPECT_EQ(ack(), 0x01);
    rig.command(kRestart);  // restart: no answer
    EXPECT_EQ(ack(), 0x01);
}

}  // namespace
}  // namespace qvx
