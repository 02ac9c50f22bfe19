#include "soundlib/ym2610/resampler.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qvxsnd {
namespace {

constexpr double kBeta = 8.0;          // Kaiser window: about 80 dB between the bands
constexpr double kPassFraction = 0.9;  // of the lower rate's half, kept flat

// The zeroth-order modified Bessel function, by its series.
double bessel0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

}  // namespace

Resampler::Resampler(double inputRate, double outputRate)
    : step_(inputRate / outputRate), table_(static_cast<std::size_t>(kPhases * kTaps * 2)) {
    passThrough_ = std::fabs(inputRate - outputRate) < 1e-9;
    // Cut-off as a fraction of the input rate; below both Nyquist frequencies.
    const double cutoff = kPassFraction * 0.5 * std::min(inputRate, outputRate) / inputRate;
    const double half = kTaps / 2.0;
    const double edge = bessel0(kBeta);
    for (int p = 0; p < kPhases; ++p) {
        const double frac = static_cast<double>(p) / kPhases;
        std::array<double, kTaps> row{};
        double sum = 0;
        for (int j = 0; j < kTaps; ++j) {
            // Distance from the output position to input j of the window.
            const double x = frac + (half - 1) - j;
            const double s = x == 0 ? 1.0
                                    : std::sin(2 * std::numbers::pi * cutoff * x) /
                                          (2 * std::numbers::pi * cutoff * x);
            const double r = x / half;
            const double w = std::fabs(r) < 1 ? bessel0(kBeta * std::sqrt(1 - r * r)) / edge : 0;
            row[static_cast<std::size_t>(j)] = s * w;
            sum += s * w;
        }
        // Unit gain at every position, so a constant passes unchanged.
        for (int j = 0; j < kTaps; ++j) {
            const auto h = static_cast<float>(row[static_cast<std::size_t>(j)] / sum);
            table_[static_cast<std::size_t>((p * kTaps + j) * 2)] = h;
            table_[static_cast<std::size_t>((p * kTaps + j) * 2 + 1)] = h;
        }
    }
}

void Resampler::push(std::int32_t left, std::int32_t right) {
    if (passThrough_) {
        inputs_[0] = static_cast<float>(left);
        inputs_[1] = static_cast<float>(right);
        pending_ = true;
        return;
    }
    const auto at = static_cast<std::size_t>(head_ * 2);
    inputs_[at] = inputs_[at + 2 * kTaps] = static_cast<float>(left);
    inputs_[at + 1] = inputs_[at + 2 * kTaps + 1] = static_cast<float>(right);
    head_ = head_ + 1 == kTaps ? 0 : head_ + 1;
    ++pushed_;
}

void Resampler::pull(std::int32_t& left, std::int32_t& right) {
    if (passThrough_) {
        left = static_cast<std::int32_t>(inputs_[0]);
        right = static_cast<std::int32_t>(inputs_[1]);
        pending_ = false;
        return;
    }
    const double base = std::floor(next_);
    const auto phase = std::min(static_cast<int>((next_ - base) * kPhases), kPhases - 1);
    const float* weights = &table_[static_cast<std::size_t>(phase * kTaps * 2)];
    // The window's oldest input is the oldest one kept: head_ points at it.
    const float* x = &inputs_[static_cast<std::size_t>(head_ * 2)];
    // Four partial sums per side, element by element, so that the compiler can keep them in
    // vector registers; even lanes are left, odd lanes right.
    constexpr int kLanes = 8;
    std::array<float, kLanes> acc{};
    for (int j = 0; j < 2 * kTaps; j += kLanes)
        for (int k = 0; k < kLanes; ++k)
            acc[static_cast<std::size_t>(k)] += weights[j + k] * x[j + k];
    const float sumL = (acc[0] + acc[2]) + (acc[4] + acc[6]);
    const float sumR = (acc[1] + acc[3]) + (acc[5] + acc[7]);
    // Round to nearest, halves away from zero.
    left = static_cast<std::int32_t>(sumL + (sumL < 0 ? -0.5f : 0.5f));
    right = static_cast<std::int32_t>(sumR + (sumR < 0 ? -0.5f : 0.5f));
    next_ += step_;
}

}  // namespace qvxsnd
