// Undo and redo, the block selection, transpose and the editing keys, below the GUI.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "song/instrument_file.hpp"
#include "song/workspace.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

// A workspace with a window of 20 rows and the cursor placed by row and column.
struct Editor {
    Editor() { ws.setVisibleRows(20); }
    void type(const std::string& keys) {
        for (char c : keys)
            ws.typeChar(static_cast<unsigned char>(c));
    }
    void moveTo(int row, int column) {
        ws.moveToRow(row);
        while (ws.cursor().column() < column)
            ws.moveCursor(CursorMove::Right);
        while (ws.cursor().column() > column)
            ws.moveCursor(CursorMove::Left);
    }
    const Cell& cell(int track, int row) const { return ws.currentPatternData().cell(track, row); }
    static Cell note(std::uint8_t n, std::uint8_t octave) { return Cell{n, octave, 1, 0, 0}; }

    Workspace ws;
};

bool sameSong(const Song& a, const Song& b) {
    return a.patternCount == b.patternCount && a.order == b.order && a.patterns == b.patterns &&
           a.instruments == b.instruments;
}

TEST(Undo, EveryKindOfChangeGoesBackAndComesAgain) {
    testing::TempDir dir;
    {
        Song source;
        source.setInstrumentRegisters(1, VoiceBytes{7, 7, 7});
        source.renameInstrument(1, "Loaded");
        ASSERT_TRUE(saveInstrumentFile(source, 1, dir / "loaded.ins"));
    }
    const auto yes = [](std::string_view) { return true; };
    const struct {
        const char* name;
        std::function<void(Editor&)> change;
    } changes[] = {
        {"note", [](Editor& e) { e.type("Z"); }},
        {"digits", [](Editor& e) { e.moveTo(3, 2), e.type("12"); }},
        {"end", [](Editor& e) { e.ws.endKey(); }},
        {"cut track", [](Editor& e) { e.ws.cutTrack(0); }},
        {"paste track", [](Editor& e) { e.ws.copyTrack(0), e.ws.pasteTrack(2); }},
        {"paste pattern",
         [](Editor& e) { e.ws.copyPattern(), e.ws.nextPattern(), e.ws.pastePattern(); }},
        {"octave", [&](Editor& e) { e.ws.shiftTrackOctaveUp(0, yes); }},
        {"transpose", [&](Editor& e) { e.ws.transpose(5, yes); }},
        {"new pattern", [](Editor& e) { e.ws.newPattern(); }},
        {"rename pattern", [](Editor& e) { e.ws.renameCurrentPattern("Verse"); }},
        {"append order", [](Editor& e) { e.ws.appendOrder(); }},
        {"insert order", [](Editor& e) { e.ws.selectOrder(0), e.ws.insertOrder(); }},
        {"update order",
         [](Editor& e) { e.ws.selectOrder(0), e.ws.nextPattern(), e.ws.updateOrder(); }},
        {"delete order", [](Editor& e) { e.ws.selectOrder(1), e.ws.deleteOrder(); }},
        {"store instrument",
         [](Editor& e) {
             e.ws.storeInstrument(3, VoiceBytes{1, 2, 3});
         }},
        {"rename instrument", [](Editor& e) { e.ws.renameInstrument(3, "Pad"); }},
        {"load instrument",
         [&](Editor& e) { ASSERT_TRUE(e.ws.loadInstrument(4, dir / "loaded.ins")); }},
        {"insert cell", [](Editor& e) { e.ws.insertCell(); }},
        {"remove cell", [](Editor& e) { e.ws.removeCell(); }},
        {"cut block", [](Editor& e) { e.ws.extendSelection(CursorMove::Down), e.ws.cutBlock(); }},
        {"paste block", [](Editor& e) { e.ws.copyBlock(), e.moveTo(40, 5), e.ws.pasteBlock(); }},
        {"delete block",
         [](Editor& e) { e.ws.extendSelection(CursorMove::Right), e.ws.deleteBlock(); }},
    };
    for (const auto& [name, change] : changes) {
        Editor e;
        e.ws.newPattern();
        e.ws.appendOrder();
        e.ws.previousPattern();
        e.ws.song().patterns[0].cell(0, 0) = Editor::note(3, 2);
        e.ws.song().patterns[0].cell(0, 1) = Editor::note(5, 6);
        ASSERT_TRUE(e.ws.save(dir / "before.mus"));  // the saved state, unmodified from here
        const Song before = e.ws.song();
        e.moveTo(0, 0);
        const EditPlace where{e.ws.currentPattern(), e.ws.cursor().row(), e.ws.cursor().column(),
                              e.ws.orderSelection()};
        const std::size_t steps = e.ws.history().size();
        change(e);
        const Song after = e.ws.song();
        EXPECT_EQ(e.ws.history().size(), steps + 1) << name << ": one step";
        ASSERT_FALSE(sameSong(before, after)) << name << ": nothing changed";
        EXPECT_TRUE(e.ws.modified()) << name;

        e.ws.moveToRow(50);
        ASSERT_TRUE(e.ws.undo()) << name;
        EXPECT_TRUE(sameSong(e.ws.song(), before)) << name;
        EXPECT_FALSE(e.ws.modified()) << name << ": back at the saved song";
        ASSERT_TRUE(e.ws.redo()) << name;
        EXPECT_TRUE(sameSong(e.ws.song(), after)) << name;
        EXPECT_TRUE(e.ws.modified()) << name;
        // Undo puts the cursor back where the change was made.
        e.ws.undo();
        const std::string_view kind = name;
        if (kind == "note" || kind == "end" || kind == "cut track" || kind == "transpose" ||
            kind == "insert cell" || kind == "store instrument") {
            EXPECT_EQ(e.ws.currentPattern(), where.pattern) << name;
            EXPECT_EQ(e.ws.cursor().row(), where.row) << name;
        }
    }
}

