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
    : step_(inputRate / outputRate), table_(static_cast<std::size_t>(kPhases * kTaps)) {
    passThrough_ = std::fabs(inputRate - outputRate) < 1e-9;
    // Cut-off as a fraction of the input rate; below both Nyquist frequencies.
    const double cutoff = kPassFraction * 0.5 * std::min(inputRate, outputRate) / inputRate;
    const double half = kTaps / 2.0;
    for (int p = 0; p < kPhases; ++p) {
        const double frac = static_cast<double>(p) / kPhases;
        double sum = 0;
        for (int j = 0; j < kTaps; ++j) {
            // Distance from the output position to input j of the window.
            const double x = frac + (half - 1) - j;
            const double s = x == 0 ? 1.0
                                    : std::sin(2 * std::numbers::pi * cutoff * x) /
                                          (2 * std::numbers::pi * cutoff * x);
            const double r = x / half;
            const double w =
                std::fabs(r) < 1 ? bessel0(kBeta * std::sqrt(1 - r * r)) / bessel0(kBeta) : 0;
            const double h = s * w;
            table_[static_cast<std::size_t>(p * kTaps + j)] = static_cast<float>(h);
            sum += h;
        }
        // Unit gain at every position, so a constant passes unchanged.
        for (int j = 0; j < kTaps; ++j)
            table_[static_cast<std::size_t>(p * kTaps + j)] /= static_cast<float>(sum);
    }
}

void Resampler::push(std::int32_t left, std::int32_t right) {
    if (passThrough_) {
        left_[0] = static_cast<float>(left);
        right_[0] = static_cast<float>(right);
        pending_ = true;
        return;
    }
    left_[static_cast<std::size_t>(head_)] = left_[static_cast<std::size_t>(head_ + kTaps)] =
        static_cast<float>(left);
    right_[static_cast<std::size_t>(head_)] = right_[static_cast<std::size_t>(head_ + kTaps)] =
        static_cast<float>(right);
    head_ = head_ + 1 == kTaps ? 0 : head_ + 1;
    ++pushed_;
}

void Resampler::pull(std::int32_t& left, std::int32_t& right) {
    if (passThrough_) {
        left = static_cast<std::int32_t>(left_[0]);
        right = static_cast<std::int32_t>(right_[0]);
        pending_ = false;
        return;
    }
    const double base = std::floor(next_);
    const auto phase = std::min(static_cast<int>((next_ - base) * kPhases), kPhases - 1);
    const float* weights = &table_[static_cast<std::size_t>(phase * kTaps)];
    // The window's oldest input is the oldest one kept: head_ points at it.
    const float* l = &left_[static_cast<std::size_t>(head_)];
    const float* r = &right_[static_cast<std::size_t>(head_)];
    float sumL = 0, sumR = 0;
    for (int j = 0; j < kTaps; ++j) {
        sumL += weights[j] * l[j];
        sumR += weights[j] * r[j];
    }
    left = static_cast<std::int32_t>(std::lround(sumL));
    right = static_cast<std::int32_t>(std::lround(sumR));
    next_ += step_;
}

}  // namespace qvxsnd
