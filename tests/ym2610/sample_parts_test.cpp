// The SSG and ADPCM-B as a program meets them: pitches and levels, the end flag's rules, what a
// stopped or repeating channel does, and each part in its own source for the scopes. Their sound
// against an independent chip is in tests/soundlib/chip_parts_comparison_test.cpp.
#include <gtest/gtest.h>


#include "soundlib/ym2610/ym2610.hpp"

namespace qvxsnd {
namespace {

constexpr std::uint32_t kRate = 125000;  // an output frame for every two SSG steps at 8 MHz

struct Rendered {
    std::vector<std::int16_t> left;
    std::vector<SourceFrame> sources;
};

Rendered render(YM2610& chip, std::size_t frames) {
    std::vector<std::int16_t> stereo(frames * 2);
    Rendered r{{}, std::vector<SourceFrame>(frames)};
    chip.render(stereo.data(), frames, r.sources.data());
    for (std::size_t i = 0; i < frames; ++i)
        r.left.push_back(stereo[2 * i]);
    return r;
}

// Rising edges of the left output over a second's worth of frames.
std::size_t risingEdges(const std::vector<std::int16_t>& x) {
    std::size_t edges = 0;
    for (std::size_t i = 1; i < x.size(); ++i)
        edges += x[i - 1] == 0 && x[i] > 0;
    return edges;
}

TEST(Ssg, TonePitchLevelsMixerAndReadBack) {
    // A tone's period counts chip steps of clock/32 for each half of the square; 0 counts as 1,
    // which turns at every step and so averages to half the level in each frame of two steps.
    for (const int period : {0, 1, 2, 100, 4095}) {
        YM2610 chip(8'000'000, kRate);
        chip.writeRegister(0, 0x02, period & 0xFF);
        chip.writeRegister(0, 0x03, period >> 8);
        chip.writeRegister(0, 0x07, 0x3D);  // tone B alone
        chip.writeRegister(0, 0x09, 15);
        const Rendered r = render(chip, kRate);
        const std::int16_t half = static_cast<std::int16_t>(Ssg::amplitude(31) / 2);
        if (period < 2) {
            EXPECT_EQ(r.left[kRate / 2], half) << period;
            continue;
        }
        EXPECT_NEAR(double(risingEdges(r.left)), 125000.0 / period, 1.0) << period;
        EXPECT_EQ(*std::max_element(r.left.begin(), r.left.end()), Ssg::amplitude(31)) << period;
        // Channel B's own source, the others quiet.
        EXPECT_EQ(r.sources[kRate / 2].level[SourceFrame::kFirstSsg + 1],
                  r.left[kRate / 2]) << period;
        EXPECT_EQ(r.sources[kRate / 2].level[SourceFrame::kFirstSsg], 0);
    }
    // Tone and noise both off: the gate stays open, the level is heard steadily.
    YM2610 chip(8'000'000, kRate);
    chip.writeRegister(0, 0x07, 0x3F);
    chip.writeRegister(0, 0x0A, 8);
    const Rendered steady = render(chip, 100);
    EXPECT_EQ(steady.left.back(), Ssg::amplitude(17));
    EXPECT_EQ(steady.sources.back().level[SourceFrame::kFirstSsg + 2], Ssg::amplitude(17));
    // Registers read back with only the bits they hold.
    chip.writeRegister(0, 0x01, 0xFF);
    chip.writeRegister(0, 0x06, 0xFF);
    chip.writeRegister(0, 0x0D, 0xFF);
    EXPECT_EQ(chip.readSsgRegister(0x01), 0x0F);
    EXPECT_EQ(chip.readSsgRegister(0x06), 0x1F);
    EXPECT_EQ(chip.readSsgRegister(0x0D), 0x0F);
}

// A sample of `blocks` 256-byte blocks of code 7 (the largest rise), then zeros.
std::vector<std::uint8_t> rom(int blocks) {
    std::vector<std::uint8_t> bytes(std::size_t(blocks) * 256 + 1024, 0);
    std::fill_n(bytes.begin(), std::size_t(blocks) * 256, std::uint8_t{0x77});
    return bytes;
}

void startB(YM2610& chip, int endBlock, int deltaN, int control = 0x80) {
    chip.writeRegister(0, 0x11, 0xC0);
    chip.writeRegister(0, 0x12, 0);
    chip.writeRegister(0, 0x13, 0);
    chip.writeRegister(0, 0x14, endBlock & 0xFF);
    chip.writeRegister(0, 0x15, endBlock >> 8);
    chip.writeRegister(0, 0x19, deltaN & 0xFF);
    chip.writeRegister(0, 0x1A, deltaN >> 8);
    chip.writeRegister(0, 0x1B, 255);
    chip.writeRegister(0, 0x10, static_cast<std::uint8_t>(control));
}

TEST(AdpcmB, RateEndFlagRepeatAndStop) {
    constexpr std::uint32_t kChipRate = 8'000'000 / 144;
    const std::vector<std::uint8_t> data = rom(1);  // 512 codes
    {
        // At delta-N 32768 a code every other chip sample: 512 codes take 1024 samples.
        YM2610 chip(8'000'000, kChipRate);
        chip.setAdpcmRom(data);
        startB(chip, 0, 32768);
        render(chip, 1020);
        EXPECT_EQ(chip.readAdpcmStatus() & 0x80, 0);
        const Rendered r = render(chip, 10);
        EXPECT_EQ(chip.readAdpcmStatus() & 0x80, 0x80);
        EXPECT_EQ(r.left.back(), 0) << "a sample that has ended is silent";
        EXPECT_NE(r.sources[0].level[SourceFrame::kAdpcmB], 0);
        // The flag stays up across a key-on until 0x1C clears it; a masked one never rises.
        startB(chip, 0, 32768);
        EXPECT_EQ(chip.readAdpcmStatus() & 0x80, 0x80);
        chip.writeRegister(0, 0x1C, 0x80);
        EXPECT_EQ(chip.readAdpcmStatus() & 0x80, 0);
        render(chip, 1100);
        EXPECT_EQ(chip.readAdpcmStatus() & 0x80, 0);
        chip.writeRegister(0, 0x1C, 0x00);
        // ADPCM-A's flags are not touched by ADPCM-B's bit, nor the other way round.
        chip.writeRegister(0, 0x1C, 0x3F);
        startB(chip, 0, 65535);
        render(chip, 600);
        EXPECT_EQ(chip.readAdpcmStatus(), 0x80);
    }
    {
        // Repeat starts again at the end; a write without the start bit stops it, holding the
        // value it had reached; reset silences it.
        YM2610 chip(8'000'000, kChipRate);
        chip.setAdpcmRom(data);
        startB(chip, 0, 65535, 0x90);
        const Rendered r = render(chip, 2000);
        EXPECT_NE(r.left.back(), 0) << "still playing after four rounds";
        EXPECT_EQ(chip.readAdpcmStatus() & 0x80, 0x80);
        chip.writeRegister(0, 0x10, 0x00);
        const Rendered held = render(chip, 10);
        EXPECT_EQ(held.left.front(), held.left.back());
        EXPECT_NE(held.left.back(), 0);
        chip.writeRegister(0, 0x10, 0x01);
        EXPECT_EQ(render(chip, 10).left.back(), 0);
    }
}

}  // namespace
}  // namespace qvxsnd
