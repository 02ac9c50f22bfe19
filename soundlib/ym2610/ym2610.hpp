#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "soundlib/ym2610/adpcm_a.hpp"
#include "soundlib/ym2610/adpcm_b.hpp"
#include "soundlib/ym2610/fm_engine.hpp"
#include "soundlib/ym2610/opn_timers.hpp"
#include "soundlib/ym2610/ssg.hpp"

namespace qvxsnd {

// One output frame of each of the chip's sources, for pictures of them: the four FM channels
// that sound (1, 2, 4, 5: the song's tracks) before panning, all ADPCM-A channels together, the
// SSG's channels A, B and C, ADPCM-B, then each ADPCM-A channel on its own before panning.
struct SourceFrame {
    static constexpr std::size_t kFirstAdpcmA = 4;
    static constexpr std::size_t kFirstSsg = 5;
    static constexpr std::size_t kAdpcmB = 8;
    static constexpr std::size_t kFirstAdpcmAChannel = 9;
    static constexpr std::size_t kSources = 15;
    std::array<std::int16_t, kSources> level;
};

// One data write as the chip received it.
struct RegisterWrite {
    std::uint64_t frame;   // the first frame that carries it (see YM2610::outputDelay)
    std::uint8_t bank;     // 0 = first register bank (ports 0/1), 1 = second (ports 2/3)
    std::uint8_t address;  // the register address latched in that bank
    std::uint8_t value;
    friend bool operator==(const RegisterWrite&, const RegisterWrite&) = default;
};

// The YM2610 sound chip: its four FM channels (six as the YM2610B), the SSG, the six ADPCM-A
// channels, the ADPCM-B channel, timers A and B and the status bytes. The chip is driven by
// emulated time: register writes land between render calls, and the caller renders up to the
// sample at which each write is due before applying it.
//
// Not thread-safe; each instance is independent and owns all of its state.
class YM2610 {
  public:
    static constexpr std::uint32_t kDefaultClock = 8'000'000;
    static constexpr std::uint32_t kDefaultRate = 44'100;

    // Accepted ranges; anything outside throws std::invalid_argument and no chip is made.
    static constexpr std::uint32_t kMinClock = 1'000'000;
    static constexpr std::uint32_t kMaxClock = 20'000'000;
    static constexpr std::uint32_t kMinRate = 8'000;
    static constexpr std::uint32_t kMaxRate = 192'000;

    enum Timer : int { kTimerA = 0, kTimerB = 1 };

    using WriteObserver = std::function<void(const RegisterWrite&)>;

    explicit YM2610(std::uint32_t clock = kDefaultClock, std::uint32_t rate = kDefaultRate,
                    FmModel model = FmModel::Documented);

    // The chip port write: port 0 latches the first bank's address and port 1 writes its data;
    // ports 2 and 3 do the same for the second bank. A port outside 0-3 throws
    // std::out_of_range and changes nothing.
    void write(int port, std::uint8_t value);

    // Convenience for callers that think in registers: latch then data on the given bank.
    void writeRegister(int bank, std::uint8_t address, std::uint8_t value);

    // Where the writes from here until the next render fall: `units` (of 1 / (clock * rate)
    // seconds, below `clock`) into the next frame. The SSG takes them at that point, as it steps
    // several times a frame; every other part takes them at the end of that frame, as it would a
    // write on the next frame's boundary. 0, the default, is this frame boundary.
    void setWriteOffset(std::uint32_t units) { writeOffset_ = std::min(units, clock_ - 1); }

    // Bit 0: timer A overflowed, bit 1: timer B overflowed. Bit 7 (busy) is always clear:
    // writes take effect at once.
    std::uint8_t readStatus() const { return timers_.flags(); }
    // The second status byte: the ADPCM-A channels' end flags in bits 0-5, ADPCM-B's in bit 7.
    std::uint8_t readAdpcmStatus() const {
        return static_cast<std::uint8_t>(adpcmA_.endFlags() | (adpcmB_.endFlag() ? 0x80 : 0));
    }
    // How loud the SSG is mixed beside the rest, in 1/Ssg::kMixUnit (see Ssg::setMix).
    void setSsgMix(std::int32_t mix) { ssg_.setMix(mix); }
    // An SSG register as it reads back (the only registers the chip lets a program read).
    std::uint8_t readSsgRegister(std::uint8_t address) const { return ssg_.readRegister(address); }
    bool irq() const { return (timers_.flags() & kIrqMask) != 0; }

    // The V ROM the ADPCM-A channels read, and ADPCM-B too unless it has one of its own (as on
    // the cartridges whose two parts share their ROMs); the caller keeps it alive. None reads as
    // zeros.
    void setAdpcmRom(std::span<const std::uint8_t> rom) {
        adpcmA_.setRom(rom);
        if (!ownAdpcmBRom_) adpcmB_.setRom(rom);
    }
    // A separate ROM for ADPCM-B, as older cartridges have (a VGM file's 0x83 blocks).
    void setAdpcmBRom(std::span<const std::uint8_t> rom) {
        adpcmB_.setRom(rom);
        ownAdpcmBRom_ = true;
    }
    bool adpcmPlaying(int channel) const { return adpcmA_.playing(channel); }

