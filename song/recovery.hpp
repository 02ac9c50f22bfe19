#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "song/result.hpp"
#include "song/song.hpp"

// Recovery copies: while a song has unsaved changes the editor keeps a copy of it in the user's
// state folder, so that a crash, a power cut or a hard kill loses at most the last minute of
// work. Each running editor is a session with its own copy; a copy whose session has ended
// without removing it is offered back at the next start.
namespace qvx {

struct RecoveryCopy {
    std::string session;
    std::filesystem::path song;  // the copy's song file
    std::string songFile;        // where the song was saved before; empty for a new song
    std::int64_t writtenAt = 0;  // seconds since the epoch
};

// Where recovery copies live: $XDG_STATE_HOME (when it is an absolute path), else
// ~/.local/state, then Tessalwerk/QVXTracker/recovery.
std::filesystem::path defaultRecoveryFolder();

// "QVXTracker did not close properly. Restore Theme.mus as it was at 14:32?" The time is local;
// a copy from another day gives its date as well.
std::string recoveryQuestion(const RecoveryCopy& copy, std::int64_t now);
// What the question's details show: the song's whole path and where the copy is.
std::string recoveryDetails(const RecoveryCopy& copy);

class RecoveryFolder {
  public:
    explicit RecoveryFolder(std::filesystem::path folder);
    ~RecoveryFolder();
    RecoveryFolder(const RecoveryFolder&) = delete;
    RecoveryFolder& operator=(const RecoveryFolder&) = delete;

    const std::filesystem::path& folder() const { return folder_; }

    // Writes this session's copy, replacing the one before. The session holds a lock in the
    // folder from its first copy on, so that another running editor never offers it back.
    Result write(const Song& song, const std::string& songFile, std::int64_t now);
    bool hasOwnCopy() const { return hasOwn_; }
    void removeOwnCopy();

    // Copies of sessions that ended without removing them, newest first. An info file that is not
    // a regular file is not read but kept aside; a song file name in it that Save could not
    // write back to (not an absolute path to a file) is left out, so the song comes back
    // untitled.
    std::vector<RecoveryCopy> leftBehind();
    // Reads a copy as the song reader does: `out` changes only when it is read whole.
    static Result read(const RecoveryCopy& copy, Song& out);
    void discard(const RecoveryCopy& copy);
    // A copy that cannot be read is renamed out of the way (".damaged"), never deleted.
    void keepAside(const RecoveryCopy& copy);

  private:
    std::filesystem::path file(const std::string& session, const char* extension) const;
    bool lockSession();

    std::filesystem::path folder_;
    std::string session_;
    int lock_ = -1;
    bool hasOwn_ = false;
};

}  // namespace qvx
