#include "song/workspace.hpp"

#include <algorithm>

#include "song/song_file.hpp"
#include "song/ssg_sharing.hpp"

namespace qvx {

using Change = WorkspaceChange;

Workspace::Workspace()
    : song_(std::make_unique<Song>()), clipboard_(std::make_unique<PatternClipboard>()) {
    resetEditorState();
}

void Workspace::notify(unsigned what, int track, int row) {
    ++revision_;
    if (listener_) listener_(Change{what, track, row});
}

bool Workspace::applyEdit(const EditScope& scope, const std::function<void()>& change,
                          unsigned what, std::uint64_t mergeKey, int track, int row) {
    EditStep step;
    step.place = place();
    step.before = scope.capture(*song_);
    change();
    step.after = scope.capture(*song_);
    if (step.after == step.before) return false;
    step.mergeKey = mergeKey;
    history_.record(std::move(step));
    updateModified(what | Change::kHistory, track, row);
    return true;
}

void Workspace::updateModified(unsigned what, int track, int row) {
    const bool wasModified = modified_;
    modified_ = !history_.atSaved();
    notify(what | (wasModified != modified_ ? Change::kModified : 0u), track, row);
}

void Workspace::setSaved() {
    history_.markSaved();
    const bool wasModified = modified_;
    modified_ = false;
    if (wasModified) notify(Change::kModified);
}

void Workspace::forgetHistory() {
    history_.clear();
    selection_.reset();
    modified_ = false;
}

EditPlace Workspace::place() const {
    return {currentPattern_, cursor_.row(), cursor_.column(), orderSelection_};
}

void Workspace::goTo(const EditPlace& at) {
    currentPattern_ = std::clamp(at.pattern, 0, std::max(song_->patternCount - 1, 0));
    const int orders = static_cast<int>(song_->order.size());
    orderSelection_ = at.orderSelection < orders ? at.orderSelection : orders - 1;
    cursor_.moveTo(at.row, at.column);
    selection_.reset();
    cursorMoved();
}

void Workspace::afterHistoryMove() {
    // Undoing a conversion takes the tracks and instruments beyond a classic song's away.
    if (voiceIndex_ >= song_->instrumentCount()) voiceIndex_ = song_->instrumentCount() - 1;
    fitToTracks();
    updateModified(Change::kGrid | Change::kPatternSelector | Change::kOrder |
                       Change::kInstruments | Change::kCursor | Change::kSelection |
                       Change::kHistory | Change::kSongKind | Change::kVoice,
                   0, 0);
}

bool Workspace::undo() {
    const EditStep* step = history_.undo();
    if (!step) return false;
    restore(*song_, step->before);
    goTo(step->place);
    afterHistoryMove();
    return true;
}

bool Workspace::redo() {
    const EditStep* step = history_.redo();
    if (!step) return false;
    restore(*song_, step->after);
    goTo(step->place);
    afterHistoryMove();
    return true;
}

void Workspace::fitToTracks() {
    cursor_.setTrackCount(song_->trackCount());
    applyFolding();
    if (selection_ && selection_->lastTrack >= song_->trackCount()) selection_.reset();
}

void Workspace::resetEditorState() {
    fitToTracks();
    octave_ = kDefaultOctave;
    currentPattern_ = 0;
    orderSelection_ = song_->order.empty() ? kNoSelection : 0;
}

// ---- File menu ---------------------------------------------------------------------------------

void Workspace::newProject() {
    song_->reset();
    resetEditorState();
    forgetHistory();
    notify(Change::kEverything);
}

void Workspace::newWholeChipSong() {
    song_->resetWholeChip();
    resetEditorState();
    forgetHistory();
    notify(Change::kEverything);
}

bool Workspace::convertToWholeChip() {
    if (song_->kind == SongKind::WholeChip) return false;
    EditScope scope;
    scope.kind = true;
    return applyEdit(
        scope,
        [&] {
            song_->convertToWholeChip();
            fitToTracks();
        },
        Change::kSongKind | Change::kGrid | Change::kInstruments);
}

Result Workspace::open(const std::filesystem::path& path) {
    auto loaded = std::make_unique<Song>();
    Result result = openSong(path, *loaded);
    if (result) replaceSong(std::move(loaded));
    return result;
}

Result Workspace::importMod(const std::filesystem::path& path, ModImportReport* report,
                            const ModImportOptions& options) {
    auto imported = std::make_unique<Song>();
    Result result = qvx::importMod(path, *imported, report, options);
    if (result) replaceSong(std::move(imported));
    return result;
}

void Workspace::replaceSong(std::unique_ptr<Song> song) {
    song_ = std::move(song);
    // The first order entry is selected, the one whose pattern 00 is shown.
    resetEditorState();
    forgetHistory();
    notify(Change::kEverything);
}

void Workspace::restoreUnsaved(std::unique_ptr<Song> song) {
    replaceSong(std::move(song));
    history_.markNothingSaved();
    modified_ = true;
    notify(Change::kModified);
}

Result Workspace::save(const std::filesystem::path& path) {
    Result result = saveSong(*song_, path);
    if (result) setSaved();
    return result;
}

// ---- Pattern selector --------------------------------------------------------------------------

std::string Workspace::patternNumberText() const {
    return qvx::patternNumberText(currentPattern_);
}

bool Workspace::previousPattern() {
    if (currentPattern_ <= 0) return false;
    --currentPattern_;
    selection_.reset();
    cursorMoved();
    notify(Change::kPatternSelector | Change::kGrid);
    return true;
}

bool Workspace::nextPattern() {
    if (currentPattern_ >= song_->patternCount - 1) return false;
    ++currentPattern_;
    selection_.reset();
    cursorMoved();
    notify(Change::kPatternSelector | Change::kGrid);
    return true;
}

bool Workspace::newPattern() {
    if (song_->patternCount >= kMaxPatterns) return false;
    const int index = song_->patternCount;
    applyEdit(
        EditScope::newPattern(index), [&] { song_->addPattern(); }, 0);
    currentPattern_ = index;
    selection_.reset();
    cursorMoved();
    notify(Change::kPatternSelector | Change::kGrid | Change::kSelection);
    return true;
}

void Workspace::renameCurrentPattern(std::string_view text) {
    applyEdit(
        currentPatternScope(), [&] { song_->renamePattern(currentPattern_, text); },
        Change::kPatternSelector);
}

// ---- Order list --------------------------------------------------------------------------------

std::string Workspace::orderEntryText(std::size_t position) const {
    return qvx::orderEntryText(static_cast<int>(position), song_->order.at(position));
}

std::vector<std::string> Workspace::orderEntryTexts() const {
    std::vector<std::string> texts;
    texts.reserve(song_->order.size());
    for (std::size_t k = 0; k < song_->order.size(); ++k)
        texts.push_back(orderEntryText(k));
    return texts;
}

bool Workspace::appendOrder() {
    auto& order = song_->order;
    if (order.size() >= kMaxOrderEntries) return false;
    applyEdit(
        EditScope::orderList(),
        [&] { order.push_back(static_cast<std::uint8_t>(currentPattern_)); }, 0);
    orderSelection_ = static_cast<int>(order.size()) - 1;
    notify(Change::kOrder);
    return true;
}

bool Workspace::insertOrder() {
    auto& order = song_->order;
    if (order.size() >= kMaxOrderEntries) return false;
    if (orderSelection_ == kNoSelection) return appendOrder();
    applyEdit(
        EditScope::orderList(),
        [&] {
            order.insert(order.begin() + orderSelection_,
                         static_cast<std::uint8_t>(currentPattern_));
        },
        Change::kOrder);
    return true;
}

bool Workspace::updateOrder() {
    if (orderSelection_ == kNoSelection) return false;
    applyEdit(
        EditScope::orderList(),
        [&] { song_->order[orderSelection_] = static_cast<std::uint8_t>(currentPattern_); },
        Change::kOrder);
    return true;
}

bool Workspace::deleteOrder() {
    auto& order = song_->order;
    // The list is never emptied: a song always has somewhere to start playing.
    if (orderSelection_ == kNoSelection || order.size() <= 1) return false;
    applyEdit(
        EditScope::orderList(), [&] { order.erase(order.begin() + orderSelection_); }, 0);
    orderSelection_ = std::max(orderSelection_ - 1, 0);
    notify(Change::kOrder);
    return true;
}

void Workspace::selectOrder(int position) {
    if (position < 0 || position >= static_cast<int>(song_->order.size())) {
        orderSelection_ = kNoSelection;
        notify(Change::kOrder);
        return;
    }
    orderSelection_ = position;
    const int pattern = song_->order[position];
    // An entry naming a pattern that does not exist (only from a damaged file) selects nothing.
    if (pattern < song_->patternCount && pattern != currentPattern_) {
        currentPattern_ = pattern;
        selection_.reset();
        cursorMoved();
    }
    notify(Change::kOrder | Change::kPatternSelector | Change::kGrid | Change::kSelection);
}

void Workspace::follow(int pattern, int orderEntry, int row) {
    unsigned what = 0;
    if (pattern >= 0 && pattern < song_->patternCount && pattern != currentPattern_) {
        currentPattern_ = pattern;
        selection_.reset();
        cursorMoved();
        what |= Change::kPatternSelector | Change::kGrid | Change::kSelection;
    }
    if (orderEntry >= 0 && orderEntry < static_cast<int>(song_->order.size()) &&
        orderEntry != orderSelection_) {
        orderSelection_ = orderEntry;
        what |= Change::kOrder;
    }
    if (cursor_.reveal(row) == PatternCursor::Redraw::All) what |= Change::kGrid;
    if (what) notify(what);
}

// ---- Control bar -------------------------------------------------------------------------------

void Workspace::setOctave(int octave) {
    octave = std::clamp(octave, kMinOctave, kMaxOctave);
    if (octave == octave_) return;
    octave_ = octave;
    notify(Change::kOctave);
}

void Workspace::setVoiceIndex(int index) {
    index =
        index == kNoSelection ? kNoSelection : std::clamp(index, 0, song_->instrumentCount() - 1);
    if (index == voiceIndex_) return;
    voiceIndex_ = index;
    notify(Change::kVoice);
}

std::vector<std::string> Workspace::voiceListEntries() const {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(song_->instrumentCount()));
    // A whole-chip song's list says which instruments are not FM voices.
    for (int k = 1; k <= song_->instrumentCount(); ++k) {
        const Instrument& instrument = song_->instruments[k];
        names.push_back(instrument.kind == InstrumentKind::FmVoice
                            ? instrument.name
                            : instrument.name + " (" + instrumentKindName(instrument.kind) + ")");
    }
    return names;
}

