#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "song/block_edit.hpp"
#include "song/chip_part_preview.hpp"
#include "song/edit_history.hpp"
#include "song/mod_import.hpp"
#include "song/note_entry.hpp"
#include "song/pattern_cursor.hpp"
#include "song/preview.hpp"
#include "song/result.hpp"
#include "song/song.hpp"

namespace qvx {

// What an operation changed, for the views that show the workspace.
struct WorkspaceChange {
    enum : unsigned {
        kCell = 1u << 0,             // one cell of the current pattern: `track`, `row`
        kGrid = 1u << 1,             // the grid as a whole: its pattern, its cells, the rows shown
        kCursor = 1u << 2,           // the edit cursor moved within the window
        kPatternSelector = 1u << 3,  // the current pattern's number or name
        kOrder = 1u << 4,            // order list entries or selection
        kOctave = 1u << 5,
        kVoice = 1u << 6,         // the Voice list's selection
        kInstruments = 1u << 7,   // instrument names or voices
        kTrackEnables = 1u << 8,  // track enable flags
        kModified = 1u << 9,      // the modified flag
        kLayout = 1u << 10,       // the keyboard layout
        kSelection = 1u << 11,    // the block selection
        kHistory = 1u << 12,      // what Undo and Redo can do
        kEditStep = 1u << 13,
        kSongKind = 1u << 14,  // classic or whole-chip: the tracks and instruments shown
        kEverything = (1u << 15) - 1,
    };
    unsigned what = 0;
    int track = 0;
    int row = 0;
};
using ChangeListener = std::function<void(const WorkspaceChange&)>;

enum class CursorMove { Left, Right, Up, Down, LineUp, LineDown, PageUp, PageDown, Thumb };

// The song together with the editor state that the user interface shows but does not own: the
// current pattern, the order list selection, the octave and the selected voice, the pattern
// editor's cursor and window, the keyboard layout and whether the song has unsaved changes.
// Widgets display this object in the editor's formats and forward input to it; every edit of the
// song goes through it, and every change is reported to the listener.
class Workspace {
  public:
    static constexpr int kNoSelection = -1;
    static constexpr int kDefaultOctave = 4;

    Workspace();

    Song& song() { return *song_; }
    const Song& song() const { return *song_; }
    PatternClipboard& clipboard() { return *clipboard_; }
    const PatternClipboard& clipboard() const { return *clipboard_; }

    // ---- Views ---------------------------------------------------------------------------------
    // Called after every change, on the thread that made it.
    void setChangeListener(ChangeListener listener) { listener_ = std::move(listener); }
    // Told a hint for the status bar: the first note that asks the SSG's shared noise or
    // envelope generator for something another SSG track's sounding note asks otherwise.
    void setHintListener(std::function<void(const std::string&)> listener) {
        hintListener_ = std::move(listener);
    }
    // Counts the changes so far; a view that remembers it knows whether to redraw.
    std::uint64_t revision() const { return revision_; }
    // Whether the song differs from what was last opened, saved, imported or newly made: undoing
    // back to that state clears it again.
    bool modified() const { return modified_; }
    // Where note entry previews its notes; none by default.
    void setPreviewTarget(PreviewTarget* target) {
        preview_ = target;
        chipParts_.setTarget(target);
    }

    // ---- File menu -----------------------------------------------------------------------------
    // A failed or refused Open leaves song and state exactly as they were.
    void newProject();
    // File -> New Whole-Chip Song: as New Project, with a whole-chip song.
    void newWholeChipSong();
    // Song -> Convert to Whole-Chip Song, one step to undo. False when it already is one.
    bool convertToWholeChip();
    Result open(const std::filesystem::path& path);
    Result save(const std::filesystem::path& path);
    // Replaces the song with one read elsewhere (MOD import), with the same state reset as Open.
    void replaceSong(std::unique_ptr<Song> song);
    // A song restored from a recovery copy: reset as after Open, but with unsaved changes that
    // undoing cannot take back, since the saved song is not in its history.
    void restoreUnsaved(std::unique_ptr<Song> song);
    // Import MOD: like Open, a refused module leaves song and state exactly as they were.
    Result importMod(const std::filesystem::path& path, ModImportReport* report = nullptr,
                     const ModImportOptions& options = {});

    // ---- Undo and redo: every change to the song is a step ----------------------------------
    const EditHistory& history() const { return history_; }
    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }
    // Takes the last step back (or does the last undone one again) and puts the cursor where
    // it was made.
    bool undo();
    bool redo();

    // ---- Pattern selector ----------------------------------------------------------------------
    int currentPattern() const { return currentPattern_; }
    const Pattern& currentPatternData() const { return song_->patterns[currentPattern_]; }
    std::string patternNumberText() const;  // "%02d"
    const std::string& currentPatternName() const { return song_->patterns[currentPattern_].name; }
    bool previousPattern();
    bool nextPattern();
    bool newPattern();
    void renameCurrentPattern(std::string_view text);

