#pragma once

#include <QComboBox>

#include "song/midi_notes.hpp"

namespace qvx::editor {

// A list of notes by name ("C-1" ... "B-7"), each holding its semitone (chip_pitch's count), as
// the part editors choose the note they sound and an ADPCM-B sample's base note.
inline void fillNoteChoice(QComboBox& box, int lowest, int highest, int selected) {
    box.clear();
    for (int semitone = lowest; semitone <= highest; ++semitone)
        // Semitone 0 is C-0, MIDI note 12.
        box.addItem(QString::fromStdString(midiNoteName(semitone + 12)), semitone);
    box.setCurrentIndex(box.findData(selected));
}

inline int chosenNote(const QComboBox& box) {
    return box.currentData().toInt();
}

}  // namespace qvx::editor
