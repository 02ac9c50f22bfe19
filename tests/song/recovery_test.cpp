// Recovery copies: what a later session finds, and the question it asks.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <ctime>

#include "song/recovery.hpp"
#include "song/song_file.hpp"
#include "song/workspace.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

Song songWithNote(std::uint8_t note) {
    Song song;
    song.patterns[0].cell(2, 5) = Cell{note, 3, 1, 0xFF, 0xFF};
    return song;
}

TEST(Recovery, ALaterSessionFindsWhatAnEndedOneLeftNewestFirst) {
    testing::TempDir dir;
    const std::string oddName = "/songs/100%\nTheme.mus";
    {
        RecoveryFolder first(dir.path());
        RecoveryFolder second(dir.path());
        ASSERT_TRUE(first.write(songWithNote(1), oddName, 1000));
        ASSERT_TRUE(first.write(songWithNote(2), oddName, 1060));  // replaces its own copy
        ASSERT_TRUE(second.write(songWithNote(3), "", 2000));
        // Both sessions still run: neither is offered to anyone.
        EXPECT_TRUE(RecoveryFolder(dir.path()).leftBehind().empty());
    }
    RecoveryFolder later(dir.path());
    const auto copies = later.leftBehind();
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0].songFile, "");
    EXPECT_EQ(copies[0].writtenAt, 2000);
    EXPECT_EQ(copies[1].songFile, oddName);
    EXPECT_EQ(copies[1].writtenAt, 1060);
    Song read;
    ASSERT_TRUE(RecoveryFolder::read(copies[1], read));
    EXPECT_EQ(serializeSong(read), serializeSong(songWithNote(2)));

    later.discard(copies[0]);
    later.keepAside(copies[1]);
    EXPECT_TRUE(later.leftBehind().empty());
    EXPECT_TRUE(std::filesystem::exists(copies[1].song.string() + ".damaged"));
    EXPECT_FALSE(std::filesystem::exists(copies[0].song));
}

TEST(Recovery, ASessionThatRemovesItsCopyLeavesNothing) {
    testing::TempDir dir;
    const auto folder = dir.path() / "state" / "recovery";  // made on the first copy
    RecoveryFolder session(folder);
    ASSERT_TRUE(session.write(songWithNote(1), "a.mus", 1));
    EXPECT_TRUE(session.hasOwnCopy());
    session.removeOwnCopy();
    EXPECT_FALSE(session.hasOwnCopy());
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(Recovery, AFolderThatCannotBeMadeIsReported) {
    testing::TempDir dir;
    ASSERT_TRUE(testing::writeBytes(dir / "file", std::vector<std::uint8_t>{1}));
    RecoveryFolder session(dir / "file" / "recovery");
    const Result result = session.write(songWithNote(1), "", 1);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.message().rfind("Failed to Create ", 0), 0u) << result.message();
}

TEST(Recovery, QuestionNamesTheSongAndTheTime) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const std::int64_t at1432 = 1796826720;  // 2026-12-09 14:32 UTC
    EXPECT_EQ(recoveryQuestion({"s", "x", "/music/Theme.mus", at1432}, at1432 + 3600),
              "QVXTracker did not close properly. Restore Theme.mus as it was at 14:32?");
    EXPECT_EQ(recoveryQuestion({"s", "x", "", at1432}, at1432 + 86400),
              "QVXTracker did not close properly. Restore the untitled song as it was at "
              "2026-12-09 14:32?");
}

// A copy left with an info file of the given bytes (or a named pipe for nullopt).
RecoveryCopy copyWithInfo(const testing::TempDir& dir, const std::optional<std::string>& info) {
    std::filesystem::remove_all(dir.path());
    std::filesystem::create_directories(dir.path());
    EXPECT_TRUE(saveSong(songWithNote(1), dir / "1-1.mus"));
    if (info)
        testing::writeBytes(dir / "1-1.info",
                            std::vector<std::uint8_t>(info->begin(), info->end()));
    else
        EXPECT_EQ(::mkfifo((dir / "1-1.info").c_str(), 0600), 0);
    const auto copies = RecoveryFolder(dir.path()).leftBehind();
    EXPECT_EQ(copies.size(), 1u);
    return copies.empty() ? RecoveryCopy{} : copies[0];
}

// What an info file says is taken only where Save and the question can trust it.
TEST(Recovery, InfoFilesAreNotTakenOnTrust) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    testing::TempDir dir;
    const std::string head = "QVXRecovery1\nwrittenAt=1796826720\nsongFile=";
    const std::pair<std::string, std::string> names[] = {
        {"/music/Theme.mus", "/music/Theme.mus"},
        {"music/Theme.mus", ""},  // relative: would be saved beside wherever the editor runs
        {"/music/", ""},
        {"/music/..", ""},
        {std::string("/music/The\0me.mus", 17), ""},
    };
    for (const auto& [written, taken] : names) {
        const RecoveryCopy copy = copyWithInfo(dir, head + written + "\n");
        EXPECT_EQ(copy.songFile, taken) << written;
        EXPECT_EQ(copy.writtenAt, 1796826720);
    }
    EXPECT_EQ(
        recoveryDetails(copyWithInfo(dir, head + "/music/Theme.mus\n")),
        "The song's file: /music/Theme.mus\nThe recovery copy: " + (dir / "1-1.mus").string());

    // A time no calendar holds.
    const RecoveryCopy late = copyWithInfo(dir, "QVXRecovery1\nwrittenAt=99999999999999999\n");
    EXPECT_EQ(recoveryQuestion(late, 1796826720),
              "QVXTracker did not close properly. Restore the untitled song as it was at an "
              "unknown time?");

    // A named pipe in place of the info file is not opened (that would wait for ever) but kept
    // aside; the song is still offered.
    const RecoveryCopy piped = copyWithInfo(dir, std::nullopt);
    EXPECT_EQ(piped.songFile, "");
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "1-1.info.damaged"));
    Song read;
    EXPECT_TRUE(RecoveryFolder::read(piped, read));
}

TEST(Recovery, FolderFollowsTheStateHome) {
    ::setenv("HOME", "/home/composer", 1);
    ::setenv("XDG_STATE_HOME", "/var/state", 1);
    EXPECT_EQ(defaultRecoveryFolder(), "/var/state/Tessalwerk/QVXTracker/recovery");
    ::setenv("XDG_STATE_HOME", "relative/state", 1);  // not absolute: ignored
    EXPECT_EQ(defaultRecoveryFolder(),
              "/home/composer/.local/state/Tessalwerk/QVXTracker/recovery");
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(defaultRecoveryFolder(),
              "/home/composer/.local/state/Tessalwerk/QVXTracker/recovery");
}

TEST(Recovery, ARestoredSongIsModifiedEvenAfterUndo) {
    Workspace ws;
    ws.restoreUnsaved(std::make_unique<Song>(songWithNote(4)));
    EXPECT_TRUE(ws.modified());
    EXPECT_FALSE(ws.canUndo());
    EXPECT_EQ(ws.song().patterns[0].cell(2, 5).note, 4);
    ws.typeChar(U'z');
    ws.undo();
    EXPECT_TRUE(ws.modified());
}

}  // namespace
}  // namespace qvx
