#pragma once

#include "song/cell.hpp"
#include "song/pattern_grid.hpp"

namespace qvx {

// Where the pattern editor's edit cursor is and which rows its window shows: the top row, the
// cursor's row and column (track * 5 + field), and how many rows fit. Every move keeps rows within
// 0..63 and columns within the song's tracks (0..19 for a classic song). The moves report what the
// view has to redraw.
class PatternCursor {
  public:
    enum class Redraw {
        None,    // nothing changed
        Cursor,  // the cursor moved within the window
        All,     // the window scrolled
    };

    // What a click at a view pixel means.
    struct Hit {
        enum class Kind { None, TrackHeader, Cell } kind = Kind::None;
        int track = 0;
        int row = 0;
        int column = 0;
    };

    int topRow() const { return top_; }
    int row() const { return row_; }
    int column() const { return column_; }
    int track() const { return column_ / grid::kFields; }
    int field() const { return column_ % grid::kFields; }
    int visibleRows() const { return visible_; }
    int trackCount() const { return tracks_; }
    int columns() const { return grid::columnsFor(tracks_); }

    // The song now has `tracks` tracks; a cursor beyond them goes to the last one's note field.
    Redraw setTrackCount(int tracks);
    // Which tracks are folded (one flag a track): the cursor leaves a folded track for the next
    // one shown, and moves past folded ones.
    Redraw setFolded(std::vector<bool> folded);
    const grid::Columns& layout() const { return layout_; }

    // The window now shows `rows` rows. The top row moves up as far as needed to keep the window
    // filled with pattern rows (so enlarging the window never hides rows above it); the cursor
    // row stays.
    void setVisibleRows(int rows);
    // Whether the cursor's row is on screen.
    bool cursorVisible() const { return row_ >= top_ && row_ < top_ + visible_; }
    // The vertical scroll bar: shown while not every row fits, over 0..scrollMaximum().
    bool scrollBarShown() const { return visible_ < kRows; }
    int scrollMaximum() const { return visible_ < kRows ? kRows - visible_ : 0; }

    // Cursor keys. Up and Down scroll the window by one row when the cursor is on its edge row.
    Redraw left();
    Redraw right();
    Redraw up();
    Redraw down();

    // Scroll bar actions. A page is exactly 16 rows, or nothing when fewer remain.
    Redraw lineUp();
    Redraw lineDown();
    Redraw pageUp();
    Redraw pageDown();
    // The thumb moved to `position`: the cursor keeps its place in the window.
    Redraw thumb(int position);

    // The meaning of a left click at view pixel (x, y).
    Hit hit(int x, int y) const;
    // Puts the cursor on a cell (a Hit of kind Cell).
    Redraw place(int row, int column);
    // Puts the cursor on any cell, scrolling the window as little as needed to show it.
    Redraw moveTo(int row, int column);
    // Makes `row` visible, the cursor staying where it is; scrolls as little as needed.
    Redraw reveal(int row);

  private:
    int top_ = 0;
    int row_ = 0;
    int column_ = 0;
    int visible_ = 0;
    int tracks_ = kTracks;
    grid::Columns layout_;

    // Past folded tracks in `direction` (+1 or -1) from the cursor's, to the first field going
    // right or the last going left; false when every track that way is folded.
    bool skipFolded(int direction);
};

}  // namespace qvx
