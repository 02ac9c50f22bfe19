#include "song/workspace.hpp"

#include <algorithm>

#include "song/instrument_file.hpp"
#include "song/song_file.hpp"

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

void Workspace::edited(unsigned what, int track, int row) {
    const bool wasModified = modified_;
    modified_ = true;
    notify(what | (wasModified ? 0u : Change::kModified), track, row);
}

void Workspace::setSaved() {
    const bool wasModified = modified_;
    modified_ = false;
    if (wasModified) notify(Change::kModified);
}

void Workspace::resetEditorState() {
    octave_ = kDefaultOctave;
    currentPattern_ = 0;
    orderSelection_ = song_->order.empty() ? kNoSelection : 0;
}

void Workspace::selectLastOrderEntry() {
    orderSelection_ =
        song_->order.empty() ? kNoSelection : static_cast<int>(song_->order.size()) - 1;
}

// ---- File menu ---------------------------------------------------------------------------------

void Workspace::newProject() {
    song_->reset();
    resetEditorState();
    modified_ = false;
    notify(Change::kEverything);
}

Result Workspace::open(const std::filesystem::path& path) {
    auto loaded = std::make_unique<Song>();
    Result result = openSong(path, *loaded);
    if (result) replaceSong(std::move(loaded));
    return result;
}

Result Workspace::importMod(const std::filesystem::path& path, ModImportReport* report) {
    auto imported = std::make_unique<Song>();
    Result result = qvx::importMod(path, *imported, report);
    if (result) replaceSong(std::move(imported));
    return result;
}

void Workspace::replaceSong(std::unique_ptr<Song> song) {
    song_ = std::move(song);
    resetEditorState();
    selectLastOrderEntry();
    modified_ = false;
    notify(Change::kEverything);
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
    notify(Change::kPatternSelector | Change::kGrid);
    return true;
}

bool Workspace::nextPattern() {
    if (currentPattern_ >= song_->patternCount - 1) return false;
    ++currentPattern_;
    notify(Change::kPatternSelector | Change::kGrid);
    return true;
}

bool Workspace::newPattern() {
    auto index = song_->addPattern();
    if (!index) return false;
    currentPattern_ = *index;
    edited(Change::kPatternSelector | Change::kGrid);
    return true;
}

void Workspace::renameCurrentPattern(std::string_view text) {
    const std::string before = currentPatternName();
    song_->renamePattern(currentPattern_, text);
    if (currentPatternName() != before) edited(Change::kPatternSelector);
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
    order.push_back(static_cast<std::uint8_t>(currentPattern_));
    orderSelection_ = static_cast<int>(order.size()) - 1;
    edited(Change::kOrder);
    return true;
}

bool Workspace::insertOrder() {
    auto& order = song_->order;
    if (order.size() >= kMaxOrderEntries) return false;
    if (orderSelection_ == kNoSelection) return appendOrder();
    order.insert(order.begin() + orderSelection_, static_cast<std::uint8_t>(currentPattern_));
    edited(Change::kOrder);
    return true;
}

bool Workspace::updateOrder() {
    if (orderSelection_ == kNoSelection) return false;
    auto& entry = song_->order[orderSelection_];
    if (entry == currentPattern_) return true;
    entry = static_cast<std::uint8_t>(currentPattern_);
    edited(Change::kOrder);
    return true;
}

bool Workspace::deleteOrder() {
    auto& order = song_->order;
    // The list is never emptied: a song always has somewhere to start playing.
    if (orderSelection_ == kNoSelection || order.size() <= 1) return false;
    order.erase(order.begin() + orderSelection_);
    orderSelection_ = std::max(orderSelection_ - 1, 0);
    edited(Change::kOrder);
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
    if (pattern < song_->patternCount) currentPattern_ = pattern;
    notify(Change::kOrder | Change::kPatternSelector | Change::kGrid);
}

// ---- Control bar -------------------------------------------------------------------------------

void Workspace::setOctave(int octave) {
    octave = std::clamp(octave, kMinOctave, kMaxOctave);
    if (octave == octave_) return;
    octave_ = octave;
    notify(Change::kOctave);
}

void Workspace::setVoiceIndex(int index) {
    index = index == kNoSelection ? kNoSelection : std::clamp(index, 0, kInstrumentCount - 1);
    if (index == voiceIndex_) return;
    voiceIndex_ = index;
    notify(Change::kVoice);
}

std::vector<std::string> Workspace::voiceListEntries() const {
    std::vector<std::string> names;
    names.reserve(kInstrumentCount);
    for (int k = 1; k <= kInstrumentCount; ++k)
        names.push_back(song_->instruments[k].name);
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
    if (redraw == Redraw::All) notify(Change::kGrid);
    if (redraw == Redraw::Cursor) notify(Change::kCursor);
    return redraw;
}

void Workspace::click(int x, int y) {
    const PatternCursor::Hit hit = cursor_.hit(x, y);
    switch (hit.kind) {
        case PatternCursor::Hit::Kind::TrackHeader:
            toggleTrack(hit.track);
            break;
        case PatternCursor::Hit::Kind::Cell:
            if (cursor_.place(hit.row, hit.column) != PatternCursor::Redraw::None)
                notify(Change::kCursor);
            break;
        case PatternCursor::Hit::Kind::None:
            break;
    }
}

Cell& Workspace::cursorCell() {
    return song_->patterns[currentPattern_].cell(cursor_.track(), cursor_.row());
}

