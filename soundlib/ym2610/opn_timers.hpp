#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace qvxsnd {

// Timers A and B of the chip, counted in emulated time. Time is kept in units of
// 1 / (clock * rate) seconds: a master clock is `rate` units and an output sample `clock` units,
// so both periods and sample steps are exact integers and the timers never drift against the
// rendered audio.
class OpnTimers {
  public:
    OpnTimers(std::uint32_t clock, std::uint32_t rate) : clock_(clock), rate_(rate) {}

    void reset();
    void writeTimerAHigh(std::uint8_t value);  // register 0x24: bits 9-2
    void writeTimerALow(std::uint8_t value);   // register 0x25: bits 1-0
    void writeTimerB(std::uint8_t value);      // register 0x26
    void writeMode(std::uint8_t value);        // register 0x27: load, enable and reset bits

    // Moves emulated time on by the given number of output samples, or time units.
    void advance(std::uint32_t frames) { advanceUnits(static_cast<std::int64_t>(frames) * clock_); }
    void advanceUnits(std::int64_t units);

    std::uint8_t flags() const { return flags_; }
    // Samples still to render until the timer next overflows, or nothing while it is stopped.
    std::optional<std::uint64_t> framesUntilOverflow(int timer) const;

    // Master clocks of one period with the current register values.
    std::int64_t periodClocks(int timer) const;

    // Time units until a timer whose flag is enabled next overflows (raising the IRQ line), or
    // nothing while no such timer runs.
    std::optional<std::int64_t> unitsUntilIrq() const;

  private:
    struct Counter {
        bool running = false;
        std::int64_t remaining = 0;  // time units until the next overflow, > 0 while running
    };

    std::int64_t clock_;
    std::int64_t rate_;
    int valueA_ = 0;
    int valueB_ = 0;
    std::uint8_t mode_ = 0;
    std::uint8_t flags_ = 0;
    std::array<Counter, 2> counters_{};
};

}  // namespace qvxsnd
