#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace qvx {

inline constexpr std::string_view kWavNotMono = "WAV file is not MONO";
inline constexpr std::string_view kWavNot18500Hz = "WAV file is not 18500Hz";
inline constexpr std::string_view kWavNot16Bit = "WAV file is not 16bit";
inline constexpr std::uint32_t kWavSampleRate = 18500;

// What a WAV file's chunks say, as far as the ADPCM-A encoder cares.
enum class WavVerdict {
    kAccepted,
    kCannotOpen,  // missing, unreadable, or not a regular file
    kNotWav,      // not RIFF/WAVE, or no usable fmt or data chunk
    kNotMono,
    kNot18500Hz,
    kNot16Bit,  // anything but 16-bit integer PCM
};

struct WavLayout {
    WavVerdict verdict = WavVerdict::kNotWav;
    std::uint64_t dataOffset = 0;  // the first byte of the samples
    std::uint32_t dataBytes = 0;   // the data chunk's size, cut to what the file holds
};

// Reads up to out.size() bytes at `offset`; returns how many it got (fewer at the end).
using ReadAtFn = std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> out)>;

// Walks the RIFF chunks of a file of `fileLength` bytes: finds "fmt " and "data" in any order,
// skips every other chunk (with the pad byte after an odd size), and accepts 16-bit PCM, mono,
// 18500 Hz exactly, in a plain or an extensible fmt chunk. Reads chunk headers only.
WavLayout parseWav(const ReadAtFn& readAt, std::uint64_t fileLength);
WavLayout parseWav(std::span<const std::uint8_t> bytes);

// The message for a refused file: "Failed to Open " + name when it cannot be opened or is no WAV
// file at all, else the format message.
std::string wavMessage(WavVerdict verdict, std::string_view name);

// An accepted WAV file, open for reading its samples piece by piece.
class WavFile {
  public:
    WavFile() = default;
    ~WavFile();
    WavFile(WavFile&& other) noexcept;
    WavFile& operator=(WavFile&& other) noexcept;
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // Opens and checks the file. On any verdict but kAccepted the object is left closed.
    WavVerdict open(const std::filesystem::path& path);

    std::uint64_t fileLength() const { return fileLength_; }
    std::uint32_t dataBytes() const { return layout_.dataBytes; }
    // Reads sound bytes from `offset` within the data chunk; returns how many it got (fewer at
    // the end of the chunk, or when the file shrank or cannot be read).
    std::size_t readData(std::uint64_t offset, std::span<std::uint8_t> out) const;

  private:
    void close();

    int fd_ = -1;
    std::uint64_t fileLength_ = 0;
    WavLayout layout_;
};

}  // namespace qvx
