// The workspace's commands on whole tracks, blocks and instruments, and the editing keys that
// move the cursor by rows and tracks or shift a track's cells.
#include <algorithm>

#include "song/instrument_file.hpp"
#include "song/workspace.hpp"

namespace qvx {

using Change = WorkspaceChange;

// ---- Track and clipboard commands --------------------------------------------------------------

void Workspace::cutTrack(int track) {
    // The clipboard takes the track even when cutting changes nothing.
    applyEdit(
        currentPatternScope(), [&] { song_->cutTrack(currentPattern_, track, *clipboard_); },
        Change::kGrid);
}

void Workspace::pasteTrack(int track) {
    applyEdit(
        currentPatternScope(), [&] { song_->pasteTrack(currentPattern_, track, *clipboard_); },
        Change::kGrid);
}

void Workspace::pastePattern() {
    applyEdit(
        currentPatternScope(), [&] { song_->pastePattern(currentPattern_, *clipboard_); },
        Change::kGrid);
}

bool Workspace::shiftTrackOctaveDown(int track, const ConfirmFn& confirm) {
    bool done = false;
    applyEdit(
        currentPatternScope(),
        [&] { done = song_->shiftTrackOctaveDown(currentPattern_, track, confirm); },
        Change::kGrid);
    return done;
}

bool Workspace::shiftTrackOctaveUp(int track, const ConfirmFn& confirm) {
    bool done = false;
    applyEdit(
        currentPatternScope(),
        [&] { done = song_->shiftTrackOctaveUp(currentPattern_, track, confirm); }, Change::kGrid);
    return done;
}

// ---- Editing keys ------------------------------------------------------------------------------

void Workspace::setEditStep(int step) {
    step = std::clamp(step, 0, kMaxEditStep);
    if (step == editStep_) return;
    editStep_ = step;
    notify(Change::kEditStep);
}

void Workspace::moveToRow(int row) {
    const PatternCursor::Redraw redraw = cursor_.moveTo(row, cursor_.column());
    cursorMoved();
    const unsigned selection = selection_ ? Change::kSelection : 0u;
    selection_.reset();
    if (redraw != PatternCursor::Redraw::None || selection)
        notify((redraw == PatternCursor::Redraw::All ? Change::kGrid : Change::kCursor) |
               selection);
}

void Workspace::moveRows(int delta) {
    moveToRow(cursor_.row() + delta);
}

void Workspace::nextTrack(int direction) {
    const int tracks = song_->trackCount();
    int track = cursor_.track();
    do {  // past folded tracks; one is always shown, the cursor's
        track = (track + (direction < 0 ? tracks - 1 : 1)) % tracks;
    } while (cursor_.layout().folded(track));
    const PatternCursor::Redraw redraw = cursor_.moveTo(cursor_.row(), track * grid::kFields);
    cursorMoved();
    selection_.reset();
    if (redraw != PatternCursor::Redraw::None) notify(Change::kCursor | Change::kSelection);
}

void Workspace::insertCell() {
    applyEdit(
        currentPatternScope(),
        [&] { qvx::insertCell(song_->patterns[currentPattern_], cursor_.track(), cursor_.row()); },
        Change::kGrid);
}

void Workspace::removeCell() {
    applyEdit(
        currentPatternScope(),
        [&] { qvx::removeCell(song_->patterns[currentPattern_], cursor_.track(), cursor_.row()); },
        Change::kGrid);
}

// ---- Block selection ---------------------------------------------------------------------------

void Workspace::extendSelection(CursorMove move) {
    if (!selection_) {
        anchorTrack_ = cursor_.track();
        anchorRow_ = cursor_.row();
    }
    int row = cursor_.row();
    int column = cursor_.column();
    switch (move) {
        case CursorMove::Up:
            --row;
            break;
        case CursorMove::Down:
            ++row;
            break;
        case CursorMove::Left:
            column -= grid::kFields;
            break;
        case CursorMove::Right:
            column += grid::kFields;
            break;
        default:
            return;
    }
    if (column < 0 || column >= cursor_.columns()) column = cursor_.column();
    const PatternCursor::Redraw redraw = cursor_.moveTo(row, column);
    cursorMoved();
    selection_ = CellRect::spanning(anchorTrack_, anchorRow_, cursor_.track(), cursor_.row());
    notify((redraw == PatternCursor::Redraw::All ? Change::kGrid : Change::kCursor) |
           Change::kSelection);
}

void Workspace::dragTo(int x, int y) {
    const PatternCursor::Hit hit = cursor_.hit(x, y);
    if (hit.kind != PatternCursor::Hit::Kind::Cell) return;
    const std::optional<CellRect> before = selection_;
    const PatternCursor::Redraw redraw = cursor_.moveTo(hit.row, hit.column);
    cursorMoved();
    selection_ = CellRect::spanning(anchorTrack_, anchorRow_, hit.track, hit.row);
    if (selection_ != before || redraw != PatternCursor::Redraw::None)
        notify((redraw == PatternCursor::Redraw::All ? Change::kGrid : Change::kCursor) |
               Change::kSelection);
}

void Workspace::clearSelection() {
    if (!selection_) return;
    selection_.reset();
    notify(Change::kSelection);
}

CellRect Workspace::blockTarget() const {
    if (selection_) return *selection_;
    return {cursor_.track(), cursor_.row(), cursor_.track(), cursor_.row()};
}

void Workspace::copyBlock() {
    block_ = copyCells(currentPatternData(), blockTarget());
}

void Workspace::cutBlock() {
    copyBlock();
    deleteBlock();
}

void Workspace::deleteBlock() {
    applyEdit(
        currentPatternScope(), [&] { clearCells(song_->patterns[currentPattern_], blockTarget()); },
        Change::kGrid);
}

void Workspace::pasteBlock() {
    if (!block_) return;
    applyEdit(
        currentPatternScope(),
        [&] {
            pasteCells(song_->patterns[currentPattern_], *block_, cursor_.track(), cursor_.row(),
                       song_->trackCount());
        },
        Change::kGrid);
}

bool Workspace::transpose(int semitones, const ConfirmFn& confirm) {
    // Without a selection: the cursor's whole track.
    const CellRect rect =
        selection_.value_or(CellRect{cursor_.track(), 0, cursor_.track(), kRows - 1});
    Pattern& pattern = song_->patterns[currentPattern_];
    if (notesLeavingRange(pattern, rect, semitones) > 0 &&
        !(confirm && confirm(kOctaveLossQuestion)))
        return false;
    applyEdit(
        currentPatternScope(), [&] { transposeCells(pattern, rect, semitones); }, Change::kGrid);
    return true;
}

// ---- Instrument files --------------------------------------------------------------------------

Result Workspace::loadInstrument(int number, const std::filesystem::path& path) {
    Result result = Result::success();
    applyEdit(
        EditScope::instrument(number), [&] { result = loadInstrumentFile(*song_, number, path); },
        Change::kInstruments);
    return result;
}

Result Workspace::saveInstrument(int number, const std::filesystem::path& path) const {
    return saveInstrumentFile(*song_, number, path);
}

void Workspace::storeInstrument(int number, const VoiceBytes& voice) {
    applyEdit(
        EditScope::instrument(number), [&] { song_->setInstrumentRegisters(number, voice); },
        Change::kInstruments);
}

void Workspace::renameInstrument(int number, std::string_view userText) {
    if (userText.empty()) return;  // an empty name keeps the old one
    applyEdit(
        EditScope::instrument(number), [&] { song_->renameInstrument(number, userText); },
        Change::kInstruments);
}

// ---- The instrument a typed note takes ---------------------------------------------------------

int Workspace::noteInstrument() const {
    const int selected = selectedInstrument();
    const InstrumentKind wanted = instrumentKindFor(song_->trackKind(cursor_.track()));
    if (wanted == InstrumentKind::FmVoice) return selected;
    // A track of another part takes an instrument of its kind (a drum track a kit): the selected
    // instrument when it is one, else the one last played above the cursor on this track, else
    // the song's first.
    const auto fits = [&](int k) {
        return k >= 1 && k <= song_->instrumentCount() &&
               song_->instruments[static_cast<std::size_t>(k)].kind == wanted;
    };
    if (fits(selected)) return selected;
    const Track& cells = currentPatternData().tracks[static_cast<std::size_t>(cursor_.track())];
    for (int row = cursor_.row() - 1; row >= 0; --row)
        if (cells[row].note <= kNoteB && fits(cells[row].instrument)) return cells[row].instrument;
    for (int k = 1; k <= song_->instrumentCount(); ++k)
        if (fits(k)) return k;
    return selected;
}

void Workspace::setGroupFolded(TrackKind group, bool folded) {
    foldedGroups_[static_cast<std::size_t>(group)] = folded;
    applyFolding();
    notify(Change::kGrid | Change::kCursor);
}

void Workspace::applyFolding() {
    std::vector<bool> folded;
    for (int t = 0; t < song_->trackCount(); ++t)
        folded.push_back(song_->kind == SongKind::WholeChip &&
                         foldedGroups_[static_cast<std::size_t>(song_->trackKind(t))]);
    // Every group folded would leave nowhere for the cursor: its own track stays open.
    if (std::all_of(folded.begin(), folded.end(), [](bool f) { return f; }))
        folded[static_cast<std::size_t>(cursor_.track())] = false;
    cursor_.setFolded(std::move(folded));
}

}  // namespace qvx
