// The whole-chip compiler: what it refuses, how rows name their cells, and where samples go in
// the V ROM. The driver's side is tests/driver/whole_chip_driver_test.cpp.
#include <gtest/gtest.h>

#include <cmath>

#include "driver/whole_chip_driver.hpp"
#include "examples/demo_song.hpp"
#include "examples/drum_song.hpp"
#include "rombuild/exports.hpp"
#include "rombuild/whole_chip_image.hpp"
#include "soundlib/ym2610/adpcm_b.hpp"
#include "soundlib/ym2610/adpcm_b_decoder.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

namespace wc = driver::whole_chip;

Song drumSong() {
    Song song;
    song.resetWholeChip();
    song.renameInstrument(2, "Bass");
    song.renameInstrument(3, "Kit");
    song.instruments[3].kind = InstrumentKind::AdpcmAKit;
    song.instruments[3].kit =
        singleSampleKit(makeSample("kick", std::vector<std::int16_t>(600, 1000)));
    return song;
}

TEST(WholeChipImage, RefusesWhatTheDriverCannotPlay) {
    struct Case {
        int track;
        Cell cell;
        std::string why;
    };
    const int firstDrum = wholeChipTrack(TrackKind::AdpcmA, 0);
    const Case cases[] = {
        {firstDrum, Cell{0, 3, 2, kNone, kNone},
         "Pattern 00, ADPCM-A 1, row 05 plays 02 Bass, an FM voice: drum tracks play drum kits"},
        {0, Cell{0, 3, 3, kNone, kNone},
         "Pattern 00, FM 1, row 05 plays 03 Kit, a drum kit: FM tracks play FM voices"},
        {firstDrum + 5, Cell{kNoteEmpty, kNone, 64, kNone, kNone},
         "Pattern 00, ADPCM-A 6, row 05 uses instrument 64; instruments are numbered 1 to 63"},
        {firstDrum, Cell{kNoteEmpty, kNone, 2, 0x0C, 0}, ""},  // no note: plays no instrument
        {firstDrum, Cell{5, 3, 3, kNone, kNone}, ""},
    };
    for (const Case& c : cases) {
        Song song = drumSong();
        song.patterns[0].cell(c.track, 5) = c.cell;
        EXPECT_EQ(wholeChipBlockProblem(wholeChipSongSource(song)), c.why);
    }
    Song song = drumSong();
    song.order = {0, 3};
    EXPECT_EQ(wholeChipBlockProblem(wholeChipSongSource(song)),
              "Order entry 01 - 03 names pattern 03, which does not exist");
    song.order.clear();
    EXPECT_EQ(wholeChipBlockProblem(wholeChipSongSource(song)),
              "The order list is empty: add an entry to play the song");
}

TEST(WholeChipImage, RowsNameOnlyTheirCellsAndMutedNotesGo) {
    Song song = drumSong();
    song.patterns[0].cell(0, 0) = Cell{4, 3, 2, kNone, kNone};
    const int lastDrum = wholeChipTrack(TrackKind::AdpcmA, kAdpcmATracks - 1);
    song.patterns[0].cell(lastDrum, 0) = Cell{0, 3, 3, kNone, kNone};
    song.patterns[0].cell(1, 2) = Cell{kNoteEmpty, kNone, kNone, 0x0F, 3};
    song.patterns[0].cell(2, 3) = Cell{kNoteEmpty, kNone, 5, kNone, kNone};  // does nothing
    song.toggleTrack(lastDrum);
    SampleRom rom;
    const std::vector<std::uint8_t> block = wholeChipBlock(wholeChipSongSource(song), rom);
    const std::size_t instruments = 5;  // up to the highest a cell names
    const std::size_t patterns = wc::kSongInstruments + instruments * driver::kInstrumentBytes +
                                 wc::kSongSampleBytes + driver::kPatternsOffset + 2;
    ASSERT_EQ(std::string(block.begin(), block.begin() + 4), "QVX1");
    EXPECT_EQ(block[wc::kSongInstrumentCount], instruments);
    EXPECT_EQ(block[wc::kSongSampleCount], 1);
    EXPECT_EQ(block[wc::kSongPatternCount], 1);
    EXPECT_EQ(block[patterns - 2] | block[patterns - 1] << 8, patterns);
    // Row 0: FM 1's note (ADPCM-A 6's is muted, and a cell that does nothing is left out); row 1
    // empty; row 2: FM 2's speed; row 3: an instrument without a note, which does nothing.
    const std::vector<std::uint8_t> rows = {0x01, 0x00, 0x34, 2,    0xFF, 0xFF, 0x00, 0x00, 0x02,
                                            0x00, 0x00, 0xFF, 0x0F, 3,    0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::vector<std::uint8_t>(
                  block.begin() + static_cast<std::ptrdiff_t>(patterns),
                  block.begin() + static_cast<std::ptrdiff_t>(patterns + rows.size())),
              rows);
    EXPECT_EQ(block.size(), patterns + 6 + 2 + 6 + 2 + 60 * 2);
}

