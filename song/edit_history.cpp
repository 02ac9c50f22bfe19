#include "song/edit_history.hpp"

#include <algorithm>

namespace qvx {

bool SongParts::operator==(const SongParts& other) const {
    return patterns == other.patterns && order == other.order &&
           patternCount == other.patternCount && instruments == other.instruments &&
           kind == other.kind;
}

std::size_t SongParts::bytes() const {
    std::size_t total = sizeof(SongParts);
    for (const auto& [index, pattern] : patterns)
        total += sizeof(index) + sizeof(Pattern) + pattern.name.capacity();
    if (order) total += order->capacity();
    for (const auto& [number, instrument] : instruments)
        total += sizeof(number) + sizeof(Instrument) + instrument.name.capacity();
    return total;
}

EditScope EditScope::pattern(int index) {
    EditScope scope;
    scope.patterns.push_back(index);
    return scope;
}

EditScope EditScope::orderList() {
    EditScope scope;
    scope.order = true;
    return scope;
}

EditScope EditScope::newPattern(int index) {
    EditScope scope = pattern(index);
    scope.patternCount = true;
    return scope;
}

EditScope EditScope::instrument(int number) {
    EditScope scope;
    scope.instruments.push_back(number);
    return scope;
}

SongParts EditScope::capture(const Song& song) const {
    SongParts parts;
    for (const int p : patterns)
        parts.patterns.emplace_back(p, song.patterns[static_cast<std::size_t>(p)]);
    if (order) parts.order = song.order;
    if (patternCount) parts.patternCount = song.patternCount;
    if (kind) parts.kind = song.kind;
    for (const int k : instruments)
        parts.instruments.emplace_back(k, song.instruments[static_cast<std::size_t>(k)]);
    return parts;
}

void restore(Song& song, const SongParts& parts) {
    for (const auto& [index, pattern] : parts.patterns)
        song.patterns[static_cast<std::size_t>(index)] = pattern;
    if (parts.order) song.order = *parts.order;
    if (parts.patternCount) song.patternCount = *parts.patternCount;
    if (parts.kind) song.kind = *parts.kind;
    for (const auto& [number, instrument] : parts.instruments)
        song.instruments[static_cast<std::size_t>(number)] = instrument;
}

void EditHistory::record(EditStep step) {
    if (position_ < steps_.size()) {
        // The undone steps are gone; so is the saved state if it lay among them.
        if (saved_ > static_cast<std::ptrdiff_t>(position_)) saved_ = -1;
        steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(position_), steps_.end());
    }
    if (step.mergeKey != 0 && !steps_.empty() && steps_.back().mergeKey == step.mergeKey &&
        !atSaved()) {
        steps_.back().after = std::move(step.after);
        return;
    }
    steps_.push_back(std::move(step));
    ++position_;
    if (steps_.size() > limit_) {
        steps_.pop_front();
        --position_;
        saved_ = saved_ > 0 ? saved_ - 1 : -1;
    }
}

const EditStep* EditHistory::undo() {
    if (!canUndo()) return nullptr;
    return &steps_[--position_];
}

const EditStep* EditHistory::redo() {
    if (!canRedo()) return nullptr;
    return &steps_[position_++];
}

void EditHistory::clear() {
    steps_.clear();
    position_ = 0;
    saved_ = 0;
}

std::size_t EditHistory::bytes() const {
    std::size_t total = sizeof(*this);
    for (const EditStep& step : steps_)
        total += sizeof(EditStep) + step.before.bytes() + step.after.bytes();
    return total;
}

}  // namespace qvx
