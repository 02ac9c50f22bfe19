#include <gtest/gtest.h>

#include "song/song.hpp"
#include "song/workspace.hpp"

namespace qvx {
namespace {

Cell note(std::uint8_t value, std::uint8_t octave, std::uint8_t instrument = 1) {
    return Cell{value, octave, instrument, 0, 0};
}

TEST(SongModel, NewSongState) {
    Song song;
    EXPECT_EQ(song.patternCount, 1);
    EXPECT_EQ(song.patterns[0].name, "Pat 00");
    EXPECT_EQ(song.order, std::vector<std::uint8_t>{0});
    EXPECT_EQ(song.instruments[1].name, "01 Unnamed");
    EXPECT_EQ(song.instruments[31].name, "31 Unnamed");
    for (int k = 1; k <= kInstrumentCount; ++k)
        EXPECT_EQ(song.instruments[k].registers, VoiceBytes{});
    EXPECT_EQ(song.trackEnabled, Song::allTracksEnabled());
    for (const Track& track : song.patterns[0].tracks)
        for (const Cell& cell : track)
            EXPECT_EQ(cell, (Cell{12, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(SongModel, ResetClearsEverythingButTheClipboard) {
    Workspace ws;
    ws.song().patterns[0].cell(2, 5) = note(3, 4);
    ws.copyPattern();
    ws.newPattern();
    ws.song().renameInstrument(7, "Lead");
    ws.song().instruments[7].registers[3] = 9;
    ws.song().toggleTrack(1);
    ws.setOctave(6);

    ws.newProject();
    EXPECT_EQ(ws.song().patternCount, 1);
    EXPECT_EQ(ws.song().patterns[0].cell(2, 5), kEmptyCell);
    EXPECT_EQ(ws.song().instruments[7].name, "07 Unnamed");
    EXPECT_EQ(ws.song().instruments[7].registers[3], 0);
    EXPECT_EQ(ws.song().trackEnabled[1], 1);
    EXPECT_EQ(ws.octave(), 4);
    EXPECT_EQ(ws.currentPattern(), 0);
    EXPECT_EQ(ws.orderEntryTexts(), std::vector<std::string>{"00 - 00"});
    EXPECT_EQ(ws.orderSelection(), 0);
    // The clipboard survives New Project.
    EXPECT_EQ(ws.clipboard().tracks[2][5], note(3, 4));
}

TEST(SongModel, PatternLimitAndNames) {
    Song song;
    for (int i = 1; i < kMaxPatterns; ++i)
        EXPECT_EQ(song.addPattern(), i);
    EXPECT_EQ(song.patterns[63].name, "Pat 63");
    song.patterns[10].cell(0, 0) = note(1, 2);
    EXPECT_FALSE(song.addPattern().has_value());
    EXPECT_EQ(song.patternCount, 64);
    EXPECT_EQ(song.patterns[10].cell(0, 0), note(1, 2));
}

TEST(SongModel, AddPatternClearsStaleCells) {
    Song song;
    song.patterns[1].cell(3, 63) = note(5, 5);  // left over from an earlier, longer song
    ASSERT_EQ(song.addPattern(), 1);
    EXPECT_EQ(song.patterns[1].cell(3, 63), kEmptyCell);
}

TEST(SongModel, UsedInstrumentCountReadsBytesAsSigned) {
    Song song;
    EXPECT_EQ(song.usedInstrumentCount(), 1);
    song.patterns[0].cell(1, 1) = Cell{12, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(song.usedInstrumentCount(), 1);
    song.patterns[0].cell(1, 2) = note(0, 3, 5);
    song.patterns[0].cell(2, 2) = note(0, 3, 0x90);  // negative as a signed byte
    EXPECT_EQ(song.usedInstrumentCount(), 5);
    // Patterns beyond the count do not take part.
    song.patterns[5].cell(0, 0) = note(0, 3, 20);
    EXPECT_EQ(song.usedInstrumentCount(), 5);
}

TEST(SongModel, ClipboardUsesTrackZeroForTrackOperations) {
    Workspace ws;
    Pattern& p = ws.song().patterns[0];
    for (int t = 0; t < kTracks; ++t)
        p.cell(t, 7) = note(static_cast<std::uint8_t>(t), 3);
    ws.copyPattern();
    ws.newPattern();
    ws.pasteTrack(2);
    EXPECT_EQ(ws.song().patterns[1].cell(2, 7), note(0, 3));
    EXPECT_EQ(ws.song().patterns[1].cell(0, 7), kEmptyCell);

    ws.previousPattern();
    ws.cutTrack(3);
    for (const Cell& cell : ws.song().patterns[0].tracks[3])
        EXPECT_EQ(cell, (Cell{12, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ws.clipboard().tracks[0][7], note(3, 3));
    // Names are never copied.
    ws.song().patterns[0].name = "Intro";
    ws.copyPattern();
    ws.nextPattern();
    ws.pastePattern();
    EXPECT_EQ(ws.song().patterns[1].name, "Pat 01");
    EXPECT_EQ(ws.song().patterns[1].cell(2, 7), note(2, 3));
    EXPECT_EQ(ws.song().patterns[1].cell(3, 7), kEmptyCell);  // cut before the copy
}

TEST(SongModel, OctaveShiftDownAsksOnlyAtTheLimit) {
    Song song;
    Track& track = song.patterns[0].tracks[1];
    track[0] = note(0, 2);
    track[1] = note(4, 5);
    int asked = 0;
    auto yes = [&](std::string_view q) {
        EXPECT_EQ(q, "Some notes will be lost, continue?");
        ++asked;
        return true;
    };
    EXPECT_TRUE(song.shiftTrackOctaveDown(0, 1, yes));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(track[0].octave, 1);
    EXPECT_EQ(track[1].octave, 4);

    auto no = [&](std::string_view) {
        ++asked;
        return false;
    };
    EXPECT_FALSE(song.shiftTrackOctaveDown(0, 1, no));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(track[1].octave, 4);

    EXPECT_TRUE(song.shiftTrackOctaveDown(0, 1, yes));
    EXPECT_EQ(track[0].octave, 1);  // stays at the limit: the loss the question warns of
    EXPECT_EQ(track[1].octave, 3);
    EXPECT_EQ(track[2].octave, 0xFF);
    EXPECT_EQ(track[1].note, 4);
}

TEST(SongModel, OctaveShiftUpKeepsOctaveSevenAndNone) {
    Song song;
    Track& track = song.patterns[0].tracks[0];
    track[0] = note(0, 7);
    track[1] = note(2, 6);
    int asked = 0;
    EXPECT_TRUE(song.shiftTrackOctaveUp(0, 0, [&](std::string_view) { return ++asked, true; }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(track[0].octave, 7);
    EXPECT_EQ(track[1].octave, 7);
    EXPECT_EQ(track[2].octave, 0xFF);
}

TEST(SongModel, OctaveShiftOnTrackWithoutOctavesNeverAsks) {
    Song song;
    int asked = 0;
    auto count = [&](std::string_view) { return ++asked, false; };
    EXPECT_TRUE(song.shiftTrackOctaveDown(0, 0, count));
    EXPECT_TRUE(song.shiftTrackOctaveUp(0, 0, count));
    EXPECT_EQ(asked, 0);
}

TEST(SongModel, InstrumentNames) {
    Song song;
    song.renameInstrument(7, "Lead");
    EXPECT_EQ(song.instruments[7].name, "07 Lead");
    EXPECT_EQ(song.instrumentUserName(7), "Lead");
    song.renameInstrument(12, "");
    EXPECT_EQ(song.instruments[12].name, "12 ");
    EXPECT_EQ(song.instrumentUserName(12), "");
    song.instruments[3].name = "03";  // shorter than its prefix
    EXPECT_EQ(song.instrumentUserName(3), "");
    // Names longer than the files can carry are cut, never written unreadable.
    song.renameInstrument(4, std::string(300, 'x'));
    EXPECT_EQ(song.instrumentUserName(4).size(), 255u);
}

// A cut never ends inside a UTF-8 character; names that fit stay as they are, whatever bytes.
TEST(SongModel, LongNamesAreCutAtACharacterBoundary) {
    const std::string e = "\xC3\xA9";          // é, two bytes
    const std::string g = "\xF0\x9D\x84\x9E";  // a four-byte character
    struct Case {
        std::string name;
        std::size_t kept;
    };
    const Case cases[] = {
        {std::string(254, 'a') + e, 254}, {std::string(253, 'a') + e + "b", 255},
        {std::string(252, 'a') + g, 252}, {std::string(251, 'a') + g + "b", 255},
        {std::string(255, '\xE9'), 255},  // an old Latin-1 name of 255 bytes
    };
    for (const Case& c : cases)
        EXPECT_EQ(sanitizeName(c.name), c.name.substr(0, c.kept)) << c.name.size();
}

TEST(SongModel, ToggleTrack) {
    Song song;
    song.toggleTrack(2);
    TrackFlags expected = Song::allTracksEnabled();
    expected[2] = 0;
    EXPECT_EQ(song.trackEnabled, expected);
    song.toggleTrack(2);
    EXPECT_EQ(song.trackEnabled[2], 1);
}

TEST(SongModel, NoteNames) {
    EXPECT_EQ(noteName(0), "C -");
    EXPECT_EQ(noteName(1), "C#");
    EXPECT_EQ(noteName(11), "B -");
    EXPECT_EQ(noteName(12), "- -");
    EXPECT_EQ(noteName(13), "END");
    EXPECT_EQ(noteName(200), "???");
}

}  // namespace
}  // namespace qvx
