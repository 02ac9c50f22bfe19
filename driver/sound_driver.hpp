#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The Z80 sound driver that every compiled image, test ROM and M1 ROM starts with. Its bytes are
// assembled from driver/sound_driver.s at build time; the addresses below are the ones the
// driver, the image builders and the emulated board share.
namespace qvx::driver {

inline constexpr std::size_t kDriverSize = 1265;

std::span<const std::uint8_t, kDriverSize> image();

inline constexpr std::uint16_t kAutoStartFlag = 0x0004;
inline constexpr std::uint16_t kTickEntry = 0x0038;
inline constexpr std::uint16_t kCommandEntry = 0x0066;
inline constexpr std::uint16_t kSampleTable = 0x04F1;
inline constexpr std::size_t kSampleTableSize = 512;
inline constexpr std::uint16_t kFirstSongBlock = 0x06F1;
inline constexpr std::uint16_t kVariables = 0xF800;  // song data must end below this

// Driver variables, as the driver keeps them.
namespace var {
inline constexpr std::uint16_t kOrderPosition = 0xF800;
inline constexpr std::uint16_t kOrderCount = 0xF801;
inline constexpr std::uint16_t kCellFnumHigh = 0xF802;
inline constexpr std::uint16_t kCellFnumLow = 0xF803;
inline constexpr std::uint16_t kCellBlock = 0xF804;
inline constexpr std::uint16_t kCellInstrument = 0xF805;
inline constexpr std::uint16_t kCellEffect = 0xF806;
inline constexpr std::uint16_t kCellParameter = 0xF807;
inline constexpr std::uint16_t kLoadedInstrument = 0xF808;  // 4 bytes
inline constexpr std::uint16_t kPatternPointerHigh = 0xF80C;
inline constexpr std::uint16_t kPatternPointerLow = 0xF80D;
inline constexpr std::uint16_t kRow = 0xF80E;
inline constexpr std::uint16_t kTickCounter = 0xF80F;
inline constexpr std::uint16_t kSpeed = 0xF810;
inline constexpr std::uint16_t kInstrumentTable = 0xF811;  // little-endian
inline constexpr std::uint16_t kOrderBlock = 0xF813;       // little-endian
inline constexpr std::uint16_t kPlaying = 0xF815;
inline constexpr std::uint16_t kPatternBreak = 0xF816;
inline constexpr std::uint16_t kNextAdpcmChannel = 0xF817;
inline constexpr std::uint16_t kLastAdpcmChannel = 0xF818;
}  // namespace var

// Sound commands the driver understands.
namespace command {
inline constexpr std::uint8_t kNothing = 0x00;
inline constexpr std::uint8_t kHalt = 0x01;
inline constexpr std::uint8_t kRestart = 0x03;
inline constexpr std::uint8_t kAdpcmOff = 0x7F;
inline constexpr std::uint8_t kFirstSong = 0x81;
inline constexpr std::uint8_t kStop = 0xFF;
inline constexpr std::uint8_t kFirstSample = 0x04;
}  // namespace command

}  // namespace qvx::driver
