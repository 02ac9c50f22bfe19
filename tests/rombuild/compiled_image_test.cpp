#include <gtest/gtest.h>

#include "driver/sound_driver.hpp"
#include "rombuild/compiled_image.hpp"
#include "rombuild/exports.hpp"
#include "rombuild/playback.hpp"
#include "tests/support/driver_rig.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

using testing::readBytes;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBlock = driver::kFirstSongBlock;
constexpr std::size_t kInstrumentsAt = kBlock + driver::kSongInstruments;
constexpr std::size_t kOrderAt1 = kInstrumentsAt + 32;  // order block of a one-instrument image

Bytes slice(const ImageBuffer& b, std::size_t from, std::size_t to) {
    return Bytes(b.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 b.bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

TEST(CompiledImage, NewSongLayout) {
    Song song;
    auto buffer = std::make_unique<ImageBuffer>();
    const ImageBuild image = buildSongImage(song, *buffer);
    ASSERT_TRUE(image) << image.message;
    EXPECT_EQ(image.length, 2969u);
    const auto driverBytes = driver::image();
    EXPECT_EQ(slice(*buffer, 0, driver::kDriverSize),
              Bytes(driverBytes.begin(), driverBytes.end()));
    EXPECT_EQ(slice(*buffer, driver::kSampleTable, kBlock),
              Bytes(512, 0));  // sample table untouched
    EXPECT_EQ(slice(*buffer, kBlock, kInstrumentsAt), (Bytes{'Q', 'V', 'X', '0', 0, 0, 1}));
    EXPECT_EQ(slice(*buffer, kInstrumentsAt, kOrderAt1), Bytes(32, 0));  // instrument 1, all zero
    EXPECT_EQ(buffer->bytes[kOrderAt1], 1);
    EXPECT_EQ(slice(*buffer, kOrderAt1 + 1, kOrderAt1 + 129), Bytes(128, 0));
    EXPECT_EQ(buffer->bytes[kOrderAt1 + 129], 0x00);  // an empty cell: no note ...
    EXPECT_EQ(buffer->bytes[kOrderAt1 + 130], 0xFF);  // ... and no instrument
}

TEST(CompiledImage, InstrumentTableCoversTheHighestNumberUsed) {
    Song song;
    for (int k = 1; k <= 5; ++k)
        song.instruments[k].registers.fill(static_cast<std::uint8_t>(k));
    song.patterns[0].cell(2, 9) = Cell{4, 4, 5, 0, 0};
    auto buffer = std::make_unique<ImageBuffer>();
    const ImageBuild image = buildSongImage(song, *buffer);
    ASSERT_TRUE(image);
    EXPECT_EQ(buffer->bytes[kBlock + driver::kSongInstrumentCount], 5);
    EXPECT_EQ(image.length, 2969u + 4 * 32);
    for (int k = 1; k <= 5; ++k) {
        const std::size_t entry = kInstrumentsAt + 32 * (k - 1);
        EXPECT_EQ(slice(*buffer, entry, entry + 25), Bytes(25, static_cast<std::uint8_t>(k)));
        EXPECT_EQ(slice(*buffer, entry + 25, entry + 32), Bytes(7, 0));
    }
}

TEST(CompiledImage, MutedTrackLosesOnlyItsNotesInBothBuilds) {
    Song song;
    song.addPattern();
    song.patterns[1].cell(1, 3) = Cell{0, 4, 2, 15, 6};
    song.order = {1, 0};
    song.toggleTrack(1);
    auto buffer = std::make_unique<ImageBuffer>();

    ASSERT_TRUE(buildSongImage(song, *buffer));
    const std::size_t cellInSong = kInstrumentsAt + 64 + 129 + 1024 + (3 * 4 + 1) * 4;
    EXPECT_EQ(slice(*buffer, cellInSong, cellInSong + 4), (Bytes{0x40, 0x02, 0x0F, 0x06}));

    ASSERT_TRUE(buildPatternImage(song, 1, *buffer));
    const std::size_t cellAlone = kInstrumentsAt + 64 + 129 + (3 * 4 + 1) * 4;
    EXPECT_EQ(slice(*buffer, cellAlone, cellAlone + 4), (Bytes{0x40, 0x02, 0x0F, 0x06}));

    song.toggleTrack(1);
    ASSERT_TRUE(buildSongImage(song, *buffer));
    EXPECT_EQ(buffer->bytes[cellInSong], 0x3C);
}

TEST(CompiledImage, PatternImageHoldsOnlyThatPattern) {
    Song song;
    for (int i = 0; i < 8; ++i)
        song.addPattern();
    song.patterns[7].cell(0, 0) = Cell{9, 4, 1, 0xFF, 0xFF};
    song.patterns[0].cell(0, 0) = Cell{2, 2, 1, 0xFF, 0xFF};
    song.order = {0, 3, 7};
    auto buffer = std::make_unique<ImageBuffer>();
    const ImageBuild image = buildPatternImage(song, 7, *buffer);
    ASSERT_TRUE(image);
    EXPECT_EQ(image.length, 2969u);
    EXPECT_EQ(buffer->bytes[kOrderAt1], 1);
    EXPECT_EQ(slice(*buffer, kOrderAt1 + 1, kOrderAt1 + 129), Bytes(128, 0));
    EXPECT_EQ(buffer->bytes[kOrderAt1 + 129], 0x49);
}

TEST(CompiledImage, FullOrderListLeavesNoPadding) {
    Song song;
    song.addPattern();
    song.order.assign(128, 1);
    auto buffer = std::make_unique<ImageBuffer>();
    buffer->bytes.fill(0xEE);  // what earlier builds left behind
    const ImageBuild image = buildSongImage(song, *buffer);
    ASSERT_TRUE(image);
    EXPECT_EQ(buffer->bytes[kOrderAt1], 128);
    EXPECT_EQ(slice(*buffer, kOrderAt1 + 1, kOrderAt1 + 129), Bytes(128, 1));
    EXPECT_EQ(image.length, kOrderAt1 + 129 + 2048);
    EXPECT_EQ(buffer->bytes[image.length], 0xEE);  // beyond the image nothing is touched
}

TEST(CompiledImage, SongsTheDriverCannotPlayAreRefused) {
    auto buffer = std::make_unique<ImageBuffer>();
    Song song;
    song.order.clear();
    EXPECT_EQ(buildSongImage(song, *buffer).message,
              "The order list is empty: add an entry to play the song");

    song.order.assign(129, 0);
    EXPECT_EQ(buildSongImage(song, *buffer).message,
              "The order list has 129 entries; the sound driver plays at most 128");

    song.order = {0, 3};
    EXPECT_EQ(buildSongImage(song, *buffer).message,
              "Order entry 01 - 03 names pattern 03, which does not exist");

    song.order = {0};
    song.patterns[0].cell(2, 17) = Cell{0, 3, 40, 0xFF, 0xFF};
    EXPECT_EQ(buildSongImage(song, *buffer).message,
              "Pattern 00, track 3, row 17 uses instrument 40; instruments are numbered 1 to 31");
    song.patterns[0].cell(2, 17).instrument = 0x80;
    EXPECT_FALSE(buildSongImage(song, *buffer));
    song.patterns[0].cell(2, 17).instrument = 0;  // plays as the first instrument
    EXPECT_TRUE(buildSongImage(song, *buffer));
}

TEST(CompiledImage, SongBlockMustEndBelowTheDriverVariables) {
    Song song;
    song.patterns[0].cell(0, 0) = Cell{0, 3, 31, 0xFF, 0xFF};
    while (song.patternCount < 59)
        song.addPattern();
    auto buffer = std::make_unique<ImageBuffer>();
    const ImageBuild fits = buildSongImage(song, *buffer);
    ASSERT_TRUE(fits) << fits.message;
    EXPECT_LE(fits.length, std::size_t{driver::kVariables});

    song.addPattern();
    const std::size_t end = kBlock + songBlockSize(31, 60);
    EXPECT_EQ(buildSongImage(song, *buffer).message,
              "The song is too long for the sound board: its data runs " +
                  std::to_string(end - driver::kVariables) +
                  " bytes into the driver's memory at 0xF800 (use fewer patterns or instruments)");
    // Play Pattern still works: one pattern always fits.
    EXPECT_TRUE(buildPatternImage(song, 59, *buffer));
}

TEST(CompiledImage, PatternImageIgnoresProblemsElsewhere) {
    Song song;
    song.addPattern();
    song.patterns[1].cell(0, 0) = Cell{0, 3, 45, 0xFF, 0xFF};
    song.order = {0, 9};
    auto buffer = std::make_unique<ImageBuffer>();
    const ImageBuild image = buildPatternImage(song, 0, *buffer);
    ASSERT_TRUE(image);
    EXPECT_EQ(buffer->bytes[kBlock + driver::kSongInstrumentCount], 31);
    EXPECT_FALSE(buildPatternImage(song, 1, *buffer));
    EXPECT_FALSE(buildPatternImage(song, 2, *buffer));
}

TEST(Exports, CompiledImageAndNeoGeoTestRom) {
    TempDir dir;
    Song song;
    auto buffer = std::make_unique<ImageBuffer>();
    ASSERT_TRUE(exportCompiledImage(song, *buffer, dir / "song.bin"));
    const Bytes block = readBytes(dir / "song.bin");
    ASSERT_EQ(block.size(), 1192u);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 6), (Bytes{'Q', 'V', 'X', '0', 0, 0}));

    ASSERT_TRUE(exportNeoGeoTestRom(song, *buffer, dir / "202-m1.bin"));
    const Bytes rom = readBytes(dir / "202-m1.bin");
    ASSERT_EQ(rom.size(), 2969u);
    EXPECT_EQ(rom[driver::kAutoStartFlag], 1);
    EXPECT_EQ(Bytes(rom.begin() + kBlock, rom.end()), block);

    // Playback builds after the export start from a clean driver again.
    ASSERT_TRUE(buildSongImage(song, *buffer));
    EXPECT_EQ(buffer->bytes[driver::kAutoStartFlag], 0);

    ASSERT_TRUE(exportCompiledImage(song, *buffer, dir / "again.bin"));
    EXPECT_EQ(readBytes(dir / "again.bin"), block);
    ASSERT_TRUE(exportNeoGeoTestRom(song, *buffer, dir / "again-m1.bin"));
    EXPECT_EQ(readBytes(dir / "again-m1.bin"), rom);
}

