#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "song/compiled_pattern.hpp"
#include "song/song_file.hpp"
#include "song/workspace.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

using qvx::testing::readBytes;
using qvx::testing::TempDir;
using qvx::testing::writeBytes;
using Bytes = std::vector<std::uint8_t>;

// A song that exercises every field: named instruments, several patterns, notes in all tracks.
Song richSong() {
    Song song;
    song.renameInstrument(1, "Bass");
    song.renameInstrument(7, "Lead");
    song.renameInstrument(9, "");
    for (int i = 0; i < kVoiceBytes; ++i) {
        song.instruments[1].registers[i] = static_cast<std::uint8_t>(i * 7);
        song.instruments[7].registers[i] = static_cast<std::uint8_t>(0xFF - i);
    }
    song.addPattern();
    song.addPattern();
    song.renamePattern(1, "Verse one");
    song.patterns[0].cell(0, 0) = Cell{0, 1, 1, 0, 0};  // C at octave 1
    song.patterns[0].cell(1, 1) = Cell{11, 7, 7, 0x0F, 3};
    song.patterns[1].cell(2, 30) = Cell{13, 2, 0xFF, 0xFF, 0xFF};
    song.patterns[2].cell(3, 63) = Cell{6, 5, 7, 0x0C, 0};
    song.patterns[2].cell(0, 10) = Cell{12, 0xFF, 0xFF, 0x0D, 0};
    song.order = {0, 1, 2, 1};
    return song;
}

TEST(SongFile, SaveOpenSaveIsByteIdentical) {
    TempDir dir;
    const Song song = richSong();
    ASSERT_TRUE(saveSong(song, dir / "a.mus"));
    Workspace ws;
    ASSERT_TRUE(ws.open(dir / "a.mus"));
    ASSERT_TRUE(ws.save(dir / "b.mus"));
    EXPECT_EQ(readBytes(dir / "a.mus"), readBytes(dir / "b.mus"));

    const Song& loaded = ws.song();
    for (int k = 1; k <= kInstrumentCount; ++k) {
        EXPECT_EQ(loaded.instruments[k].name, song.instruments[k].name);
        EXPECT_EQ(loaded.instruments[k].registers, song.instruments[k].registers);
    }
    EXPECT_EQ(loaded.order, song.order);
    EXPECT_EQ(loaded.patternCount, 3);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(loaded.patterns[p].name, song.patterns[p].name);
        EXPECT_EQ(loaded.patterns[p].tracks, song.patterns[p].tracks) << p;
    }
    // The first order entry is selected, with its pattern 00 shown.
    EXPECT_EQ(ws.orderSelection(), 0);
    EXPECT_EQ(ws.currentPattern(), 0);
}

TEST(SongFile, ByteLayout) {
    Song song = richSong();
    const Bytes bytes = serializeSong(song);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "QVXM1");
    // Instrument 1: "Bass", a zero byte, then its 25 registers.
    EXPECT_EQ(std::string(bytes.begin() + 5, bytes.begin() + 9), "Bass");
    EXPECT_EQ(bytes[9], 0);
    EXPECT_EQ(bytes[10 + 24], 24 * 7);
    std::size_t at = 5;
    for (int k = 1; k <= kInstrumentCount; ++k)
        at += song.instrumentUserName(k).size() + 1 + 25;
    EXPECT_EQ(bytes[at], 4);  // order count
    EXPECT_EQ(Bytes(bytes.begin() + at + 1, bytes.begin() + at + 5), (Bytes{0, 1, 2, 1}));
    at += 5;
    EXPECT_EQ(bytes[at], 3);  // pattern count
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[at + 1])), "Pat 00");
    at += 1 + 7;
    EXPECT_EQ(bytes[at], 0x0C);  // C at octave 1, track 0 row 0
    EXPECT_EQ(bytes.size(), at + 1024 + 10 + 1024 + 7 + 1024);
}

TEST(SongFile, EmptyUserNameIsALoneZeroByte) {
    Song song;
    song.renameInstrument(1, "");
    const Bytes bytes = serializeSong(song);
    EXPECT_EQ(bytes[5], 0);
    EXPECT_EQ(bytes[5 + 1 + 25], 'U');  // "Unnamed" of instrument 2 follows the registers
}

TEST(SongFile, MutedTrackIsStoredWithItsNotes) {
    TempDir dir;
    Song song = richSong();
    song.toggleTrack(1);
    ASSERT_TRUE(saveSong(song, dir / "m.mus"));
    Song loaded;
    loaded.toggleTrack(3);
    ASSERT_TRUE(openSong(dir / "m.mus", loaded));
    EXPECT_EQ(loaded.patterns[0].cell(1, 1), (Cell{11, 7, 7, 0x0F, 3}));
    EXPECT_EQ(loaded.trackEnabled, Song::allTracksEnabled());
}