// ---- Pattern editor ----------------------------------------------------------------------------

void Workspace::setVisibleRows(int rows) {
    const int top = cursor_.topRow();
    const int before = cursor_.visibleRows();
    cursor_.setVisibleRows(rows);
    if (cursor_.topRow() != top || cursor_.visibleRows() != before) notify(Change::kGrid);
}

PatternCursor::Redraw Workspace::moveCursor(CursorMove move, int thumbPosition) {
    using Redraw = PatternCursor::Redraw;
    Redraw redraw = Redraw::None;
    switch (move) {
        case CursorMove::Left:
            redraw = cursor_.left();
            break;
        case CursorMove::Right:
            redraw = cursor_.right();
            break;
        case CursorMove::Up:
            redraw = cursor_.up();
            break;
        case CursorMove::Down:
            redraw = cursor_.down();
            break;
        case CursorMove::LineUp:
            redraw = cursor_.lineUp();
            break;
        case CursorMove::LineDown:
            redraw = cursor_.lineDown();
            break;
        case CursorMove::PageUp:
            redraw = cursor_.pageUp();
            break;
        case CursorMove::PageDown:
            redraw = cursor_.pageDown();
            break;
        case CursorMove::Thumb:
            redraw = cursor_.thumb(thumbPosition);
            break;
    }
    cursorMoved();
    // A cursor key ends the selection; the scroll bar leaves it.
    const bool key = move == CursorMove::Left || move == CursorMove::Right ||
                     move == CursorMove::Up || move == CursorMove::Down;
    const unsigned selection = key && selection_ ? Change::kSelection : 0u;
    if (key) selection_.reset();
    if (redraw == Redraw::All) notify(Change::kGrid | selection);
    if (redraw == Redraw::Cursor) notify(Change::kCursor | selection);
    if (redraw == Redraw::None && selection) notify(selection);
    return redraw;
}

