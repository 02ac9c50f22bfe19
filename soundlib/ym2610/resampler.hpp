#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvxsnd {

// Band-limited conversion of a stereo stream from one fixed rate to another: a Kaiser-windowed
// sinc low-pass just below the lower rate's band edge, evaluated at each output sample's exact
// position in the input (a polyphase table with 512 positions between two input samples).
class Resampler {
  public:
    static constexpr int kTaps = 32;  // input samples each output sample weighs
    static constexpr int kPhases = 512;

    Resampler(double inputRate, double outputRate);

    // Input samples still to be pushed before the next output sample can be made.
    std::size_t inputsNeeded() const {
        if (passThrough_) return pending_ ? 0 : 1;
        const auto needed = static_cast<std::int64_t>(next_) + kTaps / 2 + 1;
        return needed > pushed_ ? static_cast<std::size_t>(needed - pushed_) : 0;
    }
    void push(std::int32_t left, std::int32_t right);
    // How many output samples an input is heard late: the window reaches half its width ahead
    // of the position it is centred on, and those inputs are made when the output is asked for.
    int delay() const {
        return passThrough_ ? 0 : static_cast<int>(std::lround(kTaps / 2 / step_));
    }
    // The next output sample; call only once inputsNeeded() is 0.
    void pull(std::int32_t& left, std::int32_t& right);

  private:
    // Equal rates: every input is an output, untouched.
    bool passThrough_ = false;
    bool pending_ = false;
    double step_;      // input samples per output sample
    double next_ = 0;  // the next output sample's position, in input samples
    std::int64_t pushed_ = 0;
    // kPhases rows of kTaps weights, each weight twice (for the left and the right input), so that
    // a row lines up with the interleaved inputs and the sum is element-wise.
    std::vector<float> table_;
    // The last kTaps stereo inputs interleaved, kept twice over so that a window never wraps
    // round.
    std::array<float, 4 * kTaps> inputs_{};
    int head_ = 0;
};

}  // namespace qvxsnd
