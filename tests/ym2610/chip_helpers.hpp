#pragma once

// Register-level helpers and signal measurements shared by the YM2610 tests.

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

#include "soundlib/ym2610/registers.hpp"
#include "soundlib/ym2610/ym2610.hpp"

namespace qvxsnd::testing {

inline constexpr double kRate = 44100.0;
inline constexpr double kClock = 8000000.0;

struct OpVoice {
    int dt = 0;
    int mul = 1;
    int tl = 0;
    int ks = 0;
    int ar = 31;
    int am = 0;
    int d1r = 0;
    int d2r = 0;
    int sl = 0;
    int rr = 15;
    int ssg = 0;
};

// Channel index 0-5 as the chip numbers them: bank = index / 3, channel code = index % 3.
class Chip {
  public:
    qvxsnd::YM2610 ym;

    void reg(int bank, int address, int value) {
        ym.writeRegister(bank, static_cast<std::uint8_t>(address),
                         static_cast<std::uint8_t>(value));
    }

    void op(int ch, int n, const OpVoice& v) {
        const int b = ch / 3;
        const int base = ch % 3 + ym::kOperatorOffset[n - 1];
        reg(b, ym::kDetuneMultiple + base, (v.dt << 4) | v.mul);
        reg(b, ym::kTotalLevel + base, v.tl);
        reg(b, ym::kKeyScaleAttack + base, (v.ks << 6) | v.ar);
        reg(b, ym::kAmDecay + base, (v.am << 7) | v.d1r);
        reg(b, ym::kSustainRate + base, v.d2r);
        reg(b, ym::kSustainLevelRelease + base, (v.sl << 4) | v.rr);
        reg(b, ym::kSsgEnvelope + base, v.ssg);
    }

    void voice(int ch, int algorithm, int feedback, const OpVoice& all) {
        for (int n = 1; n <= 4; ++n)
            op(ch, n, all);
        reg(ch / 3, ym::kFeedbackAlgorithm + ch % 3, (feedback << 3) | algorithm);
    }

    void freq(int ch, int block, int fnum) {
        reg(ch / 3, ym::kBlockFnumHigh + ch % 3, (block << 3) | (fnum >> 8));
        reg(ch / 3, ym::kFnumLow + ch % 3, fnum & 0xFF);
    }

    // opMask bit 0..3 = operator 1..4.
    void key(int ch, int opMask) {
        reg(0, ym::kKeyOnOff, (opMask << 4) | (ch % 3) | (ch >= 3 ? 4 : 0));
    }

    void pan(int ch, int value) { reg(ch / 3, ym::kPanLfoSensitivity + ch % 3, value); }

    // A plain sine on operator 4 of an algorithm-7 channel.
    void sine(int ch, int block, int fnum, int mul = 1, int dt = 0) {
        OpVoice v;
        v.mul = mul;
        v.dt = dt;
        voice(ch, 7, 0, v);
        freq(ch, block, fnum);
        key(ch, 0x8);
    }

    std::vector<std::int16_t> render(std::size_t frames) {
        std::vector<std::int16_t> out(frames * 2);
        ym.render(out.data(), frames);
        return out;
    }

    std::vector<double> left(std::size_t frames) {
        const auto out = render(frames);
        std::vector<double> l(frames);
        for (std::size_t i = 0; i < frames; ++i)
            l[i] = out[2 * i];
        return l;
    }
};

// Sub-sample positions where the signal crosses zero going up.
inline std::vector<double> upCrossings(const std::vector<double>& s) {
    std::vector<double> at;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) at.push_back(double(i - 1) + s[i - 1] / (s[i - 1] - s[i]));
    }
    return at;
}

inline double frequencyOf(const std::vector<double>& s, double rate = kRate) {
    const auto c = upCrossings(s);
    if (c.size() < 2) return 0;
    return double(c.size() - 1) * rate / (c.back() - c.front());
}

// Largest magnitude in each window of `window` samples.
inline std::vector<double> peaks(const std::vector<double>& s, std::size_t window) {
    std::vector<double> p;
    for (std::size_t i = 0; i + window <= s.size(); i += window) {
        double m = 0;
        for (std::size_t k = i; k < i + window; ++k)
            m = std::max(m, std::abs(s[k]));
        p.push_back(m);
    }
    return p;
}

// Share of the signal's power at frequency f, over a whole number of its cycles.
inline double powerShareAt(const std::vector<double>& s, double f) {
    const double cycles = std::floor(double(s.size()) * f / kRate);
    const auto n = static_cast<std::size_t>(std::lround(cycles * kRate / f));
    std::complex<double> x = 0;
    double total = 0;
    for (std::size_t k = 0; k < n; ++k) {
        x += s[k] * std::polar(1.0, -2 * std::numbers::pi * f * double(k) / kRate);
        total += s[k] * s[k];
    }
    return total == 0 ? 0 : 2 * std::norm(x) / double(n) / total;
}

inline double rms(const std::vector<double>& s) {
    double t = 0;
    for (double v : s)
        t += v * v;
    return s.empty() ? 0 : std::sqrt(t / double(s.size()));
}

// The frequency an F-number, block and MUL give at an 8 MHz master clock.
inline double expectedFrequency(int fnum, int block, int mul) {
    const double factor = mul == 0 ? 0.5 : mul;
    return fnum * kClock / 144 * std::pow(2.0, block - 1) / std::pow(2.0, 20) * factor;
}

// Envelope rate step per sample in counter units (level step = 65536) for rate index a = 2R+ks.
inline double rateStep(int a) {
    const double b = kClock / kRate / 144;
    if (a < 2) return 0;
    if (a > 63) a = 63;
    const double scale = a <= 59 ? 1 + (a & 3) * 0.25 : 1;
    return std::floor(std::pow(2.0, a >> 2) * scale * b * 65536 / 12288);
}

}  // namespace qvxsnd::testing
