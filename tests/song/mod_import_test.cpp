#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "song/compiled_pattern.hpp"
#include "song/mod_import.hpp"
#include "song/song_file.hpp"
#include "song/workspace.hpp"
#include "tests/support/mod_builder.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

using qvx::testing::ModBuilder;
using qvx::testing::TempDir;
using qvx::testing::writeBytes;
using Bytes = std::vector<std::uint8_t>;

constexpr int kC4 = 856;
constexpr Cell kC4Sample3SpeedSix{kNoteC, 4, 3, 0x0F, 6};

// Imports `bytes`, failing the test when the module is refused.
std::unique_ptr<Song> imported(const Bytes& bytes, ModImportReport* report = nullptr) {
    auto song = std::make_unique<Song>();
    const Result result = parseMod(bytes, *song, report);
    EXPECT_TRUE(result) << result.message();
    return song;
}

// A refusal must name the module as invalid and leave the song it was given exactly as it was.
void expectRefused(std::span<const std::uint8_t> bytes, std::uint64_t fileLength) {
    auto song = std::make_unique<Song>();
    song->renameInstrument(2, "Keep me");
    song->addPattern();
    song->patterns[1].cell(3, 9) = kC4Sample3SpeedSix;
    const Bytes before = serializeSong(*song);
    ModImportReport report;
    report.orderEntries = 99;
    const Result result = parseMod(bytes, fileLength, *song, &report);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.message(), "Invalid or Incompatible MOD file");
    EXPECT_EQ(serializeSong(*song), before);
    EXPECT_EQ(report.orderEntries, 99);
}
void expectRefused(std::span<const std::uint8_t> bytes) {
    expectRefused(bytes, bytes.size());
}

TEST(ModImport, PeriodTableMatchesExactlyOnly) {
    using NoteOctave = std::pair<std::uint8_t, std::uint8_t>;
    EXPECT_EQ(periodToNote(1712), NoteOctave(0, 3));  // lowest C
    EXPECT_EQ(periodToNote(907), NoteOctave(11, 3));
    EXPECT_EQ(periodToNote(856), NoteOctave(0, 4));
    EXPECT_EQ(periodToNote(453), NoteOctave(11, 4));
    EXPECT_EQ(periodToNote(254), NoteOctave(9, 5));
    EXPECT_EQ(periodToNote(143), NoteOctave(7, 6));
    EXPECT_EQ(periodToNote(56), NoteOctave(11, 7));  // highest B
    const NoteOctave none(kNoteEmpty, kNone);
    for (int period : {0, 55, 57, 850, 855, 857, 1713, 1812, 4095})
        EXPECT_EQ(periodToNote(period), none) << period;
}

TEST(ModImport, NoteWithSampleAndSpeedEffect) {
    auto song = imported(ModBuilder().note(0, 0, 0, kC4, 3, 0xF, 6).bytes());
    EXPECT_EQ(song->patterns[0].cell(0, 0), kC4Sample3SpeedSix);
    // Every other cell of the pattern is the empty cell.
    EXPECT_EQ(song->patterns[0].cell(0, 1), kEmptyCell);
    EXPECT_EQ(song->patterns[0].cell(1, 0), kEmptyCell);
}

TEST(ModImport, ChannelsBecomeTracksRowByRow) {
    ModBuilder mod;
    mod.note(0, 0, 1, 808, 1).note(0, 0, 3, 1016, 2).note(0, 63, 2, 56, 4).note(0, 1, 0, 428, 5);
    auto song = imported(mod.bytes());
    EXPECT_EQ(song->patterns[0].cell(1, 0), (Cell{1, 4, 1, kNone, kNone}));
    EXPECT_EQ(song->patterns[0].cell(3, 0), (Cell{9, 3, 2, kNone, kNone}));
    EXPECT_EQ(song->patterns[0].cell(2, 63), (Cell{11, 7, 4, kNone, kNone}));
    EXPECT_EQ(song->patterns[0].cell(0, 1), (Cell{kNoteC, 5, 5, kNone, kNone}));
}

TEST(ModImport, PitchlessNotesKeepTheirEffectButNoInstrument) {
    ModBuilder mod;
    mod.note(0, 0, 0, 0, 5, 0xC, 0);       // volume 0 without a note
    mod.note(0, 1, 0, kC4, 0);             // the first note with a pitch names no sample
    mod.note(0, 2, 0, kC4, 6);             // too late: the channel's sample is already 0
    mod.note(0, 3, 0, kC4, 0, 0xD, 0x10);  // so this one gets 0 as well
    auto song = imported(mod.bytes());
    const Pattern& p = song->patterns[0];
    EXPECT_EQ(p.cell(0, 0), (Cell{kNoteEmpty, kNone, kNone, 0x0C, 0}));
    // The sample 5 of the pitchless row did not count as the channel's first note.
    EXPECT_EQ(p.cell(0, 1).instrument, 0);
    EXPECT_EQ(p.cell(0, 2).instrument, 6);
    EXPECT_EQ(p.cell(0, 3), (Cell{kNoteC, 4, 0, 0x0D, 0x10}));
}

