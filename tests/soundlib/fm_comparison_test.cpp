// The chip against an independent YM2610 emulator: the same register streams rendered by MAME's
// vgmplay driver and by our chip, both at the chip's own rate. FM note by note (the kinds of note
// in tests/support/fm_notes.hpp): pitch, envelope level in 10 ms windows, harmonics, power between
// the harmonics; the chip-accurate model must match, the documented model's figures are printed
// beside it; the example song's VGM window by window. The sample and square-wave parts are in
// chip_parts_comparison_test.cpp. Skipped when MAME is not installed (Debian "mame").
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

#include "examples/demo_song.hpp"
#include "tests/support/fm_notes.hpp"
#include "tests/support/mame.hpp"
#include "tests/support/sound_analysis.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/offline_render.hpp"

namespace qvx {
namespace {

using namespace testing;

constexpr double kRate = kNotesChipRate;  // MAME renders at the chip's own rate too
constexpr std::size_t kLevelWindow = kNotesChipRate / 100;  // 10 ms

struct NoteResult {
    std::string name;
    double cents = 0;
    double envelopeMedianDb = 0;
    double worstPhaseDb = 0;
    double worstHarmonicDb = 0;
    double outsideRefDb = 0;
    double outsideOursDb = 0;
    double gapRefDb = 0;  // the level in the silence after the note's release
    double gapOursDb = 0;
};

// The first channel of a 16-bit stereo WAV file MAME wrote.
double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// MAME's render of `vgm` (whose writes are `stream`), at least as long as the stream; empty
// when MAME failed, nothing when it is not installed.
std::optional<std::vector<double>> mameRender(const std::vector<std::uint8_t>& vgm,
                                              const VgmStream& stream) {
    const auto sound = testing::renderVgmInMame(
        QVX_MAME, vgm, static_cast<double>(stream.samples) / kVgmRate, kNotesChipRate);
    if (!sound) return std::nullopt;
    return sound->samples.empty() ? std::vector<double>{} : sound->channel(0);
}

constexpr const char* kNoMame =
    "MAME is not installed (Debian package \"mame\"): no independent emulator to compare the FM "
    "synthesis with";

// Our render lined up with MAME's: the lag in samples, found by levels in 1 ms windows and then
// by the waveforms from `heldFrom` on; and our samples scaled to MAME's level the way MAME scales
// the chip's output before it rounds to 16 bits (towards zero, which rounds the quietest signals
// away), so that only the chips differ.
struct Aligned {
    int lag = 0;
    std::vector<double> ours;
};

Aligned align(const std::vector<double>& ref, const std::vector<double>& unscaled,
              std::size_t heldFrom) {
    const std::size_t ms = kNotesChipRate / 1000;
    const std::vector<double> refMs = windowLevels(ref, 0, ref.size(), ms);
    const std::vector<double> oursMs = windowLevels(unscaled, 0, unscaled.size(), ms);
    const int coarse = bestWindowLag(refMs, oursMs, 50) * static_cast<int>(ms);
    Aligned a{coarse, {}};
    double bestCorrelation = -1e300;
    for (int fine = -60; fine <= 60; ++fine) {
        double sum = 0;
        for (std::size_t i = heldFrom; i < heldFrom + 4800; ++i)
            sum +=
                ref[i] * unscaled[static_cast<std::size_t>(static_cast<long>(i) + coarse + fine)];
        if (sum > bestCorrelation) {
            bestCorrelation = sum;
            a.lag = coarse + fine;
        }
    }
    const auto r = windowLevels(ref, 0, ref.size(), kLevelWindow);
    const std::size_t skip = static_cast<std::size_t>(std::max(0, a.lag));
    const auto o = windowLevels(unscaled, skip, unscaled.size(), kLevelWindow);
    std::vector<double> gains;
    for (std::size_t k = 0; k < std::min(r.size(), o.size()); ++k)
        if (r[k] > -50) gains.push_back(o[k] - r[k]);
    const double scale = std::pow(10.0, -median(gains) / 20);
    a.ours.resize(unscaled.size());
    for (std::size_t i = 0; i < unscaled.size(); ++i)
        a.ours[i] = std::trunc(unscaled[i] * scale);
    return a;
}

std::vector<NoteResult> compare(const std::vector<FmNote>& notes, const std::vector<double>& ref,
                                const std::vector<double>& unscaled) {
    const std::vector<double> starts = noteStarts(notes);
    const auto at = [](double seconds) { return static_cast<std::size_t>(seconds * kRate); };
    const Aligned aligned = align(ref, unscaled, at(starts[0] + 0.2));
    const std::vector<double>& ours = aligned.ours;
    const auto shifted = [&](double seconds) {
        return static_cast<std::size_t>(std::max(0.0, seconds * kRate + aligned.lag));
    };

    std::vector<NoteResult> results;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const FmNote& n = notes[i];
        NoteResult result{n.name};
        const double t = starts[i];
        // Pitch over the held part.
        const double from = t + 0.15, to = t + std::min(n.hold, 1.0) - 0.02;
        const std::size_t count = at(to - from);
        const double low = n.pitch * 0.97, high = n.pitch * 1.03;
        const double fRef = strongestPartial(ref, kRate, at(from), count, low, high);
        const double fOurs = strongestPartial(ours, kRate, shifted(from), count, low, high);
        result.cents = 1200 * std::log2(fOurs / fRef);
        // Envelope: 10 ms windows from key-on to the end of the release, where the reference
        // is within 50 dB of its peak; attack up to the peak, held part, release.
        const double end = t + n.hold + n.release;
        const auto r = windowLevels(ref, at(t), at(end), kLevelWindow);
        const auto o = windowLevels(ours, shifted(t), shifted(end), kLevelWindow);
        const double peak = *std::max_element(r.begin(), r.end());
        const std::size_t peakAt = static_cast<std::size_t>(
            std::find_if(r.begin(), r.end(), [&](double v) { return v > peak - 1; }) - r.begin());
        const auto keyOff = static_cast<std::size_t>(n.hold / 0.01);
        std::vector<double> all, phase[3];
        for (std::size_t k = 0; k < std::min(r.size(), o.size()); ++k) {
            if (r[k] < peak - 50) continue;
            const double d = std::fabs(o[k] - r[k]);
            all.push_back(d);
            phase[k <= peakAt ? 0 : k < keyOff ? 1 : 2].push_back(d);
        }
        // QVX_FM_DETAIL=<note name> prints that note's window levels, for finding a difference.
        if (const char* detail = std::getenv("QVX_FM_DETAIL"); detail && n.name == detail) {
            for (std::size_t k = 0; k < std::min(r.size(), o.size()); ++k)
                std::printf("%5.2f s  ref %7.2f  ours %7.2f\n", 0.01 * double(k), r[k], o[k]);
        }
        result.envelopeMedianDb = median(all);
        for (const auto& p : phase)
            result.worstPhaseDb = std::max(result.worstPhaseDb, median(p));
        // Harmonics and what lies between them, where the note is loudest.
        const std::size_t fft = 8192;
        const double loud = t + 0.01 * static_cast<double>(peakAt);
        const Spectrum sr = spectrum(ref, kRate, at(loud), fft, fRef, 12);
        const Spectrum so = spectrum(ours, kRate, shifted(loud), fft, fRef, 12);
        for (std::size_t h = 0; h < sr.harmonicsDb.size(); ++h)
            if (sr.harmonicsDb[h] > -40)
                result.worstHarmonicDb = std::max(result.worstHarmonicDb,
                                                  std::fabs(so.harmonicsDb[h] - sr.harmonicsDb[h]));
        result.outsideRefDb = sr.outsideDb;
        result.outsideOursDb = so.outsideDb;
        const auto gapLevel = [&](const std::vector<double>& x, std::size_t start) {
            const auto w = windowLevels(x, start, start + at(kNoteGap / 2), at(kNoteGap / 2));
            return w.empty() ? -200.0 : w.front();
        };
        result.gapRefDb = gapLevel(ref, at(end + kNoteGap / 2));
        result.gapOursDb = gapLevel(ours, shifted(end + kNoteGap / 2));
        results.push_back(result);
    }
    return results;
}

void print(const char* mode, const std::vector<NoteResult>& results) {
    std::printf("\n%s against MAME vgmplay\n", mode);
    std::printf("%-28s %8s %8s %8s %9s %9s %9s\n", "note", "cents", "env med", "env worst",
                "harm dB", "out ref", "out ours");
    for (const NoteResult& r : results)
        std::printf("%-28s %8.2f %8.2f %8.2f %9.2f %9.1f %9.1f\n", r.name.c_str(), r.cents,
                    r.envelopeMedianDb, r.worstPhaseDb, r.worstHarmonicDb, r.outsideRefDb,
                    r.outsideOursDb);
}

TEST(FmAgainstMame, TheChipModelMatchesNoteByNote) {
    const std::vector<FmNote> notes = comparisonNotes();
    const std::vector<std::uint8_t> vgm = notesVgm(notes);
    const std::optional<VgmStream> stream = readVgm(vgm);
    ASSERT_TRUE(stream);
    const std::optional<std::vector<double>> ref = mameRender(vgm, *stream);
    if (!ref) GTEST_SKIP() << kNoMame;
    ASSERT_FALSE(ref->empty()) << "MAME rendered nothing";

    const std::vector<double> model = leftChannel(renderVgm(*stream, kNotesChipRate));
    print("documented model", compare(notes, *ref, model));
    const std::vector<double> chip =
        leftChannel(renderVgm(*stream, kNotesChipRate, qvxsnd::FmModel::Accurate));
    const std::vector<NoteResult> results = compare(notes, *ref, chip);
    print("chip-accurate", results);
    for (const NoteResult& r : results) {
        EXPECT_LE(std::fabs(r.cents), 0.5) << r.name;
        EXPECT_LE(r.envelopeMedianDb, 0.2) << r.name;
        EXPECT_LE(r.worstPhaseDb, 1.0) << r.name;
        EXPECT_LE(r.worstHarmonicDb, 1.0) << r.name;
        EXPECT_LE(std::fabs(r.outsideOursDb - r.outsideRefDb), 3.0) << r.name;
        EXPECT_LE(r.gapOursDb, std::max(r.gapRefDb, -90.0) + 1.0) << r.name << ": silence after it";
    }
}

// One second of a song compared: the level of MAME's render, how far ours is from it in 10 ms
// windows (median and worst), the strongest partial's pitch difference, and what is left of the
// reference when ours is taken from it, relative to the reference.
struct SecondResult {
    std::size_t second = 0;
    double levelDb = 0;
    double envelopeMedianDb = 0;
    double envelopeWorstDb = 0;
    double cents = 0;
    double residualDb = 0;
};

std::vector<SecondResult> compareSong(const std::vector<double>& ref,
                                      const std::vector<double>& unscaled,
                                      std::vector<double>& allWindows) {
    // Lined up on the loudest 100 ms of the reference.
    const std::size_t tenth = kNotesChipRate / 10;
    const std::vector<double> tenths = windowLevels(ref, 0, ref.size() - kNotesChipRate, tenth);
    const auto loudest =
        static_cast<std::size_t>(std::max_element(tenths.begin(), tenths.end()) - tenths.begin());
    const Aligned aligned = align(ref, unscaled, loudest * tenth);
    const std::vector<double>& ours = aligned.ours;
    const std::size_t second = kNotesChipRate;
    const std::size_t fft = 8192;
    const auto lag = static_cast<std::size_t>(std::abs(aligned.lag));
    const std::size_t heard =
        std::min(ref.size(), ours.size() - static_cast<std::size_t>(std::max(0, aligned.lag)));
    std::vector<SecondResult> results;
    for (std::size_t at = second; at + second + lag <= heard; at += second) {
        const auto from = static_cast<std::size_t>(static_cast<long>(at) + aligned.lag);
        const auto r = windowLevels(ref, at, at + second, kLevelWindow);
        const auto o = windowLevels(ours, from, from + second, kLevelWindow);
        SecondResult result{at / second};
        result.levelDb = *std::max_element(r.begin(), r.end());
        if (result.levelDb < -60) continue;  // silence says nothing
        std::vector<double> d;
        for (std::size_t k = 0; k < std::min(r.size(), o.size()); ++k)
            if (r[k] > result.levelDb - 50) d.push_back(std::fabs(o[k] - r[k]));
        allWindows.insert(allWindows.end(), d.begin(), d.end());
        result.envelopeMedianDb = median(d);
        result.envelopeWorstDb = *std::max_element(d.begin(), d.end());
        // The strongest partial between 60 Hz and 4 kHz, found in the reference's spectrum and
        // measured in both to a thousandth of a hertz.
        const std::vector<double> power = powerSpectrum(ref, at, fft);
        const double binHz = kRate / double(fft);
        std::size_t bin = 0;
        for (auto k = static_cast<std::size_t>(60 / binHz); k < 4000 / binHz; ++k)
            if (power[k] > power[bin]) bin = k;
        const double low = (double(bin) - 2) * binHz, high = (double(bin) + 2) * binHz;
        result.cents = 1200 * std::log2(strongestPartial(ours, kRate, from, fft, low, high) /
                                        strongestPartial(ref, kRate, at, fft, low, high));
        double signal = 0, rest = 0;
        for (std::size_t i = 0; i < second; ++i) {
            signal += ref[at + i] * ref[at + i];
            rest += (ref[at + i] - ours[from + i]) * (ref[at + i] - ours[from + i]);
        }
        result.residualDb = 10 * std::log10((rest + 1e-9) / signal);
        results.push_back(result);
    }
    return results;
}

// The example song, as File > Export VGM writes it (one pass), played by MAME and by the chip
// model. The VGM's clock is moved by 10 ppm, to 7,999,920 Hz, so that both emulators run at a
// whole sample rate and neither resamples; nothing else changes.
TEST(FmAgainstMame, TheExampleSongSoundsAsTheChipModelRendersIt) {
    std::vector<std::uint8_t> exported;
    ASSERT_TRUE(buildVgm(examples::makeDemoSong(), VgmOptions{std::nullopt, 1, "demo"}, exported));
    const std::optional<VgmStream> original = readVgm(exported);
    ASSERT_TRUE(original);
    const std::vector<std::uint8_t> vgm = encodeVgm(
        original->writes, original->samples, original->loopStart, original->title, kNotesClock);
    const std::optional<VgmStream> stream = readVgm(vgm);
    ASSERT_TRUE(stream);
    const std::optional<std::vector<double>> ref = mameRender(vgm, *stream);
    if (!ref) GTEST_SKIP() << kNoMame;
    ASSERT_FALSE(ref->empty()) << "MAME rendered nothing";

    std::printf("\nthe example song against MAME vgmplay, second by second\n");
    std::printf("%-16s %6s %9s %9s %9s %9s %9s\n", "", "second", "level dB", "env med", "env worst",
                "cents", "residual");
    std::vector<double> allWindows;
    double worstResidual = -200;
    for (const qvxsnd::FmModel model : {qvxsnd::FmModel::Documented, qvxsnd::FmModel::Accurate}) {
        const bool accurate = model == qvxsnd::FmModel::Accurate;
        std::vector<double> windows;
        const std::vector<SecondResult> results =
            compareSong(*ref, leftChannel(renderVgm(*stream, kNotesChipRate, model)), windows);
        for (const SecondResult& r : results) {
            std::printf("%-16s %6zu %9.1f %9.2f %9.2f %9.3f %9.1f\n",
                        accurate ? "chip-accurate" : "documented model", r.second, r.levelDb,
                        r.envelopeMedianDb, r.envelopeWorstDb, r.cents, r.residualDb);
            if (!accurate) continue;
            EXPECT_LE(std::fabs(r.cents), 0.5) << "second " << r.second;
            worstResidual = std::max(worstResidual, r.residualDb);
        }
        if (accurate) allWindows = windows;
    }
    ASSERT_GT(allWindows.size(), 1000U) << "the song must be heard";
    EXPECT_LE(median(allWindows), 0.2);
    // A sample's shift of one note against another leaves about -25 dB; a wrong envelope step,
    // more.
    EXPECT_LE(worstResidual, -35.0) << "one render taken from the other must leave little";
}

}  // namespace
}  // namespace qvx
