#include "soundlib/ym2610/fm_chip.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "soundlib/ym2610/fm_tables.hpp"
#include "soundlib/ym2610/registers.hpp"

namespace qvxsnd::fm {
namespace {

constexpr int kClocksPerSample = 144;
constexpr int kEnvelopeDivider = 3;  // the envelope steps on every third sample
constexpr int kMaxAttenuation = 0x3FF;
constexpr int kSsgTurn = 0x200;  // SSG-type envelopes turn half-way, at -48 dB
// An operator this attenuated (or more) outputs nothing: its level shifts out of all 13 bits.
constexpr int kInaudible = 0x380;

// The channel indexes that sound on this chip.

// Register order of the operators: 1, 3, 2, 4.
constexpr int kOp1 = 0, kOp3 = 1, kOp2 = 2, kOp4 = 3;
// Channel index 2's operators in three-frequency mode: entries of 0xA8-0xAE by slot.
constexpr std::array<int, 4> kThreeFrequencyEntry = {1, 0, 2, -1};

// The chip's ROMs, unfolded for speed: for each 10-bit phase, a quarter of a sine as attenuation
// (4.8 fixed point, 12 bits) mirrored to the whole wave, with the sign in bit 15; and for each
// fraction of an attenuation step the 13-bit level it turns back into (the exponent ROM's 10 bits
// with the implied top bit, shifted left twice).
struct Roms {
    std::array<std::uint16_t, 1024> sine{};
    std::array<std::uint16_t, 256> level{};
};

Roms makeRoms() {
    Roms t;
    for (int p = 0; p < 1024; ++p) {
        const int quarter = (p & 0x100) ? (p & 0xFF) ^ 0xFF : p & 0xFF;
        const double s = std::sin((quarter + 0.5) * std::numbers::pi / 512.0);
        const auto attenuation = static_cast<int>(std::lround(-std::log2(s) * 256.0));
        t.sine[static_cast<std::size_t>(p)] =
            static_cast<std::uint16_t>(attenuation | ((p & 0x200) ? 0x8000 : 0));
    }
    for (int i = 0; i < 256; ++i) {
        const auto exponent = static_cast<int>(std::lround((std::exp2(i / 256.0) - 1.0) * 1024.0));
        t.level[static_cast<std::size_t>(i ^ 0xFF)] =
            static_cast<std::uint16_t>((exponent | 0x400) << 2);
    }
    return t;
}

const Roms kRoms = makeRoms();

// Attenuation steps of one envelope update, by effective rate (0-63) and the update's place in a
// cycle of eight. Up to rate 47 the updates come ever more often with increments of 0 or 1 in
// four patterns; from rate 48 every update counts, with steps that double every four rates. Below
// rate 8 the chip has coarser patterns than the rates above: 2-5 the first, 6-7 the third.
int computeEnvelopeIncrement(int rate, int index) {
    static constexpr std::array<std::array<std::uint8_t, 8>, 4> kPatterns = {{
        {0, 1, 0, 1, 0, 1, 0, 1},
        {0, 1, 0, 1, 1, 1, 0, 1},
        {0, 1, 1, 1, 0, 1, 1, 1},
        {0, 1, 1, 1, 1, 1, 1, 1},
    }};
    static constexpr std::array<std::array<std::uint8_t, 8>, 4> kFastPatterns = {{
        {1, 1, 1, 1, 1, 1, 1, 1},
        {2, 1, 1, 1, 2, 1, 1, 1},
        {2, 1, 2, 1, 2, 1, 2, 1},
        {2, 2, 2, 1, 2, 2, 2, 1},
    }};
    if (rate < 2) return 0;
    if (rate < 8) return kPatterns[rate < 6 ? 0 : 2][static_cast<std::size_t>(index)];
    if (rate < 48)
        return kPatterns[static_cast<std::size_t>(rate & 3)][static_cast<std::size_t>(index)];
    if (rate < 60)
        return kFastPatterns[static_cast<std::size_t>(rate & 3)][static_cast<std::size_t>(index)]
               << ((rate >> 2) - 12);
    return 8;
}

const std::array<std::array<std::uint8_t, 8>, 64>& envelopeIncrements() {
    static const auto table = [] {
        std::array<std::array<std::uint8_t, 8>, 64> t{};
        for (int rate = 0; rate < 64; ++rate)
            for (int i = 0; i < 8; ++i)
                t[static_cast<std::size_t>(rate)][static_cast<std::size_t>(i)] =
                    static_cast<std::uint8_t>(computeEnvelopeIncrement(rate, i));
        return t;
    }();
    return table;
}

// One operator's output for a 10-bit phase and a 10-bit attenuation: 14 bits, signed.
inline std::int32_t operatorOutput(std::uint32_t phase, int attenuation) {
    const std::uint32_t sine = kRoms.sine[phase];
    const int total = static_cast<int>(sine & 0x7FFF) + (attenuation << 2);
    const int magnitude = kRoms.level[static_cast<std::size_t>(total & 0xFF)] >> (total >> 8);
    return (sine & 0x8000) ? -magnitude : magnitude;
}

// The LFO advances its 7-bit step every this many samples, by rate.
constexpr std::array<int, 8> kLfoPeriods = {108, 77, 71, 67, 62, 44, 8, 5};
// Vibrato: at each of the eight levels of a quarter of the LFO's cycle, the F-number's top seven
// bits (bits 4-10) times this many sixteenths move the F-number by half steps, by PMS. Measured:
// the depth at the extremes is 3.4, 6.7, 10, 14, 20, 40 and 80 cents for PMS 1-7.
constexpr std::array<std::array<std::uint8_t, 8>, 8> kVibratoSixteenths = {{
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 1, 1, 1, 1},
    {0, 0, 0, 1, 1, 1, 2, 2},
    {0, 0, 1, 1, 2, 2, 3, 3},
    {0, 0, 1, 2, 2, 2, 3, 4},
    {0, 0, 2, 3, 4, 4, 5, 6},
    {0, 0, 4, 6, 8, 8, 10, 12},
    {0, 0, 8, 12, 16, 16, 20, 24},
}};
// The AM value (0-126) is shifted right by this, by AMS: none, 1.4, 5.9 and 11.8 dB.
constexpr std::array<int, 4> kAmShifts = {8, 3, 1, 0};

}  // namespace

