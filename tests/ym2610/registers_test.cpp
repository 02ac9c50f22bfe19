// Register map, initial state, ignored writes, the write observer and argument checking.

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "tests/ym2610/chip_helpers.hpp"

namespace qvxsnd {
namespace {

using namespace testing;

TEST(Ym2610Init, StartsSilentWithEveryChannelOnBothSides) {
    Chip chip;
    for (auto v : chip.render(4410))
        ASSERT_EQ(v, 0);
    EXPECT_EQ(chip.ym.readStatus(), 0);
    EXPECT_FALSE(chip.ym.irq());
    for (int ch : {1, 2, 4, 5}) {
        Chip c;
        c.sine(ch, 4, 1038);
        const auto out = c.render(2205);
        double left = 0;
        for (std::size_t i = 0; i < out.size(); i += 2) {
            ASSERT_EQ(out[i], out[i + 1]) << "channel " << ch;
            left += std::abs(out[i]);
        }
        EXPECT_GT(left / 2205, 1000) << "channel " << ch;
    }
}

TEST(Ym2610Pan, MasksSelectTheSides) {
    for (int ch : {1, 5}) {
        for (int pan : {0x00, 0x40, 0x80, 0xC0}) {
            Chip c;
            c.sine(ch, 4, 1038);
            c.pan(ch, pan);
            const auto out = c.render(2205);
            double left = 0;
            double right = 0;
            for (std::size_t i = 0; i < out.size(); i += 2) {
                left += std::abs(out[i]);
                right += std::abs(out[i + 1]);
            }
            EXPECT_EQ(left > 0, (pan & 0x80) != 0) << "channel " << ch << " pan " << pan;
            EXPECT_EQ(right > 0, (pan & 0x40) != 0) << "channel " << ch << " pan " << pan;
        }
    }
}

TEST(Ym2610Mix, FourLoudChannelsClampInsteadOfWrapping) {
    Chip chip;
    for (int ch : {1, 2, 4, 5}) {
        chip.voice(ch, 7, 0, OpVoice{});
        chip.freq(ch, 2, 1000);
        chip.key(ch, 0xF);
    }
    const auto out = chip.render(4410);
    int high = 0;
    int low = 0;
    for (auto v : out) {
        high += v == 32767;
        low += v == -32768;
    }
    EXPECT_GT(high, 100);
    EXPECT_GT(low, 100);
}

// A chip with one note on channel index 1, as the reference for writes that must not matter.
Chip referenceNote() {
    Chip c;
    OpVoice v;
    v.d1r = 4;
    v.sl = 2;
    c.voice(1, 4, 5, v);
    c.freq(1, 4, 1038);
    c.key(1, 0xF);
    return c;
}

TEST(Ym2610Registers, IgnoredWritesChangeNothingAudible) {
    Chip plain = referenceNote();
    Chip busy = referenceNote();
    // Channel code 3 in every block, on both banks.
    for (int bank = 0; bank < 2; ++bank) {
        for (int a = 0x33; a <= 0xBF; a += 4)
            busy.reg(bank, a, 0x5A);
    }
    // Channel indices 0 and 3 take full voices and key-ons but are never heard.
    for (int ch : {0, 3}) {
        busy.voice(ch, 7, 7, OpVoice{});
        busy.freq(ch, 4, 700);
        busy.key(ch, 0xF);
    }
    // Key-on with channel codes 3 and 7.
    busy.reg(0, 0x28, 0xF3);
    busy.reg(0, 0x28, 0x07);
    // SSG, ADPCM-B, ADPCM-A and unused mode registers.
    for (int a = 0x00; a < 0x20; ++a)
        busy.reg(0, a, 0xFF);
    for (int a = 0x00; a < 0x30; ++a)
        busy.reg(1, a, 0xFF);
    for (int a : {0x20, 0x21, 0x23, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F})
        busy.reg(0, a, 0xFF);
    // 0xC0-0xFF do nothing; the three-frequency registers exist on the first bank only.
    for (int bank = 0; bank < 2; ++bank) {
        for (int a = 0xB8; a <= 0xFF; ++a)
            busy.reg(bank, a, 0xFF);
    }
    for (int a = 0xA8; a <= 0xAE; ++a)
        busy.reg(1, a, 0x3F);
    EXPECT_EQ(plain.render(8820), busy.render(8820));
}

TEST(Ym2610Registers, FrequencyHighLatchIsSharedByAllChannels) {
    Chip viaOwn;
    Chip viaOther;
    viaOwn.voice(1, 7, 0, OpVoice{});
    viaOther.voice(1, 7, 0, OpVoice{});
    viaOwn.reg(0, 0xA5, (4 << 3) | 4);
    viaOther.reg(0, 0xA4, (4 << 3) | 4);  // channel code 0's register, the same latch
    viaOwn.reg(0, 0xA1, 0x0E);
    viaOther.reg(0, 0xA1, 0x0E);
    viaOwn.key(1, 0x8);
    viaOther.key(1, 0x8);
    const auto a = viaOwn.left(22050);
    EXPECT_EQ(a, viaOther.left(22050));
    EXPECT_NEAR(frequencyOf(a), 440.0, 0.9);
    // The second bank writes the same latch.
    Chip viaBankB;
    viaBankB.voice(1, 7, 0, OpVoice{});
    viaBankB.reg(1, 0xA6, (4 << 3) | 4);
    viaBankB.reg(0, 0xA1, 0x0E);
    viaBankB.key(1, 0x8);
    EXPECT_EQ(a, viaBankB.left(22050));
    // Channel code 3 has no latch register: 0xA7 between the two halves changes nothing.
    Chip codeThree;
    codeThree.voice(1, 7, 0, OpVoice{});
    codeThree.reg(0, 0xA5, (4 << 3) | 4);
    codeThree.reg(0, 0xA7, 0x3F);
    codeThree.reg(1, 0xA7, 0x3F);
    codeThree.reg(0, 0xA1, 0x0E);
    codeThree.key(1, 0x8);
    EXPECT_EQ(a, codeThree.left(22050));
}

TEST(Ym2610Registers, FrequencyChangeDuringANoteTakesEffectAtTheNextRender) {
    Chip chip;
    chip.sine(1, 4, 1038);
    chip.render(2205);
    chip.freq(1, 5, 1038);
    EXPECT_NEAR(frequencyOf(chip.left(22050)), 880.0, 1.8);
}

double soloFrequency(Chip& chip, int op) {
    chip.key(2, 0);
    chip.key(2, 1 << (op - 1));
    chip.render(100);
    return frequencyOf(chip.left(22050));
}

TEST(Ym2610Registers, ThreeFrequencyModeGivesChannelTwoOperatorsTheirOwnPitch) {
    Chip chip;
    chip.voice(2, 7, 0, OpVoice{});
    chip.freq(2, 4, 1038);  // operator 4 keeps this one
    // Three-frequency latch, then 0xA9 -> operator 1, 0xAA -> operator 2, 0xA8 -> operator 3.
    chip.reg(0, 0xAD, (3 << 3) | 4);
    chip.reg(0, 0xA9, 0x0E);  // block 3: 220 Hz
    chip.reg(0, 0xAE, (5 << 3) | 4);
    chip.reg(0, 0xAA, 0x0E);  // block 5: 880 Hz
    chip.reg(0, 0xAC, (2 << 3) | 4);
    chip.reg(0, 0xA8, 0x0E);  // block 2: 110 Hz
    for (int op = 1; op <= 4; ++op)
        EXPECT_NEAR(soloFrequency(chip, op), 440.0, 0.9) << op;

    chip.reg(0, 0x27, 0x40);
    EXPECT_NEAR(soloFrequency(chip, 1), 220.0, 0.5);
    EXPECT_NEAR(soloFrequency(chip, 2), 880.0, 1.8);
    EXPECT_NEAR(soloFrequency(chip, 3), 110.0, 0.3);
    EXPECT_NEAR(soloFrequency(chip, 4), 440.0, 0.9);

    chip.reg(0, 0x27, 0x00);
    EXPECT_NEAR(soloFrequency(chip, 2), 440.0, 0.9)
        << "leaving the mode restores the channel pitch";
}

TEST(Ym2610Observer, SeesEveryDataWriteWithItsSampleTime) {
    Chip chip;
    std::vector<RegisterWrite> seen;
    chip.ym.setWriteObserver([&](const RegisterWrite& w) { seen.push_back(w); });
    chip.ym.write(0, 0x28);  // address latches alone are not writes
    chip.ym.write(2, 0x10);
    EXPECT_TRUE(seen.empty());
    chip.ym.write(1, 0xF1);
    chip.render(100);
    chip.reg(1, 0x00, 0x01);  // ADPCM-A: dropped by the chip, still recorded
    chip.render(23);
    chip.reg(0, 0x05, 0x07);  // SSG
    ASSERT_EQ(seen.size(), 3U);
    EXPECT_EQ(seen[0].frame, 0U);
    EXPECT_EQ(seen[0].bank, 0);
    EXPECT_EQ(seen[0].address, 0x28);
    EXPECT_EQ(seen[0].value, 0xF1);
    EXPECT_EQ(seen[1].frame, 100U);
    EXPECT_EQ(seen[1].bank, 1);
    EXPECT_EQ(seen[1].address, 0x00);
    EXPECT_EQ(seen[2].frame, 123U);
    EXPECT_EQ(seen[2].address, 0x05);
    EXPECT_EQ(chip.ym.framesRendered(), 123U);

    chip.ym.setWriteObserver({});
    chip.reg(0, 0x28, 0x01);
    EXPECT_EQ(seen.size(), 3U);
}

TEST(Ym2610Api, BadArgumentsAreRefusedWithoutSideEffects) {
    EXPECT_THROW(YM2610(8000000, 0), std::invalid_argument);
    EXPECT_THROW(YM2610(0, 44100), std::invalid_argument);
    EXPECT_THROW(YM2610(8000000, 1000000), std::invalid_argument);
    // The message gives the range the chip takes.
    const auto message = [](std::uint32_t clock, std::uint32_t rate) {
        try {
            YM2610 chip(clock, rate);
        } catch (const std::invalid_argument& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message(20000001, 44100),
              "YM2610: master clock 20000001 Hz is outside 1000000..20000000 Hz");
    EXPECT_EQ(message(8000000, 7999), "YM2610: output rate 7999 Hz is outside 8000..192000 Hz");

    Chip chip = referenceNote();
    Chip twin = referenceNote();
    int writes = 0;
    chip.ym.setWriteObserver([&](const RegisterWrite&) { ++writes; });
    EXPECT_THROW(chip.ym.write(4, 0x28), std::out_of_range);
    EXPECT_THROW(chip.ym.write(-1, 0x00), std::out_of_range);
    EXPECT_THROW(chip.ym.writeRegister(2, 0x28, 0x00), std::out_of_range);
    EXPECT_THROW(chip.ym.render(nullptr, 10), std::invalid_argument);
    chip.ym.render(nullptr, 0);
    EXPECT_THROW((void)chip.ym.envelopeLevel(6, 1), std::out_of_range);
    EXPECT_THROW((void)chip.ym.envelopePhase(1, 0), std::out_of_range);
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(chip.ym.framesRendered(), 0U);
    EXPECT_EQ(chip.render(4410), twin.render(4410));
}

TEST(Ym2610Api, RenderingIsDeterministicAndIndependentOfBlockSize) {
    Chip whole = referenceNote();
    Chip pieces = referenceNote();
    Chip other;  // a second instance in between must not disturb the others
    other.sine(2, 6, 900);
    const auto expected = whole.render(5000);
    std::vector<std::int16_t> got;
    for (std::size_t n : {1, 7, 256, 257, 1000, 3479}) {
        const auto part = pieces.render(n);
        other.render(n);
        got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(expected, got);
    // Another output rate keeps the pitch.
    Chip at48k{YM2610(8000000, 48000)};
    at48k.sine(1, 4, 1038);
    EXPECT_NEAR(frequencyOf(at48k.left(24000), 48000.0), 440.0, 0.9);
}

}  // namespace
}  // namespace qvxsnd
