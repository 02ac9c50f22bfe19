#include "soundlib/ym2610/ym2610.hpp"

#include "soundlib/ym2610/fm_chip.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace qvxsnd {
namespace {

std::uint32_t checked(std::uint32_t hz, std::uint32_t min, std::uint32_t max, const char* what) {
    if (hz < min || hz > max) {
        throw std::invalid_argument(std::string("YM2610: ") + what + " " + std::to_string(hz) +
                                    " Hz is outside " + std::to_string(min) + ".." +
                                    std::to_string(max) + " Hz");
    }
    return hz;
}

std::unique_ptr<fm::Synthesis> makeSynthesis(FmModel model, std::uint32_t clock,
                                             std::uint32_t rate) {
    if (model == FmModel::Accurate) return std::make_unique<fm::ChipEngine>(clock, rate);
    return std::make_unique<fm::Engine>(static_cast<double>(clock), static_cast<double>(rate));
}

std::int16_t clamp16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767));
}

}  // namespace

YM2610::YM2610(std::uint32_t clock, std::uint32_t rate, FmModel model)
    : clock_(checked(clock, kMinClock, kMaxClock, "master clock")),
      rate_(checked(rate, kMinRate, kMaxRate, "output rate")),
      model_(model),
      fm_(makeSynthesis(model, clock_, rate_)),
      adpcmA_(clock_, rate_),
      adpcmB_(clock_, rate_),
      ssg_(clock_, rate_),
      partsDelay_(static_cast<std::size_t>(fm_->outputDelay())),
      timers_(clock_, rate_) {
    // The chip's reset: timers stopped with their flags clear, every channel silent, both
    // outputs on and no modulation, every other channel register zero.
    writeMode(ym::kModeTimers, 0x30);
    fm_->resetChannels();
    timers_.reset();
    for (int bank = 0; bank < 2; ++bank) {
        const int offset = bank * fm::kSecondBank;
        for (int a = ym::kPanLfoSensitivity + 2; a >= ym::kPanLfoSensitivity; --a)
            writeFmChannel(offset + a, 0xC0);
        for (int a = ym::kFeedbackAlgorithm + 2; a >= ym::kFirstChannelRegister; --a)
            writeFmChannel(offset + a, 0x00);
    }
}

void YM2610::writeFmChannel(int address, std::uint8_t value) {
    fmRegisters_[static_cast<std::size_t>(address >= fm::kSecondBank)]
                [static_cast<std::size_t>(address & 0xFF)] = value;
    fm_->writeChannelRegister(address, value);
}

void YM2610::writeFmMode(std::uint8_t address, std::uint8_t value) {
    if (address == ym::kLfo) {
        lfo_ = value;
        fm_->writeLfo(value);
    } else if (address == ym::kModeTimers) {
        threeFrequencyMode_ = (value & 0xC0) != 0;
        fm_->setThreeFrequencyMode(threeFrequencyMode_);
    } else if (address == ym::kKeyOnOff) {
        fm_->writeKeyOnOff(value);
    }
}

void YM2610::setFmModel(FmModel model) {
    if (model == model_) return;
    std::unique_ptr<fm::Synthesis> next = makeSynthesis(model, clock_, rate_);
    next->resetChannels();
    next->setSixChannels(ym2610b_);
    next->writeLfo(lfo_);
    next->setThreeFrequencyMode(threeFrequencyMode_);
    for (int bank = 0; bank < 2; ++bank) {
        const auto& registers = fmRegisters_[static_cast<std::size_t>(bank)];
        const int offset = bank * fm::kSecondBank;
        const auto replay = [&](int address) {
            next->writeChannelRegister(offset + address,
                                       registers[static_cast<std::size_t>(address)]);
        };
        for (int a = ym::kFirstChannelRegister; a < ym::kFnumLow; ++a)
            replay(a);
        // A frequency's high byte is latched and taken over with the low byte.
        for (int c = 0; c < 3; ++c) {
            replay(ym::kBlockFnumHigh + c);
            replay(ym::kFnumLow + c);
            if (bank == 0) {
                replay(ym::kThreeBlockFnumHigh + c);
                replay(ym::kThreeFnumLow + c);
            }
            replay(ym::kFeedbackAlgorithm + c);
            replay(ym::kPanLfoSensitivity + c);
        }
    }
    for (int channel = 0; channel < 6; ++channel) {
        int keyed = 0;
        for (int op = 1; op <= 4; ++op) {
            const EnvelopePhase phase = envelopePhase(channel, op);
            if (phase != EnvelopePhase::Off && phase != EnvelopePhase::Release)
                keyed |= 0x10 << (op - 1);
        }
        // Key-on codes 0-2 and 4-6 name the channels of the two banks.
        if (keyed) next->writeKeyOnOff(static_cast<std::uint8_t>(keyed | (channel + channel / 3)));
    }
    fm_ = std::move(next);
    model_ = model;
    // The other parts keep in step with the new synthesis; a few frames of them are skipped or
    // heard twice.
    partsDelay_.assign(static_cast<std::size_t>(outputDelay()), PartsFrame{});
    partsNext_ = 0;
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
    if (writeOffset_ > 0) {
        if (bank == 0 && address < ym::kFirstAdpcmBRegister)
            ssg_.writeRegisterAt(address, value, writeOffset_);
        else
            deferred_.push_back({bank, address, value});
    } else {
        applyData(bank, address, value);
    }
    if (observer_) {
        observer_(RegisterWrite{framesRendered_ + static_cast<std::uint64_t>(outputDelay()) +
                                    (writeOffset_ > 0 ? 1 : 0),
                                static_cast<std::uint8_t>(bank), address, value});
    }
}

