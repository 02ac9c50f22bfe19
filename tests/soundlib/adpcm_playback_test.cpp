// ADPCM-A samples played as on the board: built into a V1 and an M1 by the ROM build, triggered by
// their commands, rendered by the engine with the chip's interrupt as the tick.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numeric>
#include <utility>

#include "rombuild/rom_build.hpp"
#include "soundlib/engine/engine.hpp"
#include "soundlib/ym2610/adpcm_a_decoder.hpp"
#include "tests/support/sound_analysis.hpp"
#include "tests/support/sound_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/wav_files.hpp"

namespace qvx {
namespace {

using qvxsnd::Engine;

constexpr std::uint32_t kRate = 44100;
constexpr double kChipSampleRate = 8'000'000.0 / 432;

// Samples from sound files, built into ROMs; plays commands on the engine.
struct SampleRig {
    // From 16-bit mono 18500 Hz WAV files of these sounds.
    explicit SampleRig(const std::vector<std::vector<std::int16_t>>& sounds) {
        std::vector<std::filesystem::path> files;
        for (std::size_t i = 0; i < sounds.size(); ++i) {
            files.push_back(dir / (std::to_string(i) + ".wav"));
            testing::writeBytes(files.back(), testing::monoWav(sounds[i]));
        }
        build(files);
    }
    explicit SampleRig(const std::vector<std::filesystem::path>& files) { build(files); }

    void build(const std::vector<std::filesystem::path>& files) {
        for (const std::filesystem::path& file : files) {
            RomSample sample;
            const Result r = readRomSample(file, file.filename().string(), sample);
            if (!r) throw std::runtime_error(r.message());
            samples.push_back(sample);
        }
        if (const Result r = buildV1(samples, v1); !r) throw std::runtime_error(r.message());
        table = sampleTable(samples);
        m1 = buildM1({}, table);
    }

    // The left channel of `seconds` of output, with each command sent at its time; the chip's
    // writes go to `writes` when it is given.
    std::vector<std::int16_t> play(const std::vector<std::pair<double, std::uint8_t>>& commands,
                                   double seconds,
                                   std::vector<qvxsnd::RegisterWrite>* writes = nullptr) const {
        Engine engine(kRate, Engine::TickSource::Chip);
        if (writes) engine.setWriteObserver([writes](auto w) { writes->push_back(w); });
        engine.setAdpcmRom(v1);
        engine.sendData(m1);
        const auto total = static_cast<std::size_t>(seconds * kRate);
        std::vector<std::int16_t> stereo(total * 2);
        std::size_t done = 0;
        for (const auto& [at, command] : commands) {
            const auto until = static_cast<std::size_t>(at * kRate);
            engine.render(stereo.data() + done * 2, until - done);
            done = until;
            engine.sendCommand(command);
        }
        engine.render(stereo.data() + done * 2, total - done);
        std::vector<std::int16_t> left(total);
        for (std::size_t i = 0; i < total; ++i)
            left[i] = stereo[2 * i];
        return left;
    }

    // The chip's decode of sample i's bytes in the V1, from its start block through its end
    // block, as full-level output values: 15/2 of the accumulator, in steps of four.
    std::vector<int> decoded(std::size_t i) const {
        const std::size_t entry = 4 * (0x04 + i);
        const std::size_t start = table[entry] | table[entry + 1] << 8;
        const std::size_t end = table[entry + 2] | table[entry + 3] << 8;
        qvxsnd::adpcma::Decoder decoder;
        std::vector<int> out;
        for (std::size_t b = start * 256; b < (end + 1) * 256; ++b) {
            for (const int code : {v1[b] >> 4, v1[b] & 0x0F}) {
                decoder.decode(static_cast<std::uint8_t>(code));
                out.push_back(((decoder.accumulator() * 15) >> 1) & ~3);
            }
        }
        return out;
    }