TEST(ModImport, RememberedSampleIsSetOncePerChannelAndPattern) {
    ModBuilder mod(2);
    mod.order({0, 1});
    mod.note(0, 0, 0, kC4, 7).note(0, 4, 0, 640, 9).note(0, 8, 0, 508, 0);
    mod.note(0, 1, 1, 640, 0).note(0, 2, 1, 640, 12).note(0, 3, 1, 640, 0);  // channel 1 alone
    mod.note(0, 9, 2, 640, 0);  // channel 2 has never seen a sample
    mod.note(1, 0, 0, kC4, 0);  // a new pattern forgets pattern 0's 7
    auto song = imported(mod.bytes());
    EXPECT_EQ(song->patterns[0].cell(0, 0).instrument, 7);
    EXPECT_EQ(song->patterns[0].cell(0, 4).instrument, 9);
    EXPECT_EQ(song->patterns[0].cell(0, 8), (Cell{9, 4, 7, kNone, kNone}));
    EXPECT_EQ(song->patterns[0].cell(1, 1).instrument, 0);
    EXPECT_EQ(song->patterns[0].cell(1, 2).instrument, 12);
    EXPECT_EQ(song->patterns[0].cell(1, 3).instrument, 0);
    EXPECT_EQ(song->patterns[0].cell(2, 9).instrument, 0);
    EXPECT_EQ(song->patterns[1].cell(0, 0).instrument, 0);
}

TEST(ModImport, ArpeggioIsDroppedOtherEffectsCopied) {
    ModBuilder mod;
    mod.note(0, 0, 0, kC4, 1, 0x0, 0x37).note(0, 1, 0, kC4, 1, 0x0, 0x00);
    mod.note(0, 2, 0, kC4, 1, 0xE, 0x37).note(0, 3, 0, 0, 0, 0x1, 0xFF);
    mod.note(0, 4, 0, 0, 0, 0xB, 0x00);
    auto song = imported(mod.bytes());
    const Pattern& p = song->patterns[0];
    EXPECT_EQ(p.cell(0, 0), (Cell{kNoteC, 4, 1, kNone, kNone}));
    EXPECT_EQ(p.cell(0, 1), (Cell{kNoteC, 4, 1, kNone, kNone}));
    EXPECT_EQ(p.cell(0, 2), (Cell{kNoteC, 4, 1, 0x0E, 0x37}));
    // Parameters are any byte, 0xFF included; effects stay MOD effect numbers.
    EXPECT_EQ(p.cell(0, 3), (Cell{kNoteEmpty, kNone, kNone, 0x01, 0xFF}));
    EXPECT_EQ(p.cell(0, 4), (Cell{kNoteEmpty, kNone, kNone, 0x0B, 0x00}));
}

// A whole-chip import: the module's channels on the FM tracks, every effect kept (arpeggio too),
// a quieter sample's notes starting at its volume where the cell has no other effect, and each
// sample the notes use named after the module's, with the voice the caller gives it.
TEST(ModImport, WholeChipImportKeepsEveryEffectAndNamesItsSamples) {
    ModBuilder mod;
    mod.sampleName(0, "Bass 1").sampleVolume(0, 40).sampleName(1, "lead\x01 ").sampleVolume(1, 64);
    mod.sampleName(2, "never played");
    mod.note(0, 0, 0, kC4, 1).note(0, 1, 0, kC4, 1, 0x1, 0x08).note(0, 2, 3, kC4, 2, 0x0, 0x37);
    mod.note(0, 3, 3, 0, 0, 0xE, 0xD2);
    const ModImportOptions options{true, [](std::string_view, int number) {
                                       VoiceBytes voice{};
                                       voice.fill(static_cast<std::uint8_t>(number));
                                       return voice;
                                   }};
    Song song;
    ASSERT_TRUE(parseMod(mod.bytes(), song, nullptr, options));
    EXPECT_EQ(song.kind, SongKind::WholeChip);
    const Pattern& p = song.patterns[0];
    EXPECT_EQ(p.cell(0, 0), (Cell{kNoteC, 4, 1, 0x0C, 40}));  // Bass 1 at its volume
    EXPECT_EQ(p.cell(0, 1), (Cell{kNoteC, 4, 1, 0x01, 0x08}));
    EXPECT_EQ(p.cell(3, 2), (Cell{kNoteC, 4, 2, 0x00, 0x37}));  // the arpeggio stays
    EXPECT_EQ(p.cell(3, 3), (Cell{kNoteEmpty, kNone, kNone, 0x0E, 0xD2}));
    EXPECT_EQ(song.instruments[1].name, "01 Bass 1");
    EXPECT_EQ(song.instruments[2].name, "02 lead");  // printable, trailing blanks gone
    EXPECT_EQ(song.instruments[1].registers[0], 1);
    EXPECT_EQ(song.instruments[2].registers[0], 2);
    EXPECT_EQ(song.instruments[3].name, Song().instruments[3].name);  // unused: as it was
}

