// Measured behaviour of the FM synthesis: pitch, detune, envelopes, algorithms, feedback, LFO.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <vector>

#include "tests/ym2610/chip_helpers.hpp"

namespace qvxsnd {
namespace {

using namespace testing;

// Skips the first samples of a note so that measurements see the steady tone.
std::vector<double> after(const std::vector<double>& s, std::size_t skip) {
    return {s.begin() + static_cast<std::ptrdiff_t>(skip), s.end()};
}

TEST(Ym2610Pitch, FNumber1038Block4Is440Hz) {
    Chip chip;
    chip.sine(1, 4, 1038);
    const double f = frequencyOf(after(chip.left(44100), 441));
    EXPECT_NEAR(f, 440.0, 440.0 * 0.002);
}

TEST(Ym2610Pitch, NoteTableOverBlocksAndMultiples) {
    // One F-number per block, kept low enough that MUL 15 stays below the Nyquist limit.
    constexpr std::array<int, 8> kFnum = {0, 1038, 1555, 700, 1234, 1100, 600, 300};
    for (int block = 1; block <= 7; ++block) {
        for (int mul = 0; mul <= 15; ++mul) {
            Chip chip;
            chip.sine(1, block, kFnum[block], mul);
            const double expected = expectedFrequency(kFnum[block], block, mul);
            const double f = frequencyOf(after(chip.left(22050), 200));
            EXPECT_NEAR(f, expected, expected * 0.002) << "block " << block << " MUL " << mul;
        }
    }
}

TEST(Ym2610Pitch, DetuneRaisesForOneToThreeAndLowersForFiveToSeven) {
    // Block 7, F-number 300: key code 28, where detune is largest.
    std::array<double, 8> f{};
    for (int dt = 0; dt < 8; ++dt) {
        Chip chip;
        chip.sine(1, 7, 300, 1, dt);
        f[dt] = frequencyOf(after(chip.left(22050), 200));
    }
    EXPECT_LT(f[0], f[1]);
    EXPECT_LT(f[1], f[2]);
    EXPECT_LT(f[2], f[3]);
    EXPECT_NEAR(f[4], f[0], 1e-6);
    EXPECT_GT(f[0], f[5]);
    EXPECT_GT(f[5], f[6]);
    EXPECT_GT(f[6], f[7]);
    for (int dt = 1; dt <= 3; ++dt)
        EXPECT_NEAR(f[dt] - f[0], f[0] - f[dt + 4], 0.01) << dt;
    // Detune bytes at key code 28 are 8, 16 and 22 F-number steps of block 7.
    const double step = kClock / 144 / std::pow(2.0, 20);
    EXPECT_NEAR(f[1] - f[0], 8 * step, 8 * step * 0.05);
    EXPECT_NEAR(f[3] - f[0], 22 * step, 22 * step * 0.05);
}

TEST(Ym2610Envelope, InstantAttackReachesFullLevelInOneSampleThenDecays) {
    Chip chip;
    OpVoice v;
    v.ar = 31;
    v.d1r = 20;
    v.sl = 15;
    chip.voice(1, 7, 0, v);
    chip.freq(1, 7, 2047);
    EXPECT_EQ(chip.ym.envelopeLevel(1, 4), 1023);
    chip.key(1, 0x8);
    chip.render(1);
    EXPECT_EQ(chip.ym.envelopeLevel(1, 4), 0);
    EXPECT_EQ(chip.ym.envelopePhase(1, 4), EnvelopePhase::Decay1);
    // The second sample is already at full amplitude: 4084 * sin(57 degrees) after one step.
    const auto s = chip.left(1);
    EXPECT_GT(std::abs(s[0]), 3350);
    chip.render(2000);
    EXPECT_GT(chip.ym.envelopeLevel(1, 4), 0);
}

TEST(Ym2610Envelope, TotalLevel127IsSilentAsCarrierAndAsModulator) {
    Chip silent;
    OpVoice quiet;
    quiet.tl = 127;
    silent.voice(1, 7, 0, quiet);
    silent.freq(1, 4, 1038);
    silent.key(1, 0xF);
    for (auto v : silent.render(4410))
        ASSERT_EQ(v, 0);

    // A TL 127 modulator leaves its carrier a plain sine.
    Chip alone;
    Chip modulated;
    for (Chip* c : {&alone, &modulated}) {
        c->voice(1, 6, 0, OpVoice{});
        c->op(1, 1, quiet);
        c->freq(1, 4, 1038);
    }
    alone.key(1, 0x2);
    modulated.key(1, 0x3);
    EXPECT_EQ(alone.render(4410), modulated.render(4410));
}

// Number of whole exponential attack steps from silence until the level is at most `level`.
int attackSteps(int level) {
    int l = 1023;
    int steps = 0;
    while (l > level) {
        l -= (l >> 4) + 1;
        ++steps;
    }
    return steps;
}

TEST(Ym2610Envelope, AttackAndDecayTimesFollowTheRateTable) {
    // Block 5, F-number 1038: 880 Hz, key code 22, key-scale value 22 >> 3 = 2 with KS 0.
    constexpr int kKeyScale = 2;
    constexpr std::size_t kWindow = 32;  // holds at least one peak of the 880 Hz tone
    for (int ar : {12, 14, 16}) {
        Chip chip;
        OpVoice v;
        v.ar = ar;
        chip.voice(1, 7, 0, v);
        chip.freq(1, 5, 1038);
        chip.key(1, 0x8);
        const auto p = peaks(chip.left(44100), kWindow);
        const double full = p.back();
        for (int level : {256, 32}) {
            const double threshold = full * std::pow(2.0, -(level + 0.5) / 64);
            const auto hit =
                std::find_if(p.begin(), p.end(), [&](double a) { return a >= threshold; });
            ASSERT_NE(hit, p.end());
            const double measured = double(hit - p.begin()) * kWindow;
            const double predicted = attackSteps(level) * 65536.0 / rateStep(2 * ar + kKeyScale);
            EXPECT_NEAR(measured, predicted, predicted * 0.05) << "AR " << ar << " level " << level;
        }
    }
    for (int d1r : {8, 10, 12}) {
        Chip chip;
        OpVoice v;
        v.d1r = d1r;
        v.sl = 4;  // 12 dB: 128 level steps
        chip.voice(1, 7, 0, v);
        chip.freq(1, 5, 1038);
        chip.key(1, 0x8);
        const auto p = peaks(chip.left(88200), kWindow);
        const double full = p.front();
        const double sustain = full * std::pow(2.0, -128.0 / 64);
        const double threshold = full * std::pow(2.0, -127.5 / 64);
        const auto hit = std::find_if(p.begin(), p.end(), [&](double a) { return a <= threshold; });
        ASSERT_NE(hit, p.end());
        const double measured = double(hit - p.begin()) * kWindow;
        const double predicted = 127.5 * 65536.0 / rateStep(2 * d1r + kKeyScale);
        EXPECT_NEAR(measured, predicted, predicted * 0.05) << "D1R " << d1r;
        EXPECT_NEAR(p.back(), sustain, sustain * 0.02) << "holds the sustain level";
        EXPECT_EQ(chip.ym.envelopePhase(1, 4), EnvelopePhase::Decay2);
    }
}

TEST(Ym2610Envelope, ReleaseFadesToSilenceAndTurnsTheOperatorOff) {
    Chip chip;
    OpVoice v;
    v.rr = 8;
    chip.voice(1, 7, 0, v);
    chip.freq(1, 5, 1038);
    chip.key(1, 0x8);
    chip.render(1000);
    chip.key(1, 0x0);
    EXPECT_EQ(chip.ym.envelopePhase(1, 4), EnvelopePhase::Release);
    // RR 8 runs at rate index 4 * 8 + 2 plus the key-scale value 2.
    const double predicted = 1023 * 65536.0 / rateStep(36);
    const auto p = peaks(chip.left(static_cast<std::size_t>(predicted * 1.1)), 32);
    EXPECT_LT(p[p.size() * 8 / 10], p.front() / 4);
    EXPECT_EQ(p.back(), 0);
    EXPECT_EQ(chip.ym.envelopePhase(1, 4), EnvelopePhase::Off);
}

TEST(Ym2610Envelope, KeyScalingShortensHighNotes) {
    auto decayTime = [](int ks, int block) {
        Chip chip;
        OpVoice v;
        v.ks = ks;
        v.d1r = 10;
        v.sl = 4;
        chip.voice(1, 7, 0, v);
        chip.freq(1, block, 1038);
        chip.key(1, 0x8);
        int n = 0;
        while (chip.ym.envelopePhase(1, 4) != EnvelopePhase::Decay2 && n < 200000) {
            chip.render(16);
            n += 16;
        }
        return n;
    };
    EXPECT_EQ(decayTime(0, 0), decayTime(0, 1)) << "KS 0 ignores the low key codes";
    EXPECT_GT(decayTime(3, 1), decayTime(3, 7) * 3);
    EXPECT_LT(decayTime(3, 7), decayTime(0, 7));
}

// Peaks, one per half cycle of an 880 Hz tone, of an operator driven by an SSG envelope.
std::vector<double> ssgShape(int ssg, std::size_t frames, bool releaseHalfway = false) {
    Chip chip;
    OpVoice v;
    v.rr = 10;
    v.d1r = 25;
    v.d2r = 25;
    v.sl = 15;
    v.ssg = ssg;
    chip.voice(1, 7, 0, v);
    chip.freq(1, 5, 1038);
    chip.key(1, 0x8);
    if (!releaseHalfway) return peaks(chip.left(frames), 32);
    auto first = chip.left(frames / 2);
    chip.key(1, 0x0);
    auto second = chip.left(frames / 2);
    first.insert(first.end(), second.begin(), second.end());
    return peaks(first, 32);
}

int countRises(const std::vector<double>& p, double high, double low) {
    int rises = 0;
    bool wasLow = false;
    for (double a : p) {
        if (a < low) wasLow = true;
        if (a > high && wasLow) {
            ++rises;
            wasLow = false;
        }
    }
    return rises;
}

TEST(Ym2610Envelope, SsgEnvelopesRepeatHoldAndAlternate) {
    constexpr std::size_t kFrames = 44100;
    const auto repeat = ssgShape(0x08, kFrames);
    const auto hold = ssgShape(0x09, kFrames);
    const auto alternate = ssgShape(0x0A, kFrames);
    const auto holdHigh = ssgShape(0x0B, kFrames);
    const double top = repeat.front();
    EXPECT_GE(countRises(repeat, top * 0.9, top * 0.01), 3) << "\\\\\\ restarts the decay";
    EXPECT_EQ(countRises(hold, top * 0.9, top * 0.01), 0) << "\\___ stays down";
    EXPECT_EQ(hold.back(), 0);
    EXPECT_GE(countRises(alternate, top * 0.9, top * 0.01), 2) << "\\/\\/ goes back up";
    EXPECT_GT(holdHigh.back(), top * 0.9) << "\\--- holds at the top";
    // Without the enable bit the same decay simply ends in silence.
    const auto plain = ssgShape(0x02, kFrames);
    EXPECT_EQ(plain.back(), 0);
    EXPECT_EQ(countRises(plain, top * 0.9, top * 0.01), 0);
}

TEST(Ym2610Envelope, InvertedSsgNoteIsSilentUnkeyedAndReleasesToSilence) {
    Chip idle;
    OpVoice v;
    v.ssg = 0x0D;  // inverted from the start, hold: /---
    idle.voice(1, 7, 0, v);
    idle.freq(1, 5, 1038);
    for (auto s : idle.render(2000))
        ASSERT_EQ(s, 0) << "no key-on, no sound";

    const auto p = ssgShape(0x0D, 44100, true);
    const std::size_t half = p.size() / 2;
    EXPECT_GT(p[half - 1], 1000) << "held at the top while keyed";
    EXPECT_GT(p[half + 1], p[half - 1] * 0.5) << "release starts from the heard level";
    EXPECT_EQ(p.back(), 0);
}

// The modulation graph of each algorithm: modulator -> modulated operator.
struct Edge {
    int from;
    int to;
};
const std::array<std::vector<Edge>, 8> kEdges = {{
    {{1, 2}, {2, 3}, {3, 4}},
    {{1, 3}, {2, 3}, {3, 4}},
    {{1, 4}, {2, 3}, {3, 4}},
    {{1, 2}, {2, 4}, {3, 4}},
    {{1, 2}, {3, 4}},
    {{1, 2}, {1, 3}, {1, 4}},
    {{1, 2}},
    {},
}};
const std::array<std::set<int>, 8> kCarriers = {
    {{4}, {4}, {4}, {4}, {2, 4}, {2, 3, 4}, {2, 3, 4}, {1, 2, 3, 4}}};

std::vector<double> playOperators(int algorithm, int opMask, std::size_t frames = 8820) {
    Chip chip;
    chip.voice(1, algorithm, 0, OpVoice{});
    // Modulators at TL 24 (about pi of phase swing) keep the spectra harmonic and distinct.
    OpVoice modulator;
    modulator.tl = 24;
    for (int op = 1; op <= 4; ++op) {
        if (!kCarriers[algorithm].count(op)) chip.op(1, op, modulator);
    }
    chip.freq(1, 4, 1038);
    chip.key(1, opMask);
    return chip.left(frames);
}

bool hasEdge(int algorithm, int from, int to) {
    for (const Edge& e : kEdges[algorithm]) {
        if (e.from == from && e.to == to) return true;
    }
    return false;
}

// The operators that carry `op`'s output to the channel output, including `op` itself.
int pathToOutput(int algorithm, int op) {
    int mask = 1 << (op - 1);
    while (!kCarriers[algorithm].count(op)) {
        for (const Edge& e : kEdges[algorithm]) {
            if (e.from == op) {
                op = e.to;
                break;
            }
        }
        mask |= 1 << (op - 1);
    }
    return mask;
}

TEST(Ym2610Algorithms, CarriersAreAudibleAlone) {
    for (int alg = 0; alg < 8; ++alg) {
        for (int op = 1; op <= 4; ++op) {
            const double level = rms(playOperators(alg, 1 << (op - 1), 2205));
            if (kCarriers[alg].count(op)) {
                EXPECT_GT(level, 1000) << "algorithm " << alg << " operator " << op;
            } else {
                EXPECT_EQ(level, 0) << "algorithm " << alg << " operator " << op;
            }
        }
    }
}

// Power shares of the first eight harmonics; all operators run at the same pitch here, so the
// sound is harmonic and this profile describes its timbre.
std::array<double, 8> harmonicProfile(const std::vector<double>& s, double f) {
    std::array<double, 8> p{};
    for (std::size_t k = 0; k < p.size(); ++k)
        p[k] = powerShareAt(s, f * double(k + 1));
    return p;
}

double profileDistance(const std::array<double, 8>& a, const std::array<double, 8>& b) {
    double d = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        d += std::abs(a[k] - b[k]);
    return d;
}

TEST(Ym2610Algorithms, ModulatorsChangeTheSpectrumOnlyWhereRouted) {
    const double f = expectedFrequency(1038, 4, 1);
    for (int alg = 0; alg < 8; ++alg) {
        for (const Edge& e : kEdges[alg]) {
            const int path = pathToOutput(alg, e.to);
            const auto plain = playOperators(alg, path);
            const auto modulated = playOperators(alg, path | (1 << (e.from - 1)));
            EXPECT_GT(profileDistance(harmonicProfile(plain, f), harmonicProfile(modulated, f)),
                      0.3)
                << alg << ": " << e.from << "->" << e.to;
            if (path == 1 << (e.to - 1)) {
                EXPECT_GT(powerShareAt(plain, f), 0.99) << "a lone carrier is a sine";
                EXPECT_LT(powerShareAt(modulated, f), 0.6) << alg << ": " << e.from << "->" << e.to;
            }
        }
        // An operator that does not modulate a carrier only adds its own output to it.
        for (int c : kCarriers[alg]) {
            for (int m = 1; m <= 4; ++m) {
                if (m == c || hasEdge(alg, m, c)) continue;
                const auto both = playOperators(alg, (1 << (c - 1)) | (1 << (m - 1)), 2205);
                const auto carrier = playOperators(alg, 1 << (c - 1), 2205);
                const auto other = playOperators(alg, 1 << (m - 1), 2205);
                double worst = 0;
                for (std::size_t i = 0; i < both.size(); ++i) {
                    worst = std::max(worst, std::abs(both[i] - carrier[i] - other[i]));
                }
                EXPECT_LE(worst, 1) << alg << ": " << m << " beside " << c;
            }
        }
    }
}

TEST(Ym2610Algorithms, OperatorOneModulatesOneSampleLateTheOthersAtOnce) {
    // Algorithm 6: operator 1 -> operator 2 (a carrier).
    const auto carrier2 = playOperators(6, 0x2, 4);
    const auto with1 = playOperators(6, 0x3, 4);
    EXPECT_EQ(with1[0], carrier2[0]);
    EXPECT_NE(with1[1], carrier2[1]);
    // Algorithm 4: operator 3 -> operator 4 within the same sample.
    const auto carrier4 = playOperators(4, 0x8, 4);
    const auto with3 = playOperators(4, 0xC, 4);
    EXPECT_NE(with3[0], carrier4[0]);
}

TEST(Ym2610Feedback, RaisesHarmonicsOfOperatorOneOnly) {
    const double f = expectedFrequency(1038, 4, 1);
    std::array<double, 8> share{};
    for (int fb = 0; fb < 8; ++fb) {
        Chip chip;
        chip.voice(1, 7, fb, OpVoice{});
        chip.freq(1, 4, 1038);
        chip.key(1, 0x1);
        share[fb] = powerShareAt(chip.left(8820), f);
    }
    EXPECT_GT(share[0], 0.999);
    EXPECT_GT(share[1], 0.98);
    for (int fb = 2; fb <= 4; ++fb)
        EXPECT_LT(share[fb], share[fb - 1]) << fb;
    for (int fb = 4; fb <= 7; ++fb)
        EXPECT_LT(share[fb], 0.7) << fb;

    // Operator 4 has no feedback path.
    Chip none;
    Chip full;
    none.voice(1, 7, 0, OpVoice{});
    full.voice(1, 7, 7, OpVoice{});
    for (Chip* c : {&none, &full}) {
        c->freq(1, 4, 1038);
        c->key(1, 0x8);
    }
    EXPECT_EQ(none.render(4410), full.render(4410));
}

// Per-cycle frequency of a tone.
std::vector<double> instantaneousPitch(const std::vector<double>& s) {
    const auto c = upCrossings(s);
    std::vector<double> f;
    for (std::size_t i = 1; i < c.size(); ++i)
        f.push_back(kRate / (c[i] - c[i - 1]));
    return f;
}

std::vector<double> vibratoPitch(int lfo, int pms, std::size_t frames) {
    Chip chip;
    chip.reg(0, 0x22, lfo);
    chip.sine(1, 4, 1038);
    chip.pan(1, 0xC0 | pms);
    return instantaneousPitch(chip.left(frames));
}

TEST(Ym2610Lfo, VibratoDepthFollowsPms) {
    const double f0 = expectedFrequency(1038, 4, 1);
    const auto deep = vibratoPitch(0x08, 7, 44100);
    const auto [lo, hi] = std::minmax_element(deep.begin(), deep.end());
    // PMS 7 swings the pitch by about 80 cents each way.
    EXPECT_NEAR(*hi / f0, 1.05, 0.005);
    EXPECT_NEAR(*lo / f0, 0.95, 0.005);
    const auto mild = vibratoPitch(0x08, 4, 44100);
    const auto [mlo, mhi] = std::minmax_element(mild.begin(), mild.end());
    EXPECT_NEAR(*mhi / f0, 1.0083, 0.002);
    EXPECT_NEAR(*mlo / f0, 1 / 1.0083, 0.002);
    const auto none = vibratoPitch(0x08, 0, 44100);
    const auto [nlo, nhi] = std::minmax_element(none.begin(), none.end());
    EXPECT_LT(*nhi / *nlo, 1.002);

    // LFO rate 0 is about 3.98 Hz: the pitch peaks that far apart.
    std::vector<std::size_t> tops;
    for (std::size_t i = 1; i + 1 < deep.size(); ++i) {
        if (deep[i] > f0 * 1.045 && (tops.empty() || i - tops.back() > 20)) tops.push_back(i);
    }
    ASSERT_GE(tops.size(), 3U);
    const double period = double(tops[2] - tops[1]) / f0;
    EXPECT_NEAR(1 / period, 3.98, 0.2);
}

TEST(Ym2610Lfo, TremoloDepthFollowsAmsOnAmEnabledOperators) {
    auto swingDb = [](int ams, int amOn) {
        Chip chip;
        chip.reg(0, 0x22, 0x08 | 3);  // LFO rate 3, about 6.4 Hz
        OpVoice v;
        v.am = amOn;
        chip.voice(1, 7, 0, v);
        chip.freq(1, 5, 1038);
        chip.pan(1, 0xC0 | (ams << 4));
        chip.key(1, 0x8);
        const auto p = peaks(chip.left(44100), 32);
        const auto [lo, hi] = std::minmax_element(p.begin() + 10, p.end());
        return 20 * std::log10(*hi / *lo);
    };
    EXPECT_NEAR(swingDb(3, 1), 11.9, 0.5);
    EXPECT_NEAR(swingDb(2, 1), 5.9, 0.4);
    EXPECT_NEAR(swingDb(1, 1), 1.4, 0.3);
    EXPECT_LT(swingDb(3, 0), 0.1) << "operator without AM enable";
    EXPECT_LT(swingDb(0, 1), 0.1) << "AMS 0";
}

TEST(Ym2610Lfo, StoppedLfoLeavesTheSoundUntouched) {
    Chip plain;
    Chip sensitive;
    for (Chip* c : {&plain, &sensitive}) {
        OpVoice v;
        v.am = 1;
        v.d1r = 5;
        v.sl = 3;
        c->voice(1, 4, 3, v);
        c->freq(1, 4, 1038);
        c->key(1, 0xF);
    }
    sensitive.pan(1, 0xC0 | 0x37);  // AMS 3, PMS 7
    sensitive.reg(0, 0x22, 0x05);   // rate bits without the enable bit
    EXPECT_EQ(plain.render(8820), sensitive.render(8820));
}

}  // namespace
}  // namespace qvxsnd
