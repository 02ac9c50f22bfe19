#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "song/result.hpp"
#include "song/voice_fields.hpp"
#include "song/workspace.hpp"

namespace qvx {

// "Store changes to Instrument %d first?"
std::string storeQuestion(int instrument);

// The instrument editor's state and rules: which instrument the list has selected, the 38
// fields being edited, the test keyboard's octave, and what each button does to them and to the
// workspace. The dialog shows this and forwards its controls here; questions go through `ask`.
class InstrumentEditing {
  public:
    static constexpr int kDefaultOctave = 4;

    explicit InstrumentEditing(Workspace& workspace, ConfirmFn ask = {});

    // The list index (instrument number - 1) the list has selected.
    int currentIndex() const { return current_; }
    int currentInstrument() const { return current_ + 1; }
    const VoiceFields& fields() const { return fields_; }
    int octave() const { return octave_; }
    void setOctave(int octave) { octave_ = octave; }

    // The user edited a field. While a test note sounds, the note takes the new voice at once.
    void setFields(const VoiceFields& fields);
    // Whether storing the fields would change the instrument the list has selected.
    bool fieldsDiffer() const;

    // The window was shown or hidden: the list starts again at its first entry; the fields stay.
    void shownOrHidden();
    // The store question comes only for the user's unstored edits: fields changed since they were
    // shown or stored, that differ from the instrument.
    //
    // The main window shows instrument `index` (the Voice list's). Unstored edits are not lost:
    // the question comes first, about the instrument the fields came from.
    void select(int index);
    // The user chose entry `index` in the list: the question when another one was chosen; then
    // the fields show the chosen one (the same entry reloads it).
    void choose(int index);
    void store();
    void clear();
    // "Close Window": the store question when the fields differ. The dialog then hides itself.
    void closing();
    // An empty text keeps the name.
    void rename(std::string_view userText);
    // Into the list's instrument; the fields then show what was loaded.
    Result load(const std::filesystem::path& path);
    // Writes the list's instrument. (The editor's Save stores the fields before it asks for the
    // file, even when the dialog is then cancelled.)
    Result save(const std::filesystem::path& path);
    // The name the save dialog proposes: the user name, with characters that would lead into
    // another folder (or end the name) replaced.
    std::string proposedSaveName() const;

    // A click at (x, y) of the test keyboard's picture: the fields' voice goes to channel 1 when
    // it does not hold it already, then the key's note sounds. Outside the keys nothing happens.
    void testKey(int x, int y);
    // Plays note 0..11 of `octave` as a test key does (a MIDI keyboard's notes), and holds it so
    // that field edits are heard on it.
    void playKey(int note, int octave);
    void mute();
    // Plays `voice` (a preset) without storing it or touching the fields: on the note the test
    // keyboard holds, or else on a C of the Octave box, which the caller ends with
    // endAudition(). True when it started that note of its own.
    bool audition(const VoiceBytes& voice);
    // Keys the audition's own note off, unless the test keyboard has played since.
    void endAudition();

  private:
    void show(int index);
    void askToStore(int instrument);

    Workspace& workspace_;
    ConfirmFn ask_;
    int current_ = 0;
    int fieldsFrom_ = 1;  // the instrument whose values the fields were loaded from
    VoiceFields fields_;
    bool edited_ = false;
    int octave_ = kDefaultOctave;
    std::pair<int, int> lastKey_{0, kDefaultOctave};  // the test keyboard's: note, octave
    bool auditioning_ = false;
};

}  // namespace qvx
