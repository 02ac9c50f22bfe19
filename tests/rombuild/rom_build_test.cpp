#include <gtest/gtest.h>

#include "driver/sound_driver.hpp"
#include "driver/whole_chip_driver.hpp"
#include "examples/demo_song.hpp"
#include "examples/drum_song.hpp"
#include "rombuild/compiled_image.hpp"
#include "rombuild/rom_build.hpp"
#include "rombuild/whole_chip_image.hpp"
#include "song/song_file.hpp"
#include "tests/support/driver_rig.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/wav_files.hpp"

namespace qvx {
namespace {

using testing::Bytes;
using testing::DriverRig;
using testing::readBytes;
using testing::TempDir;

constexpr std::size_t kTableAt = driver::kSampleTable;
constexpr std::size_t kSongsAt = driver::kFirstSongBlock;

// A song of one pattern whose first row plays `note` at `octave` on track 1 with instrument 1.
std::unique_ptr<RomSong> oneNoteSong(std::string name, std::uint8_t note, std::uint8_t octave) {
    auto song = std::make_unique<RomSong>();
    song->name = std::move(name);
    song->instruments[1].registers.fill(octave);
    song->patternCount = 1;
    song->orderCount = 1;
    song->patterns[0].cell(0, 0) = Cell{note, octave, 1, kNone, kNone};
    return song;
}

std::vector<RomSong> twoSongs() {
    std::vector<RomSong> songs;
    songs.push_back(*oneNoteSong("intro.mus", 9, 4));
    songs.push_back(*oneNoteSong("boss.mus", 4, 3));   // E-3
    return songs;
}

// A WAV file that encodes to `encodedBytes` bytes, accepted as a sample named `name`.
RomSample sampleFile(const TempDir& dir, const std::string& name, std::size_t encodedBytes) {
    const std::vector<std::int16_t> sound =
        testing::sine(encodedBytes * 2, 440 + encodedBytes, 0.5);
    testing::writeBytes(dir / name, testing::monoWav(sound));
    RomSample sample;
    const Result r = readRomSample(dir / name, name, sample);
    if (!r) throw std::runtime_error(r.message());
    return sample;
}

Bytes encoded(const RomSample& sample) {
    Bytes out;
    EXPECT_TRUE(
        encodeRomSample(sample, [&out](auto b) { out.insert(out.end(), b.begin(), b.end()); }));
    return out;
}

std::array<std::uint16_t, 2> tableEntry(std::span<const std::uint8_t> table, int command) {
    const std::size_t at = 4 * static_cast<std::size_t>(command);
    return {static_cast<std::uint16_t>(table[at] | table[at + 1] << 8),
            static_cast<std::uint16_t>(table[at + 2] | table[at + 3] << 8)};
}

struct Outputs {
    explicit Outputs(const TempDir& dir)
        : paths{dir / "202-v1.bin", dir / "202-m1.bin", dir / "sound.h"} {}
    RomOutputs paths;
    Bytes v1() const { return readBytes(paths.v1); }
    Bytes m1() const { return readBytes(paths.m1); }
    std::string header() const {
        const Bytes b = readBytes(paths.header);
        return {b.begin(), b.end()};
    }
};

TEST(RomBuild, SamplesArePaddedToWholeBlocksAndTabled) {
    TempDir dir;
    const std::vector<RomSample> samples = {
        sampleFile(dir, "a.wav", 300), sampleFile(dir, "b.wav", 512), sampleFile(dir, "c.wav", 10)};
    const SampleTable table = sampleTable(samples);
    EXPECT_EQ(tableEntry(table, 4), (std::array<std::uint16_t, 2>{0, 1}));
    EXPECT_EQ(tableEntry(table, 5),
              (std::array<std::uint16_t, 2>{2, 4}));  // 512 bytes: a whole block of padding
    EXPECT_EQ(tableEntry(table, 6), (std::array<std::uint16_t, 2>{5, 5}));
    for (int command = 0; command < 128; ++command) {
        if (command >= 4 && command <= 6) continue;
        EXPECT_EQ(tableEntry(table, command), (std::array<std::uint16_t, 2>{0, 0}));
    }

    Bytes v1;
    ASSERT_TRUE(buildV1(samples, v1));
    ASSERT_EQ(v1.size(), 512u + 768 + 256);
    EXPECT_EQ(v1Size(samples), v1.size());
    const auto part = [&v1](std::size_t from, std::size_t to) {
        return Bytes(v1.begin() + static_cast<std::ptrdiff_t>(from),
                     v1.begin() + static_cast<std::ptrdiff_t>(to));
    };
    EXPECT_EQ(part(0, 300), encoded(samples[0]));
    EXPECT_EQ(part(300, 512), Bytes(212, 0x80));
    EXPECT_EQ(part(512, 1024), encoded(samples[1]));
    EXPECT_EQ(part(1024, 1280), Bytes(256, 0x80));
    EXPECT_EQ(part(1280, 1290), encoded(samples[2]));
    EXPECT_EQ(part(1290, 1536), Bytes(246, 0x80));

    EXPECT_EQ(romSpace({}, samples).v1, 524288 - 822);  // padding not counted
}

TEST(RomBuild, NoSamplesGiveAnEmptyV1AndAZeroTable) {
    TempDir dir;
    const Outputs out(dir);
    const std::vector<RomSong> songs = twoSongs();
    EXPECT_TRUE(buildRoms(songs, {}, out.paths).ok());
    EXPECT_TRUE(out.v1().empty());
    EXPECT_TRUE(std::filesystem::exists(out.paths.v1));
    const Bytes m1 = out.m1();
    EXPECT_EQ(Bytes(m1.begin() + kTableAt, m1.begin() + kSongsAt), Bytes(512, 0));
    EXPECT_TRUE(
        out.header().ends_with("// ADPCM Sample commands\n#define SOUND_ADPCM_OFF\t(0x7f)\n\n"));
}

// One whole-chip song makes the M1 a whole-chip one: its classic songs are compiled for the
// whole-chip driver, the songs' samples follow the command samples in the V1, a sound two songs
// use is stored once, and the header says how commands share the channels.
TEST(RomBuild, WholeChipSongsTakeTheWholeChipDriverAndTheirSamples) {
    std::vector<RomSong> songs(3);
    ASSERT_TRUE(parseRomSong(serializeSong(examples::makeDrumSong()), "drums.mus", songs[0]));
    ASSERT_TRUE(parseRomSong(serializeSong(examples::makeDemoSong()), "demo.mus", songs[1]));
    ASSERT_TRUE(parseRomSong(serializeSong(examples::makeDrumSong()), "again.mus", songs[2]));
    TempDir dir;
    const std::vector<RomSample> samples = {sampleFile(dir, "hit.wav", 1000)};
    const RomImages images = makeRomImages(songs, samples);
    ASSERT_TRUE(images.problems.empty()) << images.problems.front();
    const auto driverBytes = driver::wholeChipImage();
    EXPECT_TRUE(std::equal(driverBytes.begin() + 8, driverBytes.end(), images.m1.begin() + 8));
    EXPECT_EQ(images.m1[driver::whole_chip::kSongAdpcmaChannels], 0x3F);
    // The command sample's 1000 bytes padded to 1024, then the kit's eight sounds once (31,744
    // bytes), then the pad's 12,800 frames as ADPCM-B, 25 blocks.
    const Song& drums = *songs[0].wholeChip;
    const SampleRef kick = drums.instruments[examples::kDrumKit].kit.notes[0].sample;
    ASSERT_TRUE(kick);
    EXPECT_EQ(images.v1.size(), 1024u + 31744u + 6400u);
    const Bytes kickBytes = encodeKitSample(*kick);
    EXPECT_EQ(Bytes(images.v1.begin() + 1024, images.v1.begin() + 1024 + 16),
              Bytes(kickBytes.begin(), kickBytes.begin() + 16));
    const Bytes padBytes =
        encodePitchedSample(*drums.instruments[examples::kPad].pitched.sample, true);
    EXPECT_EQ(Bytes(images.v1.end() - 6400, images.v1.end()), padBytes);
    EXPECT_EQ(romSpace(songs, samples).v1, 524288 - 1000 - 31744 - 6400);
    EXPECT_TRUE(images.header.ends_with(
        "// songs use all six, over all six, and a song takes a channel back at its next note.\n"));
    // Song 2, the classic one, plays on the whole-chip driver: its bass keys FM 1 on.
    DriverRig rig(images.m1);
    rig.command(0x82);
    rig.ticks(6);
    EXPECT_FALSE(rig.keyOns().empty());
}

TEST(RomBuild, TwoSongsAreChainedByTheirLinkWords) {
    const std::vector<RomSong> songs = twoSongs();
    const Bytes m1 = buildM1(songs, SampleTable{});
    ASSERT_EQ(m1.size(), 4161u);
    const auto driverBytes = driver::image();
    EXPECT_EQ(Bytes(m1.begin(), m1.begin() + driver::kDriverSize),
              Bytes(driverBytes.begin(), driverBytes.end()));
    for (std::size_t block : {kSongsAt, kSongsAt + 1192}) {
        EXPECT_EQ(Bytes(m1.begin() + static_cast<std::ptrdiff_t>(block),
                        m1.begin() + static_cast<std::ptrdiff_t>(block) + 6),
                  (Bytes{'Q', 'V', 'X', '0', 0xA2, 0x04}));  // link word 1186
    }
    EXPECT_EQ(romSpace(songs, {}).m1, 61711 - 2384);
}

// Apart from its link word a block is what the editor compiles for the same song: instruments up
// to the highest used, the order entries padded with zeros to 128, every pattern.
TEST(RomBuild, SongBlockIsTheEditorsBlockWithALinkWord) {
    auto rom = oneNoteSong("long.mus", 1, 2);
    rom->patternCount = 3;
    rom->orderCount = 64;
    for (std::size_t k = 0; k < 64; ++k)
        rom->order[k] = static_cast<std::uint8_t>(k % 3);
    rom->patterns[2].cell(3, 63) = Cell{5, 5, 7, kNone, kNone};
    for (std::size_t k = 1; k <= 8; ++k)
        rom->instruments[k].registers.fill(static_cast<std::uint8_t>(0x10 + k));
    const Bytes m1 = buildM1(std::span(rom.get(), 1), SampleTable{});
    const std::size_t size = 136 + 7 * 32 + 3 * 1024;
    ASSERT_EQ(m1.size(), kSongsAt + size);
    EXPECT_EQ(m1[kSongsAt + 4] | m1[kSongsAt + 5] << 8, static_cast<int>(size - 6));

    auto song = std::make_unique<Song>();
    song->patternCount = 3;
    song->order.assign(rom->order.begin(), rom->order.end());
    for (std::size_t k = 1; k <= 8; ++k)
        song->instruments[k].registers = rom->instruments[k].registers;
    for (std::size_t p = 0; p < 3; ++p)
        song->patterns[p] = rom->patterns[p];
    auto buffer = std::make_unique<ImageBuffer>();
    const ImageBuild image = buildSongImage(*song, *buffer);
    ASSERT_TRUE(image) << image.message;
    Bytes block(m1.begin() + kSongsAt, m1.end());
    block[4] = block[5] = 0;
    EXPECT_EQ(block, Bytes(buffer->bytes.begin() + kSongsAt,
                           buffer->bytes.begin() + static_cast<std::ptrdiff_t>(image.length)));
}

// The M1 as written, on the emulated board.
TEST(RomBuild, BuiltM1PlaysBothSongsAndTriggersTheTabledSamples) {
    TempDir dir;
    const Outputs out(dir);
    const std::vector<RomSample> samples = {sampleFile(dir, "hit.wav", 300),
                                            sampleFile(dir, "snare.wav", 512)};
    ASSERT_TRUE(buildRoms(twoSongs(), samples, out.paths).ok());
    const Bytes m1 = out.m1();
    ASSERT_EQ(m1.size(), 4161u);
    DriverRig rig(m1);

    const auto firstNote = [&rig](std::uint8_t command) {
        const std::size_t from = rig.chip.writes.size();
        rig.command(command);
        rig.ticks(6);
        const auto high = rig.writesTo(0, 0xA5, from);
        const auto low = rig.writesTo(0, 0xA1, from);
        EXPECT_EQ(rig.keyOns(from).size(), 1u) << int{command};
        return (high.size() == 1 && low.size() == 1) ? (high[0].value << 8 | low[0].value) : -1;
    };
    EXPECT_EQ(firstNote(0x81), (4 * 8 + 4) << 8 | 0x0E);  // A: F-number 1038, block 4
    EXPECT_EQ(firstNote(0x82), (3 * 8 + 3) << 8 | 0x09);  // E: F-number 777, block 3
    rig.command(0x83);                                    // no third block behind the second's link
    EXPECT_EQ(rig.var(driver::var::kPlaying), 0);

    // Samples: each command writes its table entry to the next ADPCM-A channel.
    for (int i = 0; i < 2; ++i) {
        const std::size_t from = rig.chip.writes.size();
        rig.command(static_cast<std::uint8_t>(0x04 + i));
        const auto entry = tableEntry(std::span(m1).subspan(kTableAt, 512), 0x04 + i);
        const auto reg = [&](int base) {
            const auto w = rig.writesTo(1, static_cast<std::uint8_t>(base + i), from);
            return w.size() == 1 ? w[0].value : -1;
        };
        EXPECT_EQ(reg(0x10), entry[0] & 0xFF);
        EXPECT_EQ(reg(0x18), entry[0] >> 8);
        EXPECT_EQ(reg(0x20), entry[1] & 0xFF);
        EXPECT_EQ(reg(0x28), entry[1] >> 8);
    }
    EXPECT_EQ(tableEntry(std::span(m1).subspan(kTableAt, 512), 5),
              (std::array<std::uint16_t, 2>{2, 4}));
}

TEST(RomBuild, CommandHeaderText) {
    TempDir dir;
    std::vector<RomSong> songs;
    for (const char* name : {"Theme.MUS", "intro.mus", "intro.mus", "my song.mus", "off.mus"})
        songs.push_back(*oneNoteSong(name, 1, 1));
    const std::vector<RomSample> samples = {sampleFile(dir, "hit.wav", 4),
                                            sampleFile(dir, "snare-2.wav", 4)};
    EXPECT_EQ(commandHeader(romCommands(songs, samples)),
              "// FM/ADPCM HEADER FILE created by QVXTracker\n\n"
              "inline void send_sound_command(BYTE CommandNo)\n"
              "{\n\t(*((PBYTE)0x320000)) = CommandNo;\n}\n\n"
              "// FM Music commands\n"
              "#define SOUND_FM_THEME\t(0x81)\n"
              "#define SOUND_FM_INTRO\t(0x82)\n"
              "#define SOUND_FM_INTRO_2\t(0x83)\n"
              "#define SOUND_FM_MY_SONG\t(0x84)\n"
              "#define SOUND_FM_OFF_2\t(0x85)\n"
              "#define SOUND_FM_OFF\t(0xff)\n\n"
              "// ADPCM Sample commands\n"
              "#define SOUND_ADPCM_HIT\t(0x04)\n"
              "#define SOUND_ADPCM_SNARE_2\t(0x05)\n"
              "#define SOUND_ADPCM_OFF\t(0x7f)\n\n");

    // The file holds exactly that text, with no terminating zero.
    const Outputs out(dir);
    ASSERT_TRUE(buildRoms(songs, samples, out.paths).ok());
    EXPECT_EQ(out.header(), commandHeader(romCommands(songs, samples)));
}

TEST(RomBuild, DefineNamesAreIdentifiersAndUnique) {
    std::vector<RomSong> songs;
    for (const char* name : {"a.b-c.mus", "été.mus", "x.y", "intro_2.mus", "intro.mus", "intro.mus",
                             "9lives.mus", "song"})
        songs.push_back(*oneNoteSong(name, 1, 1));
    std::vector<std::string> defines;
    for (const RomCommand& c : romCommands(songs, {}).songs)
        defines.push_back(c.define);
    EXPECT_EQ(defines,
              (std::vector<std::string>{"SOUND_FM_A_B_C", "SOUND_FM__T_", "SOUND_FM_X",
                                        "SOUND_FM_INTRO_2", "SOUND_FM_INTRO", "SOUND_FM_INTRO_3",
                                        "SOUND_FM_9LIVES", "SOUND_FM_SONG"}));
    EXPECT_EQ(romCommands(songs, {}).songs.back().number, 0x88);

    // The file's own extension goes, whatever its length.
    std::vector<RomSample> samples;
    for (const char* name : {"kick.flac", "hat.aiff", "tom.wav", "snare.ogg"}) {
        samples.emplace_back();
        samples.back().name = name;
    }
    defines.clear();
    for (const RomCommand& c : romCommands({}, samples).samples)
        defines.push_back(c.define);
    EXPECT_EQ(defines, (std::vector<std::string>{"SOUND_ADPCM_KICK", "SOUND_ADPCM_HAT",
                                                 "SOUND_ADPCM_TOM", "SOUND_ADPCM_SNARE"}));
}

// Outputs that existed before a refused build.
struct Untouched {
    explicit Untouched(const Outputs& o) : out(o) {
        for (const auto* p : {&o.paths.v1, &o.paths.m1, &o.paths.header})
            testing::writeBytes(*p, Bytes{'o', 'l', 'd'});
    }
    bool intact() const {
        return out.v1() == Bytes{'o', 'l', 'd'} && out.m1() == Bytes{'o', 'l', 'd'} &&
               out.header() == "old";
    }
    const Outputs& out;
};

TEST(RomBuild, LimitsAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    const Outputs out(dir);
    const Untouched before(out);

    std::vector<RomSong> manySongs(127);
    for (RomSong& s : manySongs)
        s = *oneNoteSong("s.mus", 1, 1);
    auto problems = buildRoms(manySongs, {}, out.paths).problems;
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems[0],
              "Too many songs: 127; the ROM holds at most 126 (commands 0x81 to 0xfe)");
    EXPECT_TRUE(before.intact());