TEST(ModImport, UnknownPeriodsAreDroppedAndCounted) {
    ModBuilder mod;
    mod.note(0, 0, 0, 850, 3, 0xC, 0x20);  // finetuned C-4
    mod.note(0, 1, 1, 1812, 3);            // below the table
    mod.note(0, 2, 2, 28, 3);              // above it
    mod.note(0, 3, 3, 0, 3);               // period 0 is no note, not a lost one
    mod.note(0, 4, 0, kC4, 0);             // the dropped note did not set the channel's sample
    ModImportReport report;
    auto song = imported(mod.bytes(), &report);
    EXPECT_EQ(report.droppedNotes, 3);
    EXPECT_EQ(song->patterns[0].cell(0, 0), (Cell{kNoteEmpty, kNone, kNone, 0x0C, 0x20}));
    EXPECT_EQ(song->patterns[0].cell(1, 1), kEmptyCell);
    EXPECT_EQ(song->patterns[0].cell(0, 4).instrument, 0);
}

TEST(ModImport, SampleNumbersAbove31BecomeNoInstrument) {
    ModBuilder mod;
    mod.note(0, 0, 0, kC4, 0x20).note(0, 1, 0, kC4, 0);  // the remembered 32 is refused too
    mod.note(0, 0, 1, kC4, 0xF5).note(0, 0, 2, kC4, 31).note(0, 0, 3, 0, 0x40);
    ModImportReport report;
    auto song = imported(mod.bytes(), &report);
    const Pattern& p = song->patterns[0];
    EXPECT_EQ(p.cell(0, 0), (Cell{kNoteC, 4, kNone, kNone, kNone}));
    EXPECT_EQ(p.cell(0, 1).instrument, kNone);
    EXPECT_EQ(p.cell(1, 0).instrument, kNone);
    EXPECT_EQ(p.cell(2, 0).instrument, 31);
    EXPECT_EQ(report.clearedSampleNumbers, 3);  // the pitchless 0x40 has no instrument anyway
    EXPECT_EQ(song->usedInstrumentCount(), 31);
}

// 12 patterns, 31 samples declaring 40,000 bytes between them.
ModBuilder twelvePatterns() {
    ModBuilder mod(12);
    for (int s = 0; s < 30; ++s)
        mod.sampleWords(s, 645);
    mod.sampleWords(30, 650);
    // What a 13th pattern would read: C-4, sample 1, speed 6 in row 0 of channel 0.
    const auto start = ModBuilder::encode(kC4, 1, 0xF, 6);
    mod.sampleData(Bytes(start.begin(), start.end()));
    return mod;
}

TEST(ModImport, PatternCountComesFromFileSizeAndSampleLengths) {
    ModBuilder mod = twelvePatterns();
    ASSERT_EQ(mod.declaredSampleBytes(), 40000u);
    ASSERT_EQ(mod.bytes().size(), 1084u + 12288 + 40000);
    ModImportReport report;
    auto song = imported(mod.bytes(), &report);
    EXPECT_EQ(song->patternCount, 12);
    EXPECT_EQ(report.patterns, 12);
    EXPECT_EQ(song->patterns[11].name, "Pat 11");

    mod.trailing(1023);
    EXPECT_EQ(imported(mod.bytes())->patternCount, 12);

    // One more kilobyte: a 13th pattern, read from the start of the sample data.
    mod.trailing(1024);
    song = imported(mod.bytes(), &report);
    EXPECT_EQ(song->patternCount, 13);
    EXPECT_EQ(report.patternsInFile, 13u);
    EXPECT_EQ(song->patterns[12].name, "Pat 12");
    EXPECT_EQ(song->patterns[12].cell(0, 0), (Cell{kNoteC, 4, 1, 0x0F, 6}));
    // Patterns past the count stay cleared.
    EXPECT_EQ(song->patterns[13].cell(0, 0), kEmptyCell);
}

