#pragma once

#include <array>
#include <string>
#include <vector>

#include "song/cell.hpp"

// The pattern editor's grid in view pixels: a header strip with the track images, then one
// 17-pixel line per pattern row. Each track is 150 pixels wide and holds five fields; a classic
// song has four tracks, a whole-chip song more. The view
// draws from these numbers and the model hit-tests with them, so clicks land where the fields are
// drawn.
namespace qvx::grid {

inline constexpr int kRowHeight = 17;
inline constexpr int kHeaderHeight = 17;
inline constexpr int kRowNumberX = 5;
inline constexpr int kFirstTrackX = 40;
inline constexpr int kTrackWidth = 150;
constexpr int gridEndX(int tracks) {
    return kFirstTrackX + tracks * kTrackWidth;  // 640 for a classic song
}

enum Field : int { kNoteField, kOctaveField, kInstrumentField, kEffectField, kParameterField };
inline constexpr int kFields = 5;
constexpr int columnsFor(int tracks) {
    return tracks * kFields;  // a classic song's cursor columns are 0..19
}

// Each field's cursor rectangle (x, width) and text position, from the track's left edge.
struct FieldGeometry {
    int x;
    int width;
    int textX;
};
inline constexpr std::array<FieldGeometry, kFields> kFieldGeometry = {{
    {0, 30, 5},
    {40, 15, 40},
    {65, 25, 65},
    {95, 25, 95},
    {125, 25, 125},
}};

constexpr int trackX(int track) {
    return kFirstTrackX + kTrackWidth * track;
}

// A track whose group is folded shows as a strip of its header's colour this wide.
inline constexpr int kFoldedWidth = 12;

// Where the tracks lie across the grid when some are folded: from kFirstTrackX, each kTrackWidth
// wide or kFoldedWidth when folded.
class Columns {
  public:
    explicit Columns(std::vector<bool> folded = std::vector<bool>(4, false));
    int count() const { return static_cast<int>(folded_.size()); }
    bool folded(int track) const { return folded_[static_cast<std::size_t>(track)]; }
    // Where the track starts; count() gives the grid's end.
    int x(int track) const { return x_[static_cast<std::size_t>(track)]; }
    int width(int track) const { return x(track + 1) - x(track); }
    // The track at grid pixel `x`, or -1 outside them.
    int trackAt(int x) const;

  private:
    std::vector<bool> folded_;
    std::vector<int> x_;
};

// Rows that fit below the header in a window `height` pixels high; a partly visible row does not
// count.
constexpr int visibleRowsFor(int height) {
    return height <= kHeaderHeight ? 0 : (height - kHeaderHeight) / kRowHeight;
}

// The text a field shows: the note name, the octave "%d", the other three "%02d"; an empty field
// shows "-" (octave) or "- -".
std::string fieldText(const Cell& cell, int field, bool hex = false);

}  // namespace qvx::grid