    testing::TempDir dir;
    std::vector<RomSample> samples;
    std::vector<std::uint8_t> v1;
    SampleTable table{};
    std::vector<std::uint8_t> m1;
};

std::size_t firstSound(const std::vector<std::int16_t>& out) {
    return static_cast<std::size_t>(
        std::find_if(out.begin(), out.end(), [](std::int16_t s) { return s != 0; }) - out.begin());
}

// The decode held at the chip's sample rate, read at the output rate from `onset`.
double correlationAt(const std::vector<std::int16_t>& out, const std::vector<int>& decoded,
                     std::size_t onset) {
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t k = 0; k < decoded.size(); ++k) {
        const auto frame = onset + static_cast<std::size_t>(k * kRate / kChipSampleRate);
        const auto next = onset + static_cast<std::size_t>((k + 1) * kRate / kChipSampleRate);
        for (std::size_t f = frame; f < next && f < out.size(); ++f) {
            xy += double(out[f]) * decoded[k];
            xx += double(out[f]) * out[f];
            yy += double(decoded[k]) * decoded[k];
        }
    }
    return xy / std::sqrt(xx * yy);
}

TEST(AdpcmPlayback, ASampleSoundsAsTheChipDecodesItAndStopsAtItsEnd) {
    const SampleRig rig({testing::sine(4625, 440, 0.5)});  // 0.25 s
    const std::vector<std::int16_t> out = rig.play({{0.2, 0x04}}, 0.8);
    const std::size_t onset = firstSound(out);
    ASSERT_LT(onset, out.size());
    EXPECT_NEAR(double(onset) / kRate, 0.2, 0.002) << "the command plays at once";

    const std::vector<int> decoded = rig.decoded(0);
    double best = 0;
    for (std::size_t start = onset > 3 ? onset - 3 : 0; start <= onset + 3; ++start)
        best = std::max(best, correlationAt(out, decoded, start));
    EXPECT_GE(best, 0.99);
    RecordProperty("correlation", std::to_string(best));

    // The end block is the last one played; then the channel is silent.
    const auto end = onset + static_cast<std::size_t>(decoded.size() * kRate / kChipSampleRate);
    EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(end + 3), out.end(),
                            [](std::int16_t s) { return s == 0; }));
    EXPECT_TRUE(std::any_of(out.begin() + static_cast<std::ptrdiff_t>(end - 400),
                            out.begin() + static_cast<std::ptrdiff_t>(end - 3),
                            [](std::int16_t s) { return s != 0; }));
}

TEST(AdpcmPlayback, AdpcmOffStopsAtOnce) {
    const SampleRig rig({testing::sine(18500, 330, 0.5)});  // 1 s
    const std::vector<std::int16_t> out = rig.play({{0.2, 0x04}, {0.5, 0x7F}}, 0.8);
    const auto at = [](double seconds) { return static_cast<std::size_t>(seconds * kRate); };
    EXPECT_TRUE(std::any_of(out.begin() + at(0.45), out.begin() + at(0.5),
                            [](std::int16_t s) { return s != 0; }));
    EXPECT_TRUE(
        std::all_of(out.begin() + at(0.501), out.end(), [](std::int16_t s) { return s == 0; }));
}

// The driver plays each trigger on the next of the six channels, so six samples sound together
// and each as it would alone.
TEST(AdpcmPlayback, SixChannelsPlaySixIndependentVoices) {
    std::vector<std::vector<std::int16_t>> sounds;
    for (int k = 0; k < 6; ++k)
        sounds.push_back(testing::sine(9250, 220.0 + 110 * k, 0.3));
    const SampleRig rig(sounds);
    std::vector<std::pair<double, std::uint8_t>> all;
    for (int k = 0; k < 6; ++k)
        all.push_back({0.2 + 0.01 * k, static_cast<std::uint8_t>(0x04 + k)});
    const std::vector<std::int16_t> together = rig.play(all, 0.9);
    std::vector<int> sum(together.size(), 0);
    for (const auto& command : all) {
        const std::vector<std::int16_t> alone = rig.play({command}, 0.9);
        for (std::size_t i = 0; i < sum.size(); ++i)
            sum[i] += alone[i];
    }
    EXPECT_TRUE(std::equal(together.begin(), together.end(), sum.begin()));
    EXPECT_NE(firstSound(together), together.size());
}

