#pragma once

#include <cstdint>
#include <string>
#include <vector>

// SSG instruments: what a note on an SSG track of a whole-chip song sounds like. The SSG has a
// square tone, one noise generator and one envelope generator for its three channels, and a
// fixed level per channel; trackers shape its notes with a volume sequence stepped each tick.
namespace qvx {

enum class SsgMix : std::uint8_t { Tone = 0, Noise = 1, ToneAndNoise = 2 };

inline constexpr std::uint8_t kMaxSsgVolume = 15;
inline constexpr std::uint8_t kMaxSsgNoisePeriod = 31;
inline constexpr std::uint8_t kMaxSsgEnvelopeShape = 15;
inline constexpr int kMaxSsgSequenceSteps = 32;
inline constexpr int kNoStep = -1;

struct SsgVoice {
    SsgMix mix = SsgMix::Tone;
    std::uint8_t noisePeriod = 0;  // 0-31, for Noise and ToneAndNoise
    std::uint8_t volume = kMaxSsgVolume;
    // The hardware envelope in place of the volume: its shape, and either a fixed period or one
    // that follows the note so that a repeating shape sounds at its pitch (a "buzz" tone).
    bool envelope = false;
    std::uint8_t envelopeShape = 0x08;
    std::uint16_t envelopePeriod = 0x0400;
    bool envelopeFollowsNote = false;
    // Volume steps 0-15, one a tick from the note on; each scales `volume`. None: `volume` all
    // along. The steps before `releaseStep` (all, without one) sustain the note: at their end
    // the sequence goes back to `loopStep`, or stays on the last. At key-off it goes on from
    // `releaseStep` to its end and stays there; without a release step key-off silences.
    std::vector<std::uint8_t> sequence;
    int loopStep = kNoStep;
    int releaseStep = kNoStep;

    friend bool operator==(const SsgVoice&, const SsgVoice&) = default;
};

// Why a voice cannot be played (a value out of range, a loop or release step outside the
// sequence, a loop step at or after the release step), or empty.
std::string ssgVoiceProblem(const SsgVoice& voice);

// The level of each step of the voice's sequence: the step scaled by the voice's volume, to the
// nearest. A voice without a sequence has one step, its volume.
std::vector<std::uint8_t> ssgStepLevels(const SsgVoice& voice);

// The level a note of `voice` has, tick by tick: the sequence as the driver steps it.
class SsgSequencer {
  public:
    explicit SsgSequencer(const SsgVoice& voice) : voice_(voice) {}

    // The note's first tick: its level then.
    std::uint8_t start();
    // Each later tick: the level.
    std::uint8_t tick();
    // Key-off, taking effect on this tick: the level from now on.
    std::uint8_t release();

  private:
    std::uint8_t level() const;
    int sustainEnd() const;

    const SsgVoice& voice_;
    int step_ = 0;
    bool released_ = false;
};

}  // namespace qvx
