// The pattern editor's rules below the GUI: key maps, field entry, the cursor and its window,
// clicks, the preview calls and the modified flag.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "song/effects.hpp"
#include "song/note_entry.hpp"
#include "song/pattern_grid.hpp"
#include "song/workspace.hpp"
#include "tests/support/recording_preview.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

using Redraw = PatternCursor::Redraw;
using HitKind = PatternCursor::Hit::Kind;

using testing::RecordingPreview;

// A workspace whose instrument k has every register byte k * 8, and a window of 20 rows.
struct Editor {
    Editor() {
        for (int k = 1; k <= kInstrumentCount; ++k)
            ws.song().instruments[k].registers.fill(static_cast<std::uint8_t>(k * 8));
        ws.setPreviewTarget(&preview);
        ws.setVisibleRows(20);
    }
    void type(const std::string& keys) {
        for (char c : keys)
            ws.typeChar(static_cast<unsigned char>(c));
    }
    void moveTo(int row, int column) {
        while (ws.cursor().row() < row)
            ws.moveCursor(CursorMove::Down);
        while (ws.cursor().column() < column)
            ws.moveCursor(CursorMove::Right);
    }
    const Cell& cell(int track, int row) const { return ws.currentPatternData().cell(track, row); }
    Workspace ws;
    RecordingPreview preview;
};