TEST(ModImport, OrderListTakesSongLengthEntries) {
    ModBuilder mod(4);
    Bytes entries(128);
    for (std::size_t k = 0; k < entries.size(); ++k)
        entries[k] = static_cast<std::uint8_t>((k * 3) % 4);
    mod.order(entries);
    ModImportReport report;
    auto song = imported(mod.bytes(), &report);
    EXPECT_EQ(song->order, entries);
    EXPECT_EQ(report.orderEntries, 128);

    // Slots past the song length are never looked at, whatever they hold.
    mod.order({3, 1}).orderSlot(2, 200).orderSlot(127, 64);
    song = imported(mod.bytes(), &report);
    EXPECT_EQ(song->order, (Bytes{3, 1}));
    EXPECT_EQ(report.orderEntries, 2);
}

TEST(ModImport, OtherLayoutsAreRefused) {
    for (const char* signature : {"M!K!", "FLT4", "6CHN", "8CHN", "m.k.", "M.K "})
        expectRefused(ModBuilder().signature(signature).bytes());
    // A 15-sample module: no signature at all; music data sits where the signature would be.
    Bytes old = ModBuilder(2).bytes();
    old.erase(old.begin() + 600, old.begin() + 600 + 16 * 30);
    expectRefused(old);
}

TEST(ModImport, ImpossibleHeadersAreRefused) {
    expectRefused(ModBuilder().songLength(0).bytes());
    expectRefused(ModBuilder().songLength(129).bytes());
    expectRefused(ModBuilder().songLength(255).bytes());
    // The entry naming the last pattern is fine; one past it is not.
    EXPECT_TRUE(parseMod(ModBuilder(3).order({0, 2}).bytes(), *std::make_unique<Song>()));
    expectRefused(ModBuilder(3).order({0, 3}).bytes());
    expectRefused(ModBuilder(3).order({2, 1, 0, 0xFF}).bytes());
}

TEST(ModImport, FilesTooShortForOnePatternAreRefused) {
    const Bytes full = ModBuilder().bytes();
    expectRefused(Bytes(full.begin(), full.begin() + 1083));
    expectRefused(Bytes(full.begin(), full.begin() + 1084));  // a header alone, no pattern
    expectRefused(Bytes(full.begin(), full.end() - 1));
    expectRefused({});
    // Samples declared longer than what follows the patterns: the pattern count goes negative.
    Bytes claimsSamples = ModBuilder(2).sampleWords(0, 0xFFFF).sampleWords(30, 0xFFFF).bytes();
    claimsSamples.resize(1084 + 2048);
    expectRefused(claimsSamples);
    // The header and samples leave 1023 bytes for patterns.
    Bytes shortOfOne = ModBuilder().sampleWords(4, 100).bytes();
    shortOfOne.pop_back();
    expectRefused(shortOfOne);
}

TEST(ModImport, MoreThan64PatternsAreCutTo64) {
    ModBuilder mod(70);
    mod.order({0, 63, 1}).note(63, 5, 2, kC4, 2).note(64, 0, 0, kC4, 3);
    ModImportReport report;
    auto song = imported(mod.bytes(), &report);
    EXPECT_EQ(song->patternCount, 64);
    EXPECT_EQ(report.patterns, 64);
    EXPECT_EQ(report.patternsInFile, 70u);
    EXPECT_EQ(song->patterns[63].name, "Pat 63");
    EXPECT_EQ(song->patterns[63].cell(2, 5).instrument, 2);
    EXPECT_EQ(song->usedInstrumentCount(), 2);  // pattern 64's sample 3 was never read
    // An entry naming a pattern that was cut off is refused like any other beyond the count.
    expectRefused(mod.order({0, 64}).bytes());
}

TEST(ModImport, OnlyTheFileStartIsNeeded) {
    ModBuilder mod = twelvePatterns();
    mod.order({11}).note(11, 63, 3, kC4, 3);
    const Bytes file = mod.bytes();
    const std::size_t patternsEnd = 1084 + 12 * 1024;
    auto song = std::make_unique<Song>();
    ASSERT_TRUE(parseMod({file.data(), patternsEnd}, file.size(), *song));
    EXPECT_EQ(song->patternCount, 12);
    EXPECT_EQ(song->patterns[11].cell(3, 63).instrument, 3);
    // A head that ends inside the patterns the size promises (a file that shrank while it was
    // read) is refused rather than read past.
    expectRefused({file.data(), patternsEnd - 1}, file.size());
}