    // Timers in exact time, for a board whose interrupt is the chip's IRQ line. Time is counted
    // in units of 1 / (clock * rate) seconds since the chip was made; an output frame is `clock`
    // units. Rendering moves the timers on too, never back.
    void syncTimers(std::uint64_t units);
    std::uint64_t timerUnits() const { return timerUnits_; }
    // Time units until the IRQ line next rises, or nothing while no enabled timer runs.
    std::optional<std::uint64_t> unitsUntilIrq() const;

    // Renders `frames` stereo frames as interleaved left/right signed 16-bit samples and moves
    // the timers on by the same emulated time. `out` may be null only when frames is 0. With
    // `sources`, each source's own output too, a SourceFrame for each frame.
    void render(std::int16_t* out, std::size_t frames, SourceFrame* sources = nullptr);

    // Frames from a write to the first frame that carries its effect: the chip-accurate FM's
    // resampler looks ahead (about 13 frames at 44.1 kHz), and the other parts' output is held
    // back as long so that all stay together. 0 for the documented model. A caller that knows its
    // writes in advance applies each this many frames early to hear it on its own frame.
    int outputDelay() const { return fm_->outputDelay(); }

    // Called after every data write with the emulated time at which it landed. Pass an empty
    // function to stop observing.
    void setWriteObserver(WriteObserver observer) { observer_ = std::move(observer); }

    // Frames rendered so far; a write lands after them and is heard outputDelay() frames later,
    // which is the frame the write observer reports.
    std::uint64_t framesRendered() const { return framesRendered_; }
    std::uint32_t clock() const { return clock_; }
    std::uint32_t sampleRate() const { return rate_; }
    FmModel fmModel() const { return model_; }
    // All six FM channels sound, as on the YM2610B (the YM2610 hides channels 1 and 4: register
    // offset 0 of each bank).
    void setYm2610B(bool on) {
        ym2610b_ = on;
        fm_->setSixChannels(on);
    }
    bool ym2610b() const { return ym2610b_; }
    // Changes the FM synthesis from here on. The new one takes over every FM register as it
    // stands, and keys on again the operators that were keyed on: a held note goes on, from the
    // start of its envelope. ADPCM-A, timers and time are untouched.
    void setFmModel(FmModel model);

    // Samples until the timer next overflows (at least 1), or nothing while it is stopped.
    std::optional<std::uint64_t> framesUntilTimerOverflow(Timer timer) const {
        return timers_.framesUntilOverflow(timer);
    }

    // Read-only view of an operator's envelope. channel: 0-5 (channel index as in the registers,
    // second bank 3-5); op: 1-4. Out-of-range arguments throw std::out_of_range.
    EnvelopePhase envelopePhase(int channel, int op) const;
    int envelopeLevel(int channel, int op) const;  // 0 loudest ... 1023 silent

  private:
    static constexpr std::uint8_t kIrqMask = 3;

    void writeData(int bank, std::uint8_t value);
    // Every FM register write goes through these, so that another synthesis can take them over.
    void writeFmChannel(int address, std::uint8_t value);
    void writeFmMode(std::uint8_t address, std::uint8_t value);
    void writeMode(std::uint8_t address, std::uint8_t value);
    // The parts beside FM into `mix`, held back by the output delay, with their sources.
    void renderParts(std::int32_t* mix, std::size_t frames, const std::int16_t* tracks,
                     SourceFrame* sources);
    int inspectedSlot(int channel, int op) const;

    std::uint32_t clock_;
    std::uint32_t rate_;
    FmModel model_;
    bool ym2610b_ = false;
    std::unique_ptr<fm::Synthesis> fm_;
    // The FM registers as last written: channel registers by bank and address, the LFO and the
    // mode register's channel-3 bits.
    std::array<std::array<std::uint8_t, 0x100>, 2> fmRegisters_{};
    std::uint8_t lfo_ = 0;
    bool threeFrequencyMode_ = false;
    AdpcmA adpcmA_;
    AdpcmB adpcmB_;
    bool ownAdpcmBRom_ = false;
    Ssg ssg_;
    // The output of the parts beside FM over the last outputDelay() frames, oldest at
    // partsNext_: the stereo sum, then the sources ADPCM-A, SSG A-C and ADPCM-B.
    struct PartsFrame {
        std::int32_t left = 0;
        std::int32_t right = 0;
        std::array<std::int16_t, SourceFrame::kSources - SourceFrame::kFirstAdpcmA> sources{};
    };
    std::vector<PartsFrame> partsDelay_;
    std::size_t partsNext_ = 0;
    OpnTimers timers_;
    std::uint64_t timerUnits_ = 0;
    std::uint8_t addressLatch_[2] = {0, 0};
    std::uint64_t framesRendered_ = 0;
    WriteObserver observer_;
    std::uint32_t writeOffset_ = 0;
    // Writes of other parts than the SSG that wait for the end of the next frame.
    struct DeferredWrite {
        int bank;
        std::uint8_t address;
        std::uint8_t value;
    };
    std::vector<DeferredWrite> deferred_;
    void applyData(int bank, std::uint8_t address, std::uint8_t value);
};

}  // namespace qvxsnd