ChipEngine::ChipEngine(double clock, double rate)
    : increments_(envelopeIncrements()), resampler_(clock / kClocksPerSample, rate) {
    resetChannels();
}

void ChipEngine::resetChannels() {
    for (Ch& ch : channels_) {
        for (Op& op : ch.ops) {
            op.phase = 0;
            op.attenuation = kMaxAttenuation;
            op.state = EnvelopePhase::Off;
            op.keyOn = false;
            op.ssg = 0;
            op.ssgInverted = false;
            refreshVolume(op);
            refreshRates(op);
        }
        ch.op1History = {};
        ch.dirty = true;
    }
}

int ChipEngine::frequencyOf(int index, int slot, int& block) const {
    const Ch& ch = channels_[static_cast<std::size_t>(index)];
    const int entry = kThreeFrequencyEntry[static_cast<std::size_t>(slot)];
    if (index == 2 && threeFrequencyMode_ && entry >= 0) {
        block = threeBlock_[static_cast<std::size_t>(entry)];
        return threeFnum_[static_cast<std::size_t>(entry)];
    }
    block = ch.block;
    return ch.fnum;
}

int ChipEngine::keyCodeOf(int index, int slot) const {
    int block = 0;
    const int fnum = frequencyOf(index, slot, block);
    return block << 2 | kKeyCodeBits[static_cast<std::size_t>(fnum >> 7)];
}

