#include "soundlib/ym2610/adpcm_a.hpp"

#include <algorithm>

namespace qvxsnd {
namespace {

constexpr std::uint8_t kDump = 0x80;
constexpr std::uint8_t kChannelBits = 0x3F;
constexpr std::uint8_t kLeft = 0x80;
constexpr std::uint8_t kRight = 0x40;
constexpr std::uint8_t kMaxTotalLevel = 0x3F;
constexpr std::uint8_t kMaxChannelLevel = 0x1F;

}  // namespace

void AdpcmA::reset() {
    channels_ = {};
    totalLevel_ = 0;
    endFlags_ = 0;
    flagMask_ = 0;
    phase_ = 0;
}

void AdpcmA::writeRegister(std::uint8_t address, std::uint8_t value) {
    if (address == 0x00) {
        for (int c = 0; c < kChannels; ++c) {
            if (!(value & kChannelBits & (1 << c))) continue;
            if (value & kDump)
                channels_[c].playing = false;
            else if (!(endFlags_ & (1 << c)))
                keyOn(channels_[c]);
            // A channel whose end flag is raised stays silent until the flag is cleared by
            // hand; a key-on does not clear it.
        }
        return;
    }
    if (address == 0x01) {
        totalLevel_ = value & kMaxTotalLevel;
        return;
    }
    const int c = address & 7;
    if (c >= kChannels) return;
    Channel& channel = channels_[c];
    switch (address & 0x38) {
        case 0x08:
            channel.control = value;
            break;
        case 0x10:
            channel.start = static_cast<std::uint16_t>((channel.start & 0xFF00) | value);
            break;
        case 0x18:
            channel.start = static_cast<std::uint16_t>((channel.start & 0x00FF) | value << 8);
            break;
        case 0x20:
            channel.end = static_cast<std::uint16_t>((channel.end & 0xFF00) | value);
            break;
        case 0x28:
            channel.end = static_cast<std::uint16_t>((channel.end & 0x00FF) | value << 8);
            break;
        default:
            break;
    }
}

void AdpcmA::writeFlagControl(std::uint8_t value) {
    flagMask_ = value & kChannelBits;
    endFlags_ &= static_cast<std::uint8_t>(~flagMask_);
}

void AdpcmA::keyOn(Channel& channel) {
    // Without a V ROM there is nothing to play: the channels stay silent.
    if (rom_.empty()) return;
    channel.playing = true;
    channel.decoder = adpcma::Decoder();
    channel.output = 0;
    channel.nibble = static_cast<std::uint32_t>(channel.start) << 9;
    channel.endNibble = (static_cast<std::uint32_t>(channel.end) + 1) << 9;
}

std::int32_t AdpcmA::scaled(const Channel& channel) const {
    const int attenuation =
        (kMaxTotalLevel - totalLevel_) + (kMaxChannelLevel - (channel.control & kMaxChannelLevel));
    const int factor = 15 - (attenuation & 7);
    const int shift = 1 + (attenuation >> 3);
    // The chip's output keeps no finer steps than four units.
    return ((channel.decoder.accumulator() * factor) >> shift) & ~3;
}

void AdpcmA::step(Channel& channel, int index) {
    // The end block has been played whole (the counter compares block numbers, so a sample
    // whose end lies below its start runs on around the 16 MB address space).
    if ((channel.nibble & ((1u << 25) - 1)) == (channel.endNibble & ((1u << 25) - 1))) {
        channel.playing = false;
        channel.output = 0;
        if (!(flagMask_ & (1 << index))) endFlags_ |= static_cast<std::uint8_t>(1 << index);
        return;
    }
    const std::uint32_t byte = (channel.nibble >> 1) & 0xFFFFFF;
    const std::uint8_t data = byte < rom_.size() ? rom_[byte] : 0;
    const std::uint8_t code = (channel.nibble & 1) ? data & 0x0F : data >> 4;
    ++channel.nibble;
    channel.decoder.decode(code);
    channel.output = scaled(channel);
}

void AdpcmA::render(std::int32_t* mix, std::size_t frames, std::int16_t* channels) {
    bool any = false;
    for (const Channel& channel : channels_)
        any = any || channel.playing;
    const std::uint64_t samplePeriod = std::uint64_t{kClocksPerSample} * rate_;
    if (!any) {
        // Keep the chip's sample clock running so that the next key-on lands where it would.
        phase_ = (phase_ + std::uint64_t{clock_} * frames) % samplePeriod;
        if (channels) std::fill_n(channels, frames * kChannels, std::int16_t{0});
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        phase_ += clock_;
        while (phase_ >= samplePeriod) {
            phase_ -= samplePeriod;
            for (int c = 0; c < kChannels; ++c)
                if (channels_[c].playing) step(channels_[c], c);
        }
        std::int32_t left = 0;
        std::int32_t right = 0;
        for (int c = 0; c < kChannels; ++c) {
            const Channel& channel = channels_[c];
            const std::int32_t output = channel.playing ? channel.output : 0;
            if (channels) channels[i * kChannels + c] = static_cast<std::int16_t>(output);
            if (channel.control & kLeft) left += output;
            if (channel.control & kRight) right += output;
        }
        mix[2 * i] += left;
        mix[2 * i + 1] += right;
    }
}

}  // namespace qvxsnd
