#include "song/pattern_cursor.hpp"

#include <algorithm>

namespace qvx {
namespace {

constexpr int kLastRow = kRows - 1;
constexpr int kPageRows = 16;

}  // namespace

void PatternCursor::setVisibleRows(int rows) {
    visible_ = std::max(rows, 0);
    top_ = std::min(top_, std::max(0, kRows - visible_));
}

PatternCursor::Redraw PatternCursor::setTrackCount(int tracks) {
    tracks_ = std::clamp(tracks, 1, kMaxTracks);
    layout_ = grid::Columns(std::vector<bool>(static_cast<std::size_t>(tracks_), false));
    if (column_ < columns()) return Redraw::None;
    column_ = (tracks_ - 1) * grid::kFields;
    return Redraw::Cursor;
}

PatternCursor::Redraw PatternCursor::setFolded(std::vector<bool> folded) {
    folded.resize(static_cast<std::size_t>(tracks_), false);
    layout_ = grid::Columns(std::move(folded));
    if (!layout_.folded(track())) return Redraw::All;
    const int was = column_;
    column_ = track() * grid::kFields;
    if (!skipFolded(+1)) {
        column_ = was;
        skipFolded(-1);
    }
    return Redraw::All;
}

bool PatternCursor::skipFolded(int direction) {
    int t = track();
    while (t >= 0 && t < tracks_ && layout_.folded(t))
        t += direction;
    if (t < 0 || t >= tracks_) return false;
    if (t != track()) column_ = t * grid::kFields + (direction < 0 ? grid::kFields - 1 : 0);
    return true;
}

PatternCursor::Redraw PatternCursor::left() {
    const int was = column_;
    if (column_ == 0) return Redraw::None;
    --column_;
    if (!skipFolded(-1)) column_ = was;
    return column_ == was ? Redraw::None : Redraw::Cursor;
}

PatternCursor::Redraw PatternCursor::right() {
    const int was = column_;
    if (column_ == columns() - 1) return Redraw::None;
    ++column_;
    if (!skipFolded(+1)) column_ = was;
    return column_ == was ? Redraw::None : Redraw::Cursor;
}

PatternCursor::Redraw PatternCursor::up() {
    if (row_ == 0) return Redraw::None;
    if (row_ == top_) {
        --top_;
        --row_;
        return Redraw::All;
    }
    --row_;
    return Redraw::Cursor;
}

PatternCursor::Redraw PatternCursor::down() {
    if (row_ == kLastRow) return Redraw::None;
    if (row_ == top_ + visible_ - 1) {
        ++top_;
        ++row_;
        return Redraw::All;
    }
    ++row_;
    return Redraw::Cursor;
}

PatternCursor::Redraw PatternCursor::lineUp() {
    if (top_ == 0) return Redraw::None;
    --top_;
    if (row_ > 0) --row_;
    return Redraw::All;
}

PatternCursor::Redraw PatternCursor::lineDown() {
    if (top_ + visible_ >= kRows) return Redraw::None;
    ++top_;
    if (row_ + visible_ < kRows) ++row_;
    return Redraw::All;
}

PatternCursor::Redraw PatternCursor::pageUp() {
    if (top_ < kPageRows) return Redraw::None;
    top_ -= kPageRows;
    row_ = row_ < kPageRows ? 0 : row_ - kPageRows;
    return Redraw::All;
}

PatternCursor::Redraw PatternCursor::pageDown() {
    if (top_ + visible_ + kPageRows > kRows) return Redraw::None;
    top_ += kPageRows;
    row_ = row_ + visible_ + kPageRows <= kRows ? row_ + kPageRows : kLastRow;
    return Redraw::All;
}

PatternCursor::Redraw PatternCursor::thumb(int position) {
    position = std::clamp(position, 0, scrollMaximum());
    if (position == top_) return Redraw::None;
    row_ = std::clamp(row_ + position - top_, 0, kLastRow);
    top_ = position;
    return Redraw::All;
}

PatternCursor::Hit PatternCursor::hit(int x, int y) const {
    using Kind = Hit::Kind;
    const int track = layout_.trackAt(x);
    if (y < 0 || track < 0) return {};
    if (y < grid::kHeaderHeight) return {Kind::TrackHeader, track};
    const int screenRow = (y - grid::kHeaderHeight) / grid::kRowHeight;
    if (screenRow >= visible_ || top_ + screenRow > kLastRow || layout_.folded(track)) return {};
    // The field whose rectangle starts strictly left of the point; the note field at the edge.
    const int d = x - layout_.x(track);
    int field = grid::kNoteField;
    for (int f = 0; f < grid::kFields; ++f)
        if (grid::kFieldGeometry[f].x < d) field = f;
    return {Kind::Cell, track, top_ + screenRow, track * grid::kFields + field};
}

PatternCursor::Redraw PatternCursor::place(int row, int column) {
    row = std::clamp(row, 0, kLastRow);
    column = std::clamp(column, 0, columns() - 1);
    if (row == row_ && column == column_) return Redraw::None;
    row_ = row;
    column_ = column;
    return Redraw::Cursor;
}

PatternCursor::Redraw PatternCursor::moveTo(int row, int column) {
    row = std::clamp(row, 0, kLastRow);
    column = std::clamp(column, 0, columns() - 1);
    const Redraw scrolled = reveal(row);
    const Redraw placed = place(row, column);
    return scrolled == Redraw::All ? Redraw::All : placed;
}

PatternCursor::Redraw PatternCursor::reveal(int row) {
    if (visible_ == 0) return Redraw::None;
    const int top = row < top_ ? row : row >= top_ + visible_ ? row - visible_ + 1 : top_;
    const int clamped = std::clamp(top, 0, scrollMaximum());
    if (clamped == top_) return Redraw::None;
    top_ = clamped;
    return Redraw::All;
}

}  // namespace qvx
