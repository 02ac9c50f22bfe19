// The chip's sample and square-wave parts against an independent YM2610 emulator, MAME's
// vgmplay, both rendering the same register streams at the chip's own rate: ADPCM-A trigger by
// trigger, the SSG's tones, levels, noise and envelopes, and ADPCM-B at its rates, levels,
// repeat, sides and ends. Each sound is measured in both renders against a full-level FM note
// of the same stream. Skipped when MAME is not installed (Debian "mame").
#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>
#include <tuple>

#include "rombuild/adpcm_a.hpp"
#include "rombuild/adpcm_b.hpp"
#include "rombuild/rom_build.hpp"
#include "tests/support/fm_notes.hpp"
#include "tests/support/mame.hpp"
#include "tests/support/sound_analysis.hpp"
#include "tests/support/wav_files.hpp"
#include "tools/offline_render.hpp"

namespace qvx {
namespace {

using namespace testing;

constexpr double kRate = kNotesChipRate;  // MAME renders at the chip's own rate too
constexpr const char* kNoMame =
    "MAME is not installed (Debian package \"mame\"): no independent emulator to compare the "
    "chip's sample and square-wave parts with";

std::size_t at(double seconds) {
    return static_cast<std::size_t>(seconds * kRate);
}

// MAME's render of `vgm`, both channels; empty when MAME failed, nothing without MAME.
std::optional<WavSound> mame(const std::vector<std::uint8_t>& vgm, const VgmStream& stream) {
    return renderVgmInMame(QVX_MAME, vgm, static_cast<double>(stream.samples) / kVgmRate,
                           kNotesChipRate);
}

std::optional<std::vector<double>> mameRender(const std::vector<std::uint8_t>& vgm,
                                              const VgmStream& stream) {
    const std::optional<WavSound> sound = mame(vgm, stream);
    if (!sound) return std::nullopt;
    return sound->samples.empty() ? std::vector<double>{} : sound->channel(0);
}

// Register writes of a hand-made stream, put in time order by `sorted` (writes of one moment
// keep the order they were made in).
struct Stream {
    std::vector<VgmWrite> writes;
    void operator()(double s, int bank, int reg, int value) {
        writes.push_back({static_cast<std::uint64_t>(s * kVgmRate + 0.5), std::uint8_t(bank),
                          std::uint8_t(reg), std::uint8_t(value)});
    }
    // One full-level sine operator on FM channel `slot` of `bank`, set up 50 ms before its
    // key-on (MAME takes its time over many writes at once).
    void fmNote(double key, int bank, int slot, int fnum, double hold = 0.4) {
        auto& w = *this;
        w(key - 0.05, bank, 0xB0 + slot, 0x07);
        w(key - 0.05, bank, 0xB4 + slot, 0xC0);
        for (int op : {0x00, 0x04, 0x08, 0x0C})
            for (const auto& [reg, value] :
                 {std::pair{0x30, 1}, {0x40, op == 0x0C ? 0 : 0x7F}, {0x50, 0x1F}, {0x80, 0x0F}})
                w(key - 0.05, bank, reg + op + slot, value);
        w(key - 0.05, bank, 0xA4 + slot, 4 << 3 | fnum >> 8);
        w(key - 0.05, bank, 0xA0 + slot, fnum & 0xFF);
        w(key, 0, 0x28, 0xF0 | bank * 4 | slot);
        w(key + hold, 0, 0x28, bank * 4 | slot);
    }
    std::vector<VgmWrite> sorted() const {
        std::vector<VgmWrite> out = writes;
        std::stable_sort(out.begin(), out.end(),
                         [](const VgmWrite& a, const VgmWrite& b) { return a.sample < b.sample; });
        return out;
    }
};

// Pearson's correlation of a[from, from + count) with b shifted by `lag` samples.
double correlationAt(const std::vector<double>& a, const std::vector<double>& b, std::size_t from,
                     std::size_t count, long lag) {
    double ma = 0, mb = 0;
    for (std::size_t i = from; i < from + count; ++i)
        ma += a[i], mb += b[std::size_t(long(i) + lag)];
    ma /= double(count), mb /= double(count);
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const double x = a[i] - ma, y = b[std::size_t(long(i) + lag)] - mb;
        ab += x * y, aa += x * x, bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// The lag within +-`range` samples at which b follows a best.
long bestLag(const std::vector<double>& a, const std::vector<double>& b, std::size_t from,
             std::size_t count, long range) {
    long best = 0;
    double bestCorrelation = -2;
    for (long lag = -range; lag <= range; ++lag)
        if (const double c = correlationAt(a, b, from, count, lag); c > bestCorrelation)
            bestCorrelation = c, best = lag;
    return best;
}

// The correlation at the best of shifts of up to three samples (the parts' clocks may stand a
// chip sample apart).
double correlation(const std::vector<double>& a, const std::vector<double>& b, std::size_t from,
                   std::size_t count) {
    return correlationAt(a, b, from, count, bestLag(a, b, from, count, 3));
}

// Mean square over a stretch, in dB of full scale; the SSG's DC counts, as it is heard.
double powerDb(const std::vector<double>& x, std::size_t from, std::size_t count) {
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i)
        sum += x[i] * x[i];
    return 10 * std::log10(sum / double(count) / (32768.0 * 32768.0) + 1e-30);
}

// The first sample from `from` on that moves by `threshold` from where it was.
std::size_t onset(const std::vector<double>& x, std::size_t from, std::size_t to,
                  double threshold) {
    for (std::size_t i = from; i < to; ++i)
        if (std::fabs(x[i] - x[from]) >= threshold) return i;
    return to;
}

// The lag, within `low`..`high` samples, at which a stretch repeats best.
std::size_t period(const std::vector<double>& x, std::size_t from, std::size_t count,
                   std::size_t low, std::size_t high) {
    double mean = 0;
    for (std::size_t i = from; i < from + count + high; ++i)
        mean += x[i];
    mean /= double(count + high);
    std::size_t best = low;
    double bestSum = -1e300;
    for (std::size_t lag = low; lag <= high; ++lag) {
        double sum = 0;
        for (std::size_t i = from; i < from + count; ++i)
            sum += (x[i] - mean) * (x[i + lag] - mean);
        if (sum > bestSum) bestSum = sum, best = lag;
    }
    return best;
}

// ---- ADPCM-A ---------------------------------------------------------------------------------

struct Sample {
    std::vector<std::int16_t> pcm;
    std::uint16_t start = 0, end = 0;  // in 256-byte blocks
};

// A tone, a noise burst, one block, a second, and six tones for a chord, encoded one after the
// other into a V ROM, each from a block boundary.
std::vector<std::uint8_t> encodeSamples(std::vector<Sample>& samples) {
    samples = {{sine(5550, 440, 1.0)}, {{}}, {sine(512, 880, 1.0)}, {sine(18500, 220, 0.9)}};
    for (std::uint32_t i = 0, x = 1; i < 1850; ++i, x = x * 1664525 + 1013904223)
        samples[1].pcm.push_back(static_cast<std::int16_t>(x >> 16));
    for (int k = 0; k < 6; ++k)
        samples.push_back({sine(5550, 330.0 * std::pow(2.0, k / 6.0), 0.9)});
    std::vector<std::uint8_t> rom;
    for (Sample& s : samples) {
        const Bytes bytes = pcm(s.pcm);
        std::vector<std::uint8_t> encoded(bytes.size() / 4);
        adpcma::Encoder().encodePcm(bytes, encoded);
        s.start = static_cast<std::uint16_t>(rom.size() / 256);
        rom.insert(rom.end(), encoded.begin(), encoded.end());
        rom.resize((rom.size() + 255) / 256 * 256, 0x80);
        s.end = static_cast<std::uint16_t>(rom.size() / 256 - 1);
    }
    return rom;
}

struct Trigger {
    const char* name;
    double at;  // seconds; the next trigger ends its window
    std::size_t sample = 0;
    int channel = 0, level = 31, totalLevel = 63;
};

// A ROM pair's VGM as qvxtool export-vgm --m1 writes it, then triggers at several levels
// written to the registers as a driver would, then six channels at once over an FM chord, with
// a full-level FM note to take levels from. Each sound is compared in both renders: onset and
// length to a tenth of a millisecond, level relative to the FM note within 0.5 dB, shape.
TEST(AdpcmAgainstMame, TriggersMatchInTimeLevelAndShape) {
    std::vector<Sample> samples;
    const std::vector<std::uint8_t> rom = encodeSamples(samples);
    SampleTable table{};
    for (std::size_t k = 0; k < 4; ++k)
        for (std::size_t i = 0; i < 4; ++i)
            table[4 * (4 + k) + i] =
                std::uint8_t((i < 2 ? samples[k].start : samples[k].end) >> (i % 2 * 8));
    std::vector<std::uint8_t> exported;
    ASSERT_TRUE(buildRomVgm(buildM1({}, table), rom, {{0.5, 4}, {1.0, 5}, {1.5, 6}, {2.0, 7}}, 3.0,
                            "ROM pair", exported));
    Stream w;
    w.writes = readVgm(exported)->writes;
    // clang-format off
    const std::vector<Trigger> triggers = {
        {"ROM pair 0x04", 0.5},      {"ROM pair 0x05", 1.0},    {"ROM pair 0x06", 1.5},
        {"ROM pair 0x07", 2.0},      {"FM note", 3.0},          {"level 24", 3.5, 0, 1, 24},
        {"level 16", 4.0, 0, 2, 16}, {"level 8", 4.5, 0, 3, 8}, {"total 40", 5.0, 0, 4, 31, 40},
        {"noise burst", 5.5, 1, 5},  {"one block", 6.0, 2},     {"one second", 6.5, 3, 1},
        {"six over a chord", 8.0}};
    // clang-format on
    constexpr double kChord = 8.0, kEnd = 8.5;
    const auto setUp = [&](const Trigger& t, const Sample& sample) {
        for (const auto& [reg, value] : {std::pair{0x01, t.totalLevel},
                                         {0x08 + t.channel, 0xC0 | t.level},
                                         {0x10 + t.channel, sample.start & 0xFF},
                                         {0x18 + t.channel, sample.start >> 8},
                                         {0x20 + t.channel, sample.end & 0xFF},
                                         {0x28 + t.channel, sample.end >> 8}})
            w(t.at - 0.05, 1, reg, value);
        w(t.at - 0.05, 0, 0x1C, 1 << t.channel);  // as the driver does: the end flag cleared
        w(t.at - 0.05, 0, 0x1C, 0);
    };
    w.fmNote(3.1, 0, 1, 1038);  // one full-level sine operator
    for (std::size_t k = 5; k + 1 < triggers.size(); ++k) {
        setUp(triggers[k], samples[triggers[k].sample]);
        w(triggers[k].at, 1, 0x00, 1 << triggers[k].channel);
    }
    // The chord sounds before the six channels, which one write keys on together.
    for (int k = 0; k < 4; ++k)
        w.fmNote(kChord - 0.02, k / 2, 1 + k % 2, std::array{654, 824, 979, 1234}[std::size_t(k)]);
    for (int c = 0; c < 6; ++c)
        setUp(Trigger{"", kChord, 0, c}, samples[std::size_t(4 + c)]);
    w(kChord, 1, 0x00, 0x3F);
    const auto vgm = encodeVgm(w.sorted(), std::uint64_t(kEnd * kVgmRate), std::nullopt, "ADPCM-A",
                               kNotesClock, rom);
    const std::optional<VgmStream> stream = readVgm(vgm);
    ASSERT_TRUE(stream);
    ASSERT_EQ(stream->adpcmA, rom) << "the VGM carries the V ROM";
    const std::optional<std::vector<double>> ref = mameRender(vgm, *stream);
    if (!ref) GTEST_SKIP() << kNoMame;
    ASSERT_FALSE(ref->empty()) << "MAME rendered nothing";
    const auto ours = leftChannel(renderVgm(*stream, kNotesChipRate, qvxsnd::FmModel::Accurate));

    const auto at = [](double s) { return static_cast<std::size_t>(s * kRate); };
    const auto fm = [&](const std::vector<double>& x) {
        return windowLevels(x, at(3.15), at(3.45), at(0.3))[0];
    };
    const double gainDb = fm(ours) - fm(*ref);  // MAME halves the chip's output after its clamp
    const double gain = std::pow(10.0, -gainDb / 20);
    std::printf(
        "\nADPCM-A against MAME vgmplay (ours %.2f dB above MAME)\n%-17s %9s %9s %10s "
        "%9s %7s\n",
        gainDb, "trigger", "onset ms", "len ms", "MAME re FM", "ours-MAME", "corr");
    EXPECT_NEAR(gainDb, 6.02, 0.1);
    for (std::size_t k = 0; k + 1 < triggers.size(); ++k) {
        const std::size_t from = at(triggers[k].at), to = at(triggers[k + 1].at);
        const auto sound = [&](const std::vector<double>& x, double scale) {
            std::size_t first = to, last = from;
            double power = 0;
            for (std::size_t i = from; i < to; ++i)
                if (std::fabs(x[i] * scale) >= 8) first = std::min(first, i), last = i;
            for (std::size_t i = first; i <= last && first < to; ++i)
                power += x[i] * scale * x[i] * scale;
            return std::tuple{first, first < to ? last + 1 - first : 0, power};
        };
        const auto [r0, rn, rp] = sound(*ref, 1.0);
        const auto [o0, on, op] = sound(ours, gain);
        ASSERT_GT(rn, 0u) << triggers[k].name << ": MAME heard nothing";
        double c = 0;  // the ADPCM-A clock's phase may differ by a chip sample
        for (std::size_t d = 0; d <= 6; ++d) {
            double ab = 0, aa = 0, bb = 0;
            for (std::size_t i = r0; i < r0 + rn; ++i)
                ab += (*ref)[i] * ours[i + d - 3], aa += (*ref)[i] * (*ref)[i],
                    bb += ours[i + d - 3] * ours[i + d - 3];
            c = std::max(c, ab / std::sqrt(aa * bb));
        }
        const double onset = (double(o0) - double(r0)) * 1000 / kRate;
        const double length = (double(on) - double(rn)) * 1000 / kRate;
        const double level = 10 * std::log10(op / rp);
        std::printf("%-17s %9.3f %9.3f %10.2f %9.2f %7.4f\n", triggers[k].name, onset, length,
                    10 * std::log10(rp / double(rn) / (32768.0 * 32768.0)) - fm(*ref), level, c);
        EXPECT_LE(std::fabs(onset), 0.1) << triggers[k].name;
        EXPECT_LE(std::fabs(length), 0.2) << triggers[k].name;
        EXPECT_LE(std::fabs(level), 0.5) << triggers[k].name;
        EXPECT_GE(c, 0.99) << triggers[k].name;
    }
    // Where the chord reaches the clamp, MAME's does too (within an ADPCM-A sample).
    std::size_t clamped = 0, clampedAlone = 0;
    for (std::size_t i = at(kChord); i < at(kEnd); ++i) {
        if (std::fabs(ours[i]) < 32767) continue;
        ++clamped;
        clampedAlone += std::none_of(ref->begin() + long(i) - 3, ref->begin() + long(i) + 4,
                                     [&](double r) { return std::fabs(r) >= 32767 * gain - 2; });
    }
    std::printf(
        "six channels over an FM chord: %zu samples at the clamp, %zu where MAME's is "
        "not\n",
        clamped, clampedAlone);
    EXPECT_EQ(clampedAlone, 0u);
}

// ---- SSG ---------------------------------------------------------------------------------------

struct SsgCase {
    std::string name;
    double at = 0, length = 0.25;
    double pitch = 0;  // the tone's frequency, where the output can carry it
    double cycle = 0;  // a repeating envelope's period in seconds
    // How the waveforms are compared: sample by sample, or by level and spectrum only (noise,
    // and where MAME's resampling of its 250 kHz SSG and ours part: a tone whose harmonics
    // crowd the top of the band, and the SSG over FM, which MAME delays against each other).
    enum class Compare { Waveform, Spectrum, Level } compare = Compare::Waveform;
};

// The power in a few bands of the spectrum, in dB, for noise.
std::vector<double> bands(const std::vector<double>& x, std::size_t from) {
    return bandLevels(x, kRate, from, 8192, {0, 2000, 6000, 12000, 27000});
}

// Tones at every period kind on each channel, levels, noise with and without a tone, the
// sixteen envelope shapes at two periods, and the three channels over an FM chord; a full-level
// FM note gives the level they are measured against.
TEST(SsgAgainstMame, TonesLevelsNoiseAndEnvelopes) {
    Stream w;
    std::vector<SsgCase> cases;
    w.fmNote(0.1, 0, 1, 1038);
    double t = 0.7;
    // Each case sets its registers, then every level goes back to 0.
    const auto add = [&](SsgCase c, std::initializer_list<std::pair<int, int>> registers) {
        c.at = t;
        for (const auto& [reg, value] : registers)
            w(t, 0, reg, value);
        for (int reg : {0x08, 0x09, 0x0A})
            w(t + c.length, 0, reg, 0);
        cases.push_back(c);
        t += c.length + 0.05;
    };
    const auto toneRegisters = [](int channel, int period) {
        return std::pair{std::pair{2 * channel, period & 0xFF},
                         std::pair{2 * channel + 1, period >> 8}};
    };
    for (int channel = 0; channel < 3; ++channel) {
        for (int period : {1, 2, 16, 254, 1000, 4095}) {
            const auto [low, high] = toneRegisters(channel, period);
            const double hz = 125000.0 / period;
            // Above the output's band only the level can be compared; at 7.8 kHz the two
            // resamplings part in the harmonics.
            add({"tone " + std::string(1, char('A' + channel)) + " period " +
                     std::to_string(period),
                 0, 0.25, hz < 0.45 * kRate ? hz : 0, 0,
                 period <= 2    ? SsgCase::Compare::Level
                 : period < 100 ? SsgCase::Compare::Spectrum
                                : SsgCase::Compare::Waveform},
                {low, high, {0x07, 0x3F & ~(1 << channel)}, {0x08 + channel, 15}});
        }
    }
    for (int level : {15, 12, 8, 4, 1})
        add({"level " + std::to_string(level), 0, 0.2, 125000.0 / 284},
            {{0x02, 284 & 0xFF}, {0x03, 284 >> 8}, {0x07, 0x3D}, {0x09, level}});
    for (int noise : {0, 1, 15, 31})
        for (bool tone : {false, true})
            add({"noise " + std::to_string(noise) + (tone ? " with tone" : ""), 0, 0.25, 0, 0,
                 SsgCase::Compare::Spectrum},
                {{0x00, 100}, {0x01, 0}, {0x06, noise}, {0x07, tone ? 0x36 : 0x37}, {0x08, 15}});
    for (int shape = 0; shape < 16; ++shape)
        for (int envelope : {40, 400}) {
            // The channel's gate stays open: what is heard is the envelope itself.
            const bool repeats = (shape & 0x09) == 0x08;
            const double cycle = repeats ? (shape & 0x02 ? 64.0 : 32.0) * envelope / 250000.0 : 0;
            add({"shape " + std::to_string(shape) + " period " + std::to_string(envelope), 0, 0.25,
                 0, cycle},
                {{0x0B, envelope & 0xFF},
                 {0x0C, envelope >> 8},
                 {0x07, 0x3F},
                 {0x08, 0x10},
                 {0x0D, shape}});
        }
    // The three channels over a chord of four FM channels.
    for (int k = 0; k < 4; ++k)
        w.fmNote(t, k / 2, 1 + k % 2, std::array{654, 824, 979, 1234}[std::size_t(k)], 0.3);
    add({"three over a chord", 0, 0.3, 0, 0, SsgCase::Compare::Spectrum}, {{0x00, 284 & 0xFF},
                                                                           {0x01, 284 >> 8},
                                                                           {0x02, 213},
                                                                           {0x03, 0},
                                                                           {0x04, 169},
                                                                           {0x05, 0},
                                                                           {0x07, 0x38},
                                                                           {0x08, 12},
                                                                           {0x09, 11},
                                                                           {0x0A, 10}});

    const auto vgm =
        encodeVgm(w.sorted(), std::uint64_t(t * kVgmRate), std::nullopt, "SSG", kNotesClock);
    const std::optional<VgmStream> stream = readVgm(vgm);
    ASSERT_TRUE(stream);
    const std::optional<std::vector<double>> ref = mameRender(vgm, *stream);
    if (!ref) GTEST_SKIP() << kNoMame;
    ASSERT_FALSE(ref->empty()) << "MAME rendered nothing";
    // MAME's SSG is a 250 kHz stream resampled to the output: it comes 2 to 8 samples (36 to
    // 144 us) after its own FM, by where a write falls among its buffers, and its edges are
    // smoothed over a few samples more; the chip's documentation knows of no such delay, and ours
    // has none. So a start is timed half-way up its first edge (where the smoothing does not move
    // it) where that edge comes with the write (tones, levels, envelopes that start at the top),
    // and must come no later than MAME's and no more than MAME's delay before it. An envelope
    // that rises from 0 starts with its first step, which each model times from its own counter.
    using Compare = SsgCase::Compare;
    constexpr long kMameDelay = 8;
    const auto halfWay = [](const std::vector<double>& x, std::size_t from) {
        const std::size_t to = from + at(0.004);
        double peak = 0;
        for (std::size_t i = from; i < to; ++i)
            peak = std::max(peak, std::fabs(x[i] - x[from]));
        return peak < 8 ? to : onset(x, from, to, peak / 2);
    };
    for (const qvxsnd::FmModel model : {qvxsnd::FmModel::Accurate, qvxsnd::FmModel::Documented}) {
        const bool accurate = model == qvxsnd::FmModel::Accurate;
        const std::vector<double> raw = leftChannel(renderVgm(*stream, kNotesChipRate, model));
        const double fmRef = powerDb(*ref, at(0.2), at(0.25));
        const double gainDb = powerDb(raw, at(0.2), at(0.25)) - fmRef;
        std::vector<double> ours(raw.size());
        for (std::size_t i = 0; i < raw.size(); ++i)
            ours[i] = raw[i] * std::pow(10.0, -gainDb / 20);
        EXPECT_NEAR(gainDb, 6.02, 0.1);
        std::printf(
            "\nSSG against MAME vgmplay, %s FM (ours %.2f dB above MAME)\n%-28s %6s %9s "
            "%9s %8s %8s %9s\n",
            accurate ? "chip-accurate" : "documented", gainDb, "case", "MAME +", "MAME dB",
            "ours-MAME", "corr", "cents", "cycle %");
        for (const SsgCase& c : cases) {
            const std::size_t from = at(c.at + 0.02), count = at(c.length - 0.04);
            const double level = powerDb(ours, from, count) - powerDb(*ref, from, count);
            const long onsetSamples =
                long(halfWay(*ref, at(c.at - 0.001))) - long(halfWay(ours, at(c.at - 0.001)));
            // A held envelope is one level throughout: its level says all.
            double refMean = 0, refSpread = 0;
            for (std::size_t i = from; i < from + count; ++i)
                refMean += (*ref)[i] / double(count);
            for (std::size_t i = from; i < from + count; ++i)
                refSpread = std::max(refSpread, std::fabs((*ref)[i] - refMean));
            const double corr = refSpread < 2 ? 1.0
                                              : correlationAt(ours, *ref, from, count,
                                                              bestLag(ours, *ref, from, count, 12));
            double cents = 0, cycle = 0;
            if (c.pitch > 0)
                cents = 1200 * std::log2(strongestPartial(ours, kRate, from, count, c.pitch * 0.97,
                                                          c.pitch * 1.03) /
                                         strongestPartial(*ref, kRate, from, count, c.pitch * 0.97,
                                                          c.pitch * 1.03));
            if (c.cycle > 0) {
                const auto expected = static_cast<std::size_t>(c.cycle * kRate);
                const std::size_t span = at(0.1);
                cycle =
                    100.0 * (double(period(ours, from, span, expected / 2, expected * 3 / 2)) /
                                 double(period(*ref, from, span, expected / 2, expected * 3 / 2)) -
                             1);
            }
            std::printf("%-28s %6ld %9.2f %9.2f %8.4f %8.2f %9.2f\n", c.name.c_str(), onsetSamples,
                        powerDb(*ref, from, count) - fmRef, level, corr, cents, cycle);
            EXPECT_LE(std::fabs(level), 0.5) << c.name;
            EXPECT_LE(std::fabs(cents), 1.0) << c.name;
            EXPECT_LE(std::fabs(cycle), 1.0) << c.name;
            if (c.compare == Compare::Waveform) {
                EXPECT_GE(corr, 0.99) << c.name;
            }
            if (c.compare == Compare::Spectrum) {
                const std::vector<double> b = bands(ours, from), a = bands(*ref, from);
                for (std::size_t band = 0; band < a.size(); ++band)
                    EXPECT_NEAR(b[band], a[band], 1.5) << c.name << ", band " << band;
            }
            const bool rises = c.name.rfind("shape", 0) == 0 && (std::stoi(c.name.substr(6)) & 4);
            if (c.compare == Compare::Waveform && !rises) {
                EXPECT_GE(onsetSamples, -1) << c.name;
                EXPECT_LE(onsetSamples, kMameDelay) << c.name;
            }
        }
    }
}

// ---- ADPCM-B -----------------------------------------------------------------------------------

struct BSample {
    std::uint16_t start = 0, end = 0;  // in 256-byte blocks
    double rate = 0;
};

// A 440 Hz tone recorded at each of the rates, and a noise burst, encoded by our encoder one after
// the other into a V ROM, each from a block boundary.
std::vector<std::uint8_t> encodeBSamples(std::vector<BSample>& samples) {
    std::vector<std::uint8_t> rom;
    const auto add = [&](const std::vector<std::int16_t>& pcm, double rate) {
        const std::vector<std::uint8_t> encoded = adpcmb::Encoder().encodePcm(pcm);
        BSample s{static_cast<std::uint16_t>(rom.size() / 256), 0, rate};
        rom.insert(rom.end(), encoded.begin(), encoded.end());
        // The rest of the end block decodes to nearly nothing: codes 0 and 8 in turn.
        rom.resize((rom.size() + 255) / 256 * 256, 0x08);
        s.end = static_cast<std::uint16_t>(rom.size() / 256 - 1);
        samples.push_back(s);
    };
    for (const double rate : {11025.0, 22050.0, 44100.0, 55555.0}) {
        std::vector<std::int16_t> tone(std::size_t(0.25 * rate));
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<std::int16_t>(
                24000 * std::sin(2 * std::numbers::pi * 440 * double(i) / rate));
        add(tone, rate);
    }
    std::vector<std::int16_t> noise;
    for (std::uint32_t i = 0, x = 1; i < 2205; ++i, x = x * 1664525 + 1013904223)
        noise.push_back(static_cast<std::int16_t>(std::int32_t(x >> 16) - 32768) / 2);
    add(noise, 22050);
    rom.resize(rom.size() + 64 * 256, 0);  // past the data: zeros to the end of the ROM
    return rom;
}

struct BCase {
    std::string name;
    std::size_t sample = 1;
    int level = 255;
    int pan = 0xC0;
    bool repeat = false;
    double restartAfter = 0;  // a second key-on while it plays
    int endPast = 0;          // blocks beyond the sample's own end
    double at = 0, length = 0.4;
};

// Tones at four rates and a noise burst, levels, repeat, each side alone, a key-on while playing
// and an end address past the data.
TEST(AdpcmBAgainstMame, RatesLevelsRepeatSidesAndEnds) {
    std::vector<BSample> samples;
    const std::vector<std::uint8_t> rom = encodeBSamples(samples);
    std::vector<BCase> cases = {
        {"tone 11025 Hz", 0},
        {"tone 22050 Hz", 1},
        {"tone 44100 Hz", 2},
        {"tone 55555 Hz", 3},
        {"noise burst", 4},
        {"level 128", 1, 128},
        {"level 64", 1, 64},
        {"repeat", 1, 255, 0xC0, true},
        {"left only", 1, 255, 0x80},
        {"right only", 1, 255, 0x40},
        {"key-on again", 1, 255, 0xC0, false, 0.1},
        {"end past the data", 4, 255, 0xC0, false, 0, 8},
    };
    Stream w;
    w.fmNote(0.1, 0, 1, 1038);
    double t = 0.7;
    for (BCase& c : cases) {
        c.at = t;
        const BSample& s = samples[c.sample];
        const std::uint16_t delta = adpcmb::deltaN(s.rate, kNotesClock);
        const int end = s.end + c.endPast;
        for (const auto& [reg, value] : {std::pair{0x11, c.pan},
                                         {0x12, s.start & 0xFF},
                                         {0x13, s.start >> 8},
                                         {0x14, end & 0xFF},
                                         {0x15, end >> 8},
                                         {0x19, delta & 0xFF},
                                         {0x1A, delta >> 8},
                                         {0x1B, c.level}})
            w(t - 0.02, 0, reg, value);
        const int control = 0x80 | (c.repeat ? 0x10 : 0);
        w(t, 0, 0x10, control);
        if (c.restartAfter > 0) w(t + c.restartAfter, 0, 0x10, control);
        if (c.repeat) w(t + c.length - 0.05, 0, 0x10, 0x00);
        w(t + c.length - 0.02, 0, 0x1C, 0x80);  // the end flag cleared, as a driver does
        w(t + c.length - 0.02, 0, 0x1C, 0x00);
        t += c.length + 0.1;
    }
    const auto vgm = encodeVgm(w.sorted(), std::uint64_t(t * kVgmRate), std::nullopt, "ADPCM-B",
                               kNotesClock, {}, rom);
    const std::optional<VgmStream> stream = readVgm(vgm);
    ASSERT_TRUE(stream);
    ASSERT_EQ(stream->adpcmB, rom) << "the VGM carries the ADPCM-B ROM";
    const std::optional<WavSound> ref = mame(vgm, *stream);
    if (!ref) GTEST_SKIP() << kNoMame;
    ASSERT_FALSE(ref->samples.empty()) << "MAME rendered nothing";
    const std::vector<std::int16_t> raw =
        renderVgm(*stream, kNotesChipRate, qvxsnd::FmModel::Accurate);
    const double fmRef = powerDb(ref->channel(0), at(0.2), at(0.25));
    std::array<std::vector<double>, 2> mine, theirs;
    double gainDb = 0;
    for (int side = 0; side < 2; ++side) {
        theirs[side] = ref->channel(side);
        for (std::size_t i = side; i < raw.size(); i += 2)
            mine[side].push_back(raw[i]);
        if (side == 0) gainDb = powerDb(mine[0], at(0.2), at(0.25)) - fmRef;
        for (double& v : mine[side])
            v *= std::pow(10.0, -gainDb / 20);
    }
    std::printf(
        "\nADPCM-B against MAME vgmplay (ours %.2f dB above MAME)\n%-20s %7s %10s %10s "
        "%9s %9s %8s\n",
        gainDb, "case", "onset", "length %", "MAME dB", "ours-MAME", "right", "corr");
    EXPECT_NEAR(gainDb, 6.02, 0.1);
    for (const BCase& c : cases) {
        const int side = c.pan == 0x40 ? 1 : 0;
        const std::vector<double>& ours = mine[side];
        const std::vector<double>& other = theirs[side];
        const std::size_t from = at(c.at - 0.01), to = at(c.at + c.length - 0.05);
        const auto sound = [&](const std::vector<double>& x) {
            const std::size_t first = onset(x, from, to, 16);
            std::size_t last = first;
            for (std::size_t i = first; i < to; ++i)
                if (std::fabs(x[i] - x[from]) >= 16) last = i;
            return std::pair{first, last + 1 - first};
        };
        const auto [o0, on] = sound(ours);
        const auto [r0, rn] = sound(other);
        ASSERT_GT(rn, 100u) << c.name << ": MAME heard nothing";
        const std::size_t count = std::min(on, rn);
        const double lengthPct = 100.0 * (double(on) / double(rn) - 1);
        const double level = powerDb(ours, r0, count) - powerDb(other, r0, count);
        const double corr = correlation(other, ours, r0, count - 4);
        // The side that should be silent, in both.
        const double quietDb = c.pan == 0xC0 ? 0
                                             : std::max(powerDb(mine[1 - side], r0, count),
                                                        powerDb(theirs[1 - side], r0, count));
        std::printf("%-20s %7.0f %10.3f %10.2f %9.2f %9.1f %8.4f\n", c.name.c_str(),
                    double(o0) - double(r0), lengthPct, powerDb(other, r0, count) - fmRef, level,
                    quietDb, corr);
        EXPECT_LE(std::fabs(double(o0) - double(r0)), 1) << c.name;
        if (!c.repeat && c.restartAfter == 0) {
            EXPECT_LE(std::fabs(lengthPct), 0.1) << c.name;
        }
        EXPECT_LE(std::fabs(level), 0.5) << c.name;
        EXPECT_GE(corr, 0.99) << c.name;
        if (c.pan != 0xC0) {
            EXPECT_LT(quietDb, -90) << c.name << ": the other side";
        }
    }
}

}  // namespace
}  // namespace qvx
