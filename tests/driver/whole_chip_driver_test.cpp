// The whole-chip driver on the emulated board: FM notes with their frequency before the key-on,
// instruments beyond 31, drum kits on the ADPCM-A tracks, SSG and ADPCM-B notes, C00 on every
// kind of track, stop, and sample commands beside a song's drums. The images come from the
// whole-chip compiler.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "driver/whole_chip_driver.hpp"
#include "rombuild/whole_chip_image.hpp"
#include "song/chip_pitch.hpp"
#include "tests/support/whole_chip_song.hpp"

namespace qvx {
namespace {

using testing::DriverRig;
using testing::DrumSong;
using testing::kFirstSong;
using testing::kKeyOn;
using testing::lastWrite;
using testing::RegisterWrite;
using testing::since;
using testing::ssgTrack;
namespace wc = driver::whole_chip;

// The writes that key a sample on ADPCM-A channel `channel` from `place` at level value `level`.
std::vector<RegisterWrite> sampleWrites(int channel, SamplePlace place, std::uint8_t level) {
    const auto c = static_cast<std::uint8_t>(channel);
    std::vector<RegisterWrite> out = {
        {0, 1, static_cast<std::uint8_t>(0x10 + c), static_cast<std::uint8_t>(place.start)},
        {0, 1, static_cast<std::uint8_t>(0x18 + c), static_cast<std::uint8_t>(place.start >> 8)},
        {0, 1, static_cast<std::uint8_t>(0x20 + c), static_cast<std::uint8_t>(place.end)},
        {0, 1, static_cast<std::uint8_t>(0x28 + c), static_cast<std::uint8_t>(place.end >> 8)},
        {0, 1, static_cast<std::uint8_t>(0x08 + c), level}};
    const auto bit = static_cast<std::uint8_t>(1 << channel);
    out.insert(out.end(), {{0, 0, 0x1C, bit}, {0, 0, 0x1C, 0}, {0, 1, 0x00, bit}});
    return out;
}

TEST(WholeChipDriver, FmNotesTakeTheirFrequencyBeforeTheKeyOn) {
    DrumSong drums;
    drums.cell(1, 0) = Cell{4, 2, 40, kNone, kNone};  // E-2 on FM 2 with voice 40
    SampleRom rom;
    DriverRig rig(drums.image(rom));
    rig.command(kFirstSong);
    const std::size_t from = rig.chip.writes.size();
    rig.ticks(6);
    std::vector<RegisterWrite> notes;
    for (const RegisterWrite& w : since(rig, from))
        if (w.reg == kKeyOn || (w.reg >= 0xA0 && w.reg <= 0xA6)) notes.push_back(w);
    const std::vector<RegisterWrite> expected = {
        {0, 0, kKeyOn, 0x02},  // the voice load keys off, then frequency (high first), key on
        {0, 0, 0xA6, 0x13},
        {0, 0, 0xA2, 0x09},
        {0, 0, kKeyOn, 0xF2}};
    EXPECT_EQ(notes, expected);
    // Voice 40 (beyond a classic song's 31) went to slot 2 of the first bank.
    const auto voice = rig.writesTo(0, 0x32, from);
    ASSERT_EQ(voice.size(), 1u);
    EXPECT_EQ(voice[0].value, 0x40);
}

TEST(WholeChipDriver, KitNotesKeyTheirSamplesAndC00KeysTheChannelOff) {
    DrumSong drums;
    const auto drum = [](int channel) { return wholeChipTrack(TrackKind::AdpcmA, channel); };
    drums.cell(drum(0), 0) = Cell{7, 3, 41, kNone, kNone};  // any note of kit 41: the kick
    drums.cell(drum(2), 0) = Cell{2, 5, 42, kNone, kNone};  // D on kit 42: the snare at 20
    drums.cell(drum(3), 0) = Cell{0, 5, 42, kNone, kNone};  // C on kit 42: nothing there
    drums.cell(drum(0), 1) = Cell{kNoteEmpty, kNone, kNone, 0x0C, 0};
    SampleRom rom;
    const std::vector<std::uint8_t> image = drums.image(rom);
    EXPECT_EQ(image[wc::kSongAdpcmaChannels], 0x0D);  // channels 0, 2 and 3 have notes
    DriverRig rig(image);
    rig.command(kFirstSong);
    rig.tick();  // prepares the song
    std::size_t from = rig.chip.writes.size();
    rig.ticks(5);
    std::vector<RegisterWrite> expected = sampleWrites(0, *rom.placeOf(drums.kick), 0xDF);
    const auto snare = sampleWrites(2, *rom.placeOf(drums.snare), 0xC0 | 20);
    expected.insert(expected.end(), snare.begin(), snare.end());
    EXPECT_EQ(since(rig, from), expected);
    // The two samples lie one after the other, each from a 256-byte block.
    EXPECT_EQ(*rom.placeOf(drums.kick), (SamplePlace{0, 1}));
    EXPECT_EQ(*rom.placeOf(drums.snare), (SamplePlace{2, 3}));

    from = rig.chip.writes.size();
    rig.ticks(6);
    EXPECT_EQ(since(rig, from), (std::vector<RegisterWrite>{{0, 1, 0x00, 0x81}}));

    // Stop silences the SSG, stops the ADPCM-B, keys the FM channels and the song's ADPCM-A
    // channels off.
    from = rig.chip.writes.size();
    rig.command(0xFF);
    const std::vector<RegisterWrite> stop = {
        {0, 0, 0x08, 0},      {0, 0, 0x09, 0},      {0, 0, 0x0A, 0},      {0, 0, 0x07, 0x3F},
        {0, 0, 0x11, 0xC0},   {0, 0, 0x10, 0x01},   {0, 0, kKeyOn, 0x01}, {0, 0, kKeyOn, 0x02},
        {0, 0, kKeyOn, 0x05}, {0, 0, kKeyOn, 0x06}, {0, 1, 0x00, 0x8D}};
    EXPECT_EQ(since(rig, from), stop);
}

// Each SSG note takes the nearest tone period to its pitch, in every octave; a voice whose
// envelope follows the note buzzes at it, on the sawtooth and triangle shapes alike.
TEST(WholeChipDriver, SsgNotesTakeTheirNearestPeriods) {
    DrumSong song;
    const std::uint8_t shapes[] = {0x08, 0x0E};  // voice 43 a sawtooth, 44 a triangle
    for (const int k : {43, 44}) {
        SsgVoice& buzz = song.song.instruments[k].ssg;
        song.song.instruments[k].kind = InstrumentKind::SsgVoice;
        buzz.envelope = buzz.envelopeFollowsNote = true;
        buzz.envelopeShape = shapes[k - 43];
    }
    // C and B of octaves 1-7, a row each.
    const auto noteOf = [](int row) { return std::pair{row % 2 ? 11 : 0, 1 + row / 2}; };
    for (int row = 0; row < 14; ++row) {
        const auto [note, octave] = noteOf(row);
        song.cell(ssgTrack(0), row) = Cell{
            static_cast<std::uint8_t>(note == 0 ? kNoteC : note), static_cast<std::uint8_t>(octave),
            static_cast<std::uint8_t>(43 + octave % 2), kNone, kNone};
    }
    SampleRom rom;
    DriverRig rig(song.image(rom));
    rig.command(kFirstSong);
    rig.ticks(5);
    for (int row = 0; row < 14; ++row) {
        const std::size_t from = rig.chip.writes.size();
        rig.ticks(6);
        const auto [note, octave] = noteOf(row);
        const int period = *lastWrite(rig, 0x00, from) | *lastWrite(rig, 0x01, from) << 8;
        EXPECT_EQ(period, ssgTonePeriod(semitone(note, octave))) << row;
        const int envelope = *lastWrite(rig, 0x0B, from) | *lastWrite(rig, 0x0C, from) << 8;
        EXPECT_EQ(envelope, ssgEnvelopePeriod(semitone(note, octave), shapes[octave % 2])) << row;
        EXPECT_EQ(lastWrite(rig, 0x0D, from), shapes[octave % 2]) << row;   // restarts it
        EXPECT_EQ(lastWrite(rig, 0x08, from).value_or(0x10), 0x10) << row;  // the envelope's level
        EXPECT_EQ(lastWrite(rig, 0x07, from), 0x3E) << row;                 // tone A alone
    }
    // The documented ends: C-1 and B-7.
    EXPECT_EQ(ssgTonePeriod(semitone(0, 1)), 3822);
    EXPECT_EQ(ssgTonePeriod(semitone(11, 7)), 32);
}

// A volume sequence steps once a tick from the note on, goes back to its loop step, and at C00
// goes on from its release step; each tick's level is the model's.
TEST(WholeChipDriver, SsgVolumeSequencesStepEachTickLoopAndRelease) {
    DrumSong song;
    Instrument& lead = song.song.instruments[43];
    lead.kind = InstrumentKind::SsgVoice;
    lead.ssg.volume = 12;
    lead.ssg.sequence = {15, 11, 8, 6, 9, 12, 5, 2, 0};
    lead.ssg.loopStep = 3;
    lead.ssg.releaseStep = 6;
    song.cell(ssgTrack(1), 0) = Cell{9, 3, 43, kNone, kNone};
    song.cell(ssgTrack(1), 3) = Cell{kNoteEmpty, kNone, kNone, 0x0C, 0};
    SampleRom rom;
    DriverRig rig(song.image(rom));
    rig.command(kFirstSong);
    rig.ticks(5);
    SsgSequencer model(lead.ssg);
    int level = 0;
    for (int tick = 0; tick < 30; ++tick) {
        const std::size_t from = rig.chip.writes.size();
        rig.ticks(1);
        level = lastWrite(rig, 0x09, from).value_or(level);
        const std::uint8_t wanted = tick == 0    ? model.start()
                                    : tick == 18 ? (model.tick(), model.release())
                                                 : model.tick();
        EXPECT_EQ(level, wanted) << "tick " << tick;
    }
    EXPECT_EQ(level, 0);  // the release ran to its last step
}

// The SSG has one noise generator for its three channels: notes on two tracks in one row set the
// noise period in track order, so the later track's wins, as the chip's last write does.
TEST(WholeChipDriver, TheLastSsgNoteSetsTheSharedNoise) {
    DrumSong song;
    for (const int k : {43, 44}) {
        song.song.instruments[k].kind = InstrumentKind::SsgVoice;
        song.song.instruments[k].ssg.mix = SsgMix::Noise;
        song.song.instruments[k].ssg.noisePeriod = static_cast<std::uint8_t>(k - 38);
    }
    song.cell(ssgTrack(2), 0) = Cell{0, 4, 43, kNone, kNone};  // noise 5 on SSG C ...
    song.cell(ssgTrack(0), 0) = Cell{0, 4, 44, kNone, kNone};  // ... noise 6 on SSG A
    song.cell(ssgTrack(2), 1) = Cell{0, 4, 43, kNone, kNone};
    SampleRom rom;
    DriverRig rig(song.image(rom));
    rig.command(kFirstSong);
    std::size_t from = rig.chip.writes.size();
    rig.ticks(6);
    const auto values = [&](std::uint8_t reg) {
        std::vector<int> out;
        for (const RegisterWrite& w : rig.writesTo(0, reg, from))
            out.push_back(w.value);
        return out;
    };
    EXPECT_EQ(values(0x06), (std::vector<int>{6, 5}));
    EXPECT_EQ(values(0x07).back(), 0x3F & ~0x08 & ~0x20);  // noise on A and C, no tone
    from = rig.chip.writes.size();
    rig.ticks(6);
    EXPECT_EQ(values(0x06), std::vector<int>{5});
}

// An ADPCM-B note: its sample's place, the delta-N of the note's rate, its level, the end flag
// cleared, then the start with repeat for a looped sample; C00 stops it.
TEST(WholeChipDriver, AdpcmBNotesPlayAtTheirRate) {
    DrumSong song;
    Instrument& strings = song.song.instruments[45];
    strings.kind = InstrumentKind::AdpcmBSample;
    strings.pitched.sample = makeSample("strings", std::vector<std::int16_t>(3000, 1000));
    strings.pitched.rate = 18000;
    strings.pitched.baseSemitone = semitone(9, 3);
    strings.pitched.level = 200;
    strings.pitched.loop = true;
    const int track = wholeChipTrack(TrackKind::AdpcmB, 0);
    const int notes[][2] = {{9, 3}, {0, 1}, {4, 4}};
    for (int row = 0; row < 3; ++row)
        song.cell(track, row) =
            Cell{static_cast<std::uint8_t>(notes[row][0] == 0 ? kNoteC : notes[row][0]),
                 static_cast<std::uint8_t>(notes[row][1]), 45, kNone, kNone};
    song.cell(track, 3) = Cell{kNoteEmpty, kNone, kNone, 0x0C, 0};
    SampleRom rom;
    DriverRig rig(song.image(rom));
    const SamplePlace place = *rom.placeOf(strings.pitched.sample, SampleCoding::AdpcmBLoop);
    rig.command(kFirstSong);
    rig.ticks(5);
    for (const auto& [note, octave] : notes) {
        const std::size_t from = rig.chip.writes.size();
        rig.ticks(6);
        const int deltaN = pitchedDeltaN(strings.pitched, semitone(note, octave));
        const auto d = [](int v) { return static_cast<std::uint8_t>(v); };
        const std::vector<RegisterWrite> expected = {{0, 0, 0x10, 0x01},
                                                     {0, 0, 0x12, d(place.start)},
                                                     {0, 0, 0x13, d(place.start >> 8)},
                                                     {0, 0, 0x14, d(place.end)},
                                                     {0, 0, 0x15, d(place.end >> 8)},
                                                     {0, 0, 0x19, d(deltaN)},
                                                     {0, 0, 0x1A, d(deltaN >> 8)},
                                                     {0, 0, 0x1B, 200},
                                                     {0, 0, 0x1C, 0x80},
                                                     {0, 0, 0x1C, 0},
                                                     {0, 0, 0x10, 0x90}};
        EXPECT_EQ(since(rig, from), expected);
        // Within half a cent of the pitch the note asks (delta-N's steps at C-1's rate).
        const double wanted =
            18000 * std::pow(2.0, (semitone(note, octave) - semitone(9, 3)) / 12.0);
        EXPECT_NEAR(centsBetween(adpcmBRate(deltaN), wanted), 0, 0.5);
    }
    const std::size_t from = rig.chip.writes.size();
    rig.ticks(6);
    EXPECT_EQ(since(rig, from), (std::vector<RegisterWrite>{{0, 0, 0x10, 0x01}}));
}

// Sample commands go round the channels no song uses; with all six in use, round all six, and
// the song's next note on a channel takes it back.
TEST(WholeChipDriver, SampleCommandsKeepOffTheSongsChannels) {
    struct Case {
        std::vector<int> drumTracks;       // the ADPCM-A tracks the song plays
        std::vector<int> commandChannels;  // where seven commands in a row go
    };
    const Case cases[] = {
        {{0, 1, 4}, {2, 3, 5, 2, 3, 5, 2}},
        {{}, {0, 1, 2, 3, 4, 5, 0}},
        {{0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5, 0}},
    };
    for (const Case& c : cases) {
        DrumSong drums;
        for (const int t : c.drumTracks)
            drums.cell(wholeChipTrack(TrackKind::AdpcmA, t), 8) = Cell{0, 3, 41, kNone, kNone};
        SampleRom rom;
        std::vector<std::uint8_t> image = drums.image(rom);
        image[wc::kSampleTable + 4 * 0x04 + 2] = 0x33;  // command 0x04: blocks 0 to 0x33
        DriverRig rig(image);
        rig.command(kFirstSong);
        for (std::size_t n = 0; n < c.commandChannels.size(); ++n) {
            const std::size_t from = rig.chip.writes.size();
            rig.command(0x04);
            EXPECT_EQ(since(rig, from), sampleWrites(c.commandChannels[n], {0, 0x33}, 0xDF))
                << c.drumTracks.size() << " drum tracks, command " << n;
        }
        // The song's notes at row 8 still key their own channels.
        const std::size_t from = rig.chip.writes.size();
        rig.ticks(6 * 9);
        std::size_t keyed = 0;
        for (const RegisterWrite& w : since(rig, from))
            keyed += w.bank == 1 && w.reg == 0x00 && w.value < 0x40;
        EXPECT_EQ(keyed, c.drumTracks.size());
    }
}

// The longest tick of the song's first two passes through its pattern, from the interrupt's
// acceptance to the handler's return.
std::uint64_t longestTick(const DrumSong& drums) {
    SampleRom rom;
    DriverRig rig(drums.image(rom));
    rig.command(kFirstSong);
    qvxsnd::SoundBoard& board = rig.board();
    std::uint64_t worst = 0;
    for (int tick = 0; tick < 2 * kRows * 2 + 8; ++tick) {
        const std::uint64_t start = board.tstates();
        board.requestTick();
        board.step();  // the idle loop takes the interrupt at once
        EXPECT_TRUE(board.inService());
        while (board.inService())
            board.step();
        worst = std::max(worst, board.tstates() - start);
        rig.runUntil(start + testing::kTickTStates);
    }
    return worst;
}

// The heaviest songs there are: all fourteen tracks keyed every row, every FM track loading
// another voice every row, the SSG notes changing mixer and noise, with envelope and a volume
// sequence; once at speed 1, once at speed 2 with every track running vibrato, a volume slide
// or an arpeggio on every row. Their longest tick stays below three quarters of the 16 ms tick
// (48,000 T-states).
TEST(WholeChipDriver, TheHeaviestRowFitsThreeQuartersOfATick) {
    DrumSong drums;
    for (int k = 1; k <= 8; ++k)
        drums.song.instruments[k].registers.fill(static_cast<std::uint8_t>(k));
    // Two SSG voices that change the mixer and the noise at every note.
    for (const auto& [k, mix] :
         {std::pair{43, SsgMix::ToneAndNoise}, std::pair{45, SsgMix::Noise}}) {
        drums.song.instruments[k].kind = InstrumentKind::SsgVoice;
        drums.song.instruments[k].ssg = SsgVoice{
            mix, static_cast<std::uint8_t>(k), 15, true, 0x0E, 0, true, {15, 3, 9}, 0, kNoStep};
    }
    Instrument& pitched = drums.song.instruments[44];
    pitched.kind = InstrumentKind::AdpcmBSample;
    pitched.pitched.sample = drums.snare;
    for (int row = 0; row < kRows; ++row) {
        for (int t = 0; t < 4; ++t)
            drums.cell(t, row) = Cell{static_cast<std::uint8_t>(row % 12), 4,
                                      static_cast<std::uint8_t>(1 + (row + t) % 8), kNone, kNone};
        for (int t = 0; t < kAdpcmATracks; ++t)
            drums.cell(wholeChipTrack(TrackKind::AdpcmA, t), row) = Cell{2, 4, 42, kNone, kNone};
        for (int t = 0; t < kSsgTracks; ++t)
            drums.cell(ssgTrack(t), row) =
                Cell{5, 3, static_cast<std::uint8_t>(43 + (row + t) % 2 * 2), kNone, kNone};
        drums.cell(wholeChipTrack(TrackKind::AdpcmB, 0), row) = Cell{5, 3, 44, kNone, kNone};
    }
    const auto speed = [&](int ticks) {
        drums.cell(0, 0).effect = 0x0F;
        drums.cell(0, 0).parameter = static_cast<std::uint8_t>(ticks);
    };
    speed(1);
    const std::uint64_t rows = longestTick(drums);
    const std::uint8_t effects[][2] = {{0x04, 0x48}, {0x0A, 0x01}, {0x00, 0x47}};
    for (int row = 0; row < kRows; ++row)
        for (int t = 0; t < kMaxTracks; ++t) {
            drums.cell(t, row).effect = effects[(row + t) % 3][0];
            drums.cell(t, row).parameter = effects[(row + t) % 3][1];
        }
    speed(2);
    const std::uint64_t withEffects = longestTick(drums);
    EXPECT_LT(rows, 48000u);
    EXPECT_LT(withEffects, 48000u);
    std::printf(
        "whole-chip driver, heaviest songs: longest tick %llu T-states (%.1f %% of 64,000), "
        "%llu with effects on every track\n",
        static_cast<unsigned long long>(rows), 100.0 * static_cast<double>(rows) / 64000,
        static_cast<unsigned long long>(withEffects));
}

}  // namespace
}  // namespace qvx
