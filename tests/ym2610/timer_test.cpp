// Timers A and B counted in emulated time: flags, IRQ line, reload, reset and load semantics.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/ym2610/chip_helpers.hpp"

namespace qvxsnd {
namespace {

using namespace testing;

constexpr std::uint64_t kClockHz = 8000000;
constexpr std::uint64_t kRateHz = 44100;

// First sample count at which `periods` whole periods of `clocks` master clocks have passed.
std::uint64_t samplesFor(std::uint64_t clocks, std::uint64_t periods = 1) {
    const std::uint64_t units = clocks * periods * kRateHz;
    return (units + kClockHz - 1) / kClockHz;
}

std::uint64_t timerAClocks(int a) {
    return 144 * (1024 - static_cast<std::uint64_t>(a));
}
std::uint64_t timerBClocks(int b) {
    return 144 * 16 * (256 - static_cast<std::uint64_t>(b));
}

void setTimerA(Chip& chip, int a) {
    chip.reg(0, 0x24, a >> 2);
    chip.reg(0, 0x25, a & 3);
}

// Renders one sample at a time and returns how many it took until the status shows `bit`.
std::uint64_t samplesUntilFlag(Chip& chip, std::uint8_t bit, std::uint64_t limit) {
    std::int16_t frame[2];
    for (std::uint64_t n = 1; n <= limit; ++n) {
        chip.ym.render(frame, 1);
        if (chip.ym.readStatus() & bit) return n;
    }
    return 0;
}

TEST(Ym2610Timers, FlagsRiseAfterTheExactNumberOfSamples) {
    for (int a : {0, 1, 100, 512, 1000, 1023}) {
        Chip chip;
        setTimerA(chip, a);
        chip.reg(0, 0x27, 0x05);  // load and enable timer A
        const std::uint64_t expected = samplesFor(timerAClocks(a));
        EXPECT_EQ(chip.ym.framesUntilTimerOverflow(YM2610::kTimerA), expected) << "A = " << a;
        EXPECT_EQ(samplesUntilFlag(chip, 0x01, expected + 10), expected) << "A = " << a;
        EXPECT_EQ(chip.ym.readStatus(), 0x01);
    }
    for (int b : {0, 1, 128, 200, 255}) {
        Chip chip;
        chip.reg(0, 0x26, b);
        chip.reg(0, 0x27, 0x0A);  // load and enable timer B
        const std::uint64_t expected = samplesFor(timerBClocks(b));
        EXPECT_EQ(chip.ym.framesUntilTimerOverflow(YM2610::kTimerB), expected) << "B = " << b;
        EXPECT_EQ(samplesUntilFlag(chip, 0x02, expected + 10), expected) << "B = " << b;
        EXPECT_EQ(chip.ym.readStatus(), 0x02);
    }
}

TEST(Ym2610Timers, PeriodicReloadDoesNotDrift) {
    Chip chip;
    setTimerA(chip, 1000);  // 3456 master clocks: 19.05 samples, not a whole number
    chip.reg(0, 0x27, 0x05);
    std::uint64_t elapsed = 0;
    for (std::uint64_t k = 1; k <= 200; ++k) {
        elapsed += samplesUntilFlag(chip, 0x01, 100);
        ASSERT_EQ(elapsed, samplesFor(timerAClocks(1000), k)) << "overflow " << k;
        chip.reg(0, 0x27, 0x15);  // reset flag A, keep it loaded and enabled
        ASSERT_EQ(chip.ym.readStatus(), 0);
    }
}

TEST(Ym2610Timers, IrqFollowsEnableBitsAndResetBitsClearFlags) {
    Chip chip;
    chip.reg(0, 0x26, 250);
    chip.reg(0, 0x27, 0x03);  // both load bits, no enable bits
    chip.render(20000);
    EXPECT_EQ(chip.ym.readStatus(), 0) << "a timer without its enable bit raises no flag";
    EXPECT_FALSE(chip.ym.irq());
    EXPECT_TRUE(chip.ym.framesUntilTimerOverflow(YM2610::kTimerA).has_value());

    chip.reg(0, 0x27, 0x0F);  // enable both; the load bits were already set
    chip.render(20000);
    EXPECT_EQ(chip.ym.readStatus(), 0x03);
    EXPECT_TRUE(chip.ym.irq());
    chip.reg(0, 0x27, 0x1F);  // reset A
    EXPECT_EQ(chip.ym.readStatus(), 0x02);
    EXPECT_TRUE(chip.ym.irq());
    chip.reg(0, 0x27, 0x2F);  // reset B
    EXPECT_EQ(chip.ym.readStatus(), 0x00);
    EXPECT_FALSE(chip.ym.irq());
    // Clearing an enable bit later does not take back a flag already raised.
    chip.render(20000);
    chip.reg(0, 0x27, 0x03);
    EXPECT_EQ(chip.ym.readStatus(), 0x03);
    EXPECT_TRUE(chip.ym.irq());
    EXPECT_EQ(chip.ym.readStatus() & 0x80, 0) << "never busy";
}

TEST(Ym2610Timers, LoadBitStartsOnlyWhenOffAndClearingItStops) {
    // A tick routine rewriting 0x27 with the load bits set must not restart the count.
    Chip chip;
    chip.reg(0, 0x27, 0x3F);
    const std::uint64_t expected = samplesFor(timerAClocks(0));  // 813 samples
    for (int i = 0; i < 3; ++i) {
        chip.render(250);
        chip.reg(0, 0x27, 0x3F);
    }
    EXPECT_EQ(chip.ym.readStatus() & 1, 0);
    EXPECT_EQ(samplesUntilFlag(chip, 0x01, 100), expected - 750);

    chip.reg(0, 0x27, 0x30);  // load bits off: both timers stop, flags cleared
    EXPECT_FALSE(chip.ym.framesUntilTimerOverflow(YM2610::kTimerA).has_value());
    EXPECT_FALSE(chip.ym.framesUntilTimerOverflow(YM2610::kTimerB).has_value());
    chip.reg(0, 0x27, 0x0C);
    chip.render(100000);
    EXPECT_EQ(chip.ym.readStatus(), 0);

    // A new value written while running applies from the next period on.
    Chip reload;
    setTimerA(reload, 0);
    reload.reg(0, 0x27, 0x05);
    reload.render(10);
    setTimerA(reload, 1000);
    EXPECT_EQ(samplesUntilFlag(reload, 0x01, 1000), samplesFor(timerAClocks(0)) - 10);
    reload.reg(0, 0x27, 0x15);
    EXPECT_EQ(reload.ym.framesUntilTimerOverflow(YM2610::kTimerA),
              samplesFor(timerAClocks(0) + timerAClocks(1000)) - samplesFor(timerAClocks(0)));
}

TEST(Ym2610Timers, TimersDoNotTouchTheSound) {
    Chip quiet;
    Chip ticking;
    for (Chip* c : {&quiet, &ticking})
        c->sine(1, 4, 1038);
    ticking.reg(0, 0x27, 0x3F);
    EXPECT_EQ(quiet.render(8820), ticking.render(8820));
}

}  // namespace
}  // namespace qvxsnd
