// YM2610 register numbers, as the chip model decodes them and as the driver, the preview
// functions and the song model write them. The bits of each register are in the map at the top of
// fm_engine.hpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace qvxsnd::ym {

enum Register : std::uint8_t {
    // First bank only.
    kLfo = 0x22,
    kTimerAHigh = 0x24,
    kTimerALow = 0x25,
    kTimerB = 0x26,
    kModeTimers = 0x27,
    kKeyOnOff = 0x28,
    // Per operator, both banks: + channel slot (0-2) + operator offset (kOperatorOffset).
    kDetuneMultiple = 0x30,
    kTotalLevel = 0x40,
    kKeyScaleAttack = 0x50,
    kAmDecay = 0x60,
    kSustainRate = 0x70,
    kSustainLevelRelease = 0x80,
    kSsgEnvelope = 0x90,
    // Per channel, both banks: + channel slot.
    kFnumLow = 0xA0,
    kBlockFnumHigh = 0xA4,
    kThreeFnumLow = 0xA8,        // first bank: the extra frequencies of channel slot 2
    kThreeBlockFnumHigh = 0xAC,  // (three-frequency mode), + entry 0-2
    kFeedbackAlgorithm = 0xB0,
    kPanLfoSensitivity = 0xB4,
};

// First bank: ADPCM end flag control (a 1 clears and masks a channel's flag, a 0 unmasks it).
inline constexpr std::uint8_t kAdpcmFlagControl = 0x1C;
// First bank: the SSG below this, ADPCM-B from it up to the flag control.
inline constexpr std::uint8_t kFirstAdpcmBRegister = 0x10;

// Below these the first bank holds the mode registers, then the SSG (0x00-0x0F) and ADPCM-B
// (0x10-0x1F); the second bank holds ADPCM-A (0x00-0x2F).
inline constexpr std::uint8_t kFirstModeRegister = 0x20;
inline constexpr std::uint8_t kFirstChannelRegister = kDetuneMultiple;

// Operators sit in the per-operator registers in the order 1, 3, 2, 4: these are the offsets of
// operators 1 to 4.
inline constexpr std::array<std::uint8_t, 4> kOperatorOffset = {0, 8, 4, 12};

// Register 0x28: key-on bits of operators 1-4 in bits 4-7; the channel code below them.
inline constexpr std::uint8_t kAllOperatorsOn = 0xF0;
inline constexpr std::uint8_t kChannel1 = 0x01;  // first bank, slot 1: FM channel 1

// The registers an instrument's 25 bytes go to, in byte order, for a channel slot: the six
// per-operator registers, each for the operators in register order (1, 3, 2, 4), then
// feedback/algorithm. The SSG-type envelope (0x90) is not part of a voice.
constexpr std::array<std::uint8_t, 25> voiceRegisters(std::uint8_t slot) {
    constexpr std::array<std::uint8_t, 6> kPerOperator = {kDetuneMultiple, kTotalLevel,
                                                          kKeyScaleAttack, kAmDecay,
                                                          kSustainRate,    kSustainLevelRelease};
    std::array<std::uint8_t, 25> registers{};
    std::size_t i = 0;
    for (const std::uint8_t base : kPerOperator)
        for (const std::uint8_t registerOffset : {0, 4, 8, 12})
            registers[i++] = static_cast<std::uint8_t>(base + registerOffset + slot);
    registers[i] = static_cast<std::uint8_t>(kFeedbackAlgorithm + slot);
    return registers;
}

// FM channel 1's: where the editor's preview loads a voice, and the table the song model's
// instrument bytes follow.
inline constexpr std::array<std::uint8_t, 25> kVoiceRegisters = voiceRegisters(kChannel1);

}  // namespace qvxsnd::ym
