#include "song/file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "song/song_file.hpp"

namespace qvx {
namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    bool close() {
        if (fd_ < 0) return true;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

  private:
    int fd_;
};

// The process umask, read without changing it (umask(2) can only be read by setting it, which
// would race with other threads creating files).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> readFileHead(const std::filesystem::path& path,
                                                      std::size_t maxBytes) {
    // Not blocking: opening a named pipe for reading would otherwise wait for a writer for ever.
    // The check below then refuses anything but a regular file.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;

    std::vector<std::uint8_t> bytes(
        std::min<std::size_t>(maxBytes, static_cast<std::size_t>(info.st_size)));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;  // the file shrank while we read it
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

bool writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec) target = resolved;
    }
    if (target.filename().empty()) return false;

    // Keep the permissions of a file we replace; a new file gets the usual 0666 & ~umask.
    mode_t mode = 0666 & ~currentUmask();
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) return false;
        mode = existing.st_mode & 07777;
    }

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string hidden(".");
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string tempName = (folder / hidden).string();
    FileDescriptor fd(::mkstemp(tempName.data()));
    if (!fd.valid()) return false;

    const bool written = writeAll(fd.get(), bytes) && ::fchmod(fd.get(), mode) == 0 &&
                         ::fsync(fd.get()) == 0 && fd.close();
    if (!written || ::rename(tempName.c_str(), target.c_str()) != 0) {
        ::unlink(tempName.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here does not undo a complete file.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
    return true;
}

std::string displayName(const std::filesystem::path& path) {
    return path.filename().string();
}

std::string whyUnreadable(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? "there is no such file" : std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "it is a folder";
    if (!S_ISREG(info.st_mode)) return "it is not a regular file";
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    return fd.valid() ? "it could not be read" : std::strerror(errno);
}

Result refuseFile(std::string message, const std::filesystem::path& path,
                  const std::string& reason) {
    return Result::failure(std::move(message), path.string() + ": " + reason);
}

Result cannotOpen(const std::filesystem::path& path) {
    return refuseFile(std::string(kFailedToOpen) + displayName(path), path, whyUnreadable(path));
}

}  // namespace qvx