void ChipEngine::updateIncrements(int index) {
    Ch& ch = channels_[static_cast<std::size_t>(index)];
    for (int s = 0; s < 4; ++s) {
        Op& op = ch.ops[static_cast<std::size_t>(s)];
        int block = 0;
        const int fnum = frequencyOf(index, s, block);
        const int keyCode = block << 2 | kKeyCodeBits[static_cast<std::size_t>(fnum >> 7)];
        op.keyCode = keyCode;
        op.keyScaleOffset = keyCode >> (3 - op.keyScale);
        // The F-number in half steps, moved by the vibrato: four quarters of eight levels in the
        // LFO's cycle, up and back, then down and back.
        int halfSteps = fnum << 1;
        if (ch.pmDepth != 0 && lfoOn_) {
            const int step = (lfoStep_ >> 2) & 31;
            const int level = (step & 8) ? 7 - (step & 7) : (step & 7);
            const int offset =
                ((fnum >> 4) * kVibratoSixteenths[static_cast<std::size_t>(ch.pmDepth)]
                                                 [static_cast<std::size_t>(level)]) >>
                4;
            halfSteps += (step & 16) ? -offset : offset;
        }
        // (F-number << block) / 2, detuned, 17 bits: a negative detune of a zero frequency wraps
        // round to a large step, as on the chip.
        std::int32_t base = (halfSteps << block) >> 2;
        const int detune = kDetuneSteps[static_cast<std::size_t>(op.detune & 3)]
                                       [static_cast<std::size_t>(keyCode)];
        base = (base + ((op.detune & 4) ? -detune : detune)) & 0x1FFFF;
        const std::uint32_t step = op.multiple == 0
                                       ? static_cast<std::uint32_t>(base) >> 1
                                       : static_cast<std::uint32_t>(base * op.multiple);
        op.increment = step & 0xFFFFF;
    }
    ch.dirty = false;
}

void ChipEngine::writeChannelRegister(int address, std::uint8_t v) {
    int index = address & 3;
    if (index == 3) return;
    const bool secondBank = address >= kSecondBank;
    if (secondBank) index += 3;
    Ch& ch = channels_[static_cast<std::size_t>(index)];
    const int reg = address & 0xFF;

    if (reg < ym::kFnumLow) {
        Op& op = ch.ops[static_cast<std::size_t>((address >> 2) & 3)];
        switch (reg & 0xF0) {
            case ym::kDetuneMultiple:
                op.detune = (v >> 4) & 7;
                op.multiple = v & 0x0F;
                ch.dirty = true;
                break;
            case ym::kTotalLevel:
                op.totalLevel = v & 0x7F;
                refreshVolume(op);
                break;
            case ym::kKeyScaleAttack:
                op.keyScale = v >> 6;
                op.attackRate = v & 0x1F;
                op.keyScaleOffset = op.keyCode >> (3 - op.keyScale);
                refreshRates(op);
                break;
            case ym::kAmDecay:
                op.am = (v & 0x80) != 0;
                op.decayRate = v & 0x1F;
                refreshRates(op);
                break;
            case ym::kSustainRate:
                op.sustainRate = v & 0x1F;
                refreshRates(op);
                break;
            case ym::kSustainLevelRelease: {
                const int level = v >> 4;
                op.sustainLevel = (level == 15 ? 31 : level) << 5;
                op.releaseRate = v & 0x0F;
                refreshRates(op);
                break;
            }
            case ym::kSsgEnvelope:
                op.ssg = v & 0x0F;
                refreshVolume(op);
                break;
            default:
                break;
        }
        return;
    }

    switch (reg & 0xFC) {
        case ym::kFnumLow:
            ch.fnum = (frequencyLatch_ & 7) << 8 | v;
            ch.block = (frequencyLatch_ >> 3) & 7;
            ch.dirty = true;
            break;
        case ym::kBlockFnumHigh:
            frequencyLatch_ = v & 0x3F;
            break;
        case ym::kThreeFnumLow:
            if (secondBank) break;
            threeFnum_[static_cast<std::size_t>(index)] = (threeFrequencyLatch_ & 7) << 8 | v;
            threeBlock_[static_cast<std::size_t>(index)] = (threeFrequencyLatch_ >> 3) & 7;
            channels_[2].dirty = true;
            break;
        case ym::kThreeBlockFnumHigh:
            if (!secondBank) threeFrequencyLatch_ = v & 0x3F;
            break;
        case ym::kFeedbackAlgorithm:
            ch.algorithm = v & 7;
            ch.feedback = (v >> 3) & 7;
            break;
        case ym::kPanLfoSensitivity:
            ch.pmDepth = v & 7;
            ch.amShift = kAmShifts[static_cast<std::size_t>((v >> 4) & 3)];
            ch.left = (v & 0x80) != 0;
            ch.right = (v & 0x40) != 0;
            ch.dirty = true;
            break;
        default:
            break;
    }
}