TEST(WholeChipImage, SamplesKeepToBlocksAndNeverCrossAMegabyte) {
    const SampleRef small = makeSample("small", std::vector<std::int16_t>(1000, 100));
    const SampleRef big =
        makeSample("big", std::vector<std::int16_t>(600'000, 100));  // 300,000 bytes
    SampleRom rom(std::vector<std::uint8_t>(900'000, 0x11));  // the ROM Maker's samples first
    ASSERT_TRUE(rom.add(small));
    ASSERT_TRUE(rom.add(big));
    ASSERT_TRUE(rom.add(small));  // stored once
    // 900,000 bytes round up to block 3516; the small sample (500 bytes) takes two blocks; the
    // big one would cross 1 MB, so it starts there.
    EXPECT_EQ(*rom.placeOf(small), (SamplePlace{3516, 3517}));
    EXPECT_EQ(*rom.placeOf(big), (SamplePlace{4096, 4096 + 300'000 / 256}));
    EXPECT_EQ(rom.bytes().size(), (4096 + 300'000 / 256 + 1) * 256u);
    EXPECT_EQ(rom.bytes()[3518 * 256], 0x80);  // silence up to the boundary

    // ADPCM-B samples go on from there, to the end of their last block (their counter crosses
    // megabytes); the same sound as a drum, once and looped is three different codings.
    ASSERT_TRUE(rom.add(small, SampleCoding::AdpcmB));
    ASSERT_TRUE(rom.add(small, SampleCoding::AdpcmBLoop));
    const std::uint16_t next = 4096 + 300'000 / 256 + 1;
    EXPECT_EQ(*rom.placeOf(small, SampleCoding::AdpcmB), (SamplePlace{next, next + 1}));
    EXPECT_EQ(*rom.placeOf(small, SampleCoding::AdpcmBLoop), (SamplePlace{next + 2, next + 3}));
    EXPECT_EQ(*rom.placeOf(small), (SamplePlace{3516, 3517}));
}

// A looped ADPCM-B sample is stored with its padding: decoded as the chip decodes it, it is the
// sample and then its start again, as the editor shows the loop, and the chip repeats just that;
// a sample played once ends in silence.
TEST(WholeChipImage, PitchedSamplesAreStoredAsTheLoopIsShown) {
    std::vector<std::int16_t> pcm(700);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * double(i) / 50));
    const Sample tone{"tone", pcm};
    for (const bool loop : {false, true}) {
        const std::vector<std::uint8_t> bytes = encodePitchedSample(tone, loop);
        ASSERT_EQ(bytes.size(), 512u);  // 1024 frames, two blocks
        qvxsnd::adpcmb::Decoder decoder;
        std::vector<int> decoded;
        for (const std::uint8_t byte : bytes)
            for (const int shift : {4, 0})
                decoded.push_back(decoder.decode(static_cast<std::uint8_t>(byte >> shift)));
        const std::vector<std::int16_t> shown =
            loop ? loopFrames(pcm) : std::vector<std::int16_t>(1024, 0);
        // Past the first few codes, where the decoder's step grows to the sound's; a loop's
        // last code is 0, so that a repeat starts at the step a key-on does.
        if (loop) {
            EXPECT_EQ(bytes.back() & 0x0F, 0);
        }
        double worst = 0;
        for (std::size_t i = 16; i + (loop ? 1 : 0) < decoded.size(); ++i) {
            const int wanted = i < pcm.size() ? pcm[i] : shown[i];
            worst = std::max(worst, std::abs(double(decoded[i] - wanted)));
        }
        EXPECT_LT(worst, 800) << (loop ? "looped" : "once");
    }
    // On the chip, repeating, it plays those 1,024 frames over and over: the sample, then the
    // padding that brings back its start. A code every two chip samples (delta-N 32768).
    const std::vector<std::uint8_t> looped = encodePitchedSample(tone, true);
    qvxsnd::AdpcmB chip(144 * 44100, 44100);
    chip.setRom(looped);
    for (const auto& [address, value] : {std::pair{0x13, 0},
                                         {0x14, 1},
                                         {0x15, 0},
                                         {0x19, 0},
                                         {0x1A, 0x80},
                                         {0x1B, 255},
                                         {0x11, 0xC0},
                                         {0x10, 0x90}})
        chip.writeRegister(static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(value));
    std::vector<std::int32_t> mix(2 * 3 * 2048);
    std::vector<std::int16_t> out(3 * 2048);
    chip.render(mix.data(), out.size(), out.data());
    double worst = 0, padding = 0;
    for (std::size_t i = 32; i < 2 * 2048; ++i)
        worst = std::max(worst, std::abs(double(out[i + 2048] - out[i])));
    // The padding against the start, to the sample before the restart (where the chip, as MAME's
    // model, starts the interpolation again from 0).
    for (std::size_t i = 32; i + 1 < 2 * (1024 - pcm.size()); ++i)
        padding = std::max(padding, std::abs(double(out[2 * pcm.size() + i] - out[i])));
    EXPECT_LE(worst, 8);  // the restart's last code 0 sets the wave 15 up (7.5 at this level)
    EXPECT_LT(padding, 800 * 255 / 512.0);
}

// The test ROMs: the Neo Geo's M1 gets its V1 beside it; the Mega Drive's plays the FM tracks, as
// the classic song they came from, and says what it left out.
TEST(WholeChipImage, TestRomsTakeWholeChipSongs) {
    testing::TempDir dir;
    auto buffer = std::make_unique<ImageBuffer>();
    const Song drums = examples::makeDrumSong();
    ASSERT_TRUE(exportNeoGeoTestRom(drums, *buffer, dir / "202-m1.bin"));
    const std::vector<std::uint8_t> v1 = testing::readBytes(dir / "202-v1.bin");
    EXPECT_EQ(v1, buildSongImage(drums, *buffer).sampleRom);
    EXPECT_EQ(testing::readBytes(dir / "202-m1.bin")[driver::kAutoStartFlag], 1);
    EXPECT_EQ(neoGeoTestV1Path("/a/song.bin"), std::filesystem::path("/a/song-v1.bin"));
    EXPECT_EQ(neoGeoTestV1Path("GAME-M1.ROM"), std::filesystem::path("GAME-V1.ROM"));

    Song demo = examples::makeDemoSong();
    demo.order = drums.order;
    std::vector<std::uint8_t> fromDrums, fromDemo;
    ASSERT_TRUE(buildMegaDriveTestRom(drums, *buffer, fromDrums));
    ASSERT_TRUE(buildMegaDriveTestRom(demo, *buffer, fromDemo));
    EXPECT_EQ(fromDrums, fromDemo);
    EXPECT_EQ(megaDriveLeftOut(demo), "");
    EXPECT_EQ(megaDriveLeftOut(drums),
              "The Mega Drive has no ADPCM-A: its test ROM plays the 4 FM "
              "tracks and leaves out the 10 others");
    Song wide = drums;
    wide.patterns[0].cell(2, 3) = Cell{0, 4, 40, kNone, kNone};
    EXPECT_EQ(megaDriveTestRomProblem(wide),
              "The Mega Drive test ROM takes instruments 1 to 31: "
              "pattern 00, FM 3, row 03 uses instrument 40");
}

}  // namespace
}  // namespace qvx