// A raised end flag keeps a channel silent until it is cleared, so the driver clears the flag
// before each key-on: a sample sent seven times plays seven times (channel 0 twice), each at the
// chip's level.
TEST(AdpcmPlayback, ASampleSentSevenTimesPlaysSevenTimesAtTheChipsLevel) {
    const SampleRig rig({testing::sine(1850, 440, 1.0)});  // 0.1 s
    std::vector<std::pair<double, std::uint8_t>> commands;
    for (int k = 0; k < 7; ++k)
        commands.push_back({0.2 + 0.15 * k, 0x04});
    std::vector<qvxsnd::RegisterWrite> writes;
    const std::vector<std::int16_t> out = rig.play(commands, 1.4, &writes);
    // The first 1800 chip samples of each play; the rest of the last block is silence.
    const std::vector<int> decoded = rig.decoded(0);
    const double expected =
        std::inner_product(decoded.begin(), decoded.begin() + 1800, decoded.begin(), 0.0) / 1800;
    const auto frames = static_cast<long>(1800 * kRate / kChipSampleRate);
    for (const auto& [at, command] : commands) {
        const auto from = out.begin() + static_cast<long>(at * kRate);
        const auto onset = from + static_cast<long>(firstSound({from, out.end()}));
        const double power = std::inner_product(onset, onset + frames, onset, 0.0) / double(frames);
        EXPECT_NEAR(10 * std::log10(power / expected), 0.0, 0.1) << "the trigger at " << at;
    }
    int keyOns = 0;  // each after its channel's flag is cleared: its bit, then 0
    for (std::size_t i = 2; i < writes.size(); ++i) {
        if (writes[i].bank != 1 || writes[i].address != 0x00 || writes[i].value >= 0x40) continue;
        ++keyOns;
        EXPECT_EQ(writes[i - 2],
                  (qvxsnd::RegisterWrite{writes[i - 2].frame, 0, 0x1C, writes[i].value}));
        EXPECT_EQ(writes[i - 1], (qvxsnd::RegisterWrite{writes[i - 1].frame, 0, 0x1C, 0x00}));
    }
    EXPECT_EQ(keyOns, 7);

    // The chip itself: without the clear, a channel's second key-on plays nothing.
    qvxsnd::YM2610 chip;
    chip.setAdpcmRom(rig.v1);
    const auto write = [&](int bank, int reg, int value) {
        chip.writeRegister(bank, std::uint8_t(reg), std::uint8_t(value));
    };
    for (int i = 0; i < 4; ++i)
        write(1, 0x10 + 8 * i, rig.table[std::size_t(16 + i)]);
    write(1, 0x00, 0x01);
    std::vector<std::int16_t> buffer(2 * 8820);
    chip.render(buffer.data(), 8820);
    write(1, 0x00, 0x01);
    EXPECT_FALSE(chip.adpcmPlaying(0));
    write(0, 0x1C, 0x01), write(0, 0x1C, 0x00), write(1, 0x00, 0x01);
    EXPECT_TRUE(chip.adpcmPlaying(0));
}

