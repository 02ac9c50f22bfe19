#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qvxsnd {

enum class EnvelopePhase : std::uint8_t {
    Off = 0,
    Release = 1,
    Decay2 = 2,
    Decay1 = 3,
    Attack = 4
};

// Which FM synthesis a chip runs: the documented model (the default, fm_engine.hpp), or the
// chip's own arithmetic at its own rate (fm_chip.hpp).
enum class FmModel : std::uint8_t { Documented, Accurate };

namespace fm {

// writeChannelRegister takes second-bank registers at their address plus this.
inline constexpr int kSecondBank = 0x100;

// The channels that sound: 1, 2, 4 and 5 on the YM2610 (channels 0 and 3 keep their registers
// and are never heard), all six on the YM2610B. The song's tracks are the YM2610's four.
inline constexpr std::array<std::size_t, 4> kYm2610Channels = {1, 2, 4, 5};
inline constexpr std::array<std::size_t, 6> kYm2610BChannels = {0, 1, 2, 3, 4, 5};
// A sounding channel's track for pictures of it, or -1 for the YM2610B's extra two.
inline constexpr std::array<int, 6> kTrackOfChannel = {-1, 0, 1, -1, 2, 3};

// The FM section's face to the chip around it: register writes in, stereo sums out.
class Synthesis {
  public:
    virtual ~Synthesis() = default;

    // Clears phase, envelopes and SSG state of every channel (the chip's channel reset).
    virtual void resetChannels() = 0;
    // Channel register block 0x30-0xFF; the second bank passes address + kSecondBank.
    virtual void writeChannelRegister(int address, std::uint8_t value) = 0;
    virtual void writeKeyOnOff(std::uint8_t value) = 0;  // ym::kKeyOnOff
    virtual void writeLfo(std::uint8_t value) = 0;       // ym::kLfo
    virtual void setThreeFrequencyMode(bool on) = 0;
    // All six channels sound, as on the YM2610B.
    void setSixChannels(bool six) {
        if (six)
            sounding_ = kYm2610BChannels;
        else
            sounding_ = kYm2610Channels;
    }
    bool sixChannels() const { return sounding_.size() == 6; }
    // Writes frames * 2 interleaved left/right sums at the output rate. They are not clamped, so
    // that other sections of the chip can be mixed in before the final clamp. With `tracks`, also
    // each sounding channel's own output (channels 1, 2, 4, 5, before panning), kTracks a frame.
    static constexpr std::size_t kTracks = 4;
    virtual void render(std::int32_t* mix, std::size_t frames, std::int16_t* tracks = nullptr) = 0;
    // Output frames between a register write and the first frame that carries its effect.
    virtual int outputDelay() const { return 0; }
    // An operator's envelope; `slot` counts in register order (operators 1, 3, 2, 4).
    virtual EnvelopePhase envelopePhase(int channel, int slot) const = 0;
    virtual int envelopeLevel(int channel, int slot) const = 0;  // 0 loudest ... 1023 silent

  protected:
    std::span<const std::size_t> sounding_ = kYm2610Channels;
};

}  // namespace fm
}  // namespace qvxsnd
