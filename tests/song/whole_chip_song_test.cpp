#include <gtest/gtest.h>

#include "song/compiled_pattern.hpp"
#include "song/song_file.hpp"
#include "song/whole_chip_file.hpp"
#include "song/workspace.hpp"
#include "tests/support/recording_preview.hpp"

namespace qvx {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kFirstDrum = firstTrackOf(SongKind::WholeChip, TrackKind::AdpcmA);

// A whole-chip song with an FM voice, two kits sharing a sample, an SSG voice, an ADPCM-B sample,
// and notes on the FM and drum tracks.
Song drumSong() {
    Song song;
    song.resetWholeChip();
    song.renameInstrument(1, "Bass");
    song.instruments[1].registers.fill(0x21);
    const SampleRef kick = makeSample("kick", {0, 1000, -1000, 32767, -32768});
    const SampleRef snare = makeSample("snare", std::vector<std::int16_t>(300, 77));
    song.instruments[2].kind = InstrumentKind::AdpcmAKit;
    song.instruments[2].kit = singleSampleKit(kick);
    song.renameInstrument(2, "Kit");
    song.instruments[40].kind = InstrumentKind::AdpcmAKit;
    song.instruments[40].kit.notes[1] = {kick, 12};
    song.instruments[40].kit.notes[3] = {snare, 31};
    Instrument& buzz = song.instruments[41];
    buzz.kind = InstrumentKind::SsgVoice;
    buzz.ssg = SsgVoice{SsgMix::ToneAndNoise, 7, 12, true, 0x0A, 300, true, {15, 9, 4, 0}, 1, 3};
    Instrument& piano = song.instruments[63];
    piano.kind = InstrumentKind::AdpcmBSample;
    piano.pitched = PitchedSample{makeSample("piano", {5, 6, 7}), 32000, semitone(9, 3), 200, true};
    song.addPattern();
    song.renamePattern(1, "Drums");
    song.patterns[0].cell(0, 0) = Cell{0, 3, 1, 0x0F, 4};
    song.patterns[0].cell(kFirstDrum, 0) = Cell{1, 4, 2, 0xFF, 0xFF};
    song.patterns[1].cell(kFirstDrum + 5, 63) = Cell{3, 4, 40, 0x0C, 0};
    song.order = {0, 1, 1};
    return song;
}

TEST(WholeChipSong, ShapeNewAndConverted) {
    Song song;
    song.resetWholeChip();
    EXPECT_EQ(song.trackCount(), 14);
    EXPECT_EQ(song.instrumentCount(), 63);
    // FM, SSG, ADPCM-A, ADPCM-B, each group's tracks on its channels in turn.
    std::string names;
    for (int t = 0; t < song.trackCount(); ++t)
        names += trackName(song.kind, t) + "=" + std::to_string(trackChannel(song.kind, t)) + " ";
    EXPECT_EQ(names,
              "FM 1=0 FM 2=1 FM 3=2 FM 4=3 SSG 1=0 SSG 2=1 SSG 3=2 ADPCM-A 1=0 ADPCM-A 2=1 "
              "ADPCM-A 3=2 ADPCM-A 4=3 ADPCM-A 5=4 ADPCM-A 6=5 ADPCM-B=0 ");
    EXPECT_EQ(song.trackKind(6), TrackKind::Ssg);
    EXPECT_EQ(song.trackKind(7), TrackKind::AdpcmA);
    EXPECT_EQ(song.trackKind(13), TrackKind::AdpcmB);
    EXPECT_EQ(trackKind(SongKind::Classic, 3), TrackKind::Fm);
    EXPECT_EQ(song.instruments[63].name, "63 Unnamed");

    // A classic song pasting a whole-chip pattern keeps its hidden tracks empty, and converting
    // keeps the FM tracks and instruments as they were.
    Song classic;
    classic.renameInstrument(5, "Lead");
    classic.patterns[0].cell(3, 7) = Cell{2, 5, 5, 0xFF, 0xFF};
    PatternClipboard clip;
    drumSong().copyPattern(0, clip);
    classic.pastePattern(0, clip);
    EXPECT_EQ(classic.patterns[0].cell(0, 0), (Cell{0, 3, 1, 0x0F, 4}));
    EXPECT_EQ(classic.patterns[0].tracks[4], Pattern::emptyTracks()[4]);
    classic.patterns[0].cell(3, 7) = Cell{2, 5, 5, 0xFF, 0xFF};
    const auto fmBefore = classic.patterns[0].tracks;
    classic.convertToWholeChip();
    EXPECT_EQ(classic.kind, SongKind::WholeChip);
    EXPECT_EQ(classic.patterns[0].tracks, fmBefore);
    EXPECT_EQ(classic.instruments[5].name, "05 Lead");
}

TEST(WholeChipSong, FileRoundTripStoresEachSampleOnce) {
    const Song song = drumSong();
    const Bytes bytes = serializeSong(song);
    ASSERT_TRUE(isWholeChipSongFile(bytes));
    Song loaded;
    ASSERT_TRUE(parseSong(bytes, loaded));
    EXPECT_EQ(serializeSong(loaded), bytes);
    EXPECT_EQ(loaded.kind, SongKind::WholeChip);
    for (int k = 1; k <= kWholeChipInstrumentCount; ++k)
        EXPECT_EQ(loaded.instruments[k], song.instruments[k]) << k;
    for (int p = 0; p < 2; ++p)
        EXPECT_EQ(loaded.patterns[p], song.patterns[p]);
    EXPECT_EQ(loaded.order, song.order);
    // One sample object for the kick, used by both kits, as in the song written.
    EXPECT_EQ(loaded.instruments[2].kit.notes[0].sample,
              loaded.instruments[40].kit.notes[1].sample);
    std::size_t samples = 0;
    for (std::size_t at = 0; at + 4 <= bytes.size(); ++at)
        samples += std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                              bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4, "SMPL");
    EXPECT_EQ(samples, 3u);
}