// FM and ADPCM-A keyed on together are heard on the frame of the key-on in both FM syntheses (the
// accurate one's resampler looks ahead; the board runs ahead to make up for it).
TEST(AdpcmPlayback, FmAndAdpcmKeyedTogetherAreHeardOnTheFrameOfTheKeyOn) {
    const SampleRig rig({testing::sine(1850, 440, 1.0)});
    // A program: a sine on FM channel 1 (left) and the sample on ADPCM-A channel 0 (right) set
    // up, a pause, both keyed on, then nothing.
    std::vector<std::uint8_t> program;
    const auto out = [&](int bank, int reg, int value) {  // LD A,reg  OUT  LD A,value  OUT
        program.insert(program.end(),
                       {0x3E, std::uint8_t(reg), 0xD3, std::uint8_t(4 + 2 * bank), 0x3E,
                        std::uint8_t(value), 0xD3, std::uint8_t(5 + 2 * bank)});
    };
    // clang-format off
    for (const auto& [reg, value] :
         {std::pair{0xB1, 0x07}, {0x4D, 0x00}, {0x5D, 0x1F}, {0xB5, 0x80}, {0xA5, 0x24}, {0xA1, 0x0E}})
        out(0, reg, value);
    // clang-format on
    out(1, 0x01, 0x3F), out(1, 0x08, 0x5F);
    for (int i = 0; i < 4; ++i)
        out(1, 0x10 + 8 * i, rig.table[std::size_t(16 + i)]);
    program.insert(program.end(), {0x06, 0xFF, 0x10, 0xFE});  // DJNZ $: a pause
    out(0, 0x28, 0x81), out(1, 0x00, 0x01);
    program.insert(program.end(), {0x18, 0xFE});             // JR $
    std::map<qvxsnd::FmModel, std::array<double, 2>> heard;  // FM, ADPCM-A
    for (const auto model : {qvxsnd::FmModel::Documented, qvxsnd::FmModel::Accurate}) {
        Engine engine(kRate, Engine::TickSource::Host, model);
        double keyOn = 0;
        engine.setWriteObserver(
            [&](auto w) { keyOn = w.address == 0x28 ? double(w.frame) : keyOn; });
        engine.setAdpcmRom(rig.v1);
        engine.sendData(program);
        std::vector<std::int16_t> stereo(2 * 4410);
        engine.render(stereo.data(), 4410);
        // FM counts from where it is past what the accurate synthesis's band limit rings before
        // a sound; ADPCM-A starts at its channel's next turn, up to one of its samples later.
        std::size_t fm = 0, adpcm = 0;
        while (std::abs(stereo[2 * fm]) < 64)
            ++fm;
        while (stereo[2 * adpcm + 1] == 0)
            ++adpcm;
        EXPECT_NEAR(double(fm), keyOn, 1.0) << "FM";
        EXPECT_NEAR(double(adpcm), keyOn, kRate / kChipSampleRate + 1) << "ADPCM-A";
        heard[model] = {double(fm), double(adpcm)};
    }
    for (std::size_t k = 0; k < 2; ++k)
        EXPECT_NEAR(heard[qvxsnd::FmModel::Accurate][k], heard[qvxsnd::FmModel::Documented][k],
                    1.0);
}

// The same tone in the formats of sample packs becomes the same sample: played through the board,
// its pitch within 0.5 % and its level within 1 dB of the 16-bit mono 18500 Hz original's.
TEST(AdpcmPlayback, SoundFilesOfCommonFormatsPlayAsTheOriginal) {
    testing::TempDir dir;
    const auto write = [&](const char* name, int format, int rate, int channels) {
        EXPECT_TRUE(testing::writeSoundFile(dir / name, format, rate, channels, 0.5)) << name;
        return dir / name;
    };
    const std::vector<std::filesystem::path> files = {
        write("original.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 18500, 1),
        write("stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2),
        write("deep.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 1),
        write("tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1),
        write("tone.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 22050, 1),
    };
    const SampleRig rig(files);
    EXPECT_FALSE(rig.samples[0].source) << "the original is read as it is";
    double originalDb = 0;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::vector<std::int16_t> out =
            rig.play({{0.1, static_cast<std::uint8_t>(0x04 + k)}}, 0.6);
        const std::vector<double> left(out.begin(), out.end());
        const double hz = testing::strongestPartial(left, kRate, std::size_t(0.15 * kRate),
                                                    std::size_t(0.3 * kRate), 400, 480);
        const double db =
            testing::windowLevels(left, std::size_t(0.15 * kRate), std::size_t(0.45 * kRate),
                                  std::size_t(0.3 * kRate))[0];
        if (k == 0) originalDb = db;
        EXPECT_NEAR(hz, 440, 440 * 0.005) << files[k].filename();
        EXPECT_NEAR(db, originalDb, 1.0) << files[k].filename();
    }
    EXPECT_EQ(conversionReport(rig.samples[1]),
              "stereo.wav: 44100 Hz stereo 16-bit, converted to 18500 Hz mono");
    EXPECT_EQ(describe(*rig.samples[2].source), "48000 Hz mono 24-bit");
}

}  // namespace
}  // namespace qvx
