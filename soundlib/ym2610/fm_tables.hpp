#pragma once

#include <array>
#include <cstdint>

namespace qvxsnd::fm {

// Sizes shared by the tables and the synthesis loop.
inline constexpr int kSineLength = 1024;
inline constexpr int kLevelTableLength = 13 * 2 * 256;  // 13 octaves of 256 steps, +/- each
inline constexpr int kSilentAttenuation = 832;          // 832 * 8 == kLevelTableLength
inline constexpr int kLfoLength = 512;
inline constexpr int kRateTableLength = 128;

// Envelope counter: 0 is loudest, kCounterMax silent; the level is counter >> 16.
inline constexpr std::int32_t kCounterMax = 0x3FFFFFF;
inline constexpr std::int32_t kInstantAttack = 0x4000000;

// Tables that do not depend on the clock or the output rate. Built once per process and shared
// read-only by every chip instance.
struct SharedTables {
    // Log-attenuation index to signed amplitude: even entries positive, odd entries negative.
    std::array<std::int32_t, kLevelTableLength> levelToAmplitude{};
    // Quarter-step log attenuation of one sine period, sign in bit 0.
    std::array<std::uint32_t, kSineLength> sine{};
    // Unipolar LFO triangle, 0 .. 65536.
    std::array<std::int32_t, kLfoLength> lfoTriangle{};
    // Phase-modulation sensitivity by the three PMS bits of 0xB4-0xB6.
    std::array<int, 8> pmSensitivity{};
};

const SharedTables& sharedTables();

// Tables scaled by the frequency base b = clock / rate / 144.
struct RateTables {
    std::array<std::int32_t, 2048> fnumIncrement{};
    std::array<std::array<std::int32_t, 32>, 8> detune{};
    std::array<std::int32_t, kRateTableLength> rateSteps{};
    std::array<std::uint32_t, 8> lfoIncrement{};

    static RateTables build(double clock, double rate);
};

inline constexpr std::array<std::int32_t, 16> kSustainLevel = {
    0 << 21, 1 << 21, 2 << 21,  3 << 21,  4 << 21,  5 << 21,  6 << 21,  7 << 21,
    8 << 21, 9 << 21, 10 << 21, 11 << 21, 12 << 21, 13 << 21, 14 << 21, 31 << 21};

// Detune in F-number units by detune row (DT 0-3) and key code: the chip's table.
inline constexpr std::array<std::array<std::uint8_t, 32>, 4> kDetuneSteps = {{
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2,
     2, 3, 3, 3, 4, 4, 4, 5, 5, 6, 6, 7, 8, 8, 8, 8},
    {1, 1, 1, 1, 2, 2, 2, 2,  2,  3,  3,  3,  4,  4,  4,  5,
     5, 6, 6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 16, 16, 16, 16},
    {2, 2, 2, 2,  2,  3,  3,  3,  4,  4,  4,  5,  5,  6,  6,  7,
     8, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 20, 22, 22, 22, 22},
}};

// Key-code low bits from F-number bits 7-10.
inline constexpr std::array<std::uint8_t, 16> kKeyCodeBits = {0, 0, 0, 0, 0, 0, 0, 1,
                                                              2, 3, 3, 3, 3, 3, 3, 3};

// Amplitude-modulation depth in attenuation units by the two AMS bits of 0xB4-0xB6.
inline constexpr std::array<int, 4> kAmDepth = {0, 15, 63, 127};

}  // namespace qvxsnd::fm
