#include "soundlib/ym2610/opn_timers.hpp"

namespace qvxsnd {

void OpnTimers::reset() {
    valueA_ = 0;
    valueB_ = 0;
    flags_ = 0;
    counters_ = {};
}

void OpnTimers::writeTimerAHigh(std::uint8_t value) {
    valueA_ = (valueA_ & 0x003) | (value << 2);
}

void OpnTimers::writeTimerALow(std::uint8_t value) {
    valueA_ = (valueA_ & 0x3FC) | (value & 3);
}

void OpnTimers::writeTimerB(std::uint8_t value) {
    valueB_ = value;
}

std::int64_t OpnTimers::periodClocks(int timer) const {
    return timer == 0 ? 144 * (1024 - valueA_) : 144 * 16 * (256 - valueB_);
}

void OpnTimers::writeMode(std::uint8_t value) {
    for (int t = 0; t < 2; ++t) {
        Counter& c = counters_[static_cast<std::size_t>(t)];
        const bool load = (value & (1 << t)) != 0;
        // The counter is loaded only when the load bit comes on; writing it again while the
        // timer runs leaves the count alone, which is how a tick routine can keep rewriting 0x27.
        if (load && !c.running) {
            c.running = true;
            c.remaining = periodClocks(t) * rate_;
        } else if (!load) {
            c.running = false;
            c.remaining = 0;
        }
    }
    if (value & 0x10) flags_ &= static_cast<std::uint8_t>(~1);
    if (value & 0x20) flags_ &= static_cast<std::uint8_t>(~2);
    mode_ = value;
}

void OpnTimers::advanceUnits(std::int64_t elapsed) {
    for (int t = 0; t < 2; ++t) {
        Counter& c = counters_[static_cast<std::size_t>(t)];
        if (!c.running) continue;
        c.remaining -= elapsed;
        if (c.remaining > 0) continue;
        // An overflow raises the flag only while its enable bit is set; the timer reloads from
        // the current register value and runs on either way.
        if (mode_ & (4 << t)) flags_ |= static_cast<std::uint8_t>(1 << t);
        const std::int64_t period = periodClocks(t) * rate_;
        c.remaining += (-c.remaining / period + 1) * period;
    }
}

std::optional<std::uint64_t> OpnTimers::framesUntilOverflow(int timer) const {
    if (timer < 0 || timer > 1) return std::nullopt;
    const Counter& c = counters_[static_cast<std::size_t>(timer)];
    if (!c.running) return std::nullopt;
    return static_cast<std::uint64_t>((c.remaining + clock_ - 1) / clock_);
}

std::optional<std::int64_t> OpnTimers::unitsUntilIrq() const {
    std::optional<std::int64_t> soonest;
    for (int t = 0; t < 2; ++t) {
        const Counter& c = counters_[static_cast<std::size_t>(t)];
        if (!c.running || !(mode_ & (4 << t))) continue;
        if (!soonest || c.remaining < *soonest) soonest = c.remaining;
    }
    return soonest;
}

}  // namespace qvxsnd