    const RomSample tiny = sampleFile(dir, "t.wav", 1);
    const std::vector<RomSample> manySamples(124, tiny);
    EXPECT_EQ(buildRoms({}, manySamples, out.paths).messages(),
              (std::vector<std::string>{
                  "Too many samples: 124; the ROM holds at most 123 (commands 0x04 to 0x7e)"}));
    EXPECT_TRUE(before.intact());
    EXPECT_TRUE(romProblems({}, std::span(manySamples).first(123)).empty());
    // Empty lists would give a driver alone and an empty V1.
    EXPECT_EQ(buildRoms({}, {}, out.paths).messages(),
              std::vector<std::string>{std::string(kNothingToBuild)});
    EXPECT_TRUE(before.intact());

    // 60 patterns and 4 instruments: 61704 bytes, 7 short of the driver's memory at 0xF800.
    auto big = oneNoteSong("big.mus", 1, 1);
    big->patternCount = 60;
    big->patterns[59].cell(1, 1).instrument = 4;
    std::vector<RomSong> bigSong = {*big};
    EXPECT_EQ(romSpace(bigSong, {}).m1, 7);
    EXPECT_TRUE(romProblems(bigSong, {}).empty());
    EXPECT_LE(buildM1(bigSong, SampleTable{}).size(), std::size_t{driver::kVariables});
    bigSong[0].patterns[59].cell(1, 1).instrument = 5;
    EXPECT_EQ(romSpace(bigSong, {}).m1, -25);
    EXPECT_EQ(buildRoms(bigSong, {}, out.paths).messages(),
              (std::vector<std::string>{
                  "The songs take 61736 bytes but only 61711 fit in the M1 below the sound "
                  "driver's memory at 0xF800 (25 bytes too many)"}));
    EXPECT_TRUE(before.intact());

