#include "rombuild/wav_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "song/song_file.hpp"

namespace qvx {
namespace {

constexpr std::size_t kRiffHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kPlainFmtBytes = 16;
constexpr std::size_t kExtensibleFmtBytes = 40;
constexpr std::uint16_t kFormatPcm = 0x0001;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// The sub-format of an extensible fmt chunk for integer PCM, as it lies in the file.
constexpr std::array<std::uint8_t, 16> kPcmSubFormat = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
bool isId(const std::uint8_t* p, const char (&id)[5]) {
    return std::memcmp(p, id, 4) == 0;
}

// The fmt chunk's verdict; `body` holds `size` bytes (at most the extensible form's 40).
WavVerdict fmtVerdict(const std::uint8_t* body, std::size_t size) {
    if (size < kPlainFmtBytes) return WavVerdict::kNotWav;
    const std::uint16_t format = le16(body);
    const std::uint16_t channels = le16(body + 2);
    const std::uint32_t rate = le32(body + 4);
    const std::uint16_t blockAlign = le16(body + 12);
    const std::uint16_t bits = le16(body + 14);
    if (channels != 1) return WavVerdict::kNotMono;
    if (rate != kWavSampleRate) return WavVerdict::kNot18500Hz;
    if (bits != 16 || blockAlign != 2) return WavVerdict::kNot16Bit;
    if (format == kFormatPcm) return WavVerdict::kAccepted;
    if (format == kFormatExtensible && size >= kExtensibleFmtBytes && le16(body + 16) >= 22 &&
        le16(body + 18) == 16 && std::equal(kPcmSubFormat.begin(), kPcmSubFormat.end(), body + 24))
        return WavVerdict::kAccepted;
    return WavVerdict::kNot16Bit;  // floating point, compressed, or fewer valid bits
}

}  // namespace

WavLayout parseWav(const ReadAtFn& readAt, std::uint64_t fileLength) {
    WavLayout layout;
    std::array<std::uint8_t, kExtensibleFmtBytes> buffer{};
    if (readAt(0, std::span(buffer).first(kRiffHeaderBytes)) < kRiffHeaderBytes) return layout;
    if (!isId(buffer.data(), "RIFF") || !isId(buffer.data() + 8, "WAVE")) return layout;

    // The RIFF size is often wrong in files written by streaming recorders; the file's own
    // length bounds the walk instead.
    bool haveFmt = false;
    bool haveData = false;
    WavVerdict format = WavVerdict::kNotWav;
    std::uint64_t at = kRiffHeaderBytes;
    while (!(haveFmt && haveData) && at + kChunkHeaderBytes <= fileLength) {
        std::array<std::uint8_t, kChunkHeaderBytes> header{};
        if (readAt(at, header) < kChunkHeaderBytes) break;
        const std::uint32_t size = le32(header.data() + 4);
        const std::uint64_t body = at + kChunkHeaderBytes;
        if (isId(header.data(), "fmt ") && !haveFmt) {
            const std::size_t wanted = std::min<std::size_t>(size, buffer.size());
            const std::size_t got = readAt(body, std::span(buffer).first(wanted));
            format = fmtVerdict(buffer.data(), got);
            haveFmt = true;
        } else if (isId(header.data(), "data") && !haveData) {
            layout.dataOffset = body;
            layout.dataBytes =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(size, fileLength - body));
            haveData = true;
        }
        at = body + size + (size & 1);  // chunks are padded to an even length
    }
    if (haveFmt && format != WavVerdict::kAccepted) {
        layout.verdict = format;
    } else if (haveFmt && haveData) {
        layout.verdict = WavVerdict::kAccepted;
    }
    return layout;
}

WavLayout parseWav(std::span<const std::uint8_t> bytes) {
    return parseWav(
        [bytes](std::uint64_t offset, std::span<std::uint8_t> out) -> std::size_t {
            if (offset >= bytes.size()) return 0;
            const auto n = std::min<std::size_t>(out.size(), bytes.size() - offset);
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, out.begin());
            return n;
        },
        bytes.size());
}

std::string wavMessage(WavVerdict verdict, std::string_view name) {
    switch (verdict) {
        case WavVerdict::kAccepted:
            return {};
        case WavVerdict::kCannotOpen:
        case WavVerdict::kNotWav:
            return std::string(kFailedToOpen) + std::string(name);
        case WavVerdict::kNotMono:
            return std::string(kWavNotMono);
        case WavVerdict::kNot18500Hz:
            return std::string(kWavNot18500Hz);
        case WavVerdict::kNot16Bit:
            return std::string(kWavNot16Bit);
    }
    return std::string(kFailedToOpen) + std::string(name);
}

namespace {

// pread until `out` is full, the file ends or an error occurs.
std::size_t readFully(int fd, std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t filled = 0;
    while (filled < out.size()) {
        const ssize_t got = ::pread(fd, out.data() + filled, out.size() - filled,
                                    static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

}  // namespace

WavFile::~WavFile() {
    close();
}

WavFile::WavFile(WavFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), fileLength_(other.fileLength_), layout_(other.layout_) {}

WavFile& WavFile::operator=(WavFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        fileLength_ = other.fileLength_;
        layout_ = other.layout_;
    }
    return *this;
}

void WavFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    fileLength_ = 0;
    layout_ = {};
}

WavVerdict WavFile::open(const std::filesystem::path& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return WavVerdict::kCannotOpen;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return WavVerdict::kCannotOpen;
    }
    const auto length = static_cast<std::uint64_t>(info.st_size);
    const WavLayout layout =
        parseWav([fd](std::uint64_t offset,
                      std::span<std::uint8_t> out) { return readFully(fd, offset, out); },
                 length);
    if (layout.verdict != WavVerdict::kAccepted) {
        ::close(fd);
        return layout.verdict;
    }
    fd_ = fd;
    fileLength_ = length;
    layout_ = layout;
    return WavVerdict::kAccepted;
}

std::size_t WavFile::readData(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (fd_ < 0 || offset >= layout_.dataBytes) return 0;
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), layout_.dataBytes - offset));
    return readFully(fd_, layout_.dataOffset + offset, out.first(wanted));
}

}  // namespace qvx