// Builds a QVXM2 file from sections, to damage one thing at a time.
struct FileMaker {
    Bytes bytes{'Q', 'V', 'X', 'M', '2'};
    FileMaker& section(std::string_view tag, const Bytes& payload) {
        bytes.insert(bytes.end(), tag.begin(), tag.end());
        for (int k = 0; k < 4; ++k)
            bytes.push_back(static_cast<std::uint8_t>(payload.size() >> (8 * k)));
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        return *this;
    }
    FileMaker& song(const Bytes& tracks = {0, 0, 0, 0, 1}) {
        Bytes payload{1, static_cast<std::uint8_t>(tracks.size())};
        payload.insert(payload.end(), tracks.begin(), tracks.end());
        return section("SONG", payload);
    }
    FileMaker& pattern(std::size_t tracks = 5) {
        Bytes payload{'P', 0};
        payload.resize(2 + tracks * 256, 0);
        return section("PATT", payload);
    }
    FileMaker& order() { return section("ORDR", {1, 0}); }
};

Bytes sample(std::uint32_t frames, std::size_t stored) {
    Bytes payload{0, 's', 0};
    for (int k = 0; k < 4; ++k)
        payload.push_back(static_cast<std::uint8_t>(frames >> (8 * k)));
    payload.resize(payload.size() + stored * 2, 0);
    return payload;
}

// An SSG voice, 7 steps; and an ADPCM-B instrument.
Bytes ssg(std::uint8_t mix, std::uint8_t flags, std::uint8_t loop, std::uint8_t release) {
    return {3, 2,  'b', 0,  mix, 31, 15, flags, 8,    0x00,   0x01,
            7, 15, 14,  12, 9,   6,  3,  0,     loop, release};
}
Bytes pitched(std::uint16_t sampleNumber, std::uint32_t rate, std::uint8_t loop) {
    Bytes payload{3,
                  3,
                  'p',
                  0,
                  static_cast<std::uint8_t>(sampleNumber),
                  static_cast<std::uint8_t>(sampleNumber >> 8)};
    for (int k = 0; k < 4; ++k)
        payload.push_back(static_cast<std::uint8_t>(rate >> (8 * k)));
    payload.insert(payload.end(), {48, 255, loop});
    return payload;
}
Bytes pitchedSample(std::uint32_t frames) {
    Bytes payload = sample(frames, frames);
    payload[0] = 1;
    return payload;
}

