#include "soundlib/ym2610/fm_tables.hpp"

#include <cmath>
#include <numbers>

namespace qvxsnd::fm {
namespace {

// LFO speeds as phase steps (2^32 per LFO cycle) per 144 master clocks.
constexpr std::array<double, 8> kLfoConstants = {
    307691.45708544, 429840.32698367996, 465402.65619456, 492460.95015936,
    531888.74993664, 744489.6310886401,  3718582.6848768, 5581739.497881601};

// Vibrato depth in cents by PMS.
constexpr std::array<double, 8> kPmCents = {0, 3.4, 6.7, 10, 14, 20, 40, 80};

// The tables below round a positive value by halving it and adding back the dropped bit.
int halveRounded(int n) {
    return n / 2 + (n & 1);
}

SharedTables buildShared() {
    SharedTables t;
    for (int x = 0; x < 256; ++x) {
        const double m = std::floor(65536.0 / std::pow(2.0, (x + 1) / 256.0));
        int n = static_cast<int>(m) >> 4;
        n = halveRounded(n) * 4;
        for (int i = 0; i <= 12; ++i) {
            t.levelToAmplitude[2 * x + 512 * i] = n >> i;
            t.levelToAmplitude[2 * x + 1 + 512 * i] = -(n >> i);
        }
    }
    for (int i = 0; i < kSineLength; ++i) {
        const double m = std::sin((2 * i + 1) * std::numbers::pi / 1024.0);
        const double o = 8.0 * std::log2(1.0 / std::fabs(m)) / 0.03125;
        const int n = halveRounded(static_cast<int>(2.0 * o));
        t.sine[i] = static_cast<std::uint32_t>(2 * n + (m < 0.0 ? 1 : 0));
    }
    for (int i = 0; i < kLfoLength; ++i) {
        t.lfoTriangle[i] = i < 256 ? i * 256 : (512 - i) * 65536 / 256;
    }
    for (int i = 0; i < 8; ++i) {
        t.pmSensitivity[i] = static_cast<int>(kPmCents[i] * 0.00125 * 1024);
    }
    return t;
}

}  // namespace

const SharedTables& sharedTables() {
    static const SharedTables tables = buildShared();
    return tables;
}

RateTables RateTables::build(double clock, double rate) {
    const double b = clock / rate / 144.0;
    RateTables t;
    for (int f = 0; f < 2048; ++f) {
        t.fnumIncrement[f] = static_cast<std::int32_t>(f * 64 * b * 64);
    }
    for (int row = 0; row < 4; ++row) {
        for (int k = 0; k < 32; ++k) {
            const auto v = static_cast<std::int32_t>(kDetuneSteps[row][k] * b * 64);
            t.detune[row][k] = v;
            t.detune[row + 4][k] = -v;
        }
    }
    for (int k = 34; k < 96; ++k) {
        const int a = k - 32;
        const double octave = std::ldexp(1.0, a >> 2);
        const double v = a <= 59 ? octave * (1 + (a & 3) * 0.25) * b * 65536 / 12288
                                 : octave * b * 65536 / 12288;
        t.rateSteps[k] = static_cast<std::int32_t>(v);
    }
    for (int k = 96; k < kRateTableLength; ++k)
        t.rateSteps[k] = t.rateSteps[95];
    for (int i = 0; i < 8; ++i) {
        t.lfoIncrement[i] = static_cast<std::uint32_t>(kLfoConstants[i] * b);
    }
    return t;
}

}  // namespace qvxsnd::fm
