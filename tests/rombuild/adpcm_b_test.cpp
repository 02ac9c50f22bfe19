#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include "rombuild/adpcm_b.hpp"

namespace qvx {
namespace {

// Music-like input (two tones, an attack and some noise) encoded and decoded by the chip's own
// decoder: the two never drift, and what comes back is at least 30 dB above the error.
TEST(AdpcmB, RoundTripThroughTheChipsDecoder) {
    std::vector<std::int16_t> pcm(44100);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0.0, 600.0);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const double t = double(i) / 22050;
        const double attack = std::min(1.0, t * 20);
        const double v = attack * (15000 * std::sin(2 * std::numbers::pi * 220 * t) +
                                   6000 * std::sin(2 * std::numbers::pi * 1760 * t)) +
                         noise(random);
        pcm[i] = static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
    }
    adpcmb::Encoder encoder;
    const std::vector<std::uint8_t> bytes = encoder.encodePcm(pcm);
    ASSERT_EQ(bytes.size(), pcm.size() / 2);
    adpcmb::Decoder decoder;
    double signal = 0, error = 0;
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const std::uint8_t code = (i & 1) ? bytes[i / 2] & 0x0F : bytes[i / 2] >> 4;
        const int decoded = decoder.decode(code);
        signal += double(pcm[i]) * pcm[i];
        error += (double(decoded) - pcm[i]) * (double(decoded) - pcm[i]);
    }
    EXPECT_EQ(decoder.accumulator(), encoder.decoder().accumulator());
    EXPECT_EQ(decoder.step(), encoder.decoder().step());
    const double snr = 10 * std::log10(signal / error);
    std::printf("ADPCM-B round trip: %.1f dB signal to error\n", snr);
    EXPECT_GE(snr, 30.0);

    // An odd last sample is held for one more; full scale stays inside the accumulator.
    EXPECT_EQ(adpcmb::Encoder().encodePcm(std::vector<std::int16_t>{1, 2, 3}).size(), 2u);
    for (const std::int16_t extreme : {std::int16_t{32767}, std::int16_t{-32768}}) {
        adpcmb::Encoder e;
        for (int i = 0; i < 200; ++i)
            e.encode(extreme);
        EXPECT_NEAR(e.decoder().accumulator(), extreme, 2000);
    }
}

TEST(AdpcmB, DeltaNForARate) {
    EXPECT_EQ(adpcmb::deltaN(22050), 26011);
    EXPECT_EQ(adpcmb::deltaN(55555.6), 65535);
    EXPECT_EQ(adpcmb::deltaN(1e9), 65535);
    EXPECT_EQ(adpcmb::deltaN(0), 1);
}

}  // namespace
}  // namespace qvx
