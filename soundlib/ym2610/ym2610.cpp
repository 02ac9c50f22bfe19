#include "ym2610/ym2610.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace qvxsnd {
namespace {

std::uint32_t checkedClock(std::uint32_t clock) {
    if (clock < YM2610::kMinClock || clock > YM2610::kMaxClock) {
        throw std::invalid_argument("YM2610: master clock " + std::to_string(clock) +
                                    " Hz is outside 1000000..20000000 Hz");
    }
    return clock;
}

std::uint32_t checkedRate(std::uint32_t rate) {
    if (rate < YM2610::kMinRate || rate > YM2610::kMaxRate) {
        throw std::invalid_argument("YM2610: output rate " + std::to_string(rate) +
                                    " Hz is outside 8000..192000 Hz");
    }
    return rate;
}

std::int16_t clamp16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767));
}

}  // namespace

YM2610::YM2610(std::uint32_t clock, std::uint32_t rate)
    : clock_(checkedClock(clock)),
      rate_(checkedRate(rate)),
      fm_(static_cast<double>(clock_), static_cast<double>(rate_)),
      timers_(clock_, rate_) {
    writeMode(0x27, 0x30);
    fm_.resetChannels();
    timers_.reset();
    for (int bank = 0; bank < 2; ++bank) {
        const int offset = bank * 0x100;
        for (int a = 0xB6; a >= 0xB4; --a)
            fm_.writeChannelRegister(offset + a, 0xC0);
        for (int a = 0xB2; a >= 0x30; --a)
            fm_.writeChannelRegister(offset + a, 0x00);
    }
}

void YM2610::write(int port, std::uint8_t value) {
    if (port < 0 || port > 3) {
        throw std::out_of_range("YM2610::write: port " + std::to_string(port) +
                                " is not 0-3 (address/data of bank 0, address/data of bank 1)");
    }
    const int bank = port >> 1;
    if ((port & 1) == 0) {
        addressLatch_[bank] = value;
    } else {
        writeData(bank, value);
    }
}

void YM2610::writeRegister(int bank, std::uint8_t address, std::uint8_t value) {
    if (bank < 0 || bank > 1) {
        throw std::out_of_range("YM2610::writeRegister: bank " + std::to_string(bank) +
                                " is not 0 or 1");
    }
    write(bank * 2, address);
    write(bank * 2 + 1, value);
}

void YM2610::writeData(int bank, std::uint8_t value) {
    const std::uint8_t address = addressLatch_[bank];
    if (bank == 0) {
        if (address >= 0x30) {
            fm_.writeChannelRegister(address, value);
        } else if (address >= 0x20) {
            writeMode(address, value);
        }
        // 0x00-0x0F (SSG) and 0x10-0x1F (ADPCM-B) are not synthesized.
    } else {
        if (address >= 0x30) fm_.writeChannelRegister(0x100 + address, value);
        // 0x00-0x2F (ADPCM-A) are not synthesized.
    }
    if (observer_) {
        observer_(RegisterWrite{framesRendered_, static_cast<std::uint8_t>(bank), address, value});
    }
}

void YM2610::writeMode(std::uint8_t address, std::uint8_t value) {
    switch (address) {
        case 0x22:
            fm_.writeLfo(value);
            break;
        case 0x24:
            timers_.writeTimerAHigh(value);
            break;
        case 0x25:
            timers_.writeTimerALow(value);
            break;
        case 0x26:
            timers_.writeTimerB(value);
            break;
        case 0x27:
            fm_.setThreeFrequencyMode((value & 0xC0) != 0);
            timers_.writeMode(value);
            break;
        case 0x28:
            fm_.writeKeyOnOff(value);
            break;
        default:
            break;
    }
}

void YM2610::render(std::int16_t* out, std::size_t frames) {
    if (frames == 0) return;
    if (out == nullptr) {
        throw std::invalid_argument("YM2610::render: no output buffer for " +
                                    std::to_string(frames) + " frames");
    }
    // The FM sums are mixed in a small block of 32-bit accumulators and clamped once at the end,
    // leaving room to add further sound sources of the chip before the clamp.
    constexpr std::size_t kBlock = 256;
    std::array<std::int32_t, kBlock * 2> mix;
    while (frames > 0) {
        const std::size_t n = std::min(frames, kBlock);
        fm_.render(mix.data(), n);
        for (std::size_t i = 0; i < n * 2; ++i)
            out[i] = clamp16(mix[i]);
        timers_.advance(static_cast<std::uint32_t>(n));
        framesRendered_ += n;
        out += n * 2;
        frames -= n;
    }
}

const fm::Operator& YM2610::inspect(int channel, int op) const {
    if (channel < 0 || channel > 5 || op < 1 || op > 4) {
        throw std::out_of_range("YM2610: no operator " + std::to_string(op) + " on channel " +
                                std::to_string(channel) + " (channels 0-5, operators 1-4)");
    }
    constexpr std::array<std::size_t, 4> kSlotOfOperator = {0, 2, 1, 3};
    return fm_.channel(channel).ops[kSlotOfOperator[static_cast<std::size_t>(op - 1)]];
}

EnvelopePhase YM2610::envelopePhase(int channel, int op) const {
    return inspect(channel, op).state;
}

int YM2610::envelopeLevel(int channel, int op) const {
    return inspect(channel, op).counter >> 16;
}

}  // namespace qvxsnd
