#include "song/ssg_sharing.hpp"

#include "song/chip_pitch.hpp"

namespace qvx {
namespace {

constexpr std::uint8_t kEffectVolume = 0x0C;

bool hasNote(const Cell& cell) {
    return cell.note <= kNoteB && cell.octave != kNone;
}

// The SSG voice a note cell plays, or none.
const SsgVoice* voiceOf(const Song& song, const Cell& cell) {
    const int number = cell.instrument == 0 || cell.instrument == kNone ? 1 : cell.instrument;
    if (number > song.instrumentCount()) return nullptr;
    const Instrument& instrument = song.instruments[static_cast<std::size_t>(number)];
    return instrument.kind == InstrumentKind::SsgVoice ? &instrument.ssg : nullptr;
}

bool usesNoise(const SsgVoice& voice) {
    return voice.mix != SsgMix::Tone;
}

// The envelope period a note asks for.
int envelopePeriodOf(const SsgVoice& voice, const Cell& cell) {
    return voice.envelopeFollowsNote
               ? ssgEnvelopePeriod(semitone(cell.note, cell.octave), voice.envelopeShape)
               : voice.envelopePeriod;
}

// The note still sounding on `track` at `row`: its last, unless keyed off or ended since.
const Cell* soundingNote(const Pattern& pattern, int track, int row) {
    for (int r = row; r >= 0; --r) {
        const Cell& cell = pattern.cell(track, r);
        if (hasNote(cell)) return &cell;
        if (cell.note == kNoteEnd || (cell.effect == kEffectVolume && cell.parameter == 0))
            return nullptr;
    }
    return nullptr;
}

}  // namespace

std::string ssgSharingClash(const Song& song, const Pattern& pattern, int track, int row) {
    const Cell& cell = pattern.cell(track, row);
    const SsgVoice* voice = hasNote(cell) ? voiceOf(song, cell) : nullptr;
    if (!voice || song.trackKind(track) != TrackKind::Ssg) return {};
    for (int other = 0; other < song.trackCount(); ++other) {
        if (other == track || song.trackKind(other) != TrackKind::Ssg) continue;
        const Cell* sounding = soundingNote(pattern, other, row);
        const SsgVoice* theirs = sounding ? voiceOf(song, *sounding) : nullptr;
        if (!theirs) continue;
        const std::string both = trackName(song.kind, track) + " and " +
                                 trackName(song.kind, other) + " ask for different ";
        if (usesNoise(*voice) && usesNoise(*theirs) && voice->noisePeriod != theirs->noisePeriod)
            return both +
                   "noise periods: the SSG has one noise generator, and the last note written "
                   "sets it for all three";
        if (voice->envelope && theirs->envelope &&
            (voice->envelopeShape != theirs->envelopeShape ||
             envelopePeriodOf(*voice, cell) != envelopePeriodOf(*theirs, *sounding)))
            return both +
                   "envelopes: the SSG has one envelope generator, and the last note written "
                   "sets it for all three";
    }
    return {};
}

}  // namespace qvx
