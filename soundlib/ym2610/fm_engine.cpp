#include "soundlib/ym2610/fm_engine.hpp"

namespace qvxsnd::fm {
namespace {

// Where an operator's output goes within one sample.
enum Sum : std::uint8_t { kM = 0, kC1 = 1, kC2 = 2, kOut = 3 };

// Destinations of operators 1, 2, 3, 4 by algorithm. M feeds operator 2, C1 operator 3, C2
// operator 4. Algorithm 5's operator 1 feeds all three and is handled apart.
constexpr std::array<std::array<std::uint8_t, 4>, 8> kRouting = {{
    {kM, kC1, kC2, kOut},
    {kC1, kC1, kC2, kOut},
    {kC2, kC1, kC2, kOut},
    {kM, kC2, kC2, kOut},
    {kM, kOut, kC2, kOut},
    {kM, kOut, kOut, kOut},
    {kM, kOut, kOut, kOut},
    {kOut, kOut, kOut, kOut},
}};

// Operators are stored in register order: 1, 3, 2, 4.
constexpr int kSlotOp1 = 0;
constexpr int kSlotOp3 = 1;
constexpr int kSlotOp2 = 2;
constexpr int kSlotOp4 = 3;

// Three-frequency table entry used by each register-order slot of channel index 2; operator 4
// keeps the channel's own frequency.
constexpr std::array<int, 4> kThreeFrequencyEntry = {1, 0, 2, -1};

constexpr std::uint8_t kSsgHeld = 1;
constexpr std::uint8_t kSsgInverted = 2;
constexpr std::uint8_t kSsgHold = 1;
constexpr std::uint8_t kSsgAlternate = 2;
constexpr std::uint8_t kSsgAttack = 4;
constexpr std::uint8_t kSsgEnable = 8;

constexpr std::int32_t kUnit = 1 << 16;  // one envelope level step in counter units

bool keyed(const Operator& op) {
    return op.state >= EnvelopePhase::Decay2;
}

// The inverted SSG level is only heard while the note is held: a released or idle operator
// follows its plain counter, so it fades out and stays silent.
void updateInvert(Operator& op) {
    const bool active =
        (op.ssgRegister & kSsgEnable) != 0 && (op.ssgState & kSsgInverted) != 0 && keyed(op);
    op.invertXor = active ? 0x3FF : 0;
}

// With the SSG envelope on, the level moves four times as fast as the plain rate.
void quadrupleGain(Operator& op, std::int32_t before) {
    op.counter += ((op.counter >> 16) - (before >> 16)) * 3 * kUnit;
}

void stepEnvelope(Operator& op) {
    switch (op.state) {
        case EnvelopePhase::Attack: {
            const std::int32_t before = op.counter;
            op.counter -= op.attackStep;
            const int fell = (before >> 16) - (op.counter >> 16);
            if (fell >= 1) {
                // Exponential approach: each whole step covers one plus a sixteenth of the level.
                op.counter += fell * kUnit;
                for (int i = 0; i < fell && op.counter > 0xFFFF; ++i) {
                    op.counter -= (op.counter >> 20) * kUnit + kUnit;
                }
            }
            if (op.counter <= 0xFFFF) {
                op.counter = 0;
                op.state = EnvelopePhase::Decay1;
            }
            break;
        }
        case EnvelopePhase::Decay1: {
            const std::int32_t before = op.counter;
            op.counter += op.decay1Step;
            if (op.ssgRegister & kSsgEnable) quadrupleGain(op, before);
            if (op.counter >= op.sustain) {
                op.counter = op.sustain;
                op.state = EnvelopePhase::Decay2;
            }
            break;
        }
        case EnvelopePhase::Decay2: {
            const std::int32_t before = op.counter;
            op.counter += op.decay2Step;
            if ((op.ssgRegister & kSsgEnable) == 0) {
                if (op.counter > kCounterMax) op.counter = kCounterMax;
                break;
            }
            quadrupleGain(op, before);
            if (op.counter > kCounterMax) {
                op.counter = kCounterMax;
                if ((op.ssgRegister & kSsgHold) == 0) {
                    op.state = EnvelopePhase::Attack;
                    if (op.ssgRegister & kSsgAlternate) op.ssgState ^= kSsgInverted;
                } else if ((op.ssgState & kSsgHeld) == 0) {
                    op.ssgState |= kSsgHeld;
                    if (op.ssgRegister & kSsgAlternate) op.ssgState ^= kSsgInverted;
                }
                updateInvert(op);
            }
            break;
        }
        case EnvelopePhase::Release:
            op.counter += op.releaseStep;
            if (op.counter > kCounterMax) {
                op.counter = kCounterMax;
                op.state = EnvelopePhase::Off;
            }
            break;
        case EnvelopePhase::Off:
            break;
    }
}

int attenuation(const Operator& op, int lfoAm) {
    return ((op.counter >> 16) ^ op.invertXor) + op.totalLevel + ((op.amDepth * lfoAm) >> 16);
}

std::int32_t operatorOutput(const SharedTables& t, int attenuation, std::uint32_t sineIndex) {
    const std::uint32_t index = static_cast<std::uint32_t>(attenuation) * 8 + t.sine[sineIndex];
    return index < static_cast<std::uint32_t>(kLevelTableLength) ? t.levelToAmplitude[index] : 0;
}

std::uint32_t modulatedIndex(std::uint32_t phase, std::int32_t modulation) {
    return ((phase >> 16) + static_cast<std::uint32_t>(modulation >> 1)) & (kSineLength - 1);
}

}  // namespace

Engine::Engine(double clock, double rate)
    : shared_(&sharedTables()), rates_(RateTables::build(clock, rate)) {
    for (Channel& ch : channels_)
        rewire(ch);
    resetChannels();
}

void Engine::resetChannels() {
    for (Channel& ch : channels_) {
        ch.baseIncrement = 0;
        for (Operator& op : ch.ops) {
            op.ssgState = 0;
            op.ssgRegister = 0;
            op.state = EnvelopePhase::Off;
            op.counter = kCounterMax;
            op.keyOn = false;
            op.invertXor = 0;
        }
        ch.dirty = true;
    }
}

void Engine::rewire(Channel& ch) {
    ch.dest = kRouting[ch.algorithm];
}

std::int32_t Engine::attackStepFor(const Operator& op, int ksValue) const {
    const int index = op.attackIndex + ksValue;
    return index > 93 ? kInstantAttack : rates_.rateSteps[index];
}

void Engine::setFrequency(std::uint8_t latch, std::uint8_t low, std::int32_t& base,
                          int& keyCode) const {
    const int f = (latch & 7) * 256 + low;
    const int block = latch >> 3;
    keyCode = block * 4 + kKeyCodeBits[f >> 7];
    base = rates_.fnumIncrement[f] >> (7 - block);
}

void Engine::writeChannelRegister(int address, std::uint8_t v) {
    int index = address & 3;
    if (index == 3) return;
    const bool secondBank = address >= kSecondBank;
    if (secondBank) index += 3;
    Channel& ch = channels_[index];
    const int reg = address & 0xFF;

    if (reg < ym::kFnumLow) {
        // Per operator: bits 2-3 of the address pick the operator, in register order.
        Operator& op = ch.ops[(address >> 2) & 3];
        switch (reg & 0xF0) {
            case ym::kDetuneMultiple:
                op.detuneRow = (v >> 4) & 7;
                op.mulFactor = (v & 0x0F) != 0 ? (v & 0x0F) * 2 : 1;
                ch.dirty = true;
                break;
            case ym::kTotalLevel:
                op.totalLevel = (v & 0x7F) * 8;
                break;
            case ym::kKeyScaleAttack:
                op.ksShift = 3 - (v >> 6);
                op.attackIndex = (v & 0x1F) != 0 ? (v & 0x1F) * 2 + 32 : 0;
                op.attackStep = attackStepFor(op, op.ksValue);
                ch.dirty = true;
                break;
            case ym::kAmDecay:
                op.decay1Index = (v & 0x1F) != 0 ? (v & 0x1F) * 2 + 32 : 0;
                op.decay1Step = rates_.rateSteps[op.decay1Index + op.ksValue];
                op.amOn = (v & 0x80) != 0;
                op.amDepth = op.amOn ? ch.amDepth : 0;
                break;
            case ym::kSustainRate:
                op.decay2Index = (v & 0x1F) != 0 ? (v & 0x1F) * 2 + 32 : 0;
                op.decay2Step = rates_.rateSteps[op.decay2Index + op.ksValue];
                break;
            case ym::kSustainLevelRelease:
                op.sustain = kSustainLevel[v >> 4];
                op.releaseIndex = (v & 0x0F) * 4 + 34;
                op.releaseStep = rates_.rateSteps[op.releaseIndex + op.ksValue];
                break;
            case ym::kSsgEnvelope:
                op.ssgRegister = v & 0x0F;
                op.ssgState = (v & kSsgAttack) != 0 ? kSsgInverted : 0;
                updateInvert(op);
                break;
            default:
                break;
        }
        return;
    }

    // Per channel; the three-frequency registers take the slot as their entry number.
    switch (reg & 0xFC) {
        case ym::kFnumLow:
            setFrequency(frequencyLatch_, v, ch.baseIncrement, ch.keyCode);
            ch.dirty = true;
            break;
        case ym::kBlockFnumHigh:
            frequencyLatch_ = v & 0x3F;
            break;
        case ym::kThreeFnumLow:
            if (secondBank) break;
            setFrequency(threeFrequencyLatch_, v, threeFrequencyBase_[index],
                         threeFrequencyKeyCode_[index]);
            channels_[2].dirty = true;
            break;
        case ym::kThreeBlockFnumHigh:
            if (!secondBank) threeFrequencyLatch_ = v & 0x3F;
            break;
        case ym::kFeedbackAlgorithm: {
            ch.algorithm = v & 7;
            const int feedback = (v >> 3) & 7;
            ch.feedbackShift = feedback != 0 ? feedback + 6 : 0;
            rewire(ch);
            break;
        }
        case ym::kPanLfoSensitivity:
            ch.pmSensitivity = shared_->pmSensitivity[v & 7];
            ch.amDepth = kAmDepth[(v >> 4) & 3];
            for (Operator& o : ch.ops)
                o.amDepth = o.amOn ? ch.amDepth : 0;
            ch.leftMask = (v & 0x80) != 0 ? -1 : 0;
            ch.rightMask = (v & 0x40) != 0 ? -1 : 0;
            break;
        default:  // 0xB8-0xFF: nothing on this chip
            break;
    }
}

void Engine::keyOn(Operator& op) {
    if (op.keyOn) return;
    op.keyOn = true;
    op.phase = 0;
    op.state = EnvelopePhase::Attack;
    // Every note starts the SSG pattern afresh.
    if (op.ssgRegister & kSsgEnable) op.ssgState = (op.ssgRegister & kSsgAttack) ? kSsgInverted : 0;
    updateInvert(op);
}

void Engine::keyOff(Operator& op) {
    if (!op.keyOn) return;
    op.keyOn = false;
    if (!keyed(op)) return;
    if (op.invertXor != 0) {
        // Release from the level that is heard, not from the hidden plain counter.
        op.counter = ((op.counter >> 16) ^ 0x3FF) << 16;
        op.ssgState &= static_cast<std::uint8_t>(~kSsgInverted);
    }
    op.state = EnvelopePhase::Release;
    updateInvert(op);
}

void Engine::writeKeyOnOff(std::uint8_t v) {
    const int code = v & 7;
    if ((code & 3) == 3) return;
    Channel& ch = channels_[(code & 3) + ((code & 4) != 0 ? 3 : 0)];
    // Bits 4-7 key operators 1-4, which sit in register order 1, 3, 2, 4.
    constexpr std::array<int, 4> kSlotOfOperator = {kSlotOp1, kSlotOp2, kSlotOp3, kSlotOp4};
    for (int k = 0; k < 4; ++k) {
        Operator& op = ch.ops[kSlotOfOperator[k]];
        if (v & (0x10 << k)) {
            keyOn(op);
        } else {
            keyOff(op);
        }
    }
}

void Engine::writeLfo(std::uint8_t v) {
    if (v & 0x08) {
        lfoIncrement_ = rates_.lfoIncrement[v & 7];
    } else {
        // A stopped LFO rests at zero, so its AM and PM contribute nothing.
        lfoIncrement_ = 0;
        lfoPhase_ = 0;
    }
}

void Engine::setThreeFrequencyMode(bool on) {
    if (on == threeFrequencyMode_) return;
    threeFrequencyMode_ = on;
    channels_[2].dirty = true;
}

void Engine::recompute(int index) {
    Channel& ch = channels_[index];
    const bool ownFrequency = index != 2 || !threeFrequencyMode_;
    for (std::size_t s = 0; s < ch.ops.size(); ++s) {
        Operator& op = ch.ops[s];
        std::int32_t base = ch.baseIncrement;
        int keyCode = ch.keyCode;
        const int entry = kThreeFrequencyEntry[s];
        if (!ownFrequency && entry >= 0) {
            base = threeFrequencyBase_[entry];
            keyCode = threeFrequencyKeyCode_[entry];
        }
        const std::int64_t detuned =
            static_cast<std::int64_t>(base) + rates_.detune[op.detuneRow][keyCode];
        op.increment = static_cast<std::int32_t>((detuned * op.mulFactor) >> 1);

        const int ks = keyCode >> op.ksShift;
        if (ks != op.ksValue) {
            op.ksValue = ks;
            op.attackStep = attackStepFor(op, ks);
            op.decay1Step = rates_.rateSteps[op.decay1Index + ks];
            op.decay2Step = rates_.rateSteps[op.decay2Index + ks];
            op.releaseStep = rates_.rateSteps[op.releaseIndex + ks];
        }
    }
    ch.dirty = false;
}

std::int32_t Engine::calculate(Channel& ch, int lfoAm, int lfoPm) {
    Operator& op1 = ch.ops[kSlotOp1];
    Operator& op2 = ch.ops[kSlotOp2];
    Operator& op3 = ch.ops[kSlotOp3];
    Operator& op4 = ch.ops[kSlotOp4];
    stepEnvelope(op1);
    stepEnvelope(op2);
    stepEnvelope(op3);
    stepEnvelope(op4);

    const SharedTables& t = *shared_;
    std::array<std::int32_t, 4> sums{};

    // Operator 1 reaches the others with the output it computed one sample earlier.
    const std::int32_t previous = ch.op1Out[1];
    const std::int32_t feedback = (ch.op1Out[0] + previous) * (1 << ch.feedbackShift);
    ch.op1Out[0] = previous;
    if (ch.algorithm == 5) {
        sums[kM] = sums[kC1] = sums[kC2] = previous;
    } else {
        sums[ch.dest[0]] += previous;
    }

    std::int32_t out1 = 0;
    int e = attenuation(op1, lfoAm);
    if (e < kSilentAttenuation) {
        const std::uint32_t index =
            ((op1.phase & 0xFFFF0000u) + static_cast<std::uint32_t>(feedback)) >> 16;
        out1 = operatorOutput(t, e, index & (kSineLength - 1));
    }
    ch.op1Out[1] = out1;

    e = attenuation(op2, lfoAm);
    if (e < kSilentAttenuation) {
        sums[ch.dest[1]] += operatorOutput(t, e, modulatedIndex(op2.phase, sums[kM]));
    }
    e = attenuation(op3, lfoAm);
    if (e < kSilentAttenuation) {
        sums[ch.dest[2]] += operatorOutput(t, e, modulatedIndex(op3.phase, sums[kC1]));
    }
    e = attenuation(op4, lfoAm);
    if (e < kSilentAttenuation) {
        sums[kOut] += operatorOutput(t, e, modulatedIndex(op4.phase, sums[kC2]));
    }

    const int pm = lfoPm * ch.pmSensitivity / 65536;
    if (pm == 0) {
        for (Operator& op : ch.ops)
            op.phase += static_cast<std::uint32_t>(op.increment);
    } else {
        for (Operator& op : ch.ops) {
            const std::int64_t raised =
                op.increment + static_cast<std::int64_t>(pm) * op.increment / 1024;
            op.phase += static_cast<std::uint32_t>(raised);
        }
    }
    return sums[kOut];
}

void Engine::render(std::int32_t* mix, std::size_t frames, std::int16_t* tracks) {
    for (int c = 0; c < 6; ++c) {
        if (channels_[c].dirty) recompute(c);
    }
    // The channel lists as constants, so that the loop over them unrolls.
    if (sixChannels())
        renderChannels(kYm2610BChannels, mix, frames, tracks);
    else
        renderChannels(kYm2610Channels, mix, frames, tracks);
}

template <std::size_t N>
void Engine::renderChannels(const std::array<std::size_t, N>& sounding, std::int32_t* mix,
                            std::size_t frames, std::int16_t* tracks) {
    const auto& triangle = shared_->lfoTriangle;
    for (std::size_t i = 0; i < frames; ++i) {
        int lfoAm = 0;
        int lfoPm = 0;
        if (lfoIncrement_ != 0) {
            const std::uint32_t step = lfoPhase_ >> 23;
            lfoAm = triangle[step];
            // Vibrato swings both ways: the triangle a quarter period on, centred on zero.
            lfoPm = triangle[(step + 128) & (kLfoLength - 1)] - 32768;
            lfoPhase_ += lfoIncrement_;
        }
        std::int32_t left = 0;
        std::int32_t right = 0;
        for (std::size_t k = 0; k < N; ++k) {
            Channel& ch = channels_[sounding[k]];
            const std::int32_t out = calculate(ch, lfoAm, lfoPm) >> 1;
            left += out & ch.leftMask;
            right += out & ch.rightMask;
            // The four of the YM2610 are the tracks in order; the YM2610B adds two that are not.
            const int track = N == kTracks ? int(k) : kTrackOfChannel[sounding[k]];
            if (tracks && track >= 0)
                tracks[kTracks * i + std::size_t(track)] = static_cast<std::int16_t>(out);
        }
        mix[2 * i] = left;
        mix[2 * i + 1] = right;
    }
}

}  // namespace qvxsnd::fm
