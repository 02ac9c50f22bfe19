// MOD import: any bytes are either refused with the invalid-module message and change nothing,
// or give a song the rest of the program can hold: 1..64 patterns, 1..128 order entries that all
// name existing patterns, cells of known notes, octaves and instruments, and a song file that
// reads back to the same song.
#include <memory>

#include "song/mod_import.hpp"
#include "song/song_file.hpp"

namespace {

bool cellsInRange(const qvx::Song& song) {
    for (const qvx::Pattern& pattern : song.usedPatterns()) {
        for (const qvx::Track& track : pattern.tracks) {
            for (const qvx::Cell& cell : track) {
                if (cell.note > qvx::kNoteEmpty) return false;
                if (cell.note == qvx::kNoteEmpty) {
                    if (cell.octave != qvx::kNone || cell.instrument != qvx::kNone) return false;
                } else if (cell.octave < 3 || cell.octave > qvx::kMaxOctave) {
                    return false;
                }
                if (cell.instrument != qvx::kNone && cell.instrument > qvx::kInstrumentCount)
                    return false;
                // Arpeggio (effect 0) goes with its parameter; the other effects keep theirs.
                if (cell.effect == qvx::kNone ? cell.parameter != qvx::kNone
                                              : cell.effect < 1 || cell.effect > 0x0F)
                    return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto song = std::make_unique<qvx::Song>();
    song->renameInstrument(5, "untouched");
    const auto before = qvx::serializeSong(*song);
    qvx::ModImportReport report;
    const qvx::Result result = qvx::parseMod({data, size}, *song, &report);
    if (!result) {
        if (result.message() != qvx::kInvalidModMessage) __builtin_trap();
        if (qvx::serializeSong(*song) != before) __builtin_trap();
        return 0;
    }

    if (song->patternCount < 1 || song->patternCount > qvx::kMaxPatterns) __builtin_trap();
    if (report.patterns != song->patternCount) __builtin_trap();
    if (song->order.empty() || song->order.size() > qvx::kMaxOrderEntries) __builtin_trap();
    if (report.orderEntries != static_cast<int>(song->order.size())) __builtin_trap();
    for (std::uint8_t entry : song->order)
        if (entry >= song->patternCount) __builtin_trap();
    if (!cellsInRange(*song)) __builtin_trap();
    if (song->instruments[5].name != "05 Unnamed") __builtin_trap();  // the new song state

    const auto saved = qvx::serializeSong(*song);
    auto again = std::make_unique<qvx::Song>();
    if (!qvx::parseSong(saved, *again)) __builtin_trap();
    if (qvx::serializeSong(*again) != saved) __builtin_trap();
    return 0;
}