int ChipEngine::effectiveRate(int rate, int keyCode, int keyScale) const {
    if (rate == 0) return 0;
    return std::min(63, rate * 2 + (keyCode >> (3 - keyScale)));
}

void ChipEngine::keyOn(Op& op, int keyCode) {
    if (op.keyOn) return;
    op.keyOn = true;
    op.phase = 0;
    op.ssgInverted = false;
    op.state = EnvelopePhase::Attack;
    if (effectiveRate(op.attackRate, keyCode, op.keyScale) >= 62) op.attenuation = 0;
    refreshVolume(op);
}

void ChipEngine::keyOff(Op& op) {
    if (!op.keyOn) return;
    op.keyOn = false;
    if (op.state == EnvelopePhase::Off) return;
    // Release goes on from the level that is heard.
    if ((op.ssg & 8) && (op.ssgInverted != ((op.ssg & 4) != 0)))
        op.attenuation = (kSsgTurn - op.attenuation) & kMaxAttenuation;
    op.ssgInverted = false;
    op.state = EnvelopePhase::Release;
    refreshVolume(op);
}

void ChipEngine::writeKeyOnOff(std::uint8_t v) {
    const int code = v & 7;
    if ((code & 3) == 3) return;
    const int index = (code & 3) + ((code & 4) != 0 ? 3 : 0);
    Ch& ch = channels_[static_cast<std::size_t>(index)];
    constexpr std::array<int, 4> kSlotOfOperator = {kOp1, kOp2, kOp3, kOp4};
    for (int k = 0; k < 4; ++k) {
        const int slot = kSlotOfOperator[static_cast<std::size_t>(k)];
        Op& op = ch.ops[static_cast<std::size_t>(slot)];
        if (v & (0x10 << k))
            keyOn(op, keyCodeOf(index, slot));
        else
            keyOff(op);
    }
}

void ChipEngine::writeLfo(std::uint8_t v) {
    lfoOn_ = (v & 0x08) != 0;
    lfoRate_ = v & 7;
    if (!lfoOn_) {
        // Stopped, the LFO rests on its first step.
        lfoStep_ = 0;
        lfoDivider_ = 0;
    }
    for (Ch& ch : channels_)
        ch.dirty = true;
}

void ChipEngine::setThreeFrequencyMode(bool on) {
    if (on == threeFrequencyMode_) return;
    threeFrequencyMode_ = on;
    channels_[2].dirty = true;
}

void ChipEngine::clockSsg(Op& op) {
    if (!(op.ssg & 8) || op.attenuation < kSsgTurn || op.state == EnvelopePhase::Off) return;
    if (op.state == EnvelopePhase::Release) {
        op.attenuation = kMaxAttenuation;
        return;
    }
    if (op.state == EnvelopePhase::Attack) return;
    if (op.ssg & 1) {
        // Hold: turn once (alternating), then stay where the shape ends.
        if ((op.ssg & 2) && op.attenuation != kMaxAttenuation && op.attenuation != kSsgTurn)
            op.ssgInverted = !op.ssgInverted;
        const bool heardInverted = op.ssgInverted != ((op.ssg & 4) != 0);
        op.attenuation = heardInverted ? kSsgTurn : kMaxAttenuation;
        return;
    }
    // Loop: alternate, or start the shape and the oscillator again; either way from the attack.
    if (op.ssg & 2)
        op.ssgInverted = !op.ssgInverted;
    else
        op.phase = 0;
    op.state = EnvelopePhase::Attack;
}

