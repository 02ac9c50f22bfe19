#include "song/pattern_grid.hpp"

#include <cstdio>

namespace qvx::grid {

std::string fieldText(const Cell& cell, int field) {
    char text[8];
    switch (field) {
        case kNoteField:
            return std::string(noteName(cell.note));
        case kOctaveField:
            if (cell.octave == kNone) return "-";
            std::snprintf(text, sizeof text, "%d", cell.octave);
            return text;
        default: {
            const std::uint8_t value = field == kInstrumentField ? cell.instrument
                                       : field == kEffectField   ? cell.effect
                                                                 : cell.parameter;
            if (value == kNone) return "- -";
            std::snprintf(text, sizeof text, "%02d", value);
            return text;
        }
    }
}

}  // namespace qvx::grid