void Workspace::click(int x, int y) {
    const PatternCursor::Hit hit = cursor_.hit(x, y);
    switch (hit.kind) {
        case PatternCursor::Hit::Kind::TrackHeader:
            toggleTrack(hit.track);
            break;
        case PatternCursor::Hit::Kind::Cell: {
            const bool hadSelection = selection_.has_value();
            selection_.reset();
            anchorTrack_ = hit.track;
            anchorRow_ = hit.row;
            cursorMoved();
            const bool moved = cursor_.place(hit.row, hit.column) != PatternCursor::Redraw::None;
            if (moved || hadSelection)
                notify((moved ? Change::kCursor : 0u) | (hadSelection ? Change::kSelection : 0u));
            break;
        }
        case PatternCursor::Hit::Kind::None:
            break;
    }
}

Cell& Workspace::cursorCell() {
    return song_->patterns[currentPattern_].cell(cursor_.track(), cursor_.row());
}

bool Workspace::typeChar(char32_t key) {
    Cell& cell = cursorCell();
    const int track = cursor_.track();
    const int row = cursor_.row();
    // Digits typed into one field, without the cursor moving, are one step.
    const std::uint64_t mergeKey =
        cursorEpoch_ << 16 | std::uint64_t(currentPattern_) << 8 | std::uint64_t(cursor_.column());
    Cell typed = cell;
    const auto stored = [&](std::uint64_t merge) {
        applyEdit(
            currentPatternScope(), [&] { cell = typed; }, Change::kCell, merge, track, row);
    };

    switch (cursor_.field()) {
        case grid::kNoteField: {
            const auto note = noteForKey(key, layout_);
            if (!note) return false;
            enterNote(*note, octave_);
            return true;
        }
        case grid::kOctaveField: {
            const auto octave = octaveForKey(key);
            if (!octave) return false;
            typed.octave = *octave;
            stored(mergeKey);
            setOctave(*octave);  // the notes that follow take it
            return true;
        }
        case grid::kInstrumentField: {
            const auto digit = digitForKey(key);
            if (!digit) return false;
            typed.instrument = typeInstrumentDigit(cell.instrument, *digit);
            stored(mergeKey);
            const bool none = cell.instrument == 0 || cell.instrument == kNone;
            setVoiceIndex(none ? kNoSelection : cell.instrument - 1);
            return true;
        }
        case grid::kEffectField: {
            const auto effect = typedEffect(cell.effect, key, song_->kind == SongKind::WholeChip);
            if (!effect) return false;
            typed.effect = *effect;
            stored(mergeKey);
            return true;
        }
        default: {
            const auto parameter =
                typedParameter(cell.parameter, key, song_->kind == SongKind::WholeChip);
            if (!parameter) return false;
            typed.parameter = *parameter;
            stored(mergeKey);
            return true;
        }
    }
}