void ChipEngine::refreshRates(Op& op) {
    const auto at = [&op](EnvelopePhase phase) -> std::uint8_t& {
        return op.rates[static_cast<std::size_t>(phase)];
    };
    at(EnvelopePhase::Attack) = static_cast<std::uint8_t>(op.attackRate);
    at(EnvelopePhase::Decay1) = static_cast<std::uint8_t>(op.decayRate);
    at(EnvelopePhase::Decay2) = static_cast<std::uint8_t>(op.sustainRate);
    at(EnvelopePhase::Release) = static_cast<std::uint8_t>(op.releaseRate * 2 + 1);
}

bool ChipEngine::clockEnvelope(Op& op) {
    if (op.state == EnvelopePhase::Off) return false;
    const int before = op.attenuation;
    const EnvelopePhase phase = op.state;
    if (op.ssg & 8) clockSsg(op);
    if (op.state == EnvelopePhase::Attack && op.attenuation == 0) op.state = EnvelopePhase::Decay1;
    if (op.state == EnvelopePhase::Decay1 && op.attenuation >= op.sustainLevel)
        op.state = EnvelopePhase::Decay2;

    if (op.state == EnvelopePhase::Off) return true;
    const int rate = op.rates[static_cast<std::size_t>(op.state)];
    const int effective = rate == 0 ? 0 : std::min(63, rate * 2 + op.keyScaleOffset);
    const int shift = std::max(0, 11 - (effective >> 2));
    if ((envelopeCounter_ & ((1u << shift) - 1)) != 0)
        return op.attenuation != before || op.state != phase;
    const int increment = increments_[static_cast<std::size_t>(effective)]
                                     [static_cast<std::size_t>((envelopeCounter_ >> shift) & 7)];
    if (op.state == EnvelopePhase::Attack) {
        // The chip's attack: each step covers a sixteenth of the distance left, and more.
        if (effective >= 62)
            op.attenuation = 0;
        else if (increment != 0)
            op.attenuation += ((~op.attenuation) * increment) >> 4;
        return true;
    }
    if (op.ssg & 8) {
        // SSG-type envelopes move four times as fast, and only up to where they turn.
        if (op.attenuation < kSsgTurn) op.attenuation += 4 * increment;
    } else {
        op.attenuation += increment;
    }
    if (op.attenuation >= kMaxAttenuation) {
        op.attenuation = kMaxAttenuation;
        if (op.state == EnvelopePhase::Release) op.state = EnvelopePhase::Off;
    }
    return true;
}

void ChipEngine::clockEnvelopes() {
    ++envelopeCounter_;
    // Channel indexes 0 and 3 have registers but no output on the YM2610.
    for (std::size_t c : sounding_) {
        Ch& ch = channels_[c];
        if (ch.dirty) updateIncrements(static_cast<int>(c));
        for (Op& op : ch.ops)
            if (clockEnvelope(op)) refreshVolume(op);
    }
}

void ChipEngine::refreshVolume(Op& op) {
    int level = op.attenuation;
    // An operator that is released, or was never keyed on, is silent whatever its SSG-type
    // envelope would invert.
    if ((op.ssg & 8) && op.state != EnvelopePhase::Release && op.state != EnvelopePhase::Off &&
        (op.ssgInverted != ((op.ssg & 4) != 0)))
        level = (kSsgTurn - level) & kMaxAttenuation;
    op.volume = std::min(level + (op.totalLevel << 3), kMaxAttenuation);
}

