#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

// Measurements of rendered sound for comparing two renders of the same chip writes: levels in
// short windows, the frequency of a partial, the levels of harmonics and the power between them.
namespace qvx::testing {

// One channel of 16-bit stereo as doubles.
inline std::vector<double> leftChannel(const std::vector<std::int16_t>& stereo) {
    std::vector<double> out(stereo.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = stereo[2 * i];
    return out;
}

// A second-order low-pass (Butterworth) at `hz`, for x sampled at `rate`.
inline std::vector<double> lowPassed(const std::vector<double>& x, double hz, double rate) {
    const double w = 2 * std::numbers::pi * hz / rate, alpha = std::sin(w) / std::sqrt(2.0),
                 c = std::cos(w), a0 = 1 + alpha;
    const double b0 = (1 - c) / 2 / a0, b1 = (1 - c) / a0, a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
    std::vector<double> y(x.size());
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        y[i] = b0 * (x[i] + x2) + b1 * x1 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x[i];
        y2 = y1;
        y1 = y[i];
    }
    return y;
}

// RMS level in dB (full scale 32768 = 0 dB) of consecutive windows of `window` samples.
inline std::vector<double> windowLevels(const std::vector<double>& x, std::size_t from,
                                        std::size_t to, std::size_t window) {
    std::vector<double> levels;
    for (std::size_t at = from; at + window <= std::min(to, x.size()); at += window) {
        double sum = 0;
        for (std::size_t i = at; i < at + window; ++i)
            sum += x[i] * x[i];
        levels.push_back(
            10 * std::log10(sum / static_cast<double>(window) / (32768.0 * 32768.0) + 1e-20));
    }
    return levels;
}

// The power at `hz` over x[from, from + count), Hann-windowed.
inline double powerAt(const std::vector<double>& x, double rate, std::size_t from,
                      std::size_t count, double hz) {
    const double w = 2 * std::numbers::pi * hz / rate;
    double re = 0, im = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(count));
        re += x[from + i] * hann * std::cos(w * double(i));
        im -= x[from + i] * hann * std::sin(w * double(i));
    }
    return (re * re + im * im) / (double(count) * double(count));
}

// The frequency of the strongest partial between `low` and `high`, to within a thousandth of a
// hertz (golden-section refinement around the best of a coarse scan).
inline double strongestPartial(const std::vector<double>& x, double rate, std::size_t from,
                               std::size_t count, double low, double high) {
    const double step = rate / double(count) / 4;
    double best = low, bestPower = -1;
    for (double hz = low; hz <= high; hz += step)
        if (const double p = powerAt(x, rate, from, count, hz); p > bestPower) {
            bestPower = p;
            best = hz;
        }
    double a = best - step, b = best + step;
    const double phi = (std::sqrt(5.0) - 1) / 2;
    while (b - a > 0.001) {
        const double c = b - phi * (b - a), d = a + phi * (b - a);
        if (powerAt(x, rate, from, count, c) > powerAt(x, rate, from, count, d))
            b = d;
        else
            a = c;
    }
    return (a + b) / 2;
}

// Power spectrum of x[from, from + n) (n a power of two), Hann-windowed: bins 0 .. n/2.
inline std::vector<double> powerSpectrum(const std::vector<double>& x, std::size_t from,
                                         std::size_t n) {
    std::vector<std::complex<double>> a(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(n));
        a[i] = x[from + i] * hann;
    }
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * std::numbers::pi / double(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1;
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wk *= w;
            }
        }
    }
    std::vector<double> power(n / 2 + 1);
    for (std::size_t k = 0; k <= n / 2; ++k)
        power[k] = std::norm(a[k]);
    return power;
}

struct Spectrum {
    std::vector<double> harmonicsDb;  // harmonics 1..n, dB relative to the strongest
    double outsideDb = 0;             // power away from every harmonic, dB relative to all
};

// The power (dB) of x[from, from + n) (n a power of two) in each band between consecutive
// `edges` (Hz), for sounds compared by their spectrum rather than their waveform.
inline std::vector<double> bandLevels(const std::vector<double>& x, double rate, std::size_t from,
                                      std::size_t n, const std::vector<double>& edges) {
    const std::vector<double> power = powerSpectrum(x, from, n);
    std::vector<double> out;
    for (std::size_t b = 0; b + 1 < edges.size(); ++b) {
        double sum = 0;
        for (std::size_t k = 0; k < power.size(); ++k) {
            const double hz = double(k) * rate / double(n);
            if (hz >= edges[b] && hz < edges[b + 1]) sum += power[k];
        }
        out.push_back(10 * std::log10(sum + 1e-30));
    }
    return out;
}

// The harmonics of `f0` and what lies between them in x[from, from + n).
inline Spectrum spectrum(const std::vector<double>& x, double rate, std::size_t from, std::size_t n,
                         double f0, int harmonics) {
    const std::vector<double> power = powerSpectrum(x, from, n);
    const double binHz = rate / double(n);
    double total = 0, outside = 0;
    Spectrum s;
    s.harmonicsDb.assign(static_cast<std::size_t>(harmonics), -200);
    for (std::size_t k = 1; k < power.size(); ++k) {
        const double hz = double(k) * binHz;
        total += power[k];
        const double nearest = std::round(hz / f0);
        // A harmonic's main lobe under the Hann window: two bins either side.
        if (nearest >= 1 && std::fabs(hz - nearest * f0) <= 2.5 * binHz) {
            if (nearest <= harmonics) {
                double& h = s.harmonicsDb[static_cast<std::size_t>(nearest) - 1];
                h = std::max(h, 10 * std::log10(power[k] + 1e-30));
            }
        } else {
            outside += power[k];
        }
    }
    const double top = *std::max_element(s.harmonicsDb.begin(), s.harmonicsDb.end());
    for (double& h : s.harmonicsDb)
        h -= top;
    s.outsideDb = 10 * std::log10((outside + 1e-30) / (total + 1e-30));
    return s;
}

// The lag, in whole windows of `window` samples (within +-max), at which b's levels best match
// a's over windows both hear.
inline int bestWindowLag(const std::vector<double>& a, const std::vector<double>& b, int max) {
    int best = 0;
    double bestError = 1e300;
    for (int lag = -max; lag <= max; ++lag) {
        double error = 0;
        int counted = 0;
        for (std::size_t i = static_cast<std::size_t>(max);
             i + static_cast<std::size_t>(max) < a.size() &&
             i + static_cast<std::size_t>(max) < b.size();
             ++i) {
            const double va = a[i], vb = b[static_cast<std::size_t>(static_cast<long>(i) + lag)];
            if (va < -80 && vb < -80) continue;
            error += (va - vb) * (va - vb);
            ++counted;
        }
        if (counted > 0 && error / counted < bestError) {
            bestError = error / counted;
            best = lag;
        }
    }
    return best;
}

}  // namespace qvx::testing
