#include "song/block_edit.hpp"

#include <algorithm>
#include <optional>

namespace qvx {
namespace {

// A note's place on the keyboard: octave * 12 + note, or nothing for empty cells and end marks.
std::optional<int> pitchOf(const Cell& cell) {
    if (cell.note > kNoteB || cell.octave == kNone) return std::nullopt;
    return asSigned(cell.octave) * 12 + cell.note;
}

bool inRange(int pitch) {
    return pitch >= kMinOctave * 12 && pitch <= kMaxOctave * 12 + kNoteB;
}

template <class F>
void forEachCell(const CellRect& rect, F&& f) {
    for (int row = rect.firstRow; row <= rect.lastRow; ++row)
        for (int track = rect.firstTrack; track <= rect.lastTrack; ++track)
            f(track, row);
}

}  // namespace

CellRect CellRect::spanning(int trackA, int rowA, int trackB, int rowB) {
    return {std::min(trackA, trackB), std::min(rowA, rowB), std::max(trackA, trackB),
            std::max(rowA, rowB)};
}

CellBlock copyCells(const Pattern& pattern, const CellRect& rect) {
    CellBlock block{rect.tracks(), rect.rows(), {}};
    block.cells.reserve(static_cast<std::size_t>(block.tracks * block.rows));
    forEachCell(rect, [&](int track, int row) { block.cells.push_back(pattern.cell(track, row)); });
    return block;
}

void clearCells(Pattern& pattern, const CellRect& rect) {
    forEachCell(rect, [&](int track, int row) { pattern.cell(track, row) = kEmptyCell; });
}

CellRect pasteCells(Pattern& pattern, const CellBlock& block, int track, int row, int trackCount) {
    const CellRect written{track, row, std::min(track + block.tracks, trackCount) - 1,
                           std::min(row + block.rows, kRows) - 1};
    forEachCell(written, [&](int t, int r) { pattern.cell(t, r) = block.at(t - track, r - row); });
    return written;
}

int notesLeavingRange(const Pattern& pattern, const CellRect& rect, int semitones) {
    int count = 0;
    forEachCell(rect, [&](int track, int row) {
        const std::optional<int> pitch = pitchOf(pattern.cell(track, row));
        if (pitch && inRange(*pitch) && !inRange(*pitch + semitones)) ++count;
    });
    return count;
}

void transposeCells(Pattern& pattern, const CellRect& rect, int semitones) {
    forEachCell(rect, [&](int track, int row) {
        Cell& cell = pattern.cell(track, row);
        const std::optional<int> pitch = pitchOf(cell);
        if (!pitch || !inRange(*pitch + semitones)) return;
        cell.octave = static_cast<std::uint8_t>((*pitch + semitones) / 12);
        cell.note = static_cast<std::uint8_t>((*pitch + semitones) % 12);
    });
}

void insertCell(Pattern& pattern, int track, int row) {
    Track& cells = pattern.tracks[static_cast<std::size_t>(track)];
    std::move_backward(cells.begin() + row, cells.end() - 1, cells.end());
    cells[static_cast<std::size_t>(row)] = kEmptyCell;
}

void removeCell(Pattern& pattern, int track, int row) {
    Track& cells = pattern.tracks[static_cast<std::size_t>(track)];
    std::move(cells.begin() + row + 1, cells.end(), cells.begin() + row);
    cells.back() = kEmptyCell;
}

}  // namespace qvx
