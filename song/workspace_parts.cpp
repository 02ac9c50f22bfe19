// The workspace's edits of SSG voices and ADPCM-B instruments, each an undoable step on one
// instrument, and their audition.
#include "song/workspace.hpp"

namespace qvx {

using Change = WorkspaceChange;

std::string Workspace::setSsgVoice(int number, const SsgVoice& voice) {
    if (std::string problem = ssgVoiceProblem(voice); !problem.empty()) return problem;
    applyEdit(
        EditScope::instrument(number),
        [&] {
            Instrument& instrument = song_->instruments[static_cast<std::size_t>(number)];
            instrument.kind = InstrumentKind::SsgVoice;
            instrument.ssg = voice;
        },
        Change::kInstruments);
    // An edit is heard at once on the note the editor holds, as the FM voice editor's are.
    if (auditioned_ == number && chipParts_.holding()) auditionPart(number, auditionedSemitone_);
    return {};
}

void Workspace::setPitchedSample(int number, const PitchedSample& pitched) {
    applyEdit(
        EditScope::instrument(number),
        [&] {
            Instrument& instrument = song_->instruments[static_cast<std::size_t>(number)];
            instrument.kind = InstrumentKind::AdpcmBSample;
            instrument.pitched = pitched;
        },
        Change::kInstruments);
}

void Workspace::auditionPart(int number, int semitone) {
    if (number < 1 || number > song_->instrumentCount()) return;
    const Instrument& instrument = song_->instruments[static_cast<std::size_t>(number)];
    auditioned_ = number;
    auditionedSemitone_ = semitone;
    if (instrument.kind == InstrumentKind::SsgVoice)
        chipParts_.ssgNote(instrument.ssg, 0, semitone);
    else if (instrument.kind == InstrumentKind::AdpcmBSample)
        chipParts_.pitchedNote(instrument.pitched, semitone);
}

}  // namespace qvx
