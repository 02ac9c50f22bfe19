#include "song/compiled_pattern.hpp"

namespace qvx {

CompiledCell compileCell(const Cell& cell, bool muted) {
    std::uint8_t nibble;
    if (muted)
        nibble = kNibbleNone;
    else if (cell.note == kNoteC)
        nibble = kNibbleC;
    else if (cell.note == kNoteEmpty)
        nibble = kNibbleNone;
    else
        nibble = cell.note;

    std::uint8_t noteByte = 0;
    if (cell.octave != kNone) {
        const int block = nibble == kNibbleC ? cell.octave - 1 : cell.octave;
        noteByte = static_cast<std::uint8_t>((block << 4) | nibble);
    }
    return {noteByte, cell.instrument, cell.effect, cell.parameter};
}

void compilePattern(const Pattern& pattern, const TrackFlags* trackFlags,
                    std::span<std::uint8_t, kCompiledPatternBytes> out) {
    std::size_t offset = 0;
    for (int row = 0; row < kRows; ++row) {
        for (int track = 0; track < kTracks; ++track) {
            const bool muted = trackFlags && (*trackFlags)[track] == 0;
            const CompiledCell bytes = compileCell(pattern.cell(track, row), muted);
            for (std::uint8_t byte : bytes)
                out[offset++] = byte;
        }
    }
}

CompiledPattern compilePattern(const Pattern& pattern, const TrackFlags* trackFlags) {
    CompiledPattern out;
    compilePattern(pattern, trackFlags, out);
    return out;
}

Cell decodeCell(std::span<const std::uint8_t, kCompiledCellBytes> bytes) {
    const std::uint8_t low = bytes[0] & 0x0F;
    const std::uint8_t high = bytes[0] >> 4;
    Cell cell;
    if (low == kNibbleNone)
        cell.note = kNoteEmpty;
    else if (low == kNibbleC)
        cell.note = kNoteC;
    else
        cell.note = low;

    if (cell.note == kNoteC)
        cell.octave = static_cast<std::uint8_t>(high + 1);
    else
        cell.octave = high == 0 ? kNone : high;

    cell.instrument = bytes[1];
    cell.effect = bytes[2];
    cell.parameter = bytes[3];
    return cell;
}

std::optional<Cell> decodeStoredCell(std::span<const std::uint8_t, kCompiledCellBytes> bytes) {
    if ((bytes[0] & 0x0F) > kNoteEnd) return std::nullopt;
    const Cell cell = decodeCell(bytes);
    if (cell.octave != kNone && cell.octave > kMaxOctave) return std::nullopt;
    return cell;
}

std::optional<TrackSet> decodePattern(std::span<const std::uint8_t, kCompiledPatternBytes> bytes) {
    TrackSet tracks = Pattern::emptyTracks();
    std::size_t offset = 0;
    for (int row = 0; row < kRows; ++row) {
        for (int track = 0; track < kTracks; ++track, offset += kCompiledCellBytes) {
            auto cell = decodeStoredCell(bytes.subspan(offset).first<kCompiledCellBytes>());
            if (!cell) return std::nullopt;
            tracks[track][row] = *cell;
        }
    }
    return tracks;
}

}  // namespace qvx