TEST(SongFile, EndMarkWithoutOctaveReopensAsEmptyNote) {
    Song song;
    song.patterns[0].cell(2, 4) = Cell{13, 0xFF, 0xFF, 0xFF, 0xFF};
    Song loaded;
    ASSERT_TRUE(parseSong(serializeSong(song), loaded));
    EXPECT_EQ(loaded.patterns[0].cell(2, 4), kEmptyCell);
}

TEST(SongFile, OrderCounts) {
    Song song;
    Bytes bytes = serializeSong(song);
    const std::size_t orderAt = 5 + 31 * (7 + 1 + 25);
    EXPECT_EQ(bytes[orderAt], 1);
    EXPECT_EQ(bytes[orderAt + 1], 0);

    song.order.assign(128, 0);
    bytes = serializeSong(song);
    EXPECT_EQ(bytes[orderAt], 128);
    Song loaded;
    ASSERT_TRUE(parseSong(bytes, loaded));
    EXPECT_EQ(loaded.order.size(), 128u);

    // A list emptied by an older program still opens; there is simply nothing to select.
    song.order.clear();
    Workspace ws;
    TempDir dir;
    ASSERT_TRUE(saveSong(song, dir / "e.mus"));
    ASSERT_TRUE(ws.open(dir / "e.mus"));
    EXPECT_TRUE(ws.orderList().empty());
    EXPECT_EQ(ws.orderSelection(), Workspace::kNoSelection);
    EXPECT_FALSE(ws.deleteOrder());
}

// Any refused file must leave the workspace exactly as it was.
class RefusedFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ws.song().renameInstrument(3, "Keep me");
        ws.newPattern();
        ws.appendOrder();
        before = serializeSong(ws.song());
    }
    void expectUnchanged() {
        EXPECT_EQ(serializeSong(ws.song()), before);
        EXPECT_EQ(ws.currentPattern(), 1);
        EXPECT_EQ(ws.orderSelection(), 1);
    }
    Result openBytes(const Bytes& bytes) {
        writeBytes(dir / "bad.mus", bytes);
        return ws.open(dir / "bad.mus");
    }

    TempDir dir;
    Workspace ws;
    Bytes before;
};

TEST_F(RefusedFile, MissingFile) {
    Result r = ws.open(dir / "nowhere" / "gone.mus");
    EXPECT_EQ(r.message(), "Failed to Open gone.mus");
    expectUnchanged();
    r = ws.open(dir.path());  // a folder is not a song
    EXPECT_FALSE(r);
    expectUnchanged();
}

TEST_F(RefusedFile, WrongMagicInAnyPosition) {
    const Bytes good = serializeSong(richSong());
    for (std::size_t i = 0; i < 5; ++i) {
        Bytes bad = good;
        bad[i] ^= (i == 4) ? 0x03 : 0x20;  // "QVXM2" for the last digit
        EXPECT_EQ(openBytes(bad).message(), "Invalid QVX Tracker Music file") << i;
        RomSong rom;
        EXPECT_EQ(parseRomSong(bad, "x", rom).message(), "Invalid QVXTracker Music file") << i;
    }
    expectUnchanged();
}

TEST_F(RefusedFile, TruncatedAtEveryOffset) {
    const Bytes good = serializeSong(richSong());
    Song scratch = richSong();
    for (std::size_t n = 0; n < good.size(); ++n) {
        const std::span<const std::uint8_t> head(good.data(), n);
        Song target = scratch;
        ASSERT_EQ(parseSong(head, target).message(), "Invalid QVX Tracker Music file") << n;
        ASSERT_EQ(serializeSong(target), serializeSong(scratch)) << n;
        RomSong rom;
        ASSERT_EQ(parseRomSong(head, "x", rom).message(), "Invalid QVXTracker Music file") << n;
    }
    EXPECT_FALSE(openBytes(Bytes(good.begin(), good.end() - 1)));
    expectUnchanged();
    // Bytes after the last pattern are never looked at.
    Bytes longer = good;
    longer.push_back(0x55);
    Song target;
    EXPECT_TRUE(parseSong(longer, target));
}

TEST_F(RefusedFile, CountsBeyondWhatTheSongHolds) {
    Song song;
    const std::size_t orderAt = 5 + 31 * (7 + 1 + 25);
    Bytes bytes = serializeSong(song);
    const std::size_t patternCountAt = orderAt + 2;

    // Each refusal's detail names the file and says why.
    const auto why = [&](const Bytes& bad) {
        const Result r = openBytes(bad);
        EXPECT_EQ(r.message(), "Invalid QVX Tracker Music file");
        const std::string path = (dir / "bad.mus").string() + ": ";
        return r.detail().starts_with(path) ? r.detail().substr(path.size()) : r.detail();
    };
    Bytes bad = bytes;
    bad[patternCountAt] = 0;
    EXPECT_EQ(why(bad), "it holds 0 patterns; a song holds 1 to 64");
    bad[patternCountAt] = 65;
    EXPECT_EQ(why(bad), "it holds 65 patterns; a song holds 1 to 64");
    expectUnchanged();

    // An order list of 129 entries: count byte and the entries.
    bad = bytes;
    bad[orderAt] = 129;
    bad.insert(bad.begin() + static_cast<std::ptrdiff_t>(orderAt) + 1, 128, 0);
    EXPECT_EQ(why(bad), "its order list has 129 entries, more than 128");
    // An order entry naming a pattern no song can have.
    bad = bytes;
    bad[orderAt + 1] = 64;
    EXPECT_EQ(why(bad), "order entry 0 plays pattern 64, beyond the last of 64");
    EXPECT_EQ(why(Bytes(bytes.begin(), bytes.begin() + 100)),
              "the file ends after 100 bytes, in instrument 3's registers");
    EXPECT_EQ(why({}), "the file is empty");
    EXPECT_EQ(why(Bytes{'Q', 'V', 'X', 'M', '3'}), "it does not start with \"QVXM1\"");
    expectUnchanged();

    // 64 patterns is the most there can be.
    Song full;
    while (full.addPattern()) {
    }
    Song loaded;
    EXPECT_TRUE(parseSong(serializeSong(full), loaded));
    EXPECT_EQ(loaded.patternCount, 64);
}

