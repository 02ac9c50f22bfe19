#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "song/song.hpp"

// Undo and redo for the song: each step keeps the parts of the song that one edit changed, as
// they were before and after it, and where the cursor was.
namespace qvx {

// The parts of a song an edit may touch. Only the listed ones are kept.
struct SongParts {
    std::vector<std::pair<int, Pattern>> patterns;  // by pattern index
    std::optional<std::vector<std::uint8_t>> order;
    std::optional<int> patternCount;
    std::vector<std::pair<int, Instrument>> instruments;  // by instrument number
    std::optional<SongKind> kind;

    bool operator==(const SongParts& other) const;
    std::size_t bytes() const;  // what the step keeps in memory, roughly
};

// Which parts an edit is about to touch.
struct EditScope {
    std::vector<int> patterns;
    bool order = false;
    bool patternCount = false;
    std::vector<int> instruments;
    bool kind = false;

    static EditScope pattern(int index);
    static EditScope orderList();
    static EditScope newPattern(int index);  // the count and the pattern that joins it
    static EditScope instrument(int number);

    SongParts capture(const Song& song) const;
};
void restore(Song& song, const SongParts& parts);

// Where the edit was made: the editor goes back there when it is undone or redone.
struct EditPlace {
    int pattern = 0;
    int row = 0;
    int column = 0;
    int orderSelection = -1;
};

struct EditStep {
    SongParts before;
    SongParts after;
    EditPlace place;
    // Steps with the same nonzero key, one right after the other, become one (the digits typed
    // into one field).
    std::uint64_t mergeKey = 0;
};

class EditHistory {
  public:
    static constexpr std::size_t kDefaultLimit = 256;

    explicit EditHistory(std::size_t limit = kDefaultLimit) : limit_(limit) {}

    // A new edit: the steps that were undone are gone; beyond the limit the oldest step goes.
    void record(EditStep step);
    bool canUndo() const { return position_ > 0; }
    bool canRedo() const { return position_ < steps_.size(); }
    // The step to take back (apply its `before`), or nothing.
    const EditStep* undo();
    // The step to do again (apply its `after`), or nothing.
    const EditStep* redo();
    // Forgets everything: a new, opened or imported song.
    void clear();

    // The song as it is now is the saved one.
    void markSaved() { saved_ = static_cast<std::ptrdiff_t>(position_); }
    // No state in reach is the saved one (a song restored from a recovery copy).
    void markNothingSaved() { saved_ = -1; }
    bool atSaved() const { return saved_ == static_cast<std::ptrdiff_t>(position_); }

    std::size_t size() const { return steps_.size(); }
    std::size_t limit() const { return limit_; }
    std::size_t bytes() const;

  private:
    std::deque<EditStep> steps_;
    std::size_t position_ = 0;  // steps_[0, position_) are done
    // The position the saved song corresponds to; -1 when no position does any more.
    std::ptrdiff_t saved_ = 0;
    std::size_t limit_;
};

}  // namespace qvx
