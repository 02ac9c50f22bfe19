#include "soundlib/ym2610/ssg.hpp"

#include <algorithm>

namespace qvxsnd {
namespace {

constexpr std::uint8_t kMixer = 0x07;
constexpr std::uint8_t kFirstLevel = 0x08;
constexpr std::uint8_t kEnvelopeLow = 0x0B;
constexpr std::uint8_t kEnvelopeHigh = 0x0C;
constexpr std::uint8_t kShape = 0x0D;
constexpr std::uint8_t kUseEnvelope = 0x10;
// The bits each register holds; the rest read back as 0.
constexpr std::array<std::uint8_t, 16> kRegisterBits = {
    0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF, 0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F, 0x00, 0x00};

// One channel's output at each of the 32 levels of the envelope's scale (a fixed level L is
// envelope level 2L + 1), with 16382 at the top: about 1.5 dB a level near the top, more towards
// the bottom, as the chip's output stage steps. Measured on MAME's YM2610 (the SSG's DC level at
// each step of a slow envelope, and each fixed level beside a full-level FM note, whose output
// holds half of these); on this scale the SSG stands against FM as it does there.
constexpr std::array<std::int32_t, 32> kAmplitudes = {
    0,    32,   77,   141,  177,  221,  261,  305,   369,   441,  509,
    585,  701,  835,  965,  1111, 1334, 1595, 1853,  2145,  2575, 3081,
    3575, 4133, 5000, 6005, 7023, 8153, 9963, 11976, 14132, 16382};

}  // namespace

Ssg::Ssg(std::uint32_t clock, std::uint32_t rate)
    : clock_(clock), rate_(rate), untilStep_(std::uint64_t{kClocksPerStep} * rate) {
    registers_[kMixer] = 0xFF;  // everything off after a reset
}

std::int32_t Ssg::amplitude(int level) {
    return kAmplitudes[static_cast<std::size_t>(std::clamp(level, 0, 31))];
}

void Ssg::writeRegister(std::uint8_t address, std::uint8_t value) {
    if (address >= registers_.size()) return;
    registers_[address] = value & kRegisterBits[address];
    if (address == kShape) {
        // The shape starts again from its first step; the counter that times the steps runs
        // on, as in MAME's model of the chip, so the first step may be short.
        envelopeStep_ = 0;
        envelopeHeld_ = false;
    }
    // The periods as the counters compare them: 0 counts as 1.
    for (int c = 0; c < kChannels; ++c)
        tonePeriod_[c] =
            std::max<std::uint32_t>(1, registers_[2 * c] | (registers_[2 * c + 1] << 8));
    noisePeriod_ = std::max<std::uint32_t>(1, registers_[6]);
    envelopePeriod_ =
        std::max<std::uint32_t>(1, registers_[kEnvelopeLow] | (registers_[kEnvelopeHigh] << 8));
    changed_ = true;
}

std::uint8_t Ssg::readRegister(std::uint8_t address) const {
    return address < registers_.size() ? registers_[address] : 0;
}

int Ssg::envelopeLevel() const {
    const std::uint8_t shape = registers_[kShape];
    const bool attack = shape & 0x04;
    if (envelopeHeld_) {
        // Continue with attack xor alternate ends at the top; every other held shape at 0.
        const bool top = (shape & 0x08) && (attack != bool(shape & 0x02));
        return top ? 31 : 0;
    }
    const bool rising = attack != ((shape & 0x02) && (envelopeStep_ & 32));
    const int level = static_cast<int>(envelopeStep_ & 31);
    return rising ? level : 31 - level;
}

void Ssg::step() {
    // Most steps move only counters: the outputs are worked out again when something they
    // depend on turns.
    bool changed = changed_;
    changed_ = false;
    for (int c = 0; c < kChannels; ++c) {
        if (++toneCount_[c] >= tonePeriod_[c]) {
            toneCount_[c] = 0;
            tone_[c] = !tone_[c];
            changed = true;
        }
    }
    noisePrescale_ = !noisePrescale_;
    if (noisePrescale_ && ++noiseCount_ >= noisePeriod_) {
        noiseCount_ = 0;
        const std::uint32_t in = (noiseShift_ ^ (noiseShift_ >> 3)) & 1;
        noiseShift_ = (noiseShift_ >> 1) | (in << 16);
        changed = true;
    }
    if (!envelopeHeld_ && ++envelopeCount_ >= envelopePeriod_) {
        envelopeCount_ = 0;
        const std::uint8_t shape = registers_[kShape];
        ++envelopeStep_;
        if (envelopeStep_ >= 32 && (!(shape & 0x08) || (shape & 0x01)))
            envelopeHeld_ = true;
        else
            envelopeStep_ &= 63;
        changed = true;
    }
    if (!changed) return;

    const std::uint8_t mixer = registers_[kMixer];
    const bool noise = noiseShift_ & 1;
    const int envelope = envelopeLevel();
    for (int c = 0; c < kChannels; ++c) {
        const bool gate = (tone_[c] || (mixer & (1 << c))) && (noise || (mixer & (8 << c)));
        const std::uint8_t level = registers_[kFirstLevel + c];
        const int index = (level & kUseEnvelope) ? envelope
                          : (level & 15)         ? 2 * (level & 15) + 1
                                                 : 0;
        output_[c] = gate ? kAmplitudes[static_cast<std::size_t>(index)] : 0;
    }
}

namespace {

// A counter that counts `steps` on, turning over to 0 each time it reaches `period`: how often it
// turned over. One left above a period that was lowered turns over at its next count.
std::uint64_t countOn(std::uint32_t& count, std::uint64_t period, std::uint64_t steps) {
    if (steps == 0) return 0;
    std::uint64_t turns = 0;
    if (count >= period) {
        count = 0;
        turns = 1;
        --steps;
    }
    const std::uint64_t total = count + steps;
    count = static_cast<std::uint32_t>(total % period);
    return turns + total / period;
}

}  // namespace

void Ssg::skip(std::uint64_t steps) {
    for (int c = 0; c < kChannels; ++c)
        if (countOn(toneCount_[c], tonePeriod_[c], steps) & 1) tone_[c] = !tone_[c];
    // The noise counter moves on every other step, when the prescaler turns on.
    const std::uint64_t noiseSteps = (steps + (noisePrescale_ ? 0 : 1)) / 2;
    noisePrescale_ = (steps & 1) ? !noisePrescale_ : noisePrescale_;
    countOn(noiseCount_, noisePeriod_, noiseSteps);
    changed_ = true;
    if (envelopeHeld_) return;
    const std::uint64_t envelopeSteps = countOn(envelopeCount_, envelopePeriod_, steps);
    const std::uint8_t shape = registers_[kShape];
    if (envelopeStep_ + envelopeSteps >= 32 && (!(shape & 0x08) || (shape & 0x01))) {
        envelopeHeld_ = true;
        envelopeStep_ = 32;
    } else {
        envelopeStep_ = static_cast<std::uint32_t>((envelopeStep_ + envelopeSteps) & 63);
    }
}

bool Ssg::silent() const {
    // No channel can be heard: every level 0 and no envelope.
    for (int c = 0; c < kChannels; ++c)
        if (registers_[kFirstLevel + c] != 0 || output_[c] != 0) return false;
    return true;
}

void Ssg::render(std::int32_t* mix, std::size_t frames, std::int16_t* channels) {
    const std::uint64_t stepUnits = std::uint64_t{kClocksPerStep} * rate_;
    if (pending_.empty() && silent()) {
        if (channels) std::fill_n(channels, frames * kChannels, std::int16_t{0});
        // Nothing is heard: the counters move on by whole steps at once, so that tones and the
        // envelope are where they would be when a level opens. The noise's shift register stays
        // as it is, which only moves its random sequence.
        const std::uint64_t units = std::uint64_t{clock_} * frames;
        if (units < untilStep_) {
            untilStep_ -= units;
            return;
        }
        const std::uint64_t steps = 1 + (units - untilStep_) / stepUnits;
        untilStep_ = stepUnits - (units - untilStep_) % stepUnits;
        skip(steps);
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        // The three together, and each on its own only when asked for.
        std::int64_t total = 0;
        std::array<std::int64_t, kChannels> sum{};
        std::uint64_t position = 0;  // into the frame
        std::size_t next = 0;        // the next pending write, which lands in the first frame
        while (position < clock_) {
            std::uint64_t d = std::min(clock_ - position, untilStep_);
            if (i == 0 && next < pending_.size())
                d = std::min(d, std::max(pending_[next].units, position) - position);
            const auto span = static_cast<std::int64_t>(d);
            total += std::int64_t{output_[0] + output_[1] + output_[2]} * span;
            if (channels)
                for (int c = 0; c < kChannels; ++c)
                    sum[c] += std::int64_t{output_[c]} * span;
            position += d;
            untilStep_ -= d;
            while (i == 0 && next < pending_.size() && pending_[next].units <= position) {
                writeRegister(pending_[next].address, pending_[next].value);
                ++next;
            }
            if (untilStep_ == 0) {
                step();
                untilStep_ = stepUnits;
            }
        }
        if (i == 0) pending_.clear();
        const std::int64_t scale = std::int64_t{clock_} * kMixUnit;
        const auto all = static_cast<std::int32_t>(total * mix_ / scale);
        if (channels)
            for (int c = 0; c < kChannels; ++c)
                channels[kChannels * i + c] = static_cast<std::int16_t>(sum[c] * mix_ / scale);
        mix[2 * i] += all;
        mix[2 * i + 1] += all;
    }
}

void Ssg::writeRegisterAt(std::uint8_t address, std::uint8_t value, std::uint32_t units) {
    if (units == 0 && pending_.empty()) return writeRegister(address, value);
    pending_.push_back({std::min(units, clock_), address, value});
}

}  // namespace qvxsnd
