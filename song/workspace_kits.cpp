// The workspace's edits of drum kits: each an undoable step on one instrument.
#include <algorithm>

#include "song/workspace.hpp"

namespace qvx {

using Change = WorkspaceChange;

void Workspace::setInstrumentKind(int number, InstrumentKind kind) {
    applyEdit(
        EditScope::instrument(number), [&] { song_->instruments[number].kind = kind; },
        Change::kInstruments);
}

void Workspace::loadKitSample(int number, int note, SampleRef sample) {
    if (!sample || note < kAllKitNotes || note >= kKitNotes) return;
    applyEdit(
        EditScope::instrument(number),
        [&] {
            Instrument& instrument = song_->instruments[number];
            instrument.kind = InstrumentKind::AdpcmAKit;
            for (int n = 0; n < kKitNotes; ++n)
                if (note == kAllKitNotes || n == note)
                    instrument.kit.notes[static_cast<std::size_t>(n)].sample = sample;
        },
        Change::kInstruments);
}

void Workspace::setKitLevel(int number, int note, int level) {
    if (note < 0 || note >= kKitNotes) return;
    applyEdit(
        EditScope::instrument(number),
        [&] {
            song_->instruments[number].kit.notes[static_cast<std::size_t>(note)].level =
                static_cast<std::uint8_t>(std::clamp<int>(level, 0, kMaxKitLevel));
        },
        Change::kInstruments);
}

bool Workspace::trimKitSample(int number, int note, std::size_t first, std::size_t last) {
    if (note < 0 || note >= kKitNotes) return false;
    DrumKit& kit = song_->instruments[number].kit;
    const SampleRef old = kit.notes[static_cast<std::size_t>(note)].sample;
    if (!old) return false;
    last = std::min(last, old->pcm.size());
    if (first >= last) return false;
    if (first == 0 && last == old->pcm.size()) return true;
    const SampleRef cut = makeSample(
        old->name, std::vector<std::int16_t>(old->pcm.begin() + static_cast<std::ptrdiff_t>(first),
                                             old->pcm.begin() + static_cast<std::ptrdiff_t>(last)));
    return applyEdit(
        EditScope::instrument(number),
        [&] {
            for (KitNote& n : song_->instruments[number].kit.notes)
                if (n.sample == old) n.sample = cut;
        },
        Change::kInstruments);
}

void Workspace::auditionKitNote(int number, int note) {
    if (note < 0 || note >= kKitNotes || !preview_) return;
    const KitNote& hit = song_->instruments[number].kit.notes[static_cast<std::size_t>(note)];
    if (hit.sample) preview_->playSample(hit.sample->pcm, 0, hit.level);
}

}  // namespace qvx