TEST_F(RefusedFile, NameRunningPast255Characters) {
    Song song;
    song.renameInstrument(1, std::string(255, 'n'));
    Bytes bytes = serializeSong(song);
    Song loaded;
    ASSERT_TRUE(parseSong(bytes, loaded));
    EXPECT_EQ(loaded.instrumentUserName(1), std::string(255, 'n'));
    bytes.insert(bytes.begin() + 5, 'n');  // 256 characters before the terminator
    EXPECT_FALSE(openBytes(bytes));
    expectUnchanged();
}

TEST_F(RefusedFile, CellsTheEditorNeverWrites) {
    Bytes bytes = serializeSong(Song{});
    const std::size_t firstCell = bytes.size() - 1024;
    bytes[firstCell] = 0x2E;  // note nibble 14
    EXPECT_EQ(openBytes(bytes).message(), "Invalid QVX Tracker Music file");
    expectUnchanged();
}

TEST(SongFile, SaveFailureKeepsThePreviousFile) {
    TempDir dir;
    const Bytes old{'o', 'l', 'd'};
    writeBytes(dir / "keep.mus", old);

    // Let the disk "fill up" after 1000 bytes: the write fails half-way.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Result r = saveSong(richSong(), dir / "keep.mus");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(r.message(), "Failed to Create keep.mus");
    EXPECT_EQ(readBytes(dir / "keep.mus"), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}),
              1);  // no leftovers

    EXPECT_EQ(saveSong(Song{}, dir / "missing" / "x.mus").message(), "Failed to Create x.mus");
}

TEST(SongFile, SaveReplacesThroughSymlinkAndKeepsMode) {
    TempDir dir;
    writeBytes(dir / "real.mus", Bytes{1});
    std::filesystem::permissions(dir / "real.mus", std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::owner_write |
                                                       std::filesystem::perms::group_read);
    std::filesystem::create_symlink("real.mus", dir / "link.mus");
    ASSERT_TRUE(saveSong(Song{}, dir / "link.mus"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.mus"));
    EXPECT_EQ(readBytes(dir / "real.mus"), serializeSong(Song{}));
    EXPECT_EQ(std::filesystem::status(dir / "real.mus").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
}

TEST(RomSongReader, KeepsRegistersCellsAndOrder) {
    TempDir dir;
    ASSERT_TRUE(saveSong(richSong(), dir / "theme.mus"));
    RomSong rom;
    ASSERT_TRUE(readRomSong(dir / "theme.mus", "theme.mus", rom));
    EXPECT_EQ(rom.name, "theme.mus");
    EXPECT_EQ(rom.instruments[7].registers, richSong().instruments[7].registers);
    EXPECT_TRUE(rom.instruments[7].name.empty());
    EXPECT_EQ(rom.orderCount, 4);
    EXPECT_EQ(rom.order[3], 1);
    EXPECT_EQ(rom.order[4], 0);
    EXPECT_EQ(rom.patternCount, 3);
    EXPECT_EQ(rom.patterns[2].tracks, richSong().patterns[2].tracks);
    EXPECT_TRUE(rom.patterns[1].name.empty());
    EXPECT_EQ(rom.usedInstrumentCount(), 7);

    const auto missing = dir / "none.mus";
    EXPECT_EQ(readRomSong(missing, "none", rom).message(), "Failed to Open " + missing.string());
    EXPECT_EQ(rom.name, "theme.mus");
}

TEST(RomSongReader, RefusesMoreThan64OrderEntries) {
    Song song;
    song.order.assign(64, 0);
    RomSong rom;
    EXPECT_TRUE(parseRomSong(serializeSong(song), "a", rom));
    song.order.assign(65, 0);
    rom.name = "before";
    EXPECT_EQ(parseRomSong(serializeSong(song), "b", rom).message(),
              "Invalid QVXTracker Music file");
    EXPECT_EQ(rom.name, "before");
}

}  // namespace
}  // namespace qvx