bool Workspace::typeChar(char32_t key) {
    Cell& cell = cursorCell();
    const Cell before = cell;
    const int track = cursor_.track();
    const int row = cursor_.row();
    const auto stored = [&] {
        if (cell != before) edited(Change::kCell, track, row);
    };

    switch (cursor_.field()) {
        case grid::kNoteField: {
            const auto note = noteForKey(key, layout_);
            if (!note) return false;
            if (*note < kNoteEmpty)
                cell = Cell{*note, static_cast<std::uint8_t>(octave_),
                            static_cast<std::uint8_t>(selectedInstrument()), 0, 0};
            else
                cell = Cell{*note, kNone, kNone, kNone, kNone};
            stored();
            if (*note < kNoteEmpty) previewNote(cell);
            moveCursor(CursorMove::Down);
            return true;
        }
        case grid::kOctaveField: {
            const auto octave = octaveForKey(key);
            if (!octave) return false;
            cell.octave = *octave;
            stored();
            setOctave(*octave);  // the notes that follow take it
            return true;
        }
        case grid::kInstrumentField: {
            const auto digit = digitForKey(key);
            if (!digit) return false;
            cell.instrument = typeInstrumentDigit(cell.instrument, *digit);
            stored();
            const bool none = cell.instrument == 0 || cell.instrument == kNone;
            setVoiceIndex(none ? kNoSelection : cell.instrument - 1);
            return true;
        }
        case grid::kEffectField: {
            const auto digit = digitForKey(key);
            if (!digit) return false;
            cell.effect = typeEffectDigit(cell.effect, *digit);
            stored();
            return true;
        }
        default: {
            const auto digit = digitForKey(key);
            if (!digit) return false;
            cell.parameter = typeParameterDigit(cell.parameter, *digit);
            stored();
            return true;
        }
    }
}

void Workspace::previewNote(const Cell& cell) {
    // A cell without a voice (instrument 0) plays the first instrument, as the driver does.
    const int instrument =
        cell.instrument >= 1 && cell.instrument <= kInstrumentCount ? cell.instrument : 1;
    previewKeyUp();
    previewVoice(song_->instruments[instrument].registers, false);
    // The library's C is the one of the block above.
    previewKeyDown(cell.note, octave_ - (cell.note == kNoteC ? 1 : 0),
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
}

void Workspace::channel1Taken() {
    channel1Voice_.reset();
    heldPreview_ = PreviewSource::None;
}

void Workspace::endKey() {
    Cell& cell = cursorCell();
    const Cell end{kNoteEnd, kNone, kNone, kNone, kNone};
    if (cell != end) {
        cell = end;
        edited(Change::kCell, cursor_.track(), cursor_.row());
    }
    moveCursor(CursorMove::Down);
}

void Workspace::setKeyboardLayout(KeyboardLayout layout) {
    if (layout == layout_) return;
    layout_ = layout;
    notify(Change::kLayout);
}

void Workspace::toggleTrack(int track) {
    song_->toggleTrack(track);
    notify(Change::kTracks, track);
}

// ---- Track and clipboard commands --------------------------------------------------------------

void Workspace::cutTrack(int track) {
    const Track before = currentPatternData().tracks[track];
    song_->cutTrack(currentPattern_, track, *clipboard_);
    if (currentPatternData().tracks[track] != before) edited(Change::kGrid);
}

void Workspace::pasteTrack(int track) {
    const Track before = currentPatternData().tracks[track];
    song_->pasteTrack(currentPattern_, track, *clipboard_);
    if (currentPatternData().tracks[track] != before) edited(Change::kGrid);
}

void Workspace::pastePattern() {
    const TrackSet before = currentPatternData().tracks;
    song_->pastePattern(currentPattern_, *clipboard_);
    if (currentPatternData().tracks != before) edited(Change::kGrid);
}

bool Workspace::shiftTrackOctaveDown(int track, const ConfirmFn& confirm) {
    const Track before = currentPatternData().tracks[track];
    const bool done = song_->shiftTrackOctaveDown(currentPattern_, track, confirm);
    if (currentPatternData().tracks[track] != before) edited(Change::kGrid);
    return done;
}

bool Workspace::shiftTrackOctaveUp(int track, const ConfirmFn& confirm) {
    const Track before = currentPatternData().tracks[track];
    const bool done = song_->shiftTrackOctaveUp(currentPattern_, track, confirm);
    if (currentPatternData().tracks[track] != before) edited(Change::kGrid);
    return done;
}

// ---- Instrument files --------------------------------------------------------------------------

Result Workspace::loadInstrument(int number, const std::filesystem::path& path) {
    Result result = loadInstrumentFile(*song_, number, path);
    if (result) edited(Change::kInstruments);
    return result;
}

Result Workspace::saveInstrument(int number, const std::filesystem::path& path) const {
    return saveInstrumentFile(*song_, number, path);
}

void Workspace::storeInstrument(int number, const VoiceBytes& voice) {
    if (song_->instruments[number].registers == voice) return;
    song_->setInstrumentRegisters(number, voice);
    edited(Change::kInstruments);
}

void Workspace::renameInstrument(int number, std::string_view userText) {
    if (userText.empty()) return;  // an empty name keeps the old one
    const std::string before = song_->instruments[number].name;
    song_->renameInstrument(number, userText);
    if (song_->instruments[number].name != before) edited(Change::kInstruments);
}

}  // namespace qvx