void YM2610::applyData(int bank, std::uint8_t address, std::uint8_t value) {
    if (bank == 0) {
        if (address >= ym::kFirstChannelRegister) {
            writeFmChannel(address, value);
        } else if (address >= ym::kFirstModeRegister) {
            writeMode(address, value);
        } else if (address == ym::kAdpcmFlagControl) {
            adpcmA_.writeFlagControl(value);
            adpcmB_.writeFlagControl(value);
        } else if (address >= ym::kFirstAdpcmBRegister) {
            adpcmB_.writeRegister(address, value);
        } else {
            ssg_.writeRegister(address, value);
        }
    } else {
        if (address >= ym::kFirstChannelRegister)
            writeFmChannel(fm::kSecondBank + address, value);
        else
            adpcmA_.writeRegister(address, value);
    }
}

void YM2610::writeMode(std::uint8_t address, std::uint8_t value) {
    switch (address) {
        case ym::kLfo:
        case ym::kKeyOnOff:
            writeFmMode(address, value);
            break;
        case ym::kTimerAHigh:
            timers_.writeTimerAHigh(value);
            break;
        case ym::kTimerALow:
            timers_.writeTimerALow(value);
            break;
        case ym::kTimerB:
            timers_.writeTimerB(value);
            break;
        case ym::kModeTimers:
            writeFmMode(address, value);
            timers_.writeMode(value);
            break;
        default:
            break;
    }
}

void YM2610::render(std::int16_t* out, std::size_t frames, SourceFrame* sources) {
    if (frames == 0) return;
    if (out == nullptr) {
        throw std::invalid_argument("YM2610::render: no output buffer for " +
                                    std::to_string(frames) + " frames");
    }
    writeOffset_ = 0;
    if (!deferred_.empty()) {
        // The first frame as the writes found it, then the writes that waited for its end.
        const std::vector<DeferredWrite> waiting = std::move(deferred_);
        deferred_.clear();
        render(out, 1, sources);
        for (const DeferredWrite& w : waiting)
            applyData(w.bank, w.address, w.value);
        if (--frames == 0) return;
        out += 2;
        if (sources) ++sources;
    }
    // The sums are mixed in a small block of 32-bit accumulators and clamped once at the end.
    constexpr std::size_t kBlock = 256;
    std::array<std::int32_t, kBlock * 2> mix;
    std::array<std::int16_t, kBlock * fm::Synthesis::kTracks> tracks;
    while (frames > 0) {
        const std::size_t n = std::min(frames, kBlock);
        fm_->render(mix.data(), n, sources ? tracks.data() : nullptr);
        if (partsDelay_.empty() && !sources) {
            adpcmA_.render(mix.data(), n);
            adpcmB_.render(mix.data(), n);
            ssg_.render(mix.data(), n);
        } else {
            renderParts(mix.data(), n, sources ? tracks.data() : nullptr, sources);
            if (sources) sources += n;
        }
        for (std::size_t i = 0; i < n * 2; ++i)
            out[i] = clamp16(mix[i]);
        framesRendered_ += n;
        syncTimers(framesRendered_ * clock_);
        out += n * 2;
        frames -= n;
    }
}