void Workspace::enterNote(std::uint8_t note, int octave) {
    Cell& cell = cursorCell();
    const Cell typed = note < kNoteEmpty ? Cell{note, static_cast<std::uint8_t>(octave),
                                                static_cast<std::uint8_t>(noteInstrument()), 0, 0}
                                         : Cell{note, kNone, kNone, kNone, kNone};
    applyEdit(
        currentPatternScope(), [&] { cell = typed; }, Change::kCell, 0, cursor_.track(),
        cursor_.row());
    if (note < kNoteEmpty) previewNote(cell);
    if (note < kNoteEmpty && !ssgSharingTold_ && hintListener_) {
        const std::string clash =
            ssgSharingClash(*song_, song_->patterns[static_cast<std::size_t>(currentPattern_)],
                            cursor_.track(), cursor_.row());
        if (!clash.empty()) {
            ssgSharingTold_ = true;
            hintListener_(clash);
        }
    }
    for (int i = 0; i < editStep_; ++i)
        moveCursor(CursorMove::Down);
}

bool Workspace::playNote(int note, int octave) {
    if (cursor_.field() == grid::kNoteField) {
        enterNote(static_cast<std::uint8_t>(note), octave);
        return true;
    }
    previewNote(Cell{static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(octave),
                     static_cast<std::uint8_t>(noteInstrument()), 0, 0});
    return false;
}

