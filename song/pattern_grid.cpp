#include "song/pattern_grid.hpp"

#include <cstdio>
#include <utility>

#include "song/effects.hpp"

namespace qvx::grid {

Columns::Columns(std::vector<bool> folded) : folded_(std::move(folded)) {
    x_.push_back(kFirstTrackX);
    for (const bool f : folded_)
        x_.push_back(x_.back() + (f ? kFoldedWidth : kTrackWidth));
}

int Columns::trackAt(int x) const {
    for (int t = 0; t < count(); ++t)
        if (x >= this->x(t) && x < this->x(t + 1)) return t;
    return -1;
}

std::string fieldText(const Cell& cell, int field, bool hex) {
    char text[8];
    switch (field) {
        case kNoteField:
            return std::string(noteName(cell.note));
        case kOctaveField:
            if (cell.octave == kNone) return "-";
            std::snprintf(text, sizeof text, "%d", cell.octave);
            return text;
        case kEffectField:
            if (!hex) break;
            return cell.effect == kNone ? "-" : std::string(1, effectSymbol(cell.effect));
        case kParameterField:
            if (!hex) break;
            if (cell.parameter == kNone) return "- -";
            std::snprintf(text, sizeof text, "%02X", cell.parameter);
            return text;
        default:
            break;
    }
    const std::uint8_t value = field == kInstrumentField ? cell.instrument
                               : field == kEffectField   ? cell.effect
                                                         : cell.parameter;
    if (value == kNone) return "- -";
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

}  // namespace qvx::grid