void YM2610::renderParts(std::int32_t* mix, std::size_t n, const std::int16_t* tracks,
                         SourceFrame* sources) {
    constexpr std::size_t kBlock = 256;
    std::array<std::int32_t, kBlock * 2> adpcmA{};
    std::array<std::int32_t, kBlock * 2> others{};
    std::array<std::int16_t, kBlock * Ssg::kChannels> ssg;
    std::array<std::int16_t, kBlock> adpcmB;
    std::array<std::int16_t, kBlock * AdpcmA::kChannels> adpcmAChannels;
    adpcmA_.render(adpcmA.data(), n, adpcmAChannels.data());
    adpcmB_.render(others.data(), n, adpcmB.data());
    ssg_.render(others.data(), n, ssg.data());
    if (partsDelay_.empty()) {
        for (std::size_t i = 0; i < n; ++i) {
            mix[2 * i] += adpcmA[2 * i] + others[2 * i];
            mix[2 * i + 1] += adpcmA[2 * i + 1] + others[2 * i + 1];
            if (!sources) continue;
            auto& level = sources[i].level;
            std::copy_n(tracks + i * fm::Synthesis::kTracks, fm::Synthesis::kTracks, level.begin());
            level[SourceFrame::kFirstAdpcmA] = clamp16((adpcmA[2 * i] + adpcmA[2 * i + 1]) / 2);
            std::copy_n(ssg.begin() + std::ptrdiff_t(3 * i), 3,
                        level.begin() + SourceFrame::kFirstSsg);
            level[SourceFrame::kAdpcmB] = adpcmB[i];
            std::copy_n(adpcmAChannels.begin() + std::ptrdiff_t(AdpcmA::kChannels * i),
                        AdpcmA::kChannels, level.begin() + SourceFrame::kFirstAdpcmAChannel);
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        PartsFrame frame{adpcmA[2 * i] + others[2 * i],
                         adpcmA[2 * i + 1] + others[2 * i + 1],
                         {clamp16((adpcmA[2 * i] + adpcmA[2 * i + 1]) / 2), ssg[3 * i],
                          ssg[3 * i + 1], ssg[3 * i + 2], adpcmB[i]}};
        std::copy_n(
            adpcmAChannels.begin() + std::ptrdiff_t(AdpcmA::kChannels * i), AdpcmA::kChannels,
            frame.sources.begin() + (SourceFrame::kFirstAdpcmAChannel - SourceFrame::kFirstAdpcmA));
        std::swap(frame, partsDelay_[partsNext_]);
        partsNext_ = partsNext_ + 1 == partsDelay_.size() ? 0 : partsNext_ + 1;
        mix[2 * i] += frame.left;
        mix[2 * i + 1] += frame.right;
        if (!sources) continue;
        auto& level = sources[i].level;
        std::copy_n(tracks + i * fm::Synthesis::kTracks, fm::Synthesis::kTracks, level.begin());
        std::copy(frame.sources.begin(), frame.sources.end(),
                  level.begin() + SourceFrame::kFirstAdpcmA);
    }
}

int YM2610::inspectedSlot(int channel, int op) const {
    if (channel < 0 || channel > 5 || op < 1 || op > 4) {
        throw std::out_of_range("YM2610: no operator " + std::to_string(op) + " on channel " +
                                std::to_string(channel) + " (channels 0-5, operators 1-4)");
    }
    // Operators are kept in register order.
    return ym::kOperatorOffset[op - 1] / 4;
}

EnvelopePhase YM2610::envelopePhase(int channel, int op) const {
    return fm_->envelopePhase(channel, inspectedSlot(channel, op));
}

int YM2610::envelopeLevel(int channel, int op) const {
    return fm_->envelopeLevel(channel, inspectedSlot(channel, op));
}

void YM2610::syncTimers(std::uint64_t units) {
    if (units <= timerUnits_) return;
    timers_.advanceUnits(static_cast<std::int64_t>(units - timerUnits_));
    timerUnits_ = units;
}

std::optional<std::uint64_t> YM2610::unitsUntilIrq() const {
    const auto units = timers_.unitsUntilIrq();
    if (!units) return std::nullopt;
    return static_cast<std::uint64_t>(*units);
}

}  // namespace qvxsnd
