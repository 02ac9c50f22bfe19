#include "song/chip_part_preview.hpp"

#include "song/chip_pitch.hpp"

namespace qvx {
namespace {

constexpr std::uint8_t kMixer = 0x07, kNoise = 0x06, kFirstLevel = 0x08, kEnvelopeLow = 0x0B,
                       kEnvelopeHigh = 0x0C, kShape = 0x0D, kEnvelopeLevel = 0x10;
constexpr std::uint8_t kAdpcmBControl = 0x10, kAdpcmBStop = 0x01;
// A channel's tone-off and noise-off bits of the mixer (channel A's; B's and C's shifted by one
// and two).
constexpr std::uint8_t kChannelMix = 0x09;
constexpr std::uint8_t kMixBits[] = {0x08, 0x01, 0x00};  // tone, noise, both

}  // namespace

void ChipPartPreview::ssgNote(const SsgVoice& voice, int channel, int semitone) {
    if (!target_) return;
    if (ssg_ && ssg_->channel != channel) writeLevel(0);
    ssg_ = std::make_unique<SsgNote>();
    released_ = false;
    ssg_->voice = voice;
    ssg_->channel = channel;
    const auto c = static_cast<std::uint8_t>(channel);
    const int period = ssgTonePeriod(semitone);
    target_->writeChip(0, static_cast<std::uint8_t>(2 * c), static_cast<std::uint8_t>(period));
    target_->writeChip(0, static_cast<std::uint8_t>(2 * c + 1),
                       static_cast<std::uint8_t>(period >> 8));
    const std::uint8_t bits = kMixBits[static_cast<std::size_t>(voice.mix)];
    mixer_ = static_cast<std::uint8_t>((mixer_ & ~(kChannelMix << c)) | (bits << c));
    target_->writeChip(0, kMixer, mixer_);
    if (voice.mix != SsgMix::Tone) target_->writeChip(0, kNoise, voice.noisePeriod);
    if (voice.envelope) {
        const int envelope = voice.envelopeFollowsNote
                                 ? ssgEnvelopePeriod(semitone, voice.envelopeShape)
                                 : voice.envelopePeriod;
        target_->writeChip(0, kEnvelopeLow, static_cast<std::uint8_t>(envelope));
        target_->writeChip(0, kEnvelopeHigh, static_cast<std::uint8_t>(envelope >> 8));
        target_->writeChip(0, kShape, voice.envelopeShape);
    }
    writeLevel(ssg_->sequencer.start());
}

void ChipPartPreview::writeLevel(std::uint8_t level) {
    // With the envelope on, a step only gates it, as the driver does.
    const std::uint8_t value = ssg_->voice.envelope && level ? kEnvelopeLevel : level;
    if (value == ssg_->level) return;
    ssg_->level = value;
    target_->writeChip(0, static_cast<std::uint8_t>(kFirstLevel + ssg_->channel), value);
}

void ChipPartPreview::pitchedNote(const PitchedSample& instrument, int semitone) {
    if (!target_ || !instrument.sample) return;
    pitched_ = true;
    target_->playPitchedSample(instrument.sample->pcm, instrument.loop,
                               pitchedDeltaN(instrument, semitone), instrument.level);
}

void ChipPartPreview::release() {
    released_ = true;
    if (ssg_) writeLevel(ssg_->sequencer.release());
    if (pitched_ && target_) target_->writeChip(0, kAdpcmBControl, kAdpcmBStop);
    pitched_ = false;
}

void ChipPartPreview::silence() {
    if (ssg_) writeLevel(0);
    ssg_.reset();
    if (pitched_ && target_) target_->writeChip(0, kAdpcmBControl, kAdpcmBStop);
    pitched_ = false;
}

void ChipPartPreview::tick() {
    // Only a step that changes the level writes it: a note at rest costs nothing.
    if (ssg_) writeLevel(ssg_->sequencer.tick());
}

}  // namespace qvx
