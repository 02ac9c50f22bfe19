#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "rombuild/adpcm_a.hpp"
#include "tests/support/wav_files.hpp"

namespace qvx {
namespace {

using adpcma::Decoder;
using adpcma::Encoder;
using testing::Bytes;

Bytes encodeSamples(const std::vector<std::int16_t>& samples) {
    const Bytes pcm = testing::pcm(samples);
    Bytes out(pcm.size() / 4);
    Encoder encoder;
    encoder.encodePcm(pcm, out);
    return out;
}

// Decodes bytes as the chip plays them (high nibble first), scaled back to 16 bits.
std::vector<int> decodeBytes(const Bytes& bytes, Decoder& decoder) {
    std::vector<int> out;
    for (std::uint8_t b : bytes) {
        out.push_back(decoder.decode(b >> 4) * 32);
        out.push_back(decoder.decode(b & 0x0F) * 32);
    }
    return out;
}

TEST(AdpcmA, SilenceAlternatesAroundZero) {
    Encoder encoder;
    EXPECT_EQ(encoder.encode(0), 0);
    EXPECT_EQ(encoder.predictor(), 2);
    EXPECT_EQ(encoder.encode(0), 8);
    EXPECT_EQ(encoder.predictor(), 0);
    EXPECT_EQ(encoder.stepIndex(), 0);
    EXPECT_EQ(encodeSamples(std::vector<std::int16_t>(200, 0)), Bytes(100, 0x08));
}

TEST(AdpcmA, ConstantInputClimbsWithTheChipsRounding) {
    EXPECT_EQ(encodeSamples(std::vector<std::int16_t>(8, 32000)), (Bytes{0x77, 0x77, 0x20, 0x80}));
    // The second code at step 37 adds 15 * 37 / 8 = 69 in one rounding, not 4 + 9 + 18 + 37 = 68.
    Encoder encoder;
    encoder.encode(1000);
    encoder.encode(1000);
    EXPECT_EQ(encoder.predictor(), 99);
}

TEST(AdpcmA, InputIsScaledByAThirtySecondTowardZero) {
    EXPECT_EQ(adpcma::scalePcm(32767), 1023);
    EXPECT_EQ(adpcma::scalePcm(-32768), -1024);
    EXPECT_EQ(adpcma::scalePcm(31), 0);
    EXPECT_EQ(adpcma::scalePcm(-31), 0);
    EXPECT_EQ(adpcma::scalePcm(-32), -1);

    // Full-scale PCM encodes exactly like the scaled values given to the encoder directly.
    for (std::int16_t extreme : {std::int16_t{32767}, std::int16_t{-32768}}) {
        Encoder direct;
        Bytes expected;
        const int scaled = extreme / 32;
        for (int i = 0; i < 16; ++i) {
            const std::uint8_t high = direct.encode(scaled);
            expected.push_back(static_cast<std::uint8_t>((high << 4) | direct.encode(scaled)));
        }
        EXPECT_EQ(encodeSamples(std::vector<std::int16_t>(32, extreme)), expected) << extreme;
    }
}

TEST(AdpcmA, DecoderRoundsOnceWrapsAndClampsItsStepIndex) {
    Decoder decoder;
    EXPECT_EQ(decoder.decode(0x0), 2);
    EXPECT_EQ(decoder.stepIndex(), 0);  // clamped at the bottom
    EXPECT_EQ(decoder.decode(0x8), 0);

    // Climbing with code 7: 30, +69, +165, +391, +926, then +2186 runs past 2047 and the 12-bit
    // accumulator comes out at the bottom of its range.
    Decoder climb;
    std::vector<int> values;
    for (int i = 0; i < 6; ++i)
        values.push_back(climb.decode(0x7));
    EXPECT_EQ(values, (std::vector<int>{30, 99, 264, 655, 1581, 3767 - 4096}));
    EXPECT_EQ(climb.wraps(), 1u);

    // The step index never passes the end of the table.
    for (int i = 0; i < 20; ++i)
        climb.decode(0x7);
    EXPECT_EQ(climb.stepIndex(), adpcma::kMaxStepIndex);
    // A code's high bits are not part of it.
    Decoder a;
    Decoder b;
    EXPECT_EQ(a.decode(0xF3), b.decode(0x03));
}

// Full-scale 12-bit input, where the nearest level often lies beyond the accumulator's range:
// the encoder must settle for a level inside, and it stays in step with the chip.
TEST(AdpcmA, EncoderNeverMakesTheChipWrap) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> anywhere(adpcma::kAccumulatorMin, adpcma::kAccumulatorMax);
    std::bernoulli_distribution edge(0.5);
    Encoder encoder;
    Decoder decoder;
    for (int i = 0; i < 200000; ++i) {
        // Noise, often pinned at the two ends of the range.
        int sample = anywhere(random);
        if (edge(random)) sample = sample < 0 ? adpcma::kAccumulatorMin : adpcma::kAccumulatorMax;
        const std::uint8_t code = encoder.encode(sample);
        ASSERT_EQ(decoder.decode(code), encoder.predictor()) << "sample " << i;
        ASSERT_EQ(decoder.stepIndex(), encoder.stepIndex());
    }
    EXPECT_EQ(decoder.wraps(), 0u);

    // A constant at the very top: the decoded signal settles just below it.
    Encoder top;
    Decoder follow;
    int lowest = adpcma::kAccumulatorMax;
    for (int i = 0; i < 1000; ++i) {
        const int value = follow.decode(top.encode(adpcma::kAccumulatorMax));
        if (i >= 100) lowest = std::min(lowest, value);
    }
    EXPECT_EQ(follow.wraps(), 0u);
    EXPECT_GT(lowest, adpcma::kAccumulatorMax - 400);

    Encoder clamped;
    Encoder atTop;
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(clamped.encode(5000), atTop.encode(adpcma::kAccumulatorMax));
}

struct RoundTrip {
    double snrDb;
    std::uint64_t wraps;
};

RoundTrip roundTrip(const std::vector<std::int16_t>& input) {
    Decoder decoder;
    const std::vector<int> output = decodeBytes(encodeSamples(input), decoder);
    double signal = 0;
    double noise = 0;
    for (std::size_t i = 0; i < output.size(); ++i) {
        signal += double(input[i]) * input[i];
        noise += double(output[i] - input[i]) * (output[i] - input[i]);
    }
    return {10 * std::log10(signal / noise), decoder.wraps()};
}

TEST(AdpcmA, SineAtMinusOneDbfsRoundTripsWithoutWrapping) {
    const double amplitude = std::pow(10.0, -1.0 / 20);
    for (double hz : {110.0, 440.0, 1000.0, 3000.0}) {
        const RoundTrip r = roundTrip(testing::sine(18500, hz, amplitude));
        EXPECT_EQ(r.wraps, 0u) << hz << " Hz";
        EXPECT_GT(r.snrDb, 18.0) << hz << " Hz";
        ::testing::Test::RecordProperty("snr_db_" + std::to_string(static_cast<int>(hz)) + "hz",
                                        std::to_string(r.snrDb));
        std::printf("sine %5.0f Hz at -1 dBFS: SNR %.1f dB\n", hz, r.snrDb);
    }
}

TEST(AdpcmA, FullScaleSquareWaveDoesNotWrap) {
    std::vector<std::int16_t> square(18500);
    for (std::size_t i = 0; i < square.size(); ++i)
        square[i] = (i / 21) % 2 ? std::int16_t{-32768} : std::int16_t{32767};
    EXPECT_EQ(roundTrip(square).wraps, 0u);
}

}  // namespace
}  // namespace qvx