TEST(Undo, ModifiedFlagFollowsTheHistory) {
    testing::TempDir dir;
    Editor e;
    e.type("Z");
    e.type("X");
    EXPECT_TRUE(e.ws.modified());
    ASSERT_TRUE(e.ws.save(dir / "a.mus"));
    EXPECT_FALSE(e.ws.modified());
    e.ws.undo();  // before the save: changed again
    EXPECT_TRUE(e.ws.modified());
    e.ws.redo();
    EXPECT_FALSE(e.ws.modified());
    e.ws.undo();
    e.type("C");  // a new branch: the saved state can no longer be reached
    EXPECT_TRUE(e.ws.modified());
    EXPECT_FALSE(e.ws.canRedo());
    e.ws.undo();
    EXPECT_TRUE(e.ws.modified());
    e.ws.newProject();
    EXPECT_FALSE(e.ws.modified());
    EXPECT_FALSE(e.ws.canUndo());
}

TEST(Undo, DigitsOfOneFieldAreOneStepAndTheHistoryIsBounded) {
    Editor e;
    e.moveTo(0, 2);  // instrument field
    e.type("12");
    e.moveTo(1, 2);
    e.type("3");
    EXPECT_EQ(e.ws.history().size(), 2u);
    e.ws.undo();
    e.ws.undo();
    EXPECT_EQ(e.cell(0, 0).instrument, kNone);

    // Each note a step, up to the limit; the oldest steps go.
    Editor many;
    many.ws.setEditStep(0);
    for (int i = 0; i < 600; ++i)
        many.type(i % 2 ? "Z" : "X");
    EXPECT_EQ(many.ws.history().size(), EditHistory::kDefaultLimit);
    int undone = 0;
    while (many.ws.undo())
        ++undone;
    EXPECT_EQ(undone, 256);
    EXPECT_EQ(many.cell(0, 0).note, kNoteC);  // typed by step 344 (Z), not the empty cell
    // Memory: a step keeps its pattern before and after, with room for every track the chip
    // has, about 9 KB: 2.4 MB when full.
    EXPECT_LT(many.ws.history().bytes(), 256u * 9600u);
}

TEST(BlockSelection, CopyPasteClipsAtThePatternsEdges) {
    Editor e;
    for (int row = 0; row < 4; ++row)
        for (int track = 0; track < 2; ++track)
            e.ws.song().patterns[0].cell(track, row) =
                Editor::note(static_cast<std::uint8_t>(row), static_cast<std::uint8_t>(track + 2));
    e.ws.extendSelection(CursorMove::Right);
    for (int i = 0; i < 3; ++i)
        e.ws.extendSelection(CursorMove::Down);
    ASSERT_EQ(e.ws.selection(), (CellRect{0, 0, 1, 3}));
    e.ws.copyBlock();
    EXPECT_TRUE(e.ws.selection().has_value());
    e.ws.moveCursor(CursorMove::Down);  // a plain cursor key ends the selection
    EXPECT_FALSE(e.ws.selection().has_value());

    e.moveTo(62, 15);  // track 4, row 62: one track and two rows fit
    e.ws.pasteBlock();
    EXPECT_EQ(e.cell(3, 62), Editor::note(0, 2));
    EXPECT_EQ(e.cell(3, 63), Editor::note(1, 2));
    EXPECT_EQ(e.cell(2, 62), kEmptyCell);

    // Delete without a selection clears the cursor's cell only; cut clears the block.
    e.ws.deleteBlock();
    EXPECT_EQ(e.cell(3, 62), kEmptyCell);
    EXPECT_EQ(e.cell(3, 63), Editor::note(1, 2));
    e.moveTo(0, 0);
    e.ws.extendSelection(CursorMove::Down);
    e.ws.cutBlock();
    EXPECT_EQ(e.cell(0, 1), kEmptyCell);
    EXPECT_EQ(e.cell(1, 1), Editor::note(1, 3));
}

