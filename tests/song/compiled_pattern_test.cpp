#include <gtest/gtest.h>

#include "song/compiled_pattern.hpp"

namespace qvx {
namespace {

TEST(CompiledCell, Encodings) {
    EXPECT_EQ(compileCell(Cell{0, 4, 2, 15, 6}), (CompiledCell{0x3C, 0x02, 0x0F, 0x06}));
    EXPECT_EQ(compileCell(Cell{1, 4, 1, 0, 0})[0], 0x41);
    EXPECT_EQ(compileCell(Cell{11, 7, 1, 0, 0})[0], 0x7B);
    EXPECT_EQ(compileCell(Cell{0, 1, 1, 0, 0})[0], 0x0C);
    EXPECT_EQ(compileCell(kEmptyCell), (CompiledCell{0x00, 0xFF, 0xFF, 0xFF}));
    // No octave means no note, even for a note or the end mark.
    EXPECT_EQ(compileCell(Cell{13, 0xFF, 0xFF, 0xFF, 0xFF})[0], 0x00);
    EXPECT_EQ(compileCell(Cell{5, 0xFF, 3, 0x0C, 0})[0], 0x00);
    EXPECT_EQ(compileCell(Cell{13, 2, 0xFF, 0xFF, 0xFF})[0], 0x2D);
    // The empty note with an octave keeps the octave nibble.
    EXPECT_EQ(compileCell(Cell{12, 3, 0xFF, 0xFF, 0xFF})[0], 0x30);
}

TEST(CompiledCell, MutedKeepsEverythingButTheNote) {
    EXPECT_EQ(compileCell(Cell{0, 4, 2, 15, 6}, true), (CompiledCell{0x40, 0x02, 0x0F, 0x06}));
    EXPECT_EQ(compileCell(Cell{9, 5, 7, 0x0D, 0}, true), (CompiledCell{0x50, 0x07, 0x0D, 0x00}));
}

TEST(CompiledCell, DecodeInvertsEveryCellWithAnOctave) {
    for (std::uint8_t note = 0; note <= kNoteEnd; ++note) {
        if (note == kNoteEmpty) continue;
        for (std::uint8_t octave = 1; octave <= 7; ++octave) {
            const Cell cell{note, octave, 17, 0x0F, 0x99};
            const CompiledCell bytes = compileCell(cell);
            EXPECT_EQ(decodeCell(bytes), cell) << int(note) << " octave " << int(octave);
        }
    }
}

TEST(CompiledCell, DecodeOfCellsWithoutNote) {
    // A cell without an octave comes back as the empty note.
    EXPECT_EQ(decodeCell(compileCell(Cell{13, 0xFF, 0xFF, 0xFF, 0xFF})), kEmptyCell);
    EXPECT_EQ(decodeCell(CompiledCell{0x00, 0xFF, 0xFF, 0xFF}), kEmptyCell);
    EXPECT_EQ(decodeCell(CompiledCell{0x30, 0xFF, 0xFF, 0xFF}), (Cell{12, 3, 0xFF, 0xFF, 0xFF}));
}

TEST(CompiledPattern, RowByRowLayoutAndTrackFlags) {
    Pattern pattern;
    pattern.cell(1, 0) = Cell{0, 4, 2, 15, 6};
    pattern.cell(3, 63) = Cell{11, 7, 1, 0, 0};
    pattern.cell(1, 10) = Cell{2, 3, 4, 0xFF, 0xFF};

    const CompiledPattern all = compilePattern(pattern);
    EXPECT_EQ(all[(0 * 4 + 1) * 4], 0x3C);
    EXPECT_EQ(all[(63 * 4 + 3) * 4], 0x7B);
    EXPECT_EQ(all[0], 0x00);
    EXPECT_EQ(all[1], 0xFF);

    const TrackFlags flags{1, 0, 1, 1};
    const CompiledPattern muted = compilePattern(pattern, &flags);
    for (int row = 0; row < kRows; ++row)
        EXPECT_EQ(muted[(row * 4 + 1) * 4] & 0x0F, 0) << row;
    EXPECT_EQ(muted[(10 * 4 + 1) * 4], 0x30);  // octave nibble kept
    EXPECT_EQ(muted[(10 * 4 + 1) * 4 + 1], 4);
    EXPECT_EQ(muted[(63 * 4 + 3) * 4], 0x7B);

    auto decoded = decodePattern(all);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, pattern.tracks);
}

TEST(CompiledPattern, DecodeRefusesWhatTheEditorCannotHold) {
    CompiledPattern bytes = compilePattern(Pattern{});
    bytes[100 * 4] = 0x3E;  // note nibble 14
    EXPECT_FALSE(decodePattern(bytes).has_value());
    bytes[100 * 4] = 0x8F;
    EXPECT_FALSE(decodePattern(bytes).has_value());
    bytes[100 * 4] = 0x81;  // octave 8
    EXPECT_FALSE(decodePattern(bytes).has_value());
    bytes[100 * 4] = 0x7C;  // C at octave 8
    EXPECT_FALSE(decodePattern(bytes).has_value());
    bytes[100 * 4] = 0x6C;  // C at octave 7
    EXPECT_TRUE(decodePattern(bytes).has_value());
}

}  // namespace
}  // namespace qvx