    // ---- Order list. Entries read "%02d - %02d" (position, pattern number) ---------------------
    const std::vector<std::uint8_t>& orderList() const { return song_->order; }
    int orderSelection() const { return orderSelection_; }
    std::string orderEntryText(std::size_t position) const;
    std::vector<std::string> orderEntryTexts() const;
    bool appendOrder();
    bool insertOrder();
    bool updateOrder();
    bool deleteOrder();
    // Choosing an entry makes its pattern the current one.
    void selectOrder(int position);
    // Follow playback: shows the pattern being played (and its order entry, when a song plays)
    // and scrolls its row into sight; the cursor keeps its row and column.
    void follow(int pattern, int orderEntry, int row);

    // ---- Control bar ---------------------------------------------------------------------------
    int octave() const { return octave_; }
    void setOctave(int octave);  // held to 1..7
    // The Voice list: index i is instrument i + 1; kNoSelection after an instrument entry of 0
    // or into an empty field.
    int voiceIndex() const { return voiceIndex_; }
    int selectedInstrument() const { return voiceIndex_ + 1; }  // 0 when none is selected
    void setVoiceIndex(int index);                              // kNoSelection, or held to 0..30
    std::vector<std::string> voiceListEntries() const;          // instrument names 1..31 (or 63)

    // ---- Pattern editor ------------------------------------------------------------------------
    const PatternCursor& cursor() const { return cursor_; }
    // The window shows `rows` rows (its size changed).
    void setVisibleRows(int rows);
    PatternCursor::Redraw moveCursor(CursorMove move, int thumbPosition = 0);
    // A left click at a view pixel: a track image switches its track; a cell takes the cursor.
    void click(int x, int y);
    // A character typed into the cursor's field. Returns whether it did anything.
    bool typeChar(char32_t key);
    // A note played on a MIDI keyboard (note 0..11 in `octave`): on a note field it is entered
    // as its key would be, with the selected voice, then previewed; elsewhere only previewed.
    // Returns whether it was entered.
    bool playNote(int note, int octave);
    // The End key: the end mark in the cursor's cell, whichever field, then down one row.
    void endKey();
    // Rows the cursor moves after a note is entered: 0 (stays) to 16; 1 by default.
    static constexpr int kMaxEditStep = 16;
    int editStep() const { return editStep_; }
    void setEditStep(int step);
    // Page Up / Page Down (16 rows), Ctrl+Home / Ctrl+End: the cursor moves, the window follows.
    void moveRows(int delta);
    void moveToRow(int row);
    // Tab / Shift+Tab: the note field of the next or previous track, round the four.
    void nextTrack(int direction);
    // Insert / Backspace: the cursor's track shifts down or up from the cursor's row.
    void insertCell();
    void removeCell();
    KeyboardLayout keyboardLayout() const { return layout_; }
    void setKeyboardLayout(KeyboardLayout layout);
    void toggleTrack(int track);

    // ---- Block selection: a rectangle of whole cells of the current pattern -------------------
    const std::optional<CellRect>& selection() const { return selection_; }
    // Shift + cursor key: moves the cursor (Left and Right by a whole track) and spans the
    // selection from where it started to the cursor's cell.
    void extendSelection(CursorMove move);
    // A mouse drag from the last click to view pixel (x, y).
    void dragTo(int x, int y);
    void clearSelection();
    // Copy, cut and delete act on the selection, or the cursor's cell when there is none. Paste
    // puts the copied block's top left at the cursor; what would fall outside the pattern is left
    // out. The block has its own clipboard, apart from the track and pattern commands'.
    void copyBlock();
    void cutBlock();
    void pasteBlock();
    void deleteBlock();
    bool hasBlock() const { return block_.has_value(); }
    // Moves the notes of the selection (or the cursor's track) by `semitones`. When some would
    // leave the octaves 1..7, asks `confirm` first; those notes stay where they are.
    bool transpose(int semitones, const ConfirmFn& confirm);

    // ---- Track and clipboard commands on the current pattern ----------------------------------
    void copyTrack(int track) { song_->copyTrack(currentPattern_, track, *clipboard_); }
    void cutTrack(int track);
    void pasteTrack(int track);
    void copyPattern() { song_->copyPattern(currentPattern_, *clipboard_); }
    void pastePattern();
    bool shiftTrackOctaveDown(int track, const ConfirmFn& confirm);
    bool shiftTrackOctaveUp(int track, const ConfirmFn& confirm);

    // ---- Instruments (numbers 1..31) ----------------------------------------------------------
    Result loadInstrument(int number, const std::filesystem::path& path);
    Result saveInstrument(int number, const std::filesystem::path& path) const;
    void storeInstrument(int number, const VoiceBytes& voice);
    // An empty text keeps the user name.
    void renameInstrument(int number, std::string_view userText);

