#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "ym2610/fm_tables.hpp"

namespace qvxsnd {

enum class EnvelopePhase : std::uint8_t {
    Off = 0,
    Release = 1,
    Decay2 = 2,
    Decay1 = 3,
    Attack = 4
};

namespace fm {

// One operator, as kept in its channel's register order (1, 3, 2, 4).
struct Operator {
    int detuneRow = 0;
    int ksShift = 3;  // 3 - KS
    int attackIndex = 0;
    int decay1Index = 0;  // rate-table row starts; the key-scale value indexes into the row
    int decay2Index = 0;
    int releaseIndex = 0;
    int ksValue = 0;  // key code >> ksShift, as last applied to the steps below
    int mulFactor = 1;
    std::uint32_t phase = 0;  // bits 16-25 index the sine
    std::int32_t increment = 0;
    EnvelopePhase state = EnvelopePhase::Off;
    int totalLevel = 0;  // TL * 8
    std::int32_t counter = kCounterMax;
    std::int32_t sustain = 0;
    std::int32_t attackStep = 0;
    std::int32_t decay1Step = 0;
    std::int32_t decay2Step = 0;
    std::int32_t releaseStep = 0;
    std::uint8_t ssgRegister = 0;
    std::uint8_t ssgState = 0;  // bit 0 held, bit 1 inverted
    int invertXor = 0;          // 0x3FF while an inverted SSG phase is audible, else 0
    bool keyOn = false;
    bool amOn = false;
    int amDepth = 0;  // the channel's AM depth when amOn, else 0
};

struct Channel {
    std::array<Operator, 4> ops{};
    int algorithm = 0;
    int feedbackShift = 0;
    std::array<std::int32_t, 2> op1Out{};  // [0] the output before last, [1] the last output
    std::array<std::uint8_t, 4> dest{};    // where operators 1..4 add their output
    int pmSensitivity = 0;
    int amDepth = 0;
    std::int32_t baseIncrement = 0;
    int keyCode = 0;
    std::int32_t leftMask = -1;
    std::int32_t rightMask = -1;
    bool dirty = true;  // frequency or key scaling changed: recompute before the next sample
};

// The FM section: six channel records (four of them sounding), the LFO, the shared frequency
// latches and the three-frequency table of channel index 2. Register routing, timers and the
// final clamp belong to the chip around it.
class Engine {
  public:
    Engine(double clock, double rate);

    // Clears phase, envelopes and SSG state of every channel (the chip's channel reset).
    void resetChannels();

    // Channel register block 0x30-0xFF; the second bank passes address + 0x100.
    void writeChannelRegister(int address, std::uint8_t value);
    void writeKeyOnOff(std::uint8_t value);  // register 0x28
    void writeLfo(std::uint8_t value);       // register 0x22
    void setThreeFrequencyMode(bool on);

    // Writes frames * 2 interleaved left/right sums. They are not clamped, so that other sections
    // of the chip can be mixed in before the final clamp.
    void render(std::int32_t* mix, std::size_t frames);

    const Channel& channel(int index) const { return channels_[static_cast<std::size_t>(index)]; }

  private:
    void keyOn(Operator& op);
    void keyOff(Operator& op);
    void recompute(int index);
    void setFrequency(std::uint8_t latch, std::uint8_t low, std::int32_t& base, int& keyCode) const;
    void rewire(Channel& ch);
    std::int32_t attackStepFor(const Operator& op, int ksValue) const;
    std::int32_t calculate(Channel& ch, int lfoAm, int lfoPm);

    const SharedTables* shared_;
    RateTables rates_;
    std::array<Channel, 6> channels_{};
    std::uint8_t frequencyLatch_ = 0;
    std::uint8_t threeFrequencyLatch_ = 0;
    std::array<std::int32_t, 3> threeFrequencyBase_{};
    std::array<int, 3> threeFrequencyKeyCode_{};
    bool threeFrequencyMode_ = false;
    std::uint32_t lfoIncrement_ = 0;
    std::uint32_t lfoPhase_ = 0;
};

}  // namespace fm
}  // namespace qvxsnd
