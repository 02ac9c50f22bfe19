#include "song/instrument_editing.hpp"

#include <algorithm>
#include <cstdio>

namespace qvx {
namespace {

const VoiceBytes& storedVoice(const Workspace& workspace, int instrument) {
    return workspace.song().instruments[instrument].registers;
}

}  // namespace

std::string storeQuestion(int instrument) {
    char text[64];
    std::snprintf(text, sizeof text, "Store changes to Instrument %d first?", instrument);
    return text;
}

InstrumentEditing::InstrumentEditing(Workspace& workspace, ConfirmFn ask)
    : workspace_(workspace), ask_(std::move(ask)) {
    show(0);
}

void InstrumentEditing::show(int index) {
    current_ = std::clamp(index, 0, kInstrumentCount - 1);
    fieldsFrom_ = current_ + 1;
    fields_ = VoiceFields::decode(storedVoice(workspace_, fieldsFrom_));
    edited_ = false;
}

void InstrumentEditing::askToStore(int instrument) {
    // Only the user's edits are worth the question: fields left from another song (after Open)
    // would otherwise ask to overwrite the new song's instrument with the old one's.
    if (!edited_ || !qvx::fieldsDiffer(fields_, storedVoice(workspace_, instrument))) return;
    if (ask_ && ask_(storeQuestion(instrument)))
        workspace_.storeInstrument(instrument, fields_.encode());
    // Answered once: "No" to Close Window means the edit is dropped, not asked again on the
    // next show.
    edited_ = false;
}

void InstrumentEditing::setFields(const VoiceFields& fields) {
    fields_ = fields;
    edited_ = true;
    if (workspace_.heldPreview() == Workspace::PreviewSource::TestKeyboard)
        workspace_.previewVoice(fields_.encode(), true);
}

bool InstrumentEditing::fieldsDiffer() const {
    return qvx::fieldsDiffer(fields_, storedVoice(workspace_, currentInstrument()));
}

void InstrumentEditing::shownOrHidden() {
    current_ = 0;
}

void InstrumentEditing::select(int index) {
    askToStore(fieldsFrom_);
    show(index);
}

void InstrumentEditing::choose(int index) {
    if (index != current_) askToStore(currentInstrument());
    show(index);
}

void InstrumentEditing::store() {
    workspace_.storeInstrument(currentInstrument(), fields_.encode());
    fieldsFrom_ = currentInstrument();
    edited_ = false;
}

void InstrumentEditing::clear() {
    fields_ = VoiceFields::decode(VoiceBytes{});
    edited_ = true;
}

void InstrumentEditing::closing() {
    askToStore(currentInstrument());
}

void InstrumentEditing::rename(std::string_view userText) {
    workspace_.renameInstrument(currentInstrument(), userText);
}

Result InstrumentEditing::load(const std::filesystem::path& path) {
    const int index = current_;
    Result result = workspace_.loadInstrument(index + 1, path);
    if (result) show(index);
    return result;
}

Result InstrumentEditing::save(const std::filesystem::path& path) {
    return workspace_.saveInstrument(currentInstrument(), path);
}

std::string InstrumentEditing::proposedSaveName() const {
    std::string name = workspace_.song().instrumentUserName(currentInstrument());
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\0', '_');
    return name;
}

void InstrumentEditing::testKey(int x, int y) {
    if (const std::optional<int> note = test_keyboard::noteAt(x, y)) playKey(*note, octave_);
}

void InstrumentEditing::playKey(int note, int octave) {
    workspace_.previewVoice(fields_.encode(), true);
    lastKey_ = {note, test_keyboard::octaveFor(note, octave)};
    auditioning_ = false;
    workspace_.previewKeyDown(lastKey_.first, lastKey_.second,
                              Workspace::PreviewSource::TestKeyboard);
}

void InstrumentEditing::mute() {
    auditioning_ = false;
    workspace_.previewKeyUp();
}

bool InstrumentEditing::audition(const VoiceBytes& voice) {
    const bool held =
        workspace_.heldPreview() == Workspace::PreviewSource::TestKeyboard && !auditioning_;
    // Loading a voice keys the channel off, so the held note is played again on it. The next
    // test key or field edit finds another voice in the channel and loads the fields' again.
    workspace_.previewVoice(voice, false);
    const auto [note, octave] =
        held ? lastKey_ : std::pair{0, test_keyboard::octaveFor(0, octave_)};
    workspace_.previewKeyDown(note, octave, Workspace::PreviewSource::TestKeyboard);
    auditioning_ = !held;
    return auditioning_;
}

void InstrumentEditing::endAudition() {
    if (auditioning_ && workspace_.heldPreview() == Workspace::PreviewSource::TestKeyboard)
        workspace_.previewKeyUp();
    auditioning_ = false;
}

}  // namespace qvx
