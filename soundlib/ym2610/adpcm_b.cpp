#include "soundlib/ym2610/adpcm_b.hpp"

#include <algorithm>

namespace qvxsnd {
namespace {

constexpr std::uint8_t kStart = 0x80;
constexpr std::uint8_t kRepeat = 0x10;
constexpr std::uint8_t kReset = 0x01;
constexpr std::uint8_t kLeft = 0x80;
constexpr std::uint8_t kRight = 0x40;
constexpr std::uint8_t kFlagBit = 0x80;
constexpr std::uint32_t kNibbleMask = (1u << 25) - 1;  // a 24-bit byte address and its nibble
// The level multiplies the interpolated accumulator and the product is scaled by 2^-9, which
// puts a full-scale sample at full level about two FM channels high.
constexpr int kLevelShift = 9;

}  // namespace

void AdpcmB::writeRegister(std::uint8_t address, std::uint8_t value) {
    switch (address) {
        case 0x10:
            control_ = value;
            if (value & kReset) {
                playing_ = false;
                line_ = 0;
                output_ = 0;
            } else if (value & kStart) {
                keyOn();
            } else {
                // Stopped, the channel holds the value it had reached (as MAME's model of the
                // chip does) until the next key-on.
                playing_ = false;
            }
            break;
        case 0x11:
            pan_ = value;
            break;
        case 0x12:
            start_ = static_cast<std::uint16_t>((start_ & 0xFF00) | value);
            break;
        case 0x13:
            start_ = static_cast<std::uint16_t>((start_ & 0x00FF) | value << 8);
            break;
        case 0x14:
            end_ = static_cast<std::uint16_t>((end_ & 0xFF00) | value);
            break;
        case 0x15:
            end_ = static_cast<std::uint16_t>((end_ & 0x00FF) | value << 8);
            break;
        case 0x19:
            deltaN_ = static_cast<std::uint16_t>((deltaN_ & 0xFF00) | value);
            break;
        case 0x1A:
            deltaN_ = static_cast<std::uint16_t>((deltaN_ & 0x00FF) | value << 8);
            break;
        case 0x1B:
            level_ = value;
            output_ = static_cast<std::int32_t>((line_ * level_) >> kLevelShift);
            break;
        default:
            break;
    }
}

void AdpcmB::writeFlagControl(std::uint8_t value) {
    flagMasked_ = (value & kFlagBit) != 0;
    if (flagMasked_) endFlag_ = false;
}

void AdpcmB::keyOn() {
    playing_ = true;
    nibble_ = static_cast<std::uint32_t>(start_) << 9;
    position_ = 0;
    decoder_ = adpcmb::Decoder();
    previous_ = 0;
    line_ = 0;
    output_ = 0;
}

std::uint32_t AdpcmB::endNibble() const {
    return ((static_cast<std::uint32_t>(end_) + 1) << 9) & kNibbleMask;
}

void AdpcmB::reachEnd() {
    if (!flagMasked_) endFlag_ = true;
    playing_ = false;
    line_ = 0;
    output_ = 0;
}

void AdpcmB::sample() {
    position_ += deltaN_;
    while (position_ >= 0x10000) {
        position_ -= 0x10000;
        const std::uint32_t byte = (nibble_ >> 1) & 0xFFFFFF;
        const std::uint8_t data = byte < rom_.size() ? rom_[byte] : 0;
        const std::uint8_t code = (nibble_ & 1) ? data & 0x0F : data >> 4;
        // The chip looks for the end when it has taken the end block's last code, before
        // decoding it: without repeat it stops there; with repeat it starts afresh (its position
        // too) and decodes that code first, so a pass takes as many codes as the sample has.
        if (((nibble_ + 1) & kNibbleMask) == endNibble()) {
            if (!(control_ & kRepeat)) return reachEnd();
            if (!flagMasked_) endFlag_ = true;
            keyOn();
        } else {
            ++nibble_;
        }
        previous_ = decoder_.accumulator();
        decoder_.decode(code);
    }
    line_ = (std::int64_t{previous_} * (0x10000 - position_) +
             std::int64_t{decoder_.accumulator()} * position_) >>
            16;
    output_ = static_cast<std::int32_t>((line_ * level_) >> kLevelShift);
}

void AdpcmB::render(std::int32_t* mix, std::size_t frames, std::int16_t* mono) {
    const std::uint64_t samplePeriod = std::uint64_t{kClocksPerSample} * rate_;
    if (!playing_ && output_ == 0) {
        // Keep the chip's sample clock running so that the next key-on lands where it would.
        phase_ = (phase_ + std::uint64_t{clock_} * frames) % samplePeriod;
        if (mono) std::fill_n(mono, frames, std::int16_t{0});
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        phase_ += clock_;
        while (phase_ >= samplePeriod) {
            phase_ -= samplePeriod;
            if (playing_) sample();
        }
        if (pan_ & kLeft) mix[2 * i] += output_;
        if (pan_ & kRight) mix[2 * i + 1] += output_;
        if (mono) mono[i] = static_cast<std::int16_t>(std::clamp(output_, -32768, 32767));
    }
}

}  // namespace qvxsnd