TEST(Exports, FailuresWriteNothing) {
    TempDir dir;
    Song song;
    auto buffer = std::make_unique<ImageBuffer>();
    EXPECT_EQ(exportCompiledImage(song, *buffer, dir / "no" / "x.bin").message(),
              "Failed to Create x.bin");
    song.order.clear();
    EXPECT_EQ(exportNeoGeoTestRom(song, *buffer, dir / "y.bin").message(),
              "The order list is empty: add an entry to play the song");
    EXPECT_FALSE(std::filesystem::exists(dir / "y.bin"));
}

}  // namespace
}  // namespace qvx

namespace qvx {
namespace {

// Records what Play sends.
struct RecordingTarget : SoundTarget {
    void sendData(std::span<const std::uint8_t> image) override {
        data.assign(image.begin(), image.end());
    }
    void sendRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) override {
        data.assign(m1.begin(), m1.end());
        rom.assign(v1.begin(), v1.end());
    }
    void sendCommand(std::uint16_t) override {}
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> rom;
};

// The block and F-number of the first note the driver keys on track 1.
std::uint8_t firstNoteHigh(const std::vector<std::uint8_t>& image) {
    testing::DriverRig rig(image);
    rig.command(driver::command::kFirstSong);
    rig.ticks(6);
    const auto high = rig.writesTo(0, 0xA5);
    return high.empty() ? 0 : high.front().value;
}

TEST(PlayFromHere, ImagesStartAtTheEntryOrRowAndPositionsMapBack) {
    Song song;
    song.addPattern();
    song.order = {0, 1, 0};
    song.patterns[0].cell(0, 0) = Cell{0, 2, 1, kNone, kNone};   // C-2
    song.patterns[0].cell(0, 10) = Cell{1, 3, 1, kNone, kNone};  // C#3
    song.patterns[1].cell(0, 0) = Cell{9, 4, 1, kNone, kNone};
    RecordingTarget target;
    auto buffer = std::make_unique<ImageBuffer>();
    Playback playback(target, *buffer);

    ASSERT_TRUE(playback.playSongFrom(song, 1));
    EXPECT_EQ(firstNoteHigh(target.data), 0x20 | (1038 >> 8));  // A-4, block 4
    // The driver's order positions count from the entry the image starts at.
    EXPECT_EQ(playback.locate(song, 0, 5), (Playback::SongPlace{1, 1, 5}));
    EXPECT_EQ(playback.locate(song, 2, 7), (Playback::SongPlace{0, 0, 7}));
    EXPECT_FALSE(playback.locate(song, 3, 0));

    ASSERT_TRUE(playback.playPatternFrom(song, 0, 10));
    EXPECT_EQ(firstNoteHigh(target.data), 0x18 | (654 >> 8));  // C#3, block 3
    EXPECT_EQ(playback.locate(song, 0, 0), (Playback::SongPlace{-1, 0, 10}));
    EXPECT_EQ(playback.locate(song, 0, 60), (Playback::SongPlace{-1, 0, 6}));

    ASSERT_TRUE(playback.playSong(song));                       // from the top again
    EXPECT_EQ(firstNoteHigh(target.data), 0x08 | (1234 >> 8));  // C-2: nibble 12, block 1
    EXPECT_EQ(playback.locate(song, 1, 3), (Playback::SongPlace{1, 1, 3}));
}

TEST(PlayFromHere, SongTicksFollowSpeedAndBreaks) {
    Song song;
    EXPECT_EQ(songTicks(song), 6u + 64u * 6u);
    song.patterns[0].cell(3, 0).effect = driver::effect::kSpeed;
    song.patterns[0].cell(3, 0).parameter = 3;
    song.patterns[0].cell(1, 15).effect = driver::effect::kBreak;
    EXPECT_EQ(songTicks(song), 6u + 16u * 3u);
    song.patterns[0].cell(3, 0).parameter = 0;  // 256 ticks a row
    EXPECT_EQ(songTicks(song), 6u + 16u * 256u);
    song.order = {0, 7};  // a pattern that does not exist
    EXPECT_EQ(songTicks(song), 0u);
}

}  // namespace
}  // namespace qvx