    // The V1 counts padding: 524287 bytes fill it exactly, 524288 need one more block.
    const std::vector<RomSample> fills = {sampleFile(dir, "fills.wav", 524287)};
    EXPECT_EQ(romSpace({}, fills).v1, 1);
    EXPECT_TRUE(romProblems({}, fills).empty());
    const std::vector<RomSample> over = {sampleFile(dir, "over.wav", 524288)};
    EXPECT_EQ(buildRoms({}, over, out.paths).messages(),
              (std::vector<std::string>{"The samples take 524544 bytes of V1 with their padding; "
                                        "the V1 holds 524288 (256 bytes too many)"}));
    EXPECT_TRUE(before.intact());
}

TEST(RomBuild, BadInputsAreNamedAndNothingIsWritten) {
    TempDir dir;
    const Outputs out(dir);
    const Untouched before(out);
    const std::vector<RomSong> good = twoSongs();

    std::vector<RomSample> samples = {sampleFile(dir, "hit.wav", 8),
                                      sampleFile(dir, "gone.wav", 8)};
    testing::writeBytes(dir / "hit.wav", testing::monoWav(std::vector<std::int16_t>(10)));
    std::filesystem::remove(dir / "gone.wav");
    EXPECT_EQ(
        buildRoms(good, samples, out.paths).messages(),
        (std::vector<std::string>{"The sample hit.wav has changed since it was added; add it again",
                                  "Failed to Open gone.wav"}));
    EXPECT_TRUE(before.intact());

    auto empty = oneNoteSong("empty.mus", 1, 1);
    empty->orderCount = 0;
    auto missing = oneNoteSong("missing.mus", 1, 1);
    missing->orderCount = 2;
    missing->order[1] = 3;
    auto instrument = oneNoteSong("inst.mus", 1, 1);
    instrument->patterns[0].cell(2, 17).instrument = 40;
    const std::vector<RomSong> bad = {*empty, *missing, *instrument};
    EXPECT_EQ(buildRoms(bad, {}, out.paths).messages(),
              (std::vector<std::string>{
                  "The song empty.mus has an empty order list",
                  "The song missing.mus plays pattern 03 at order entry 01, which does not exist",
                  "The song inst.mus uses instrument 40 (pattern 00, track 3, row 17); instruments "
                  "are numbered 1 to 31"}));
    EXPECT_TRUE(before.intact());
}

TEST(RomBuild, AFailedOutputDoesNotStopTheOthers) {
    TempDir dir;
    const std::vector<RomSample> samples = {sampleFile(dir, "hit.wav", 300)};
    const std::vector<RomSong> songs = twoSongs();
    RomOutputs paths{dir / "no-such-folder" / "202-v1.bin", dir / "202-m1.bin", dir / "sound.h"};
    const RomBuildResult result = buildRoms(songs, samples, paths);
    EXPECT_TRUE(result.problems.empty());
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].output, RomOutput::V1);
    EXPECT_EQ(result.failures[0].message, "Failed to Create 202-v1.bin");
    EXPECT_EQ(result.written, (std::vector<RomOutput>{RomOutput::M1, RomOutput::Header}));
    EXPECT_EQ(readBytes(paths.m1).size(), 4161u);
    EXPECT_TRUE(std::filesystem::exists(paths.header));

    std::filesystem::create_directory(dir / "202-m1.bin.d");
    paths = {dir / "202-v1.bin", dir / "202-m1.bin.d", {}};
    EXPECT_EQ(buildRoms(songs, samples, paths).messages(),
              (std::vector<std::string>{"Failed to Create 202-m1.bin.d"}));
    EXPECT_EQ(readBytes(paths.v1).size(), 512u);
}

// The table follows the sample list, so an M1 built alone still finds the samples of the V1.
TEST(RomBuild, M1BuiltWithoutV1CarriesTheSampleTable) {
    TempDir dir;
    const std::vector<RomSample> samples = {sampleFile(dir, "hit.wav", 300)};
    const RomOutputs paths{{}, dir / "202-m1.bin", {}};
    EXPECT_TRUE(buildRoms({}, samples, paths).ok());
    const Bytes m1 = readBytes(paths.m1);
    ASSERT_EQ(m1.size(), std::size_t{kSongsAt});
    EXPECT_EQ(tableEntry(std::span(m1).subspan(kTableAt, 512), 4),
              (std::array<std::uint16_t, 2>{0, 1}));
    EXPECT_FALSE(std::filesystem::exists(dir / "202-v1.bin"));
}

}  // namespace
}  // namespace qvx
