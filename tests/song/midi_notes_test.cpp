// Notes from a MIDI keyboard: which messages are keys, where the song's octaves end, and what a
// note does at the cursor.
#include <gtest/gtest.h>

#include "song/midi_notes.hpp"
#include "song/workspace.hpp"
#include "tests/support/recording_preview.hpp"

namespace qvx {
namespace {

TEST(MidiNotes, OnlyNoteOnAndOffAreKeys) {
    using Bytes = std::vector<std::uint8_t>;
    const struct {
        Bytes message;
        std::optional<bool> on;  // nothing: not a key
    } cases[] = {
        {{0x90, 60, 100}, true},  {{0x95, 60, 1}, true},    // any channel, any velocity
        {{0x90, 60, 0}, false},   {{0x80, 60, 64}, false},  // velocity 0 lets go, as note-off
        {{0xB0, 7, 100}, {}},     {{0xE0, 0, 64}, {}},      // a controller, pitch bend
        {{0xF0, 0x7E, 0xF7}, {}}, {{0x90, 60}, {}},         // SysEx, a cut-off message
    };
    for (const auto& c : cases) {
        const auto key = midiKey(c.message);
        ASSERT_EQ(key.has_value(), c.on.has_value()) << int(c.message[0]);
        if (key) {
            EXPECT_EQ(key->on, *c.on) << int(c.message[0]);
            EXPECT_EQ(key->number, 60);
        }
    }
}

TEST(MidiNotes, MiddleCIsC4AndTheSongsOctavesEndAt1And7) {
    EXPECT_FALSE(songNoteForMidi(23));  // B-0
    EXPECT_EQ(songNoteForMidi(24)->octave, 1);
    EXPECT_EQ(songNoteForMidi(24)->note, 0);
    EXPECT_EQ(songNoteForMidi(60)->octave, 4);
    EXPECT_EQ(songNoteForMidi(61)->note, 1);
    EXPECT_EQ(songNoteForMidi(107)->note, 11);  // B-7
    EXPECT_EQ(songNoteForMidi(107)->octave, 7);
    EXPECT_FALSE(songNoteForMidi(108));  // C-8
    EXPECT_EQ(midiNoteName(12), "C-0");
    EXPECT_EQ(midiNoteName(116), "G#8");
}

TEST(MidiNotes, ANoteEntersOnANoteFieldAndOnlySoundsElsewhere) {
    Workspace ws;
    testing::RecordingPreview preview;
    ws.setPreviewTarget(&preview);
    ws.setVoiceIndex(2);
    ws.setEditStep(2);
    EXPECT_TRUE(ws.playNote(9, 6));  // A-6, whatever the Octave box says
    EXPECT_EQ(ws.currentPatternData().cell(0, 0), (Cell{9, 6, 3, 0, 0}));
    EXPECT_EQ(ws.cursor().row(), 2);
    EXPECT_EQ(preview.calls.back(), "KeyDown 9 6");
    EXPECT_TRUE(ws.canUndo());

    ws.moveCursor(CursorMove::Right);  // the octave field
    preview.calls.clear();
    EXPECT_FALSE(ws.playNote(0, 5));  // C: the library's C is the one of the block above
    EXPECT_EQ(ws.currentPatternData().cell(0, 2), kEmptyCell);
    EXPECT_EQ(preview.calls.back(), "KeyDown 0 4");
}

}  // namespace
}  // namespace qvx
