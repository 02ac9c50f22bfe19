#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "soundlib/ym2610/adpcm_a_decoder.hpp"

namespace qvxsnd {

// The YM2610's ADPCM-A part: six channels that play 4-bit ADPCM samples from the V ROM at the
// chip's fixed rate of one sample per channel every 432 master clocks (18518.5 Hz at 8 MHz), each
// with its own level and left/right switches under a common total level.
//
//   second bank  0x00       bit 7 dump (key off), bits 0-5 channels to key on (or off)
//                0x01       bits 0-5 total level, 0x3F loudest
//                0x08+c     bit 7 left, bit 6 right, bits 0-4 channel level, 0x1F loudest
//                0x10+c / 0x18+c   start address, low / high byte, in 256-byte blocks
//                0x20+c / 0x28+c   end address (the last block played), low / high byte
//   first bank   0x1C       flag control: a 1 clears and masks a channel's end flag, 0 unmasks
//
// A channel that has played its end block stops and raises its end flag (unless masked); the
// flags read back as the chip's second status byte, bits 0-5. A raised flag stays raised until
// the program clears it through 0x1C, and while it is raised the channel's key-on plays nothing
// (the NeoGeo Development Wiki's ADPCM page), so a program that never clears the flags hears
// each channel once.
//
// Levels: the attenuation is (63 - total level) + (31 - channel level) steps of 0.75 dB. A step
// of eight halves the level; within it the level falls linearly, (15 - k) / 16 of the way. The
// 12-bit accumulator at full level gives 15/2 of its value, on the scale where one full-level FM
// operator swings about +-8192 before the mix halves each FM channel: six channels at full level
// are far louder than the output can hold, as on the board.
class AdpcmA {
  public:
    static constexpr int kChannels = 6;
    static constexpr std::uint32_t kClocksPerSample = 432;

    AdpcmA(std::uint32_t clock, std::uint32_t rate) : clock_(clock), rate_(rate) {}

    // The V ROM the samples are read from. The caller keeps it alive; addresses beyond it read
    // zeros. Without one, key-ons are ignored and the part stays silent.
    void setRom(std::span<const std::uint8_t> rom) { rom_ = rom; }

    void reset();
    void writeRegister(std::uint8_t address, std::uint8_t value);  // second bank 0x00-0x2F
    void writeFlagControl(std::uint8_t value);                     // first bank 0x1C
    std::uint8_t endFlags() const { return endFlags_; }

    // Adds `frames` stereo frames to `mix`; with `channels`, each channel's own output too
    // (before panning), kChannels values a frame.
    void render(std::int32_t* mix, std::size_t frames, std::int16_t* channels = nullptr);

    bool playing(int channel) const { return channels_[channel].playing; }

  private:
    struct Channel {
        bool playing = false;
        std::uint32_t nibble = 0;     // the next code: byte address * 2, plus 1 for the low one
        std::uint32_t endNibble = 0;  // one past the end block's last code
        std::uint16_t start = 0;
        std::uint16_t end = 0;
        std::uint8_t control = 0;  // left, right, level
        adpcma::Decoder decoder;
        std::int32_t output = 0;  // the value the chip's output holds until the next sample
    };

    void keyOn(Channel& channel);
    void step(Channel& channel, int index);
    std::int32_t scaled(const Channel& channel) const;

    std::uint32_t clock_;
    std::uint32_t rate_;
    std::span<const std::uint8_t> rom_;
    std::array<Channel, kChannels> channels_{};
    std::uint8_t totalLevel_ = 0;
    std::uint8_t endFlags_ = 0;
    std::uint8_t flagMask_ = 0;
    // Time since the last chip sample, in units of 1 / (clock * rate) seconds: an output frame is
    // `clock` units, a chip sample 432 * `rate`.
    std::uint64_t phase_ = 0;
};

}  // namespace qvxsnd