void Workspace::previewNote(const Cell& cell) {
    // A cell without a voice (instrument 0) plays the first instrument, as the driver does.
    const int instrument =
        cell.instrument >= 1 && cell.instrument <= song_->instrumentCount() ? cell.instrument : 1;
    const int track = cursor_.track();
    const Instrument& chosen = song_->instruments[static_cast<std::size_t>(instrument)];
    if (cell.note <= kNoteB && chosen.kind == instrumentKindFor(song_->trackKind(track))) {
        // The SSG and the ADPCM-B play the note as the driver would, on the track's channel.
        // Held, as an FM note is, until a key-up (Note Off on Key Release) or the next note.
        const int pitch = semitone(cell.note, cell.octave);
        if (chosen.kind == InstrumentKind::SsgVoice) {
            heldPreview_ = PreviewSource::PatternEditor;
            return chipParts_.ssgNote(chosen.ssg, trackChannel(song_->kind, track), pitch);
        }
        if (chosen.kind == InstrumentKind::AdpcmBSample) {
            heldPreview_ = PreviewSource::PatternEditor;
            return chipParts_.pitchedNote(chosen.pitched, pitch);
        }
    }
    if (song_->trackKind(track) == TrackKind::AdpcmA) {
        // A drum track sounds the kit's sample for the note on its own channel, whatever octave.
        const Instrument& kit = song_->instruments[static_cast<std::size_t>(instrument)];
        if (kit.kind != InstrumentKind::AdpcmAKit || cell.note > kNoteB) return;
        const KitNote& hit = kit.kit.notes[cell.note];
        if (hit.sample && preview_)
            preview_->playSample(hit.sample->pcm, trackChannel(song_->kind, track), hit.level);
        return;
    }
    previewKeyUp();
    previewVoice(song_->instruments[instrument].registers, false);
    // The library's C is the one of the block above.
    previewKeyDown(cell.note, cell.octave - (cell.note == kNoteC ? 1 : 0),
                   PreviewSource::PatternEditor);
}

void Workspace::previewVoice(const VoiceBytes& voice, bool onlyIfChanged) {
    if (onlyIfChanged && channel1Voice_ == voice) return;
    channel1Voice_ = voice;
    if (preview_) preview_->loadInstrument(voice);
}

void Workspace::previewKeyDown(int note, int octave, PreviewSource source) {
    heldPreview_ = source;
    if (preview_) preview_->keyDown(note, octave);
}

void Workspace::previewKeyUp() {
    heldPreview_ = PreviewSource::None;
    if (preview_) preview_->keyUp();
    chipParts_.release();
}

void Workspace::channel1Taken() {
    channel1Voice_.reset();
    heldPreview_ = PreviewSource::None;
    chipParts_.silence();  // the song's own notes play there now
}

void Workspace::endKey() {
    Cell& cell = cursorCell();
    applyEdit(
        currentPatternScope(),
        [&] {
            cell = Cell{kNoteEnd, kNone, kNone, kNone, kNone};
        },
        Change::kCell, 0, cursor_.track(), cursor_.row());
    moveCursor(CursorMove::Down);
}

void Workspace::setKeyboardLayout(KeyboardLayout layout) {
    if (layout == layout_) return;
    layout_ = layout;
    notify(Change::kLayout);
}

void Workspace::toggleTrack(int track) {
    song_->toggleTrack(track);
    notify(Change::kTrackEnables, track);
}

}  // namespace qvx
