#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "soundlib/ym2610/fm_synthesis.hpp"
#include "soundlib/ym2610/resampler.hpp"

namespace qvxsnd::fm {

// The FM section as the chip computes it: one sample every 144 master clocks (55.56 kHz at
// 8 MHz), converted to the output rate by a band-limited resampler. Integer phase and envelope
// generators, log-sine and exponent tables, the envelope clocked every third sample with the
// chip's rate patterns, SSG-type envelopes turning at the half-way attenuation, the LFO stepped
// as the chip steps it, detune that wraps at frequency 0, and feedback inside the sample loop.
// The register interface is the same as the documented model's (fm_engine.hpp).
class ChipEngine : public Synthesis {
  public:
    ChipEngine(double clock, double rate);

    void resetChannels() override;
    void writeChannelRegister(int address, std::uint8_t value) override;
    void writeKeyOnOff(std::uint8_t value) override;
    void writeLfo(std::uint8_t value) override;
    void setThreeFrequencyMode(bool on) override;
    void render(std::int32_t* mix, std::size_t frames, std::int16_t* tracks = nullptr) override;
    int outputDelay() const override { return resampler_.delay(); }
    EnvelopePhase envelopePhase(int channel, int slot) const override;
    int envelopeLevel(int channel, int slot) const override;

  private:
    struct Op {
        // Registers.
        int detune = 0;    // 3 bits: magnitude, bit 2 the sign
        int multiple = 0;  // 0 means one half
        int totalLevel = 0;
        int keyScale = 0;
        int attackRate = 0;
        bool am = false;
        int decayRate = 0;
        int sustainRate = 0;
        int sustainLevel = 0;  // 10-bit attenuation
        int releaseRate = 0;
        int ssg = 0;
        // State.
        std::uint32_t phase = 0;              // 20 bits
        std::uint32_t increment = 0;          // 20 bits, with the channel's frequency and detune
        int attenuation = 0x3FF;              // 10 bits: 0 loudest
        int keyCode = 0;                      // of the frequency the increment was made from
        int keyScaleOffset = 0;               // what the key code adds to the envelope's rates
        std::array<std::uint8_t, 5> rates{};  // by EnvelopePhase: 0-31, before key scaling
        int volume = 0x3FF;  // attenuation as heard, with total level, without the LFO
        EnvelopePhase state = EnvelopePhase::Off;
        bool keyOn = false;
        bool ssgInverted = false;
    };
    struct Ch {
        std::array<Op, 4> ops{};  // register order: operators 1, 3, 2, 4
        int fnum = 0;
        int block = 0;
        int algorithm = 0;
        int feedback = 0;
        int amShift = 8;  // the LFO's AM value is shifted right by this: 8 = none
        int pmDepth = 0;
        bool left = true;
        bool right = true;
        std::array<std::int32_t, 2> op1History{};
        bool dirty = true;
    };

    void sample(std::int32_t& left, std::int32_t& right);
    void clockEnvelopes();
    // Returns whether the operator's heard attenuation may have changed.
    bool clockEnvelope(Op& op);
    void clockSsg(Op& op);
    void keyOn(Op& op, int keyCode);
    void keyOff(Op& op);
    void updateIncrements(int index);
    int effectiveRate(int rate, int keyCode, int keyScale) const;
    int keyCodeOf(int index, int slot) const;
    int frequencyOf(int index, int slot, int& block) const;
    static void refreshVolume(Op& op);
    static void refreshRates(Op& op);
    std::int32_t channelOutput(Ch& ch, int amValue);

    std::array<Ch, 6> channels_{};
    std::uint8_t frequencyLatch_ = 0;
    std::uint8_t threeFrequencyLatch_ = 0;
    std::array<int, 3> threeFnum_{};
    std::array<int, 3> threeBlock_{};
    bool threeFrequencyMode_ = false;
    bool lfoOn_ = false;
    int lfoRate_ = 0;
    int lfoDivider_ = 0;
    int lfoStep_ = 0;  // 7 bits
    const std::array<std::array<std::uint8_t, 8>, 64>& increments_;
    std::uint32_t envelopeCounter_ = 0;
    int envelopeDivider_ = 0;
    Resampler resampler_;
    std::array<std::int16_t, kTracks> lastOutput_{};  // each sounding channel's latest sample
};

}  // namespace qvxsnd::fm
