#include "song/recovery.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <sstream>

#include "song/file_io.hpp"
#include "song/song_file.hpp"

namespace qvx {
namespace {

constexpr std::string_view kInfoMagic = "QVXRecovery1";
constexpr std::size_t kMaxInfoBytes = 64 * 1024;

// A file name may hold any byte but '/' and NUL; the info file is one field per line.
std::string escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '%')
            out += "%25";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, "%25") == 0) {
            out += '%';
            i += 2;
        } else if (text.compare(i, 3, "%0A") == 0) {
            out += '\n';
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Whether another running editor holds the session's lock.
bool sessionIsLive(const std::filesystem::path& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool live = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // releases the lock if we took it
    return live;
}

std::int64_t modificationTime(const std::filesystem::path& path) {
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(path, ec);
    if (ec) return 0;
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::file_clock::to_sys(time).time_since_epoch())
        .count();
}

// Save writes back to the name it is given: only a whole absolute path to a file is taken, else
// the song comes back untitled.
bool isSongFileName(const std::string& name) {
    if (name.empty() || name.front() != '/' || name.find('\0') != std::string::npos) return false;
    const std::string last = name.substr(name.rfind('/') + 1);
    return !last.empty() && last != "." && last != "..";
}

void readInfo(const std::filesystem::path& path, RecoveryCopy& copy) {
    const auto bytes = readFileHead(path, kMaxInfoBytes);
    if (!bytes) return;
    std::istringstream lines(std::string(bytes->begin(), bytes->end()));
    std::string line;
    if (!std::getline(lines, line) || line != kInfoMagic) return;
    while (std::getline(lines, line)) {
        if (line.rfind("songFile=", 0) == 0) {
            std::string name = unescape(line.substr(9));
            copy.songFile = isSongFileName(name) ? std::move(name) : std::string();
        } else if (line.rfind("writtenAt=", 0) == 0) {
            char* end = nullptr;
            const long long value = std::strtoll(line.c_str() + 10, &end, 10);
            if (end && *end == '\0') copy.writtenAt = value;
        }
    }
}

std::string newSessionName() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) + "-" +
           std::to_string(::getpid());
}

}  // namespace

std::filesystem::path defaultRecoveryFolder() {
    std::filesystem::path state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && xdg[0] == '/') {
        state = xdg;
    } else {
        const char* home = std::getenv("HOME");
        state = std::filesystem::path(home && home[0] ? home : "/tmp") / ".local" / "state";
    }
    return state / "Tessalwerk" / "QVXTracker" / "recovery";
}

std::string recoveryQuestion(const RecoveryCopy& copy, std::int64_t now) {
    const std::time_t written = static_cast<std::time_t>(copy.writtenAt);
    const std::time_t today = static_cast<std::time_t>(now);
    std::tm at{};
    std::tm current{};
    std::string when = "an unknown time";
    // A time the calendar cannot hold (a damaged info file) is not shown as some odd date.
    if (::localtime_r(&written, &at) && ::localtime_r(&today, &current)) {
        const bool sameDay = at.tm_year == current.tm_year && at.tm_yday == current.tm_yday;
        char text[64];
        if (std::strftime(text, sizeof text, sameDay ? "%H:%M" : "%Y-%m-%d %H:%M", &at) > 0)
            when = text;
    }
    const std::string song =
        copy.songFile.empty() ? "the untitled song" : displayName(copy.songFile);
    return "QVXTracker did not close properly. Restore " + song + " as it was at " + when + "?";
}

std::string recoveryDetails(const RecoveryCopy& copy) {
    return (copy.songFile.empty() ? std::string("The song was never saved.")
                                  : "The song's file: " + copy.songFile) +
           "\nThe recovery copy: " + copy.song.string();
}

RecoveryFolder::RecoveryFolder(std::filesystem::path folder)
    : folder_(std::move(folder)), session_(newSessionName()) {}

RecoveryFolder::~RecoveryFolder() {
    if (lock_ >= 0) ::close(lock_);
}

std::filesystem::path RecoveryFolder::file(const std::string& session,
                                           const char* extension) const {
    return folder_ / (session + extension);
}

bool RecoveryFolder::lockSession() {
    if (lock_ >= 0) return true;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    const int fd = ::open(file(session_, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    lock_ = fd;
    return true;
}

Result RecoveryFolder::write(const Song& song, const std::string& songFile, std::int64_t now) {
    const std::filesystem::path copy = file(session_, ".mus");
    if (!lockSession()) return Result::failure(std::string(kFailedToCreate) + copy.string());
    if (Result saved = saveSong(song, copy); !saved) return saved;
    hasOwn_ = true;
    const std::string info = std::string(kInfoMagic) + "\nsongFile=" + escape(songFile) +
                             "\nwrittenAt=" + std::to_string(now) + "\n";
    if (!writeFileAtomically(file(session_, ".info"),
                             {reinterpret_cast<const std::uint8_t*>(info.data()), info.size()}))
        return Result::failure(std::string(kFailedToCreate) + file(session_, ".info").string());
    return Result::success();
}

void RecoveryFolder::removeOwnCopy() {
    std::error_code ec;
    std::filesystem::remove(file(session_, ".mus"), ec);
    std::filesystem::remove(file(session_, ".info"), ec);
    hasOwn_ = false;
    if (lock_ >= 0) {
        std::filesystem::remove(file(session_, ".lock"), ec);
        ::close(lock_);
        lock_ = -1;
    }
}

std::vector<RecoveryCopy> RecoveryFolder::leftBehind() {
    std::vector<RecoveryCopy> copies;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
        const std::filesystem::path& path = entry.path();
        if (path.extension() != ".mus" || !entry.is_regular_file(ec)) continue;
        RecoveryCopy copy;
        copy.session = path.stem().string();
        if (copy.session == session_ || sessionIsLive(file(copy.session, ".lock"))) continue;
        copy.song = path;
        copy.writtenAt = modificationTime(path);
        // Only a regular file is read: a pipe or a device there would block the start for ever.
        const std::filesystem::path info = file(copy.session, ".info");
        const auto infoStatus = std::filesystem::symlink_status(info, ec);
        if (std::filesystem::is_regular_file(infoStatus))
            readInfo(info, copy);
        else if (std::filesystem::exists(infoStatus))
            std::filesystem::rename(info, info.string() + ".damaged", ec);
        copies.push_back(std::move(copy));
    }
    std::sort(copies.begin(), copies.end(), [](const RecoveryCopy& a, const RecoveryCopy& b) {
        return a.writtenAt != b.writtenAt ? a.writtenAt > b.writtenAt : a.session > b.session;
    });
    return copies;
}

Result RecoveryFolder::read(const RecoveryCopy& copy, Song& out) {
    return openSong(copy.song, out);
}

void RecoveryFolder::discard(const RecoveryCopy& copy) {
    std::error_code ec;
    for (const char* extension : {".mus", ".info", ".lock"})
        std::filesystem::remove(file(copy.session, extension), ec);
}

void RecoveryFolder::keepAside(const RecoveryCopy& copy) {
    std::error_code ec;
    for (const char* extension : {".mus", ".info"}) {
        const std::filesystem::path from = file(copy.session, extension);
        std::filesystem::rename(from, from.string() + ".damaged", ec);
    }
    std::filesystem::remove(file(copy.session, ".lock"), ec);
}

}  // namespace qvx
