#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvxsnd {

// The YM2610's SSG: the YM2149-type square-wave part, three tone channels, a noise generator and
// an envelope shared by the channels that ask for it.
//
//   first bank  0x00-0x05  tone period of channels A, B, C: low byte, then 4 high bits (12 bits)
//               0x06       noise period, 5 bits
//               0x07       mixer, active low: bits 0-2 tone of A-C off, bits 3-5 noise of A-C off
//               0x08-0x0A  level of A-C, 0-15; bit 4 takes the envelope's level instead
//               0x0B/0x0C  envelope period, low / high byte (16 bits)
//               0x0D       envelope shape (bit 3 continue, 2 attack, 1 alternate, 0 hold);
//                          every write starts the envelope again
//
// Everything steps at the chip clock / 32 (250 kHz at 8 MHz): a tone's square flips every
// `period` steps (125000 / period Hz), the noise's 17-bit shift register (bit 0 xor bit 3 into
// bit 16) moves every 2 * `period` steps, the envelope takes one of its 32 levels every `period`
// steps. A period of 0 counts as 1. A channel's gate is (tone or tone off) and (noise or noise
// off), so a channel with both off puts out its level steadily, as sample players use it. The
// output is one-sided (0 when the gate is closed) and the three channels are mixed into both
// stereo sides alike: the YM2610's SSG is mono. Each output frame is the average of the chip's
// steps within it, which keeps the squares' edges in their place between frames.
class Ssg {
  public:
    static constexpr int kChannels = 3;
    static constexpr std::uint32_t kClocksPerStep = 32;

    Ssg(std::uint32_t clock, std::uint32_t rate);

    void writeRegister(std::uint8_t address, std::uint8_t value);  // first bank 0x00-0x0F
    // A write that lands `units` (of 1 / (clock * rate) seconds) into the next frame rendered,
    // at the step it falls on: the SSG steps several times a frame, and where a write falls
    // among them decides a tone's phase from then on.
    void writeRegisterAt(std::uint8_t address, std::uint8_t value, std::uint32_t units);
    std::uint8_t readRegister(std::uint8_t address) const;

    // Adds `frames` stereo frames to `mix`; with `channels`, each channel's own output too,
    // kChannels values a frame.
    void render(std::int32_t* mix, std::size_t frames, std::int16_t* channels = nullptr);

    // The output of one channel at `level` (0-31 on the envelope's scale) with its gate open.
    static std::int32_t amplitude(int level);

    // How loud the SSG is put out beside the chip's other parts, in 1/kMixUnit: kMixUnit is the
    // balance the chip's VGM players give it (MAME's vgmplay); a board mixes it as it is wired.
    static constexpr std::int32_t kMixUnit = 1024;
    void setMix(std::int32_t mix) { mix_ = mix; }

  private:
    void step();
    // Moves the counters on by `steps` steps while nothing is heard.
    void skip(std::uint64_t steps);
    int envelopeLevel() const;
    bool silent() const;

    std::uint32_t clock_;
    std::uint32_t rate_;
    std::int32_t mix_ = kMixUnit;
    std::array<std::uint8_t, 16> registers_{};
    std::array<std::uint32_t, kChannels> tonePeriod_{1, 1, 1};
    std::uint32_t noisePeriod_ = 1;
    std::uint32_t envelopePeriod_ = 1;
    bool changed_ = true;  // a register changed: the outputs are worked out at the next step
    std::array<std::uint32_t, kChannels> toneCount_{};
    std::array<bool, kChannels> tone_{};
    std::uint32_t noiseCount_ = 0;
    bool noisePrescale_ = false;
    std::uint32_t noiseShift_ = 1;
    std::uint32_t envelopeCount_ = 0;
    std::uint32_t envelopeStep_ = 0;  // 0-31 the first time through, on up to 63, then again
    bool envelopeHeld_ = false;
    // Each channel's output as the last step left it.
    std::array<std::int32_t, kChannels> output_{};
    // Time to the next step, in units of 1 / (clock * rate) seconds: a frame is `clock` units, a
    // step kClocksPerStep * `rate`.
    std::uint64_t untilStep_ = 0;
    struct PendingWrite {
        std::uint64_t units;
        std::uint8_t address;
        std::uint8_t value;
    };
    std::vector<PendingWrite> pending_;  // in the order written, which is their time order
};

}  // namespace qvxsnd