Bytes cutShort(const Bytes& bytes, std::ptrdiff_t by) {
    return Bytes(bytes.begin(), bytes.end() - by);
}

Bytes kit(std::uint16_t sampleNumber, std::uint8_t level) {
    Bytes payload{3, 1, 'k', 0};
    for (int n = 0; n < kKitNotes; ++n)
        payload.insert(payload.end(), {static_cast<std::uint8_t>(sampleNumber),
                                       static_cast<std::uint8_t>(sampleNumber >> 8), level});
    return payload;
}

// A file of the first whole-chip songs, four FM and six drum tracks, opens with its drums on the
// drum tracks.
TEST(WholeChipSong, FilesOfFewerTracksPutEachOnItsKindsChannels) {
    Bytes cells(2 + 10 * 256, 0);
    cells[0] = 'P';
    const CompiledCell c4 = compileCell(Cell{0, 4, 2, 0, 0});  // the second drum track's first
    std::copy(c4.begin(), c4.end(), cells.begin() + 2 + 5 * 256);
    Song loaded;
    ASSERT_TRUE(parseSong(
        FileMaker().song({0, 0, 0, 0, 1, 1, 1, 1, 1, 1}).order().section("PATT", cells).bytes,
        loaded));
    EXPECT_EQ(loaded.trackCount(), 14);
    EXPECT_EQ(loaded.patterns[0].cell(kFirstDrum + 1, 0), (Cell{0, 4, 2, 0, 0}));
    EXPECT_EQ(loaded.patterns[0].cell(5, 0), kEmptyCell);
}