TEST(Transpose, CrossesOctavesAndAsksBeforeLeavingTheRange) {
    Editor e;
    Pattern& p = e.ws.song().patterns[0];
    p.cell(0, 0) = Editor::note(kNoteB, 3);
    p.cell(0, 1) = Editor::note(kNoteC, 4);
    p.cell(0, 2) = Cell{kNoteEnd, kNone, kNone, kNone, kNone};
    p.cell(1, 0) = Editor::note(kNoteB, 7);  // another track: untouched without a selection
    ASSERT_TRUE(e.ws.transpose(1, {}));
    EXPECT_EQ(e.cell(0, 0), Editor::note(kNoteC, 4));
    EXPECT_EQ(e.cell(0, 1), Editor::note(1, 4));
    EXPECT_EQ(e.cell(0, 2).note, kNoteEnd);
    ASSERT_TRUE(e.ws.transpose(-13, {}));
    EXPECT_EQ(e.cell(0, 0), Editor::note(kNoteB, 2));

    // B-7 up a semitone would leave the range: asked; No changes nothing, Yes keeps it in place.
    e.moveTo(0, 5);
    std::vector<std::string> asked;
    const auto answer = [&](bool yes) {
        return [&asked, yes](std::string_view q) {
            asked.emplace_back(q);
            return yes;
        };
    };
    p.cell(1, 1) = Editor::note(kNoteC, 5);
    EXPECT_FALSE(e.ws.transpose(12, answer(false)));
    EXPECT_EQ(e.cell(1, 1), Editor::note(kNoteC, 5));
    EXPECT_TRUE(e.ws.transpose(12, answer(true)));
    EXPECT_EQ(e.cell(1, 0), Editor::note(kNoteB, 7));
    EXPECT_EQ(e.cell(1, 1), Editor::note(kNoteC, 6));
    EXPECT_EQ(asked, (std::vector<std::string>(2, std::string(kOctaveLossQuestion))));
}

TEST(EditingKeys, StepPagesTracksAndShifts) {
    Editor e;
    e.ws.setEditStep(3);
    e.type("Z");
    EXPECT_EQ(e.ws.cursor().row(), 3);
    e.ws.setEditStep(0);
    e.type("X");
    EXPECT_EQ(e.ws.cursor().row(), 3);
    e.ws.setEditStep(99);
    EXPECT_EQ(e.ws.editStep(), 16);
    e.ws.moveToRow(62);
    e.type("C");  // the step stops at the last row
    EXPECT_EQ(e.ws.cursor().row(), 63);
    EXPECT_GE(e.ws.cursor().topRow(), 44);  // and the window follows

    e.ws.moveToRow(0);
    e.ws.moveRows(16);
    e.ws.moveRows(16);
    EXPECT_EQ(e.ws.cursor().row(), 32);
    e.ws.moveRows(-40);
    EXPECT_EQ(e.ws.cursor().row(), 0);

    e.moveTo(0, 7);
    e.ws.nextTrack(+1);
    EXPECT_EQ(e.ws.cursor().column(), 10);
    e.ws.nextTrack(+1);
    e.ws.nextTrack(+1);
    EXPECT_EQ(e.ws.cursor().column(), 0);  // round to the first track
    e.ws.nextTrack(-1);
    EXPECT_EQ(e.ws.cursor().column(), 15);

    Pattern& p = e.ws.song().patterns[0];
    p.cell(3, 5) = Editor::note(1, 1);
    p.cell(3, 63) = Editor::note(2, 2);
    e.ws.moveToRow(5);
    e.ws.insertCell();
    EXPECT_EQ(e.cell(3, 5), kEmptyCell);
    EXPECT_EQ(e.cell(3, 6), Editor::note(1, 1));
    EXPECT_EQ(e.cell(3, 63), kEmptyCell);  // the last row dropped off
    e.ws.removeCell();
    EXPECT_EQ(e.cell(3, 5), Editor::note(1, 1));
    EXPECT_EQ(e.cell(3, 63), kEmptyCell);
}

}  // namespace
}  // namespace qvx
