// Choosing the FM synthesis: the chip-accurate one at the output rates the editor uses, and
// switching between the two while notes sound.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "tests/ym2610/chip_helpers.hpp"

namespace qvxsnd {
namespace {

using namespace testing;

// Three notes of three kinds on both register banks: an LFO-modulated voice, channel slot 2 in
// three-frequency mode with a pitch per operator, and a second-bank note released before the
// switch. `keyed` keys the first two on; the third is keyed on and off only by the caller.
void setUpScene(Chip& chip, bool keyed) {
    chip.reg(0, ym::kLfo, 0x08 | 3);
    chip.reg(0, ym::kModeTimers, 0x40);
    OpVoice v;
    v.ar = 28;
    v.d1r = 6;
    v.sl = 3;
    v.d2r = 2;
    v.am = 1;
    v.tl = 20;
    chip.voice(1, 4, 5, v);
    chip.op(1, 4, OpVoice{.tl = 0});
    chip.pan(1, 0xC0 | 0x30 | 5);
    chip.freq(1, 4, 1038);
    chip.voice(2, 7, 0, OpVoice{.dt = 6, .mul = 2, .tl = 24});
    chip.freq(2, 3, 800);
    for (int entry = 0; entry < 3; ++entry) {
        chip.reg(0, ym::kThreeBlockFnumHigh + entry, (5 << 3) | ((600 + 100 * entry) >> 8));
        chip.reg(0, ym::kThreeFnumLow + entry, (600 + 100 * entry) & 0xFF);
    }
    chip.voice(5, 0, 7, OpVoice{.mul = 3, .tl = 10, .ssg = 0x0A});
    chip.pan(5, 0x80);
    chip.freq(5, 5, 700);
    if (keyed) {
        chip.key(1, 0xF);
        chip.key(2, 0x3);  // operators 1 and 2 only
    }
}

TEST(Ym2610FmModel, SwitchingTakesOverEveryRegisterAndTheHeldNotes) {
    for (const auto& [from, to] : {std::pair{FmModel::Documented, FmModel::Accurate},
                                   std::pair{FmModel::Accurate, FmModel::Documented}}) {
        SCOPED_TRACE(to == FmModel::Accurate ? "to accurate" : "to documented");
        Chip switched{YM2610(8000000, 44100, from)};
        setUpScene(switched, true);
        switched.key(5, 0xF);
        switched.render(3000);
        switched.key(5, 0);
        switched.render(500);
        int writes = 0;
        switched.ym.setWriteObserver([&writes](const RegisterWrite&) { ++writes; });
        switched.ym.setFmModel(to);
        EXPECT_EQ(switched.ym.fmModel(), to);
        EXPECT_EQ(writes, 0) << "taking the registers over is no write to the chip";
        // The new synthesis starts afresh from the same registers: held notes attack again and
        // the released one is gone, exactly as if the notes were keyed on just now.
        Chip fresh{YM2610(8000000, 44100, to)};
        setUpScene(fresh, true);
        const auto expected = fresh.render(8820);
        EXPECT_EQ(switched.render(8820), expected);
        double power = 0;
        for (std::int16_t s : expected)
            power += double(s) * s;
        EXPECT_GT(power / double(expected.size()), 1e6) << "the scene must be audible";
    }
}

TEST(Ym2610FmModel, AccurateSynthesisIsInTuneAtEveryRateAndIndependentOfBlockSize) {
    for (const std::uint32_t rate : {44100u, 48000u, 55555u, 96000u}) {
        SCOPED_TRACE(rate);
        Chip chip{YM2610(8000000, rate, FmModel::Accurate)};
        chip.sine(1, 4, 1038);
        EXPECT_NEAR(frequencyOf(chip.left(rate / 2), rate), 440.0, 0.3);
    }
    // The resampler carries its history across render calls.
    Chip whole{YM2610(8000000, 44100, FmModel::Accurate)};
    Chip pieces{YM2610(8000000, 44100, FmModel::Accurate)};
    for (Chip* chip : {&whole, &pieces})
        chip->voice(4, 0, 6, OpVoice{.mul = 2, .tl = 8, .d1r = 4});
    for (Chip* chip : {&whole, &pieces}) {
        chip->freq(4, 4, 900);
        chip->key(4, 0xF);
    }
    const auto expected = whole.render(5000);
    std::vector<std::int16_t> got;
    for (std::size_t n : {1, 7, 256, 257, 1000, 3479}) {
        const auto part = pieces.render(n);
        got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(expected, got);
}

// An SSG-type envelope that starts inverted sounds only between key-on and the end of the release.
TEST(Ym2610FmModel, InvertedSsgEnvelopesAreSilentBeforeKeyOnAndAfterRelease) {
    for (const int ssg : {0x0C, 0x0D, 0x0E, 0x0F}) {
        Chip chip{YM2610(8000000, 44100, FmModel::Accurate)};
        chip.voice(1, 7, 0, OpVoice{.d1r = 10, .d2r = 10, .ssg = ssg});
        chip.freq(1, 4, 1038);
        EXPECT_EQ(rms(chip.left(2000)), 0.0) << ssg << " before the key-on";
        chip.key(1, 0xF);
        EXPECT_GT(rms(chip.left(20000)), 100.0) << ssg;
        chip.key(1, 0);
        chip.left(4410);
        EXPECT_EQ(rms(chip.left(2000)), 0.0) << ssg << " after the release";
    }
}

// What the scopes see: each synthesis gives a note on one track to that track's source alone, at
// the level it reaches the output with.
TEST(Ym2610FmModel, EachTracksSourceCarriesItsOwnNote) {
    constexpr std::array<int, 4> kTrackChannels = {1, 2, 4, 5};
    constexpr std::size_t kFrames = 4096;
    for (const FmModel model : {FmModel::Documented, FmModel::Accurate})
        for (std::size_t track = 0; track < kTrackChannels.size(); ++track) {
            SCOPED_TRACE(::testing::Message() << "model " << int(model) << ", track " << track);
            Chip chip;
            chip.ym.setFmModel(model);
            chip.pan(kTrackChannels[track], 0xC0);
            chip.sine(kTrackChannels[track], 4, 1038);
            std::vector<std::int16_t> out(2 * kFrames);
            std::vector<SourceFrame> sources(kFrames);
            chip.ym.render(out.data(), kFrames, sources.data());
            std::array<double, SourceFrame::kSources + 1> power{};  // then the left output's
            for (std::size_t i = kFrames / 2; i < kFrames; ++i) {
                for (std::size_t k = 0; k < SourceFrame::kSources; ++k)
                    power[k] += std::pow(sources[i].level[k], 2);
                power.back() += std::pow(out[2 * i], 2);
            }
            const double heard = std::exchange(power[track], 0);
            EXPECT_EQ(*std::max_element(power.begin(), power.end() - 1), 0);
            ASSERT_GT(power.back(), 1e9);
            EXPECT_NEAR(10 * std::log10(heard / power.back()), 0, 0.5);
        }
}

}  // namespace
}  // namespace qvxsnd
