// The whole-chip driver on the emulated board: FM notes with their frequency before the key-on,
// instruments beyond 31, drum kits on the ADPCM-A tracks, C00 on both kinds of track, stop, and
// sample commands beside a song's drums. The images come from the whole-chip compiler.
#include <gtest/gtest.h>

#include "driver/whole_chip_driver.hpp"
#include "rombuild/whole_chip_image.hpp"
#include "tests/support/driver_rig.hpp"

namespace qvx {
namespace {

using testing::DriverRig;
using testing::RegisterWrite;
namespace wc = driver::whole_chip;

constexpr std::uint8_t kKeyOn = 0x28;
constexpr std::uint8_t kFirstSong = 0x81;

// FM voice 40 and two kits: 41 with a kick on every note, 42 with a snare on D (level 20) and
// nothing elsewhere.
struct DrumSong {
    Song song;
    SampleRef kick = makeSample("kick", std::vector<std::int16_t>(1000, 3000));
    SampleRef snare = makeSample("snare", std::vector<std::int16_t>(700, -2000));

    DrumSong() {
        song.resetWholeChip();
        song.instruments[40].registers.fill(0x40);
        song.instruments[41].kind = InstrumentKind::AdpcmAKit;
        song.instruments[41].kit = singleSampleKit(kick);
        song.instruments[42].kind = InstrumentKind::AdpcmAKit;
        song.instruments[42].kit.notes[2] = {snare, 20};
    }
    Cell& cell(int track, int row) { return song.patterns[0].cell(track, row); }

    // The image, and where its samples went.
    std::vector<std::uint8_t> image(SampleRom& rom) const {
        const WholeChipBlockSource source = wholeChipSongSource(song);
        EXPECT_EQ(wholeChipBlockProblem(source), "");
        const std::vector<std::uint8_t> block = wholeChipBlock(source, rom);
        return wholeChipImage(std::span(&block, 1), adpcmAChannels(source));
    }
};

// The writes since `from`, the tick's timer acknowledges left out.
std::vector<RegisterWrite> since(const DriverRig& rig, std::size_t from) {
    std::vector<RegisterWrite> out;
    for (std::size_t i = from; i < rig.chip.writes.size(); ++i)
        if (rig.chip.writes[i].bank != 0 || rig.chip.writes[i].reg != 0x27)
            out.push_back(rig.chip.writes[i]);
    return out;
}

// The writes that key a sample on ADPCM-A channel `channel` from `place` at level value `level`.
std::vector<RegisterWrite> sampleWrites(int channel, SamplePlace place, std::uint8_t level) {
    const auto c = static_cast<std::uint8_t>(channel);
    const auto bit = static_cast<std::uint8_t>(1 << channel);
    return {
        {0, 1, static_cast<std::uint8_t>(0x10 + c), static_cast<std::uint8_t>(place.start)},
        {0, 1, static_cast<std::uint8_t>(0x18 + c), static_cast<std::uint8_t>(place.start >> 8)},
        {0, 1, static_cast<std::uint8_t>(0x20 + c), static_cast<std::uint8_t>(place.end)},
        {0, 1, static_cast<std::uint8_t>(0x28 + c), static_cast<std::uint8_t>(place.end >> 8)},
        {0, 1, static_cast<std::uint8_t>(0x08 + c), level},
        {0, 0, 0x1C, bit},
        {0, 0, 0x1C, 0},
        {0, 1, 0x00, bit}};
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
        {0, 0, kKeyOn, 0x02},  // the voice load keys off first
        {0, 0, kKeyOn, 0x02},  // then the note: off, frequency (high first), on
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
    std::size_t from = rig.chip.writes.size();
    rig.ticks(6);
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
    const std::vector<RegisterWrite> stop = {{0, 0, 0x08, 0},
                                             {0, 0, 0x09, 0},
                                             {0, 0, 0x0A, 0},
                                             {0, 0, 0x07, 0x3F},
                                             {0, 0, 0x10, 0x01},
                                             {0, 0, kKeyOn, 0x01},
                                             {0, 0, kKeyOn, 0x02},
                                             {0, 0, kKeyOn, 0x05},
                                             {0, 0, kKeyOn, 0x06},
                                             {0, 1, 0x00, 0x8D}};
    EXPECT_EQ(since(rig, from), stop);
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

// The heaviest song there is: speed 1, every track keyed every row, every FM track loading
// another voice every row. Its longest tick, from the interrupt's acceptance to the handler's
// return, stays below half of the 16 ms tick (32,000 T-states).
TEST(WholeChipDriver, TheHeaviestRowFitsHalfATick) {
    DrumSong drums;
    for (int k = 1; k <= 8; ++k)
        drums.song.instruments[k].registers.fill(static_cast<std::uint8_t>(k));
    for (int row = 0; row < kRows; ++row) {
        for (int t = 0; t < 4; ++t)
            drums.cell(t, row) = Cell{static_cast<std::uint8_t>(row % 12), 4,
                                      static_cast<std::uint8_t>(1 + (row + t) % 8), kNone, kNone};
        for (int t = 0; t < kAdpcmATracks; ++t)
            drums.cell(wholeChipTrack(TrackKind::AdpcmA, t), row) = Cell{2, 4, 42, kNone, kNone};
    }
    drums.cell(0, 0).effect = 0x0F;
    drums.cell(0, 0).parameter = 1;
    drums.cell(0, 0).note = kNoteEmpty;  // F holds its cell's note back
    SampleRom rom;
    DriverRig rig(drums.image(rom));
    rig.command(kFirstSong);
    qvxsnd::SoundBoard& board = rig.board();
    std::uint64_t worst = 0;
    for (int tick = 0; tick < 2 * kRows + 8; ++tick) {
        const std::uint64_t start = board.tstates();
        board.requestTick();
        board.step();  // the idle loop takes the interrupt at once
        ASSERT_TRUE(board.inService());
        while (board.inService())
            board.step();
        worst = std::max(worst, board.tstates() - start);
        rig.runUntil(start + testing::kTickTStates);
    }
    EXPECT_LT(worst, 32000u);
    std::printf(
        "whole-chip driver, heaviest song: longest tick %llu T-states (%.1f %% of 64,000)\n",
        static_cast<unsigned long long>(worst), 100.0 * static_cast<double>(worst) / 64000);
}

}  // namespace
}  // namespace qvx