std::int32_t ChipEngine::channelOutput(Ch& ch, int amValue) {
    const int am = amValue >> ch.amShift;
    Op& o1 = ch.ops[kOp1];
    Op& o2 = ch.ops[kOp2];
    Op& o3 = ch.ops[kOp3];
    Op& o4 = ch.ops[kOp4];
    const auto out = [am](const Op& op, std::int32_t modulation) {
        const int level = op.volume + (op.am ? am : 0);
        // From here on the output is below the least step anyway.
        if (level >= kInaudible) return std::int32_t{0};
        return operatorOutput(((op.phase >> 10) + static_cast<std::uint32_t>(modulation)) & 0x3FF,
                              level);
    };
    const std::int32_t feedback =
        ch.feedback ? (ch.op1History[0] + ch.op1History[1]) >> (10 - ch.feedback) : 0;
    const std::int32_t v1 = out(o1, feedback);
    ch.op1History[0] = ch.op1History[1];
    ch.op1History[1] = v1;
    std::int32_t v2 = 0, v3 = 0, v4 = 0;
    switch (ch.algorithm) {
        case 0:
            v2 = out(o2, v1 >> 1);
            v3 = out(o3, v2 >> 1);
            return out(o4, v3 >> 1);
        case 1:
            v2 = out(o2, 0);
            v3 = out(o3, (v1 + v2) >> 1);
            return out(o4, v3 >> 1);
        case 2:
            v2 = out(o2, 0);
            v3 = out(o3, v2 >> 1);
            return out(o4, (v1 + v3) >> 1);
        case 3:
            v2 = out(o2, v1 >> 1);
            v3 = out(o3, 0);
            return out(o4, (v2 + v3) >> 1);
        case 4:
            v2 = out(o2, v1 >> 1);
            v3 = out(o3, 0);
            v4 = out(o4, v3 >> 1);
            return v2 + v4;
        case 5:
            return out(o2, v1 >> 1) + out(o3, v1 >> 1) + out(o4, v1 >> 1);
        case 6:
            return out(o2, v1 >> 1) + out(o3, 0) + out(o4, 0);
        default:
            return v1 + out(o2, 0) + out(o3, 0) + out(o4, 0);
    }
}

void ChipEngine::sample(std::int32_t& left, std::int32_t& right) {
    if (++envelopeDivider_ == kEnvelopeDivider) {
        envelopeDivider_ = 0;
        clockEnvelopes();
    }
    left = right = 0;
    // The LFO's AM value: 126 at its first step, down to 0 half-way, and up again.
    const int amValue = (lfoStep_ < 64 ? 63 - lfoStep_ : lfoStep_ - 64) * 2;
    for (const std::size_t c : sounding_) {
        Ch& ch = channels_[c];
        if (ch.dirty) updateIncrements(static_cast<int>(c));
        const std::int32_t out = channelOutput(ch, amValue) >> 1;
        if (kTrackOfChannel[c] >= 0)
            lastOutput_[std::size_t(kTrackOfChannel[c])] = static_cast<std::int16_t>(out);
        if (ch.left) left += out;
        if (ch.right) right += out;
        for (Op& op : ch.ops)
            op.phase = (op.phase + op.increment) & 0xFFFFF;
    }
    if (lfoOn_ && ++lfoDivider_ >= kLfoPeriods[static_cast<std::size_t>(lfoRate_)]) {
        lfoDivider_ = 0;
        lfoStep_ = (lfoStep_ + 1) & 127;
        for (std::size_t c : sounding_)
            if (channels_[c].pmDepth != 0) channels_[c].dirty = true;
    }
}

void ChipEngine::render(std::int32_t* mix, std::size_t frames, std::int16_t* tracks) {
    for (std::size_t i = 0; i < frames; ++i) {
        for (std::size_t n = resampler_.inputsNeeded(); n > 0; --n) {
            std::int32_t left = 0, right = 0;
            sample(left, right);
            resampler_.push(left, right);
        }
        resampler_.pull(mix[2 * i], mix[2 * i + 1]);
        // For a picture the chip's latest sample of each channel will do.
        if (tracks) std::copy(lastOutput_.begin(), lastOutput_.end(), tracks + kTracks * i);
    }
}

EnvelopePhase ChipEngine::envelopePhase(int channel, int slot) const {
    return channels_[static_cast<std::size_t>(channel)].ops[static_cast<std::size_t>(slot)].state;
}

int ChipEngine::envelopeLevel(int channel, int slot) const {
    return channels_[static_cast<std::size_t>(channel)]
        .ops[static_cast<std::size_t>(slot)]
        .attenuation;
}

}  // namespace qvxsnd::fm
