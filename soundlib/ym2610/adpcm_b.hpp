#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "soundlib/ym2610/adpcm_b_decoder.hpp"

namespace qvxsnd {

// The YM2610's ADPCM-B part: one channel that plays 4-bit ADPCM-B samples from the V ROM at a
// rate of its own, for instruments whose pitch follows the note.
//
//   first bank  0x10       bit 7 start (a key-on, also while playing: from the start again),
//                          bit 4 repeat, bit 0 reset; writing bit 7 clear stops the channel
//               0x11       bit 7 left, bit 6 right
//               0x12/0x13  start address, low / high byte, in 256-byte blocks
//               0x14/0x15  end address (the last block played), low / high byte
//               0x19/0x1A  delta-N, low / high byte: the rate, 55555.6 * delta-N / 65536 Hz at
//                          8 MHz (the chip adds delta-N to a 16-bit position once per FM sample,
//                          every 144 master clocks, and each carry takes the next code)
//               0x1B       level, 255 loudest, linear
//               0x1C       flag control, bit 7: a 1 clears and masks the end flag, 0 unmasks
//
// Between two decoded codes the output moves in a straight line from the one before to the new
// one by the position's fraction, as MAME's and ymfm's models of the chip do. A channel that
// takes the end block's last code falls silent without playing it, or with repeat starts again
// and plays that code first (as those models do: a pass takes as many codes as the sample has),
// and raises its end flag unless it is masked; the flag reads back as bit 7 of the second status
// byte until 0x1C clears it. A channel stopped by a write holds the value it had reached until
// its next key-on.
class AdpcmB {
  public:
    static constexpr std::uint32_t kClocksPerSample = 144;

    AdpcmB(std::uint32_t clock, std::uint32_t rate) : clock_(clock), rate_(rate) {}

    // The V ROM the samples are read from; the caller keeps it alive. Addresses beyond it read
    // zeros.
    void setRom(std::span<const std::uint8_t> rom) { rom_ = rom; }

    void writeRegister(std::uint8_t address, std::uint8_t value);  // first bank 0x10-0x1B
    void writeFlagControl(std::uint8_t value);                     // first bank 0x1C
    bool endFlag() const { return endFlag_; }
    bool playing() const { return playing_; }

    // Adds `frames` stereo frames to `mix`; with `mono`, also the channel's own output, one value
    // a frame.
    void render(std::int32_t* mix, std::size_t frames, std::int16_t* mono = nullptr);

  private:
    void keyOn();
    void reachEnd();
    void sample();
    std::uint32_t endNibble() const;

    std::uint32_t clock_;
    std::uint32_t rate_;
    std::span<const std::uint8_t> rom_;
    std::uint8_t control_ = 0;
    std::uint8_t pan_ = 0;
    std::uint16_t start_ = 0;
    std::uint16_t end_ = 0;
    std::uint16_t deltaN_ = 0;
    std::uint8_t level_ = 0;
    bool playing_ = false;
    bool endFlag_ = false;
    bool flagMasked_ = false;
    std::uint32_t nibble_ = 0;    // the next code: byte address * 2, plus 1 for the low one
    std::uint32_t position_ = 0;  // 16-bit fraction between the last code and the next
    adpcmb::Decoder decoder_;
    int previous_ = 0;         // the accumulator before the last code
    std::int64_t line_ = 0;    // the interpolated accumulator
    std::int32_t output_ = 0;  // what the channel puts out until the next chip sample
    // Time since the last chip sample, in units of 1 / (clock * rate) seconds.
    std::uint64_t phase_ = 0;
};

}  // namespace qvxsnd
