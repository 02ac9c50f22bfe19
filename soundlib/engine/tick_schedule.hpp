#pragma once

#include <cstdint>

namespace qvxsnd {

// When the board's periodic tick interrupt comes, in board time (Z80 T-states at 4 MHz): every
// 16 ms, the first one period after the start-up delay. The engine delivers ticks by it; the
// driver tests tick their board by it too, so both see the same spacing.
class TickSchedule {
  public:
    static constexpr std::uint64_t kPeriod = 64'000;  // 16 ms
    static constexpr std::uint64_t kFirstDelay =
        264'000;  // 50 ms + one period after an image starts

    // The first tick comes at `at`.
    void startAt(std::uint64_t at) { next_ = at; }
    std::uint64_t next() const { return next_; }

    // Whether a tick is due at `now`. When it is, the schedule moves on by one period.
    bool due(std::uint64_t now) {
        if (now < next_) return false;
        next_ += kPeriod;
        return true;
    }

  private:
    std::uint64_t next_ = 0;
};

}  // namespace qvxsnd