    // ---- Drum kits, the instruments of a whole-chip song's ADPCM-A tracks (one step each) ------
    static constexpr int kAllKitNotes = -1;
    // Makes the instrument a drum kit or an FM voice again; the part it stops using is kept.
    void setInstrumentKind(int number, InstrumentKind kind);
    // Puts the sample on kit note `note` (0-11), or on every note with kAllKitNotes.
    void loadKitSample(int number, int note, SampleRef sample);
    void setKitLevel(int number, int note, int level);  // held to 0..31
    // Keeps frames [first, last) of the note's sample; every note playing that sample plays the
    // cut one. False, and nothing changed, when nothing would be left or there is no sample.
    bool trimKitSample(int number, int note, std::size_t first, std::size_t last);
    // Sounds the note's sample as a drum track would, on ADPCM-A channel 0.
    void auditionKitNote(int number, int note);

    // ---- Folded groups: a whole-chip song's tracks of a kind shown as narrow strips ---------
    // The view's, kept across songs; the cursor moves past folded tracks.
    void setGroupFolded(TrackKind group, bool folded);
    bool groupFolded(TrackKind group) const {
        return foldedGroups_[static_cast<std::size_t>(group)];
    }

    // ---- SSG voices and ADPCM-B samples (one step each) ---------------------------------------
    // Makes the instrument an SSG voice with these settings; refused (nothing changed) with the
    // reason when ssgVoiceProblem finds one. A note the SSG editor holds on it is heard anew.
    std::string setSsgVoice(int number, const SsgVoice& voice);
    // Makes the instrument an ADPCM-B instrument with these settings.
    void setPitchedSample(int number, const PitchedSample& pitched);
    // The instrument's note at `semitone` (chip_pitch's count) as a track would play it, on SSG
    // channel A or the ADPCM-B, held until previewKeyUp.
    void auditionPart(int number, int semitone);

    // ---- FM channel 1, where every preview plays --------------------------------------------
    // Who last keyed a preview note, which sounds until something keys it up.
    enum class PreviewSource { None, PatternEditor, TestKeyboard };
    // The voice channel 1 holds, as far as the editor knows: the last one a preview loaded, or
    // nothing after playback, whose track 1 loads its own voices there.
    const std::optional<VoiceBytes>& channel1Voice() const { return channel1Voice_; }
    PreviewSource heldPreview() const { return heldPreview_; }
    // Loads `voice` into channel 1; with `onlyIfChanged`, only when it holds another voice.
    void previewVoice(const VoiceBytes& voice, bool onlyIfChanged);
    void previewKeyDown(int note, int octave, PreviewSource source);
    void previewKeyUp();
    // Playback started: channel 1 now plays the song's voices.
    void channel1Taken();
    // The SSG and ADPCM-B previews: a note's sequence steps once a tick (every 16 ms); the
    // editor's instrument editors play their notes here too.
    ChipPartPreview& chipParts() { return chipParts_; }
    void previewTick() { chipParts_.tick(); }

  private:
    void resetEditorState();
    // The cursor and selection keep within the song's tracks.
    void fitToTracks();
    void notify(unsigned what, int track = 0, int row = 0);
    // Runs `change` as one undoable step over the parts in `scope` and tells the views; `what`
    // says what to redraw. Returns whether the song changed.
    bool applyEdit(const EditScope& scope, const std::function<void()>& change, unsigned what,
                   std::uint64_t mergeKey = 0, int track = 0, int row = 0);
    EditScope currentPatternScope() const { return EditScope::pattern(currentPattern_); }
    EditPlace place() const;
    void goTo(const EditPlace& place);
    void afterHistoryMove();
    void updateModified(unsigned what, int track, int row);
    void setSaved();
    void forgetHistory();
    // The cursor moved: typing no longer merges with the step before.
    void cursorMoved() { ++cursorEpoch_; }
    CellRect blockTarget() const;
    Cell& cursorCell();
    // A note value into the cursor's note field as one step, previewed, then the edit step down.
    void enterNote(std::uint8_t note, int octave);
    void previewNote(const Cell& cell);
    // The instrument a note typed at the cursor takes: the selected one, or on a drum track a kit.
    int noteInstrument() const;

    std::unique_ptr<Song> song_;
    std::unique_ptr<PatternClipboard> clipboard_;
    int currentPattern_ = 0;
    int orderSelection_ = 0;
    int octave_ = kDefaultOctave;
    int voiceIndex_ = 0;
    PatternCursor cursor_;
    KeyboardLayout layout_ = KeyboardLayout::Qwerty;
    bool modified_ = false;
    std::uint64_t revision_ = 0;
    EditHistory history_;
    std::uint64_t cursorEpoch_ = 1;
    int editStep_ = 1;
    std::optional<CellRect> selection_;
    int anchorTrack_ = 0;
    int anchorRow_ = 0;
    std::optional<CellBlock> block_;
    ChangeListener listener_;
    std::function<void(const std::string&)> hintListener_;
    bool ssgSharingTold_ = false;
    std::array<bool, kTrackKinds> foldedGroups_{};
    void applyFolding();
    int auditioned_ = 0;  // the instrument auditionPart holds, 0 for none
    int auditionedSemitone_ = 0;
    PreviewTarget* preview_ = nullptr;
    ChipPartPreview chipParts_;
    std::optional<VoiceBytes> channel1Voice_;
    PreviewSource heldPreview_ = PreviewSource::None;
};

}  // namespace qvx