TEST(WholeChipSong, ReaderRefusesBadFilesAndChangesNothing) {
    Song open = drumSong();
    const Bytes before = serializeSong(open);
    auto why = [&](const Bytes& file) {
        const Result result = parseSong(file, open);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.message(), kInvalidSongMessage);
        EXPECT_EQ(serializeSong(open), before);
        return result.detail();
    };
    Song ok;
    ASSERT_TRUE(parseSong(FileMaker().song().order().pattern().bytes, ok));
    // A small letter's section is a later version's extra, passed over.
    ASSERT_TRUE(
        parseSong(FileMaker().song().section("note", {1, 2, 3}).order().pattern().bytes, ok));

    struct Case {
        Bytes file;
        std::string why;
    };
    const Case cases[] = {
        {FileMaker().order().bytes, "its first section is \"ORDR\", not \"SONG\""},
        {FileMaker().song().song().bytes, "it has a second \"SONG\" section"},
        {FileMaker().song().pattern().bytes, "it has no order list"},
        {FileMaker().song().order().bytes, "it holds no pattern"},
        {FileMaker().song().section("WHAT", {}).bytes,
         "it holds a section \"WHAT\" this version does not know"},
        {FileMaker().song({0, 0, 0, 0, 0}).bytes,
         "it has more FM tracks than the chip has channels"},
        {FileMaker().song({1, 1, 1, 1, 1, 1, 1}).bytes,
         "it has more ADPCM-A tracks than the chip has channels"},
        {FileMaker().song({7}).bytes, "track 1 is of a kind (7) this version does not know"},
        {FileMaker().song().section("ORDR", {0}).bytes,
         "its order list has 0 entries; a song has 1 to 128"},
        {FileMaker().song().section("ORDR", {1, 64}).bytes,
         "order entry 0 plays pattern 64, beyond the last of 64"},
        {FileMaker().song().section("ORDR", {1, 0, 0}).bytes,
         "section \"ORDR\" holds 1 bytes after its contents"},
        {FileMaker().song().pattern(4).bytes, "pattern 0's cell data is cut short"},
        {FileMaker().song().section("SMPL", sample(0, 0)).bytes, "sample 0 holds no sound"},
        {FileMaker().song().section("SMPL", sample(kMaxKitSampleFrames + 1, 0)).bytes,
         "sample 0 has 2097153 frames, more than the 2097152 one sample can have"},
        {FileMaker().song().section("SMPL", sample(1000, 999)).bytes, "sample 0 is cut short"},
        {FileMaker().song().section("INST", kit(0, 31)).bytes,
         "instrument 3 plays sample 0, which the file does not hold before it"},
        {FileMaker().song().section("SMPL", sample(4, 4)).section("INST", kit(0, 32)).bytes,
         "instrument 3 plays a note at level 32; levels go from 0 to 31"},
        {FileMaker().song().section("INST", {64, 0}).bytes,
         "it numbers an instrument 64; instruments are numbered 1 to 63"},
        {FileMaker().song().section("INST", {3, 9, 0}).bytes,
         "instrument 3 is of a kind (9) this version does not know"},
        {FileMaker().song().section("INST", {3, 0, 0}).bytes, "instrument 3's voice is cut short"},
        {FileMaker().song({2, 2, 2, 2}).bytes, "it has more SSG tracks than the chip has channels"},
        {FileMaker().song({3, 3}).bytes, "it has more ADPCM-B tracks than the chip has channels"},
        {FileMaker().song().section("INST", ssg(3, 0, 0xFF, 0xFF)).bytes,
         "instrument 3: its mix is not tone, noise or both"},
        {FileMaker().song().section("INST", ssg(0, 4, 0xFF, 0xFF)).bytes,
         "instrument 3's envelope settings (4) are not ones this version knows"},
        {FileMaker().song().section("INST", ssg(0, 0, 7, 0xFF)).bytes,
         "instrument 3: its loop step is outside the volume sequence"},
        {FileMaker().song().section("INST", ssg(0, 0, 4, 2)).bytes,
         "instrument 3: its loop step is not before its release step"},
        {FileMaker().song().section("INST", cutShort(ssg(0, 0, 0, 0), 3)).bytes,
         "instrument 3's volume sequence is cut short"},
        {FileMaker()
             .song()
             .section("SMPL", sample(4, 4))
             .section("INST", pitched(0, 22050, 0))
             .bytes,
         "instrument 3 plays sample 0, which is a drum sample"},
        {FileMaker().song().section("SMPL", pitchedSample(4)).section("INST", kit(0, 31)).bytes,
         "instrument 3 plays sample 0, which is not a drum sample"},
        {FileMaker()
             .song()
             .section("SMPL", pitchedSample(4))
             .section("INST", pitched(0, 1999, 0))
             .bytes,
         "instrument 3 plays its sample at 1999 Hz; ADPCM-B samples are made at 2000 to 55555 Hz"},
        {FileMaker()
             .song()
             .section("SMPL", pitchedSample(4))
             .section("INST", pitched(0, 8000, 2))
             .bytes,
         "instrument 3's loop is neither on nor off"},
        {FileMaker().song().section("INST", pitched(1, 8000, 0)).bytes,
         "instrument 3 plays sample 1, which the file does not hold before it"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(why(c.file), c.why);

    // A section longer than the file, and every cut of a good file.
    Bytes longSection = FileMaker().song().bytes;
    longSection[9] = 0x40;
    EXPECT_EQ(why(longSection),
              "section \"SONG\" at byte 5 says it holds 64 bytes, but the file ends after 20");
    for (std::size_t cut = 5; cut < before.size(); cut += 97)
        EXPECT_FALSE(
            why(Bytes(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(cut))).empty());
    // 65 patterns.
    FileMaker many;
    many.song().order();
    for (int p = 0; p < 65; ++p)
        many.pattern();
    EXPECT_EQ(why(many.bytes), "it holds more than 64 patterns");
}

TEST(WholeChipSong, ConvertIsOneStepToUndoAndNewIsOneWithoutHistory) {
    Workspace ws;
    ws.renameInstrument(3, "Keys");
    EXPECT_EQ(ws.voiceListEntries().size(), 31u);
    ASSERT_TRUE(ws.convertToWholeChip());
    EXPECT_FALSE(ws.convertToWholeChip());
    EXPECT_EQ(ws.voiceListEntries().size(), 63u);
    ws.setVoiceIndex(62);
    EXPECT_EQ(ws.selectedInstrument(), 63);
    ASSERT_TRUE(ws.undo());
    EXPECT_EQ(ws.song().kind, SongKind::Classic);
    EXPECT_EQ(ws.selectedInstrument(), 31);
    EXPECT_EQ(ws.song().instruments[3].name, "03 Keys");  // the rename is the step before
    ASSERT_TRUE(ws.redo());
    EXPECT_EQ(ws.song().kind, SongKind::WholeChip);

    ws.newProject();
    EXPECT_EQ(ws.song().kind, SongKind::Classic);
    ws.newWholeChipSong();
    EXPECT_EQ(ws.song().kind, SongKind::WholeChip);
    EXPECT_FALSE(ws.canUndo());
    EXPECT_FALSE(ws.modified());
}

// A note typed on a drum track takes a kit (the selected instrument is a voice) and sounds its
// sample on the track's channel; on an FM track it stays the voice's.
TEST(WholeChipSong, NotesOnDrumTracksTakeAKitAndSoundItsSample) {
    Workspace ws;
    testing::RecordingPreview preview;
    ws.setPreviewTarget(&preview);
    ws.newWholeChipSong();
    ws.song().instruments[7].kind = InstrumentKind::AdpcmAKit;
    ws.song().instruments[7].kit.notes[2] = {makeSample("snare", std::vector<std::int16_t>(99)),
                                             20};
    ws.setVoiceIndex(0);
    EXPECT_EQ(ws.voiceListEntries()[6], "07 Unnamed (drum kit)");
    for (int t = 0; t < kFirstDrum + 1; ++t)
        ws.nextTrack(+1);            // ADPCM-A 2
    ASSERT_TRUE(ws.typeChar(U'x'));  // D in the lower row of keys
    EXPECT_EQ(ws.song().patterns[0].cell(kFirstDrum + 1, 0).instrument, 7);
    EXPECT_EQ(preview.calls.back(), "playSample 99 on 1 at 20");
    ASSERT_TRUE(ws.typeChar(U'z'));  // C: nothing on that kit note, nothing heard
    EXPECT_EQ(preview.calls.back(), "playSample 99 on 1 at 20");
    for (int t = 0; t < kFirstDrum - 2; ++t)
        ws.nextTrack(-1);  // FM 4
    ASSERT_TRUE(ws.typeChar(U'x'));
    EXPECT_EQ(ws.song().patterns[0].cell(3, 2).instrument, 1);  // two rows down by now
    EXPECT_EQ(preview.calls.back(), "KeyDown 2 4");
}

// A note typed on an SSG track sounds there as the driver plays it; the first note that asks the
// shared noise generator for another period than a sounding one is told of it, once.
TEST(WholeChipSong, SsgNotesSoundOnTheirChannelAndSharingIsToldOnce) {
    Workspace ws;
    testing::RecordingPreview preview;
    ws.setPreviewTarget(&preview);
    std::vector<std::string> hints;
    ws.setHintListener([&](const std::string& text) { hints.push_back(text); });
    ws.newWholeChipSong();
    for (const int k : {6, 7}) {
        ws.song().instruments[k].kind = InstrumentKind::SsgVoice;
        ws.song().instruments[k].ssg.mix = SsgMix::Noise;
        ws.song().instruments[k].ssg.noisePeriod = static_cast<std::uint8_t>(k);
    }
    const int ssg = wholeChipTrack(TrackKind::Ssg, 0);
    for (int t = 0; t < ssg; ++t)
        ws.nextTrack(+1);
    ws.setVoiceIndex(5);
    ASSERT_TRUE(ws.typeChar(U'z'));  // C-4 with voice 6 on SSG 1
    EXPECT_EQ(preview.calls.back(), "writeChip 0 8 15");
    ws.nextTrack(+1);
    ws.setVoiceIndex(6);
    for (int i = 0; i < 2; ++i) {
        ws.moveToRow(0);
        ASSERT_TRUE(ws.typeChar(U'z'));
    }
    EXPECT_EQ(preview.calls.back(), "writeChip 0 9 15");
    ASSERT_EQ(hints.size(), 1u);  // the second time is not told
    EXPECT_EQ(hints[0],
              "SSG 2 and SSG 1 ask for different noise periods: the SSG has one noise generator, "
              "and the last note written sets it for all three");
}

// Kit edits: each one step to undo; a trim cuts the sample on every note that plays it.
TEST(WholeChipSong, KitEditsAreStepsAndTrimsCutTheSharedSample) {
    Workspace ws;
    testing::RecordingPreview preview;
    ws.setPreviewTarget(&preview);
    ws.newWholeChipSong();
    std::vector<std::int16_t> ramp(1000);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::int16_t>(i);
    const SampleRef tom = makeSample("tom", ramp);
    ws.loadKitSample(9, Workspace::kAllKitNotes, tom);
    ws.loadKitSample(9, 4, makeSample("clap", std::vector<std::int16_t>(10)));
    ws.setKitLevel(9, 4, 40);
    const DrumKit& kit = ws.song().instruments[9].kit;
    EXPECT_EQ(ws.song().instruments[9].kind, InstrumentKind::AdpcmAKit);
    EXPECT_EQ(kit.notes[4].level, kMaxKitLevel);  // held to 31
    ws.setKitLevel(9, 4, 12);
    EXPECT_EQ(kit.notes[4].level, 12);
    EXPECT_FALSE(ws.trimKitSample(9, 0, 500, 500));
    EXPECT_FALSE(ws.trimKitSample(9, 4, 20, 30));  // past the clap's end
    ASSERT_TRUE(ws.trimKitSample(9, 0, 100, 600));
    EXPECT_EQ(kit.notes[11].sample->pcm.size(), 500u);  // every note with the tom
    EXPECT_EQ(kit.notes[11].sample->pcm.front(), 100);
    EXPECT_EQ(kit.notes[4].sample->name, "clap");
    EXPECT_NEAR(sampleSeconds(*kit.notes[0].sample), 500 / kAdpcmARate, 1e-9);
    EXPECT_EQ(sampleRomBytes(*kit.notes[0].sample), 256u);
    ws.auditionKitNote(9, 4);
    EXPECT_EQ(preview.calls.back(), "playSample 10 on 0 at 12");
    for (int step = 0; step < 4; ++step)  // the level held at 31 changed nothing: no step
        ASSERT_TRUE(ws.undo()) << step;
    EXPECT_FALSE(ws.undo());
    EXPECT_EQ(ws.song().instruments[9].kind, InstrumentKind::FmVoice);
    EXPECT_EQ(ws.song().instruments[9].kit, DrumKit{});
}

}  // namespace
}  // namespace qvx