TEST(NoteEntry, KeyMapsOfBothLayouts) {
    struct Case {
        char32_t key;
        std::optional<std::uint8_t> qwerty, azerty;
    };
    const Case cases[] = {
        {U'Z', 0, std::nullopt},
        {U'z', 0, std::nullopt},
        {U'W', std::nullopt, 0},
        {U'S', 1, 1},
        {U'J', 10, 10},
        {U'M', 11, std::nullopt},
        {U',', std::nullopt, 11},
        {U' ', 12, 12},
        {U'#', 13, 13},
        {U'1', std::nullopt, std::nullopt},
        {U'A', std::nullopt, std::nullopt},
        {U'\u00e9', std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(noteForKey(c.key, KeyboardLayout::Qwerty), c.qwerty) << int(c.key);
        EXPECT_EQ(noteForKey(c.key, KeyboardLayout::Azerty), c.azerty) << int(c.key);
    }
}

TEST(NoteEntry, DigitRulesOfTheNumberFields) {
    struct Case {
        std::uint8_t (*type)(std::uint8_t, int);
        std::uint8_t current;
        int digit;
        std::uint8_t expected;
    };
    const Case cases[] = {
        // instrument: two-digit numbers up to 31; 0 keeps an empty field empty
        {typeInstrumentDigit, kNone, 1, 1},
        {typeInstrumentDigit, 1, 2, 12},
        {typeInstrumentDigit, 2, 9, 29},
        {typeInstrumentDigit, 3, 1, 31},
        {typeInstrumentDigit, 3, 2, 2},
        {typeInstrumentDigit, 31, 5, 5},
        {typeInstrumentDigit, kNone, 0, kNone},
        {typeInstrumentDigit, 9, 0, 9},
        // a field holding 0 takes the next digit
        {typeInstrumentDigit, 0, 7, 7},
        {typeInstrumentDigit, 0, 0, 0},
        // effect: "1" then 0..5 gives 10..15
        {typeEffectDigit, 1, 5, 15},
        {typeEffectDigit, 1, 6, 6},
        {typeEffectDigit, kNone, 1, 1},
        {typeEffectDigit, 15, 3, 3},
        // parameter: the last two digits
        {typeParameterDigit, kNone, 4, 4},
        {typeParameterDigit, 4, 2, 42},
        {typeParameterDigit, 42, 7, 27},
        {typeParameterDigit, 0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.type(c.current, c.digit), c.expected) << int(c.current) << " + " << c.digit;
}

TEST(PatternEditor, NoteEntryStoresPreviewsAndMovesDown) {
    Editor e;
    e.moveTo(5, 0);
    e.ws.setVoiceIndex(2);
    e.type("Z");
    EXPECT_EQ(e.cell(0, 5), (Cell{kNoteC, 4, 3, 0, 0}));
    EXPECT_EQ(e.preview.calls,
              (std::vector<std::string>{"KeyUp", "loadInstrument 24", "KeyDown 0 3"}));
    EXPECT_EQ(e.ws.cursor().row(), 6);

    // Other notes keep the octave; space and '#' empty the cell and play nothing.
    e.preview.calls.clear();
    e.type("M #");
    EXPECT_EQ(e.cell(0, 6), (Cell{11, 4, 3, 0, 0}));
    EXPECT_EQ(e.cell(0, 7), kEmptyCell);
    EXPECT_EQ(e.cell(0, 8), (Cell{kNoteEnd, kNone, kNone, kNone, kNone}));
    EXPECT_EQ(e.preview.calls,
              (std::vector<std::string>{"KeyUp", "loadInstrument 24", "KeyDown 11 4"}));
    EXPECT_EQ(e.ws.cursor().row(), 9);

    // Row 63 keeps the cursor; digits and letters the field does not take do nothing.
    e.moveTo(63, 0);
    e.type("X");
    EXPECT_EQ(e.cell(0, 63).note, 2);
    EXPECT_EQ(e.ws.cursor().row(), 63);
    EXPECT_FALSE(e.ws.typeChar(U'5'));
    EXPECT_FALSE(e.ws.typeChar(U'A'));
}

TEST(PatternEditor, FieldEntryAndItsSideEffects) {
    Editor e;
    e.moveTo(2, 6);  // track 1, octave field
    e.type("0895");
    EXPECT_EQ(e.cell(1, 2).octave, 5);
    EXPECT_EQ(e.ws.octave(), 5) << "the octave box follows";
    EXPECT_FALSE(e.ws.typeChar(U'Z'));

    e.moveTo(2, 7);  // instrument
    e.type("12");
    EXPECT_EQ(e.cell(1, 2).instrument, 12);
    EXPECT_EQ(e.ws.voiceIndex(), 11);
    e.type("0");
    EXPECT_EQ(e.cell(1, 2).instrument, 12) << "0 after a number 4..255 changes nothing";

    e.moveTo(2, 8);  // effect
    e.type("16");
    EXPECT_EQ(e.cell(1, 2).effect, 6);
    e.moveTo(2, 9);  // parameter
    e.type("427");
    EXPECT_EQ(e.cell(1, 2).parameter, 27);

    // End in any field: the end mark, the rest emptied, one row down.
    e.ws.endKey();
    EXPECT_EQ(e.cell(1, 2), (Cell{kNoteEnd, kNone, kNone, kNone, kNone}));
    EXPECT_EQ(e.ws.cursor().row(), 3);
    EXPECT_EQ(e.ws.cursor().column(), 9);
}

// Instrument 0 (or an empty field) leaves no voice selected: notes then store instrument 0,
// which the driver plays as the first instrument, and the preview plays the first too.
TEST(PatternEditor, NoVoiceSelectedPreviewsTheFirstInstrument) {
    Editor e;
    e.moveTo(0, 2);
    e.type("0");
    EXPECT_EQ(e.cell(0, 0).instrument, kNone);
    EXPECT_EQ(e.ws.voiceIndex(), Workspace::kNoSelection);
    e.moveTo(0, 5);  // track 1, note field
    e.type("D");
    EXPECT_EQ(e.cell(1, 0).instrument, 0);
    EXPECT_EQ(e.preview.calls,
              (std::vector<std::string>{"KeyUp", "loadInstrument 8", "KeyDown 3 4"}));
}

TEST(PatternCursor, KeysScrollOnlyFromTheWindowsEdgeRows) {
    PatternCursor c;
    c.setVisibleRows(10);
    EXPECT_EQ(c.up(), Redraw::None);
    EXPECT_EQ(c.left(), Redraw::None);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(c.down(), Redraw::Cursor);
    EXPECT_EQ(c.down(), Redraw::All) << "from the last visible row the window follows";
    EXPECT_EQ(c.topRow(), 1);
    EXPECT_EQ(c.row(), 10);
    EXPECT_EQ(c.up(), Redraw::Cursor);
    for (int i = 0; i < 8; ++i)
        c.up();
    EXPECT_EQ(c.row(), 1);
    EXPECT_EQ(c.up(), Redraw::All);
    EXPECT_EQ(c.topRow(), 0);
    for (int i = 0; i < 25; ++i)
        c.right();
    EXPECT_EQ(c.column(), 19) << "no wrap";
    EXPECT_EQ(c.track(), 3);
    EXPECT_EQ(c.field(), grid::kParameterField);
}

TEST(PatternCursor, ScrollBarActions) {
    PatternCursor c;
    c.setVisibleRows(20);
    EXPECT_TRUE(c.scrollBarShown());
    EXPECT_EQ(c.scrollMaximum(), 44);
    EXPECT_EQ(c.lineUp(), Redraw::None);
    EXPECT_EQ(c.pageUp(), Redraw::None);
    EXPECT_EQ(c.lineDown(), Redraw::All);
    EXPECT_EQ(c.row(), 1);
    EXPECT_EQ(c.pageDown(), Redraw::All);  // top 17, cursor 17
    EXPECT_EQ(c.pageDown(), Redraw::All);  // top 33, cursor 33
    EXPECT_EQ(c.pageDown(), Redraw::None) << "fewer than 16 rows below the window";
    EXPECT_EQ(c.topRow(), 33);
    // A page that cannot carry the cursor 16 rows puts it on row 63.
    c.thumb(28);
    EXPECT_EQ(c.row(), 28);
    for (int i = 0; i < 10; ++i)
        c.down();
    EXPECT_EQ(c.row(), 38);
    EXPECT_EQ(c.pageDown(), Redraw::All);
    EXPECT_EQ(c.topRow(), 44);
    EXPECT_EQ(c.row(), 63);
    // The thumb keeps the cursor's place in the window and clamps to the range.
    EXPECT_EQ(c.thumb(100), Redraw::None);
    EXPECT_EQ(c.thumb(0), Redraw::All);
    EXPECT_EQ(c.row(), 19);
    EXPECT_EQ(c.pageUp(), Redraw::None);
    c.thumb(16);
    EXPECT_EQ(c.pageUp(), Redraw::All);
    EXPECT_EQ(c.row(), 19);
}

TEST(PatternCursor, ResizeKeepsTheWindowFilled) {
    PatternCursor c;
    c.setVisibleRows(10);
    c.thumb(54);
    EXPECT_EQ(c.row(), 54);
    c.setVisibleRows(30);  // a taller window may not hide rows above it
    EXPECT_EQ(c.topRow(), 34);
    EXPECT_EQ(c.row(), 54);
    c.setVisibleRows(80);
    EXPECT_EQ(c.topRow(), 0);
    EXPECT_FALSE(c.scrollBarShown());
    EXPECT_EQ(c.lineDown(), Redraw::None);
    c.setVisibleRows(5);  // shrinking leaves the cursor where it was, off screen
    EXPECT_EQ(c.topRow(), 0);
    EXPECT_FALSE(c.cursorVisible());
}

TEST(PatternCursor, ClicksHitTheFieldsWhereTheyAreDrawn) {
    PatternCursor c;
    c.setVisibleRows(10);
    c.thumb(3);
    struct Case {
        int x, y;
        HitKind kind;
        int track, row, column;
    };
    const Case cases[] = {
        {39, 20, HitKind::None, 0, 0, 0},        {640, 20, HitKind::None, 0, 0, 0},
        {40, 17, HitKind::Cell, 0, 3, 0},        {80, 17, HitKind::Cell, 0, 3, 0},
        {81, 33, HitKind::Cell, 0, 3, 1},        {105, 34, HitKind::Cell, 0, 4, 1},
        {106, 34, HitKind::Cell, 0, 4, 2},       {135, 50, HitKind::Cell, 0, 4, 2},
        {136, 51, HitKind::Cell, 0, 5, 3},       {165, 51, HitKind::Cell, 0, 5, 3},
        {166, 51, HitKind::Cell, 0, 5, 4},       {190, 51, HitKind::Cell, 1, 5, 5},
        {639, 186, HitKind::Cell, 3, 12, 19},    {100, 187, HitKind::None, 0, 0, 0},
        {340, 0, HitKind::TrackHeader, 2, 0, 0}, {489, 16, HitKind::TrackHeader, 2, 0, 0},
        {20, 5, HitKind::None, 0, 0, 0},
    };
    for (const Case& k : cases) {
        const PatternCursor::Hit h = c.hit(k.x, k.y);
        EXPECT_EQ(h.kind, k.kind) << k.x << "," << k.y;
        if (h.kind == HitKind::Cell) {
            EXPECT_EQ(h.row, k.row) << k.x << "," << k.y;
            EXPECT_EQ(h.column, k.column) << k.x << "," << k.y;
        }
        if (h.kind != HitKind::None) {
            EXPECT_EQ(h.track, k.track) << k.x << "," << k.y;
        }
    }
    // With room for more than 64 rows, rows below 63 cannot be hit.
    c.setVisibleRows(70);
    EXPECT_EQ(c.hit(50, 17 + 17 * 64).kind, HitKind::None);
    EXPECT_EQ(c.hit(50, 17 + 17 * 63).kind, HitKind::Cell);
}

TEST(PatternEditor, ClickOnATrackImageSwitchesTheTrackAndKeepsTheCursor) {
    Editor e;
    e.ws.click(340, 8);
    EXPECT_EQ(e.ws.song().trackEnabled[2], 0);
    e.ws.click(340, 8);
    EXPECT_EQ(e.ws.song().trackEnabled[2], 1);
    EXPECT_EQ(e.ws.cursor().row(), 0);
    EXPECT_EQ(e.ws.cursor().column(), 0);
    e.ws.click(300, 17 * 3 + 1);
    EXPECT_EQ(e.ws.cursor().row(), 2);
    EXPECT_EQ(e.ws.cursor().column(), 8);  // track 1, effect field
}

TEST(PatternEditor, ModifiedFlagFollowsEditsOfTheSong) {
    testing::TempDir dir;
    Editor e;
    std::vector<unsigned> changes;
    const std::uint64_t revision = e.ws.revision();
    e.ws.setChangeListener([&](const WorkspaceChange& c) { changes.push_back(c.what); });
    const auto expectModified = [&](bool expected, const char* after) {
        EXPECT_EQ(e.ws.modified(), expected) << "after " << after;
    };

    // Looking, moving and muting change nothing that is saved.
    e.ws.copyTrack(0);
    e.ws.copyPattern();
    e.ws.moveCursor(CursorMove::Down);
    e.ws.toggleTrack(1);
    e.ws.setOctave(6);
    e.ws.setVoiceIndex(4);
    e.ws.selectOrder(0);
    e.ws.pasteTrack(0);  // the clipboard holds an empty track: nothing changes
    expectModified(false, "looking around");
    EXPECT_EQ(e.ws.revision() - revision, changes.size()) << "every change is reported";

    e.type("Q");  // not a note
    expectModified(false, "a key that does nothing");
    e.type("C");
    expectModified(true, "a note");
    EXPECT_TRUE(changes.back() & WorkspaceChange::kCursor);

    ASSERT_TRUE(e.ws.save(dir / "a.mus"));
    expectModified(false, "save");
    e.ws.newPattern();
    expectModified(true, "new pattern");
    ASSERT_FALSE(e.ws.open(dir / "missing.mus"));
    expectModified(true, "a failed open");
    ASSERT_TRUE(e.ws.open(dir / "a.mus"));
    expectModified(false, "open");
    e.ws.appendOrder();
    expectModified(true, "an order entry");
    e.ws.newProject();
    expectModified(false, "new project");
    e.ws.renameCurrentPattern("Pat 00");
    expectModified(false, "a rename to the same name");
    e.ws.renameCurrentPattern("Intro");
    expectModified(true, "a rename");
}

TEST(PatternGrid, FieldTexts) {
    const Cell cell{kNoteC + 1, 3, 7, 15, 0};
    EXPECT_EQ(grid::fieldText(cell, grid::kNoteField), "C#");
    EXPECT_EQ(grid::fieldText(cell, grid::kOctaveField), "3");
    EXPECT_EQ(grid::fieldText(cell, grid::kInstrumentField), "07");
    EXPECT_EQ(grid::fieldText(cell, grid::kEffectField), "15");
    EXPECT_EQ(grid::fieldText(cell, grid::kParameterField), "00");
    EXPECT_EQ(grid::fieldText(kEmptyCell, grid::kNoteField), "- -");
    EXPECT_EQ(grid::fieldText(kEmptyCell, grid::kOctaveField), "-");
    EXPECT_EQ(grid::fieldText(kEmptyCell, grid::kParameterField), "- -");
    EXPECT_EQ(grid::visibleRowsFor(17 + 17 * 20 + 16), 20) << "a partial row does not count";
    EXPECT_EQ(grid::visibleRowsFor(10), 0);
}

// A whole-chip song's effect column: one symbol (0-F, then G ... for the chip's own), the
// parameter in hex, the last two digits typed; the status bar's words for what it does.
TEST(PatternGrid, WholeChipEffectsAreHex) {
    const Cell cell{kNoteC, 3, 7, 0x12, 0xA5};
    EXPECT_EQ(grid::fieldText(cell, grid::kEffectField, true), "I");
    EXPECT_EQ(grid::fieldText(cell, grid::kParameterField, true), "A5");
    EXPECT_EQ(grid::fieldText(kEmptyCell, grid::kEffectField, true), "-");
    EXPECT_EQ(grid::fieldText(cell, grid::kEffectField), "18");  // a classic song's, decimal
    for (std::uint8_t e = 0; e < wholeChipEffects().size(); ++e)
        EXPECT_EQ(effectForSymbol(static_cast<char32_t>(std::tolower(effectSymbol(e)))), e);
    EXPECT_EQ(effectForSymbol('N'), std::nullopt);
    EXPECT_EQ(typedEffect(kNone, 'c', true), 0x0C);
    EXPECT_EQ(typedEffect(1, '5', false), 15);                // classic: "1" "5"
    EXPECT_EQ(typedEffect(kNone, 'c', false), std::nullopt);  // classic takes digits
    EXPECT_EQ(typedParameter(kNone, 'f', true), 0x0F);
    EXPECT_EQ(typedParameter(0x0F, '3', true), 0xF3);
    EXPECT_EQ(typedParameter(0xF3, 'a', true), 0x3A);
    EXPECT_EQ(typedParameter(0xF3, 'g', true), std::nullopt);

    const std::pair<std::array<std::uint8_t, 2>, std::string_view> said[] = {
        {{0x04, 0x36}, "4 vibrato: speed 3, depth 6/16 semitone"},
        {{0x04, 0x06}, "4 vibrato: speed the last, depth 6/16 semitone"},
        {{0x00, 0x00}, "0 arpeggio: nothing"},
        {{0x0C, 0x00}, "C key off"},
        {{0x0C, 0x20}, "C volume: 32 of 64"},
        {{0x0D, 0x12}, "D pattern break: to row 12 of the next position"},
        {{0x0E, 0xD3}, "E delay: the note at tick 3"},
        {{0x0F, 0x00}, "F stop the song"},
        {{0x0F, 0x7D}, "F tempo: 125 beats a minute"},
        {{0x0A, 0x04}, "A volume down 4 a tick"},
        {{0x10, 0x13}, "G LFO on: rate 3"},
    };
    for (const auto& [cellEffect, text] : said)
        EXPECT_EQ(describeEffect(cellEffect[0], cellEffect[1], TrackKind::Fm), text);
    EXPECT_EQ(describeEffect(0x08, 0xFF, TrackKind::Ssg),
              "8 panning: right (the SSG has none: ignored)");
    EXPECT_EQ(describeEffect(kNone, kNone, TrackKind::Fm), "");
}

}  // namespace
}  // namespace qvx
