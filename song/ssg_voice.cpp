#include "song/ssg_voice.hpp"

#include <string>

namespace qvx {

std::string ssgVoiceProblem(const SsgVoice& voice) {
    const int steps = static_cast<int>(voice.sequence.size());
    if (voice.mix > SsgMix::ToneAndNoise) return "its mix is not tone, noise or both";
    if (voice.noisePeriod > kMaxSsgNoisePeriod) return "its noise period is above 31";
    if (voice.volume > kMaxSsgVolume) return "its volume is above 15";
    if (voice.envelopeShape > kMaxSsgEnvelopeShape) return "its envelope shape is above 15";
    if (steps > kMaxSsgSequenceSteps) return "its volume sequence has more than 32 steps";
    for (const std::uint8_t step : voice.sequence)
        if (step > kMaxSsgVolume) return "its volume sequence has a step above 15";
    const auto inSequence = [&](int step) {
        return step == kNoStep || (step >= 0 && step < steps);
    };
    if (!inSequence(voice.loopStep)) return "its loop step is outside the volume sequence";
    if (!inSequence(voice.releaseStep)) return "its release step is outside the volume sequence";
    if (voice.releaseStep == 0) return "its release step leaves no step to hold the note";
    if (voice.loopStep != kNoStep && voice.releaseStep != kNoStep &&
        voice.loopStep >= voice.releaseStep)
        return "its loop step is not before its release step";
    return {};
}

namespace {

std::uint8_t scaledLevel(std::uint8_t volume, std::uint8_t step) {
    return static_cast<std::uint8_t>((volume * step + kMaxSsgVolume / 2) / kMaxSsgVolume);
}

}  // namespace

std::vector<std::uint8_t> ssgStepLevels(const SsgVoice& voice) {
    if (voice.sequence.empty()) return {voice.volume};
    std::vector<std::uint8_t> levels;
    for (const std::uint8_t step : voice.sequence)
        levels.push_back(scaledLevel(voice.volume, step));
    return levels;
}

int SsgSequencer::sustainEnd() const {
    return voice_.releaseStep == kNoStep ? static_cast<int>(voice_.sequence.size())
                                         : voice_.releaseStep;
}

std::uint8_t SsgSequencer::level() const {
    if (voice_.sequence.empty()) return released_ ? 0 : voice_.volume;
    if (released_ && voice_.releaseStep == kNoStep) return 0;
    return scaledLevel(voice_.volume, voice_.sequence[static_cast<std::size_t>(step_)]);
}

std::uint8_t SsgSequencer::start() {
    step_ = 0;
    released_ = false;
    return level();
}

std::uint8_t SsgSequencer::tick() {
    const int steps = static_cast<int>(voice_.sequence.size());
    if (steps == 0) return level();
    const int end = released_ ? steps : sustainEnd();
    if (step_ + 1 < end)
        ++step_;
    else if (!released_ && voice_.loopStep != kNoStep)
        step_ = voice_.loopStep;
    return level();
}

std::uint8_t SsgSequencer::release() {
    if (!released_) {
        released_ = true;
        if (voice_.releaseStep != kNoStep) step_ = voice_.releaseStep;
    }
    return level();
}

}  // namespace qvx
