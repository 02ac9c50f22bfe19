// VGM files of songs: their header, the writes read back, and a loop point that lies exactly
// where the order list comes round; VGM files of the whole chip played back, and what the reader
// refuses or notes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include <zlib.h>

#include <numeric>

#include "examples/demo_song.hpp"
#include "examples/drum_song.hpp"
#include "rombuild/adpcm_a.hpp"
#include "rombuild/adpcm_b.hpp"
#include "rombuild/compiled_image.hpp"
#include "rombuild/rom_build.hpp"
#include "song/song_file.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/offline_render.hpp"
#include "tools/vgm_export.hpp"

namespace qvx {
namespace {

VgmStream built(const Song& song, const VgmOptions& options, VgmInfo* info = nullptr) {
    std::vector<std::uint8_t> bytes;
    const Result r = buildVgm(song, options, bytes, info);
    EXPECT_TRUE(r) << r.message();
    std::optional<VgmStream> stream = readVgm(bytes);
    EXPECT_TRUE(stream);
    return stream.value_or(VgmStream{});
}

TEST(Vgm, HeaderWritesAndTheLoopOfTheExampleSong) {
    const Song song = examples::makeDemoSong();
    VgmInfo info;
    const VgmStream two = built(song, {std::nullopt, 2, "demo"}, &info);
    EXPECT_EQ(two.ym2610Clock, 8'000'000u);
    EXPECT_EQ(two.title, "demo");
    EXPECT_EQ(two.samples, info.samples);
    EXPECT_EQ(two.writes.size(), info.writes);
    ASSERT_TRUE(two.loopStart);
    EXPECT_EQ(two.loopStart, info.loopStart);
    // The first pass ends where the second starts: about half of two passes.
    EXPECT_NEAR(static_cast<double>(*two.loopStart) / static_cast<double>(two.samples), 0.5, 0.02);

    // A third pass repeats the second write for write, the loop's length later: the loop point
    // is exactly on the pass boundary, and the looped part plays on as the song does.
    const VgmStream three = built(song, {std::nullopt, 3, "demo"});
    const std::uint64_t loop = two.samples - *two.loopStart;
    std::vector<VgmWrite> second, third;
    for (const VgmWrite& w : three.writes) {
        if (w.sample >= *two.loopStart && w.sample < two.samples) second.push_back(w);
        if (w.sample >= two.samples) third.push_back({w.sample - loop, w.port, w.address, w.value});
    }
    // Ticks are 705.6 samples apart, so a pass's writes may land a sample earlier or later.
    ASSERT_GT(second.size(), 1000u);
    ASSERT_EQ(third.size(), second.size());
    for (std::size_t i = 0; i < second.size(); ++i) {
        EXPECT_EQ((std::tuple{third[i].port, third[i].address, third[i].value}),
                  (std::tuple{second[i].port, second[i].address, second[i].value}))
            << i;
        EXPECT_LE(std::max(third[i].sample, second[i].sample) -
                      std::min(third[i].sample, second[i].sample),
                  1u)
            << i;
    }
    EXPECT_EQ(three.samples, two.samples + loop);
}

// A whole-chip song's file carries its samples as the song plays them, for the ADPCM-B too once
// it plays there (the example's pad from 5 s on), and its SSG writes.
TEST(Vgm, AWholeChipSongCarriesItsSamples) {
    const Song song = examples::makeDrumSong();
    auto buffer = std::make_unique<ImageBuffer>();
    const std::vector<std::uint8_t> rom = buildSongImage(song, *buffer).sampleRom;
    for (const double seconds : {4.0, 6.0}) {
        std::vector<std::uint8_t> vgm;
        VgmOptions options;
        options.seconds = seconds;
        ASSERT_TRUE(buildVgm(song, options, vgm));
        const std::optional<VgmStream> stream = readVgm(vgm);
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->adpcmA, rom);
        EXPECT_EQ(stream->adpcmB, seconds > 5 ? rom : std::vector<std::uint8_t>{});
        EXPECT_TRUE(std::any_of(stream->writes.begin(), stream->writes.end(), [](const auto& w) {
            return w.port == 0 && w.address == 0x0D;  // the buzz bass's envelope
        }));
    }
    EXPECT_FALSE(rom.empty());
}

TEST(Vgm, FixedLengthsAndRefusals) {
    const VgmStream fixed = built(Song{}, {2.5, 2, ""});
    EXPECT_EQ(fixed.samples, 110250u);
    EXPECT_FALSE(fixed.loopStart);
    EXPECT_FALSE(fixed.writes.empty());

    std::vector<std::uint8_t> bytes = {1, 2};
    Song broken;
    broken.order = {5};
    EXPECT_FALSE(buildVgm(broken, {}, bytes));
    EXPECT_FALSE(buildVgm(Song{}, {0.0, 2, ""}, bytes));
    EXPECT_FALSE(buildVgm(Song{}, {std::nullopt, 0, ""}, bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_FALSE(readVgm(std::vector<std::uint8_t>{'V', 'g', 'm'}));
}

// A ROM pair as export-vgm writes it plays through render-vgm exactly as render-rom plays the
// pair on the board, in either synthesis.
TEST(Vgm, ARomPairPlaysAsTheBoardPlaysIt) {
    RomSong song;
    ASSERT_TRUE(parseRomSong(serializeSong(examples::makeDemoSong()), "demo.mus", song));
    std::vector<std::uint8_t> pcm;
    for (int i = 0; i < 4096; ++i) {
        const auto v = static_cast<std::int16_t>(12000 * std::sin(i / 5.0));
        pcm.push_back(std::uint8_t(v)), pcm.push_back(std::uint8_t(std::uint16_t(v) >> 8));
    }
    std::vector<std::uint8_t> v1(2048, 0x80);
    adpcma::Encoder().encodePcm(pcm, std::span(v1).first(pcm.size() / 4));
    SampleTable table{};
    table[4 * 4 + 2] = 7;  // sample 0x04: blocks 0 to 7
    const std::vector<std::uint8_t> m1 = buildM1(std::span(&song, 1), table);
    const std::vector<TimedCommand> commands = {{0.2, 0x81}, {0.7, 0x04}};
    std::vector<std::uint8_t> vgm;
    ASSERT_TRUE(buildRomVgm(m1, v1, commands, 1.5, "pair", vgm));
    const std::optional<VgmStream> stream = readVgm(vgm);
    ASSERT_TRUE(stream);
    for (const qvxsnd::FmModel model : {qvxsnd::FmModel::Documented, qvxsnd::FmModel::Accurate}) {
        qvxsnd::Engine engine(kVgmRate, qvxsnd::Engine::TickSource::Chip, model);
        engine.setAdpcmRom(v1);
        engine.sendData(m1);
        const auto board = renderEngine(engine, 1.5, commands, {});
        ASSERT_TRUE(board);
        EXPECT_EQ(renderVgm(*stream, kVgmRate, model), *board)
            << (model == qvxsnd::FmModel::Accurate ? "accurate" : "documented");
    }
}

// A stream that keeps every part busy: an FM note on the YM2610B's first channel, an SSG tone,
// an ADPCM-A and an ADPCM-B sample, each heard in its own part of the output.
TEST(Vgm, EveryPartOfTheChipPlays) {
    std::vector<std::uint8_t> adpcmA(4096), adpcmB(4096);
    for (std::size_t i = 0; i < 2048; ++i)
        adpcmA[i] = adpcmB[i] = (i & 1) ? 0x7F : 0xF7;
    std::vector<VgmWrite> writes;
    const auto w = [&](double s, int port, int reg, int value) {
        writes.push_back({std::uint64_t(s * kVgmRate), std::uint8_t(port), std::uint8_t(reg),
                          std::uint8_t(value)});
    };
    // 0.0-0.2 s: FM on channel 1, which only the YM2610B has.
    w(0, 0, 0xB4, 0xC0), w(0, 0, 0xB0, 0x07), w(0, 0, 0x40, 0), w(0, 0, 0x50, 0x1F);
    w(0, 0, 0x80, 0x0F), w(0, 0, 0xA4, 0x22), w(0, 0, 0xA0, 0x6E), w(0, 0, 0x28, 0x10);
    w(0.2, 0, 0x28, 0x00);
    // 0.3-0.5 s: SSG tone on channel A.
    w(0.3, 0, 0x00, 200), w(0.3, 0, 0x07, 0x3E), w(0.3, 0, 0x08, 15), w(0.5, 0, 0x08, 0);
    // 0.6 s: ADPCM-A channel 1; 0.9 s: ADPCM-B.
    w(0.6, 1, 0x01, 0x3F), w(0.6, 1, 0x08, 0xDF), w(0.6, 1, 0x20, 7), w(0.6, 1, 0x00, 0x01);
    w(0.9, 0, 0x11, 0xC0), w(0.9, 0, 0x14, 7), w(0.9, 0, 0x19, 0x00), w(0.9, 0, 0x1A, 0x80);
    w(0.9, 0, 0x1B, 0xFF), w(0.9, 0, 0x10, 0x80);
    const auto level = [](const std::vector<std::int16_t>& out, double from, double to) {
        double sum = 0;
        for (auto i = std::size_t(from * kVgmRate); i < std::size_t(to * kVgmRate); ++i)
            sum += std::abs(out[2 * i]);
        return sum;
    };
    for (const bool b : {true, false}) {
        VgmImage image{
            writes, std::uint64_t(1.2 * kVgmRate), std::nullopt, "all", 8'000'000, b, adpcmA,
            adpcmB};
        const std::optional<VgmStream> stream = readVgm(encodeVgm(image));
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->ym2610b, b);
        const std::vector<std::int16_t> out = renderVgm(*stream, kVgmRate);
        EXPECT_EQ(level(out, 0.05, 0.15) > 1e5, b) << "channel 1 sounds on the YM2610B alone";
        EXPECT_GT(level(out, 0.35, 0.45), 1e5) << "SSG";
        EXPECT_GT(level(out, 0.61, 0.65), 1e4) << "ADPCM-A";
        EXPECT_GT(level(out, 0.91, 0.95), 1e4) << "ADPCM-B";
    }
}

std::vector<std::uint8_t> gzip(const std::vector<std::uint8_t>& bytes) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<std::uint8_t> out(bytes.size() + 1024);
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = uInt(bytes.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Files the reader refuses, and what it plays of the others while saying what it left out.
TEST(Vgm, RefusalsAndNotes) {
    const std::vector<std::uint8_t> good =
        encodeVgm({{10, 0, 0x08, 15}, {20, 0, 0x08, 0}}, 100, std::nullopt, "ok");
    const std::size_t data = 0x80;  // the commands start after a 1.51 header
    const auto with = [&](std::initializer_list<std::uint8_t> insert, std::size_t cut = 0) {
        std::vector<std::uint8_t> bytes = good;
        bytes.insert(bytes.begin() + std::ptrdiff_t(data), insert);
        bytes.resize(bytes.size() - cut);
        return bytes;
    };
    std::vector<std::uint8_t> noClock = good;
    std::fill_n(noClock.begin() + 0x4C, 4, 0);
    const std::pair<std::vector<std::uint8_t>, std::string> refused[] = {
        {{'R', 'I', 'F', 'F'}, "it does not start with \"Vgm \""},
        {noClock, "its header names no YM2610 (no clock at 0x4C)"},
        {with({0x2F, 0x00}), "command 0x2F at offset 0x0080 is none that VGM defines"},
    };
    for (const auto& [bytes, why] : refused) {
        VgmStream stream;
        const Result r = parseVgm(bytes, stream);
        EXPECT_EQ(r.message(), "Not a VGM file that can be played: " + why);
    }
    const std::pair<std::vector<std::uint8_t>, std::string> noted[] = {
        {with({0x52, 0x28, 0xF0}),
         "The file also writes to YM2612 (command 0x52 at offset 0x0080); only the YM2610 is "
         "played"},
        {std::vector<std::uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(data) + 3),
         "The file is cut off in a command at offset 0x0081; what comes before it is played"},
        {with({0x67, 0x66, 0x82, 0xFF, 0xFF, 0x00, 0x00}),
         "The file is cut off in a command at offset 0x0080; what comes before it is played"},
    };
    for (const auto& [bytes, note] : noted) {
        VgmStream stream;
        ASSERT_TRUE(parseVgm(bytes, stream)) << note;
        EXPECT_NE(std::find(stream.notes.begin(), stream.notes.end(), note), stream.notes.end())
            << note;
    }
    // Compressed files unpack; damaged ones say so and name the file.
    testing::TempDir dir;
    testing::writeBytes(dir / "song.vgz", gzip(good));
    VgmStream stream;
    ASSERT_TRUE(readVgmFile(dir / "song.vgz", stream));
    EXPECT_EQ(stream.writes.size(), 2u);
    std::vector<std::uint8_t> damaged = gzip(good);
    damaged.resize(damaged.size() / 2);
    testing::writeBytes(dir / "cut.vgz", damaged);
    const Result r = readVgmFile(dir / "cut.vgz", stream);
    EXPECT_EQ(r.message(), "cut.vgz: this compressed VGM file cannot be unpacked");
    EXPECT_EQ(r.detail(), (dir / "cut.vgz").string() + ": its compressed data is damaged");
}

}  // namespace
}  // namespace qvx
