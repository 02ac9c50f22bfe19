// The chip against an independent YM2610 emulator: the same register streams rendered by MAME's
// vgmplay driver and by our chip, both at the chip's own rate. FM note by note (the kinds of note
// in tests/support/fm_notes.hpp): pitch, envelope level in 10 ms windows, harmonics, power between
// the harmonics; the chip-accurate model must match, the documented model's figures are printed
// beside it. ADPCM-A trigger by trigger: onset, length, level, shape. Skipped when MAME is not
// installed (Debian "mame").
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

#include "examples/demo_song.hpp"
#include "rombuild/adpcm_a.hpp"
#include "rombuild/rom_build.hpp"
#include "tests/support/fm_notes.hpp"
#include "tests/support/mame.hpp"
#include "tests/support/sound_analysis.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/wav_files.hpp"
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

// MAME's render of `vgm` (whose writes are `stream`), at least as long as the stream; empty when
// MAME failed, nothing when it is not installed.
std::optional<std::vector<double>> mameRender(const std::vector<std::uint8_t>& vgm,
                                              const VgmStream& stream) {
    const double seconds = static_cast<double>(stream.samples) / kVgmRate;
    if (!testing::haveMame(QVX_MAME)) return std::nullopt;
    TempDir dir;
    writeBytes(dir / "notes.vgm", vgm);
    // vgmplay insists on the ROMs of chips the file does not use; zeros do.
    std::filesystem::create_directories(dir / "roms" / "vgmplay");
    for (const auto& [name, size] :
         std::map<std::string, std::size_t>{{"ym2413_instruments.bin", 144},
                                            {"ym2608_adpcm_rom.bin", 8192},
                                            {"dl-1425.bin", 24576}})
        writeBytes(dir / "roms" / "vgmplay" / name, std::vector<std::uint8_t>(size, 0));
    if (!testing::runMame(
             QVX_MAME, dir.path(),
             "vgmplay -rompath roms -quik notes.vgm -samplerate " + std::to_string(kNotesChipRate),
             seconds + 2)
             .ok)
        return std::vector<double>{};
    std::vector<double> left = testing::readWav(dir / "out.wav").channel(0);
    if (left.size() < static_cast<std::size_t>(seconds * kRate)) left.clear();
    return left;
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
    std::vector<VgmWrite> writes = readVgm(exported)->writes;
    // clang-format off
    const std::vector<Trigger> triggers = {
        {"ROM pair 0x04", 0.5},      {"ROM pair 0x05", 1.0},    {"ROM pair 0x06", 1.5},
        {"ROM pair 0x07", 2.0},      {"FM note", 3.0},          {"level 24", 3.5, 0, 1, 24},
        {"level 16", 4.0, 0, 2, 16}, {"level 8", 4.5, 0, 3, 8}, {"total 40", 5.0, 0, 4, 31, 40},
        {"noise burst", 5.5, 1, 5},  {"one block", 6.0, 2},     {"one second", 6.5, 3, 1},
        {"six over a chord", 8.0}};
    // clang-format on
    constexpr double kChord = 8.0, kEnd = 8.5;
    // Each voice is set up 50 ms before its key-on: MAME takes its time over many writes at once.
    const auto w = [&](double s, int bank, int reg, int value) {
        writes.push_back({static_cast<std::uint64_t>(s * kVgmRate + 0.5), std::uint8_t(bank),
                          std::uint8_t(reg), std::uint8_t(value)});
    };
    const auto fmNote = [&](double key, int bank, int slot, int fnum) {
        w(key - 0.05, bank, 0xB0 + slot, 0x07);
        for (int op : {0x00, 0x04, 0x08, 0x0C})
            for (const auto& [reg, value] :
                 {std::pair{0x30, 1}, {0x40, op == 0x0C ? 0 : 0x7F}, {0x50, 0x1F}, {0x80, 0x0F}})
                w(key - 0.05, bank, reg + op + slot, value);
        w(key - 0.05, bank, 0xA4 + slot, 4 << 3 | fnum >> 8);
        w(key - 0.05, bank, 0xA0 + slot, fnum & 0xFF);
        w(key, 0, 0x28, 0xF0 | bank * 4 | slot);
        w(key + 0.4, 0, 0x28, bank * 4 | slot);
    };
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
    fmNote(3.1, 0, 1, 1038);  // one full-level sine operator
    for (std::size_t k = 5; k + 1 < triggers.size(); ++k) {
        setUp(triggers[k], samples[triggers[k].sample]);
        w(triggers[k].at, 1, 0x00, 1 << triggers[k].channel);
    }
    // The chord sounds before the six channels, which one write keys on together.
    for (int k = 0; k < 4; ++k)
        fmNote(kChord - 0.02, k / 2, 1 + k % 2, std::array{654, 824, 979, 1234}[std::size_t(k)]);
    for (int c = 0; c < 6; ++c)
        setUp(Trigger{"", kChord, 0, c}, samples[std::size_t(4 + c)]);
    w(kChord, 1, 0x00, 0x3F);
    std::stable_sort(writes.begin(), writes.end(),
                     [](const VgmWrite& a, const VgmWrite& b) { return a.sample < b.sample; });
    const auto vgm = encodeVgm(writes, std::uint64_t(kEnd * kVgmRate), std::nullopt, "ADPCM-A",
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

}  // namespace
}  // namespace qvx