TEST(ModImport, ImportedSongSavesAndOpensUnchanged) {
    ModBuilder mod(2);
    mod.order({1, 0}).note(0, 0, 0, kC4, 0).note(0, 1, 0, 56, 31, 0xF, 0xFF);
    mod.note(1, 7, 3, 1712, 9, 0xC, 0).note(1, 8, 3, 0, 0, 0xD, 0x99);
    auto song = imported(mod.bytes());
    auto reread = std::make_unique<Song>();
    ASSERT_TRUE(parseSong(serializeSong(*song), *reread));
    EXPECT_EQ(reread->order, song->order);
    ASSERT_EQ(reread->patternCount, 2);
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(reread->patterns[p].name, song->patterns[p].name);
        EXPECT_EQ(reread->patterns[p].tracks, song->patterns[p].tracks) << p;
    }
}

TEST(ModImport, FromFile) {
    TempDir dir;
    writeBytes(dir / "tune.mod", ModBuilder(2).order({1, 1, 0}).note(1, 0, 0, kC4, 4).bytes());
    auto song = std::make_unique<Song>();
    ModImportReport report;
    ASSERT_TRUE(importMod(dir / "tune.mod", *song, &report));
    EXPECT_EQ(report.patterns, 2);
    EXPECT_EQ(report.orderEntries, 3);
    EXPECT_EQ(song->patterns[1].cell(0, 0).instrument, 4);

    Result missing = importMod(dir / "absent.mod", *song);
    EXPECT_EQ(missing.message(), "Failed to Open absent.mod");
    std::filesystem::create_directory(dir / "folder.mod");
    EXPECT_EQ(importMod(dir / "folder.mod", *song).message(), "Failed to Open folder.mod");
}

TEST(ModImport, LargestSampleDataCountsWithoutBeingRead) {
    // 31 samples of the largest length ProTracker knows, then one kilobyte: the pattern count
    // must come from the file's size, not from the part that was read.
    TempDir dir;
    ModBuilder mod(3);
    for (int s = 0; s < 31; ++s)
        mod.sampleWords(s, 0xFFFF);
    mod.order({2}).trailing(1024);
    writeBytes(dir / "big.mod", mod.bytes());
    ASSERT_GT(std::filesystem::file_size(dir / "big.mod"), 31u * 131070);
    auto song = std::make_unique<Song>();
    ModImportReport report;
    ASSERT_TRUE(importMod(dir / "big.mod", *song, &report));
    EXPECT_EQ(report.patterns, 4);
}

TEST(ModImport, WorkspaceChangesOnlyOnSuccess) {
    TempDir dir;
    Workspace ws;
    ws.song().renameInstrument(1, "Bass");
    ws.song().setInstrumentRegisters(3, VoiceBytes{0x71});
    ws.song().toggleTrack(2);
    ws.newPattern();
    ws.appendOrder();
    ws.setOctave(6);
    const Bytes songBefore = serializeSong(ws.song());

    writeBytes(dir / "bad.mod", ModBuilder(2).order({0, 2}).bytes());
    for (const char* name : {"bad.mod", "absent.mod"}) {
        EXPECT_FALSE(ws.importMod(dir / name));
        EXPECT_EQ(serializeSong(ws.song()), songBefore);
        EXPECT_EQ(ws.song().trackEnabled[2], 0);
        EXPECT_EQ(ws.currentPattern(), 1);
        EXPECT_EQ(ws.orderSelection(), 1);
        EXPECT_EQ(ws.octave(), 6);
    }

    writeBytes(dir / "good.mod", ModBuilder(3).order({2, 0, 1}).bytes());
    ASSERT_TRUE(ws.importMod(dir / "good.mod"));
    EXPECT_EQ(ws.song().patternCount, 3);
    // Everything but the notes and the order list is the new song state.
    EXPECT_EQ(ws.song().instruments[1].name, "01 Unnamed");
    EXPECT_EQ(ws.song().instruments[3].registers, VoiceBytes{});
    EXPECT_EQ(ws.song().trackEnabled, Song::allTracksEnabled());
    EXPECT_EQ(ws.song().patterns[2].name, "Pat 02");
    EXPECT_EQ(ws.currentPattern(), 0);
    EXPECT_EQ(ws.currentPatternName(), "Pat 00");
    EXPECT_EQ(ws.orderEntryTexts(), (std::vector<std::string>{"00 - 02", "01 - 00", "02 - 01"}));
    EXPECT_EQ(ws.octave(), 4);
}

}  // namespace
}  // namespace qvx
