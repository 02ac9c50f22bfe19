// The YM2610's FM section, and the map of every register the chip model acts on.
//
// Two register banks, A (ports 0/1) and B (ports 2/3). "s" is the channel slot 1 or 2 (FM
// channels 1-2 on bank A, 4-5 on bank B; slot 0 has registers but no output on this chip, slot 3
// none). "o" is the operator offset: 0, 8, 4, 12 for operators 1, 2, 3, 4. Names are those of
// ym::Register (registers.hpp).
//
//   bank  address    bits  field                                   name
//   ----  ---------  ----  --------------------------------------  --------------------
//   A     0x22       3     LFO on                                  kLfo
//                    2-0   LFO rate (3.98 ... 72.2 Hz)
//   A     0x24       7-0   timer A period, bits 9-2                kTimerAHigh
//   A     0x25       1-0   timer A period, bits 1-0                kTimerALow
//   A     0x26       7-0   timer B period                          kTimerB
//   A     0x27       7-6   slot 2 mode: 0 one frequency, else one  kModeTimers
//                          frequency per operator (0xA8-0xAE)
//                    5/4   reset timer B / A flag
//                    3/2   timer B / A raises its flag
//                    1/0   timer B / A runs (loaded when set)
//   A     0x28       7-4   key on operators 4, 3, 2, 1             kKeyOnOff
//                    2     bank (0 = A, 1 = B)
//                    1-0   slot
//   A, B  0x30+o+s   6-4   detune                                  kDetuneMultiple
//                    3-0   multiple (0 = one half)
//   A, B  0x40+o+s   6-0   total level, 0.75 dB steps              kTotalLevel
//   A, B  0x50+o+s   7-6   key scale                               kKeyScaleAttack
//                    4-0   attack rate
//   A, B  0x60+o+s   7     amplitude modulation on                 kAmDecay
//                    4-0   decay rate (first decay)
//   A, B  0x70+o+s   4-0   sustain rate (second decay)             kSustainRate
//   A, B  0x80+o+s   7-4   sustain level                           kSustainLevelRelease
//                    3-0   release rate
//   A, B  0x90+o+s   3     SSG-type envelope on                    kSsgEnvelope
//                    2     attack (start inverted)
//                    1     alternate
//                    0     hold
//   A, B  0xA0+s     7-0   F-number bits 7-0; takes the latch      kFnumLow
//   A, B  0xA4+s     5-3   block (octave), into the latch          kBlockFnumHigh
//                    2-0   F-number bits 10-8, into the latch
//   A     0xA8+e     7-0   slot 2, entry e (0-2) of the three       kThreeFnumLow
//                          frequencies: F-number bits 7-0
//   A     0xAC+e     5-0   block and F-number high, into its latch kThreeBlockFnumHigh
//                          (entry 0: operator 3, 1: operator 1, 2: operator 2)
//   A, B  0xB0+s     5-3   feedback of operator 1                  kFeedbackAlgorithm
//                    2-0   algorithm (connection)
//   A, B  0xB4+s     7/6   left / right output on                  kPanLfoSensitivity
//                    5-4   amplitude modulation sensitivity
//                    2-0   phase modulation sensitivity
//
//   Status (read on port 0): bit 0 timer A flag, bit 1 timer B flag; never busy.
//   ADPCM-A: B 0x00-0x2F and A 0x1C, in adpcm_a.hpp; its end flags read as the second status.
//   Accepted without effect: A 0x00-0x0F (SSG), A 0x10-0x1B and 0x1D-0x1F (ADPCM-B).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "soundlib/ym2610/fm_synthesis.hpp"
#include "soundlib/ym2610/fm_tables.hpp"
#include "soundlib/ym2610/registers.hpp"

namespace qvxsnd {
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
class Engine : public Synthesis {
  public:
    Engine(double clock, double rate);

    void resetChannels() override;
    void writeChannelRegister(int address, std::uint8_t value) override;
    void writeKeyOnOff(std::uint8_t value) override;
    void writeLfo(std::uint8_t value) override;
    void setThreeFrequencyMode(bool on) override;
    void render(std::int32_t* mix, std::size_t frames, std::int16_t* tracks = nullptr) override;
    EnvelopePhase envelopePhase(int channel, int slot) const override {
        return channels_[channel].ops[slot].state;
    }
    int envelopeLevel(int channel, int slot) const override {
        return channels_[channel].ops[slot].counter >> 16;
    }

    const Channel& channel(int index) const { return channels_[index]; }

  private:
    void keyOn(Operator& op);
    void keyOff(Operator& op);
    void recompute(int index);
    void setFrequency(std::uint8_t latch, std::uint8_t low, std::int32_t& base, int& keyCode) const;
    void rewire(Channel& ch);
    std::int32_t attackStepFor(const Operator& op, int ksValue) const;
    std::int32_t calculate(Channel& ch, int lfoAm, int lfoPm);
    template <std::size_t N>
    void renderChannels(const std::array<std::size_t, N>& sounding, std::int32_t* mix,
                        std::size_t frames, std::int16_t* tracks);

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
