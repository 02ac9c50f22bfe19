#include "song/workspace.hpp"

#include <algorithm>

#include "song/instrument_file.hpp"
#include "song/song_file.hpp"

namespace qvx {

Workspace::Workspace()
    : song_(std::make_unique<Song>()), clipboard_(std::make_unique<PatternClipboard>()) {
    resetEditorState();
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

void Workspace::newProject() {
    song_->reset();
    resetEditorState();
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
}

Result Workspace::save(const std::filesystem::path& path) const {
    return saveSong(*song_, path);
}

std::string Workspace::patternNumberText() const {
    return qvx::patternNumberText(currentPattern_);
}

bool Workspace::previousPattern() {
    if (currentPattern_ <= 0) return false;
    --currentPattern_;
    return true;
}

bool Workspace::nextPattern() {
    if (currentPattern_ >= song_->patternCount - 1) return false;
    ++currentPattern_;
    return true;
}

bool Workspace::newPattern() {
    auto index = song_->addPattern();
    if (!index) return false;
    currentPattern_ = *index;
    return true;
}

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
    return true;
}

bool Workspace::insertOrder() {
    auto& order = song_->order;
    if (order.size() >= kMaxOrderEntries) return false;
    if (orderSelection_ == kNoSelection) return appendOrder();
    order.insert(order.begin() + orderSelection_, static_cast<std::uint8_t>(currentPattern_));
    return true;
}

bool Workspace::updateOrder() {
    if (orderSelection_ == kNoSelection) return false;
    song_->order[orderSelection_] = static_cast<std::uint8_t>(currentPattern_);
    return true;
}

bool Workspace::deleteOrder() {
    auto& order = song_->order;
    // The list is never emptied: a song always has somewhere to start playing.
    if (orderSelection_ == kNoSelection || order.size() <= 1) return false;
    order.erase(order.begin() + orderSelection_);
    orderSelection_ = std::max(orderSelection_ - 1, 0);
    return true;
}

void Workspace::selectOrder(int position) {
    if (position < 0 || position >= static_cast<int>(song_->order.size())) {
        orderSelection_ = kNoSelection;
        return;
    }
    orderSelection_ = position;
    const int pattern = song_->order[position];
    // An entry naming a pattern that does not exist (only from a damaged file) selects nothing.
    if (pattern < song_->patternCount) currentPattern_ = pattern;
}

void Workspace::setOctave(int octave) {
    octave_ = std::clamp(octave, kMinOctave, kMaxOctave);
}

void Workspace::setVoiceIndex(int index) {
    voiceIndex_ = std::clamp(index, 0, kInstrumentCount - 1);
}

std::vector<std::string> Workspace::voiceListEntries() const {
    std::vector<std::string> names;
    names.reserve(kInstrumentCount);
    for (int k = 1; k <= kInstrumentCount; ++k)
        names.push_back(song_->instruments[k].name);
    return names;
}

Result Workspace::loadInstrument(int number, const std::filesystem::path& path) {
    return loadInstrumentFile(*song_, number, path);
}

Result Workspace::saveInstrument(int number, const std::filesystem::path& path) const {
    return saveInstrumentFile(*song_, number, path);
}

}  // namespace qvx
