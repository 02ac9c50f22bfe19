#pragma once

#include <vector>

#include "song/song.hpp"

// Rectangles of whole cells in a pattern (any tracks, any rows) and what the editor does with
// them: copy, paste, clear, transpose; and shifting a track's cells at a row.
namespace qvx {

struct CellRect {
    int firstTrack = 0;
    int firstRow = 0;
    int lastTrack = 0;  // inclusive
    int lastRow = 0;

    // The rectangle spanned by two corner cells, in any order.
    static CellRect spanning(int trackA, int rowA, int trackB, int rowB);
    int tracks() const { return lastTrack - firstTrack + 1; }
    int rows() const { return lastRow - firstRow + 1; }
    bool contains(int track, int row) const {
        return track >= firstTrack && track <= lastTrack && row >= firstRow && row <= lastRow;
    }
    friend bool operator==(const CellRect&, const CellRect&) = default;
};

// Cells lifted out of a pattern, row by row.
struct CellBlock {
    int tracks = 0;
    int rows = 0;
    std::vector<Cell> cells;

    const Cell& at(int track, int row) const {
        return cells[static_cast<std::size_t>(row * tracks + track)];
    }
};

CellBlock copyCells(const Pattern& pattern, const CellRect& rect);
void clearCells(Pattern& pattern, const CellRect& rect);
// Puts the block's top left cell at (track, row); what would fall outside the pattern's first
// `trackCount` tracks or its rows is left out. Returns the cells written.
CellRect pasteCells(Pattern& pattern, const CellBlock& block, int track, int row, int trackCount);

// Moves the notes in `rect` by `semitones`. Notes that would leave the octaves 1..7 stay where
// they are; notesLeavingRange counts them first, so the editor can ask before.
int notesLeavingRange(const Pattern& pattern, const CellRect& rect, int semitones);
void transposeCells(Pattern& pattern, const CellRect& rect, int semitones);

// Insert: the track's cells from `row` on move down a row (the last one drops off) and `row`
// becomes empty. Backspace (removeCell): the cells below `row` move up onto it and the last row
// becomes empty.
void insertCell(Pattern& pattern, int track, int row);
void removeCell(Pattern& pattern, int track, int row);

}  // namespace qvx
