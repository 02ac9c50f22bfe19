// The recovery reader as the editor meets it at start-up: a left-behind session whose info file
// and song copy hold any bytes (the first two bytes give the info file's length). The copy is
// offered with a file name Save can write back to, or none; its question always reads; its song
// reads whole or is refused with the reader's message.
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "song/recovery.hpp"
#include "song/song_file.hpp"

namespace {

const std::filesystem::path& folder() {
    static const std::filesystem::path path = [] {
        std::string name = (std::filesystem::temp_directory_path() / "qvxfuzz-XXXXXX").string();
        if (!::mkdtemp(name.data())) std::abort();
        return std::filesystem::path(name);
    }();
    return path;
}

void write(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t infoSize = std::min<std::size_t>(size - 2, data[0] | data[1] << 8);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder(), ec))
        std::filesystem::remove(entry.path(), ec);
    write(folder() / "1-1.info", data + 2, infoSize);
    write(folder() / "1-1.mus", data + 2 + infoSize, size - 2 - infoSize);

    qvx::RecoveryFolder recovery(folder());
    for (const qvx::RecoveryCopy& copy : recovery.leftBehind()) {
        const std::string& name = copy.songFile;
        if (!name.empty() &&
            (name[0] != '/' || name.back() == '/' || name.find('\0') != std::string::npos))
            __builtin_trap();
        if (qvx::recoveryQuestion(copy, 1796826720).find(" as it was at ") == std::string::npos)
            __builtin_trap();
        qvx::Song song;
        const qvx::Result read = qvx::RecoveryFolder::read(copy, song);
        if (!read && read.message() != qvx::kInvalidSongMessage) __builtin_trap();
        if (!read) recovery.keepAside(copy);
    }
    return 0;
}