namespace qvx {
namespace {

// A folded group shows as narrow strips: clicks on them reach no cell, and the cursor, Tab and
// the arrows move past them; folding the cursor's group moves it on.
TEST(WholeChipSong, FoldedGroupsAreNarrowAndPassedBy) {
    Workspace ws;
    ws.newWholeChipSong();
    ws.setVisibleRows(16);
    const int firstSsg = wholeChipTrack(TrackKind::Ssg, 0);
    for (int t = 0; t < firstSsg; ++t)
        ws.nextTrack(+1);  // on SSG 1
    ws.setGroupFolded(TrackKind::Ssg, true);
    const grid::Columns& columns = ws.cursor().layout();
    EXPECT_EQ(ws.cursor().track(), firstSsg + 3);  // moved on to ADPCM-A 1
    EXPECT_EQ(columns.x(firstSsg + 3) - columns.x(firstSsg), 3 * grid::kFoldedWidth);
    const int inStrip = columns.x(firstSsg) + 2, y = grid::kHeaderHeight + 1;
    EXPECT_EQ(ws.cursor().hit(inStrip, y).kind, PatternCursor::Hit::Kind::None);
    EXPECT_EQ(ws.cursor().hit(inStrip, 1).kind, PatternCursor::Hit::Kind::TrackHeader);
    ws.nextTrack(-1);  // Tab back: FM 4
    EXPECT_EQ(ws.cursor().track(), firstSsg - 1);
    for (int f = 0; f < grid::kFields; ++f)
        ws.moveCursor(CursorMove::Right);  // the arrow past the strips too
    EXPECT_EQ(ws.cursor().track(), firstSsg + 3);
    ws.setGroupFolded(TrackKind::Ssg, false);
    EXPECT_EQ(ws.cursor().layout().x(firstSsg + 1) - ws.cursor().layout().x(firstSsg),
              grid::kTrackWidth);
}

}  // namespace
}  // namespace qvx
