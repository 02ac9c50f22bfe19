#pragma once

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/sound_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/wav_files.hpp"

// Sound files a user can easily have that once crashed, exhausted or misled the converter, each
// with the message it must now be refused with.
namespace qvx::testing {

// A WAV file of raw sample bytes in any format (1 PCM, 3 float).
inline Bytes rawWav(std::uint16_t format, std::uint16_t channels, std::uint32_t rate,
                    std::uint16_t bits, const Bytes& data) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return riff(
        {chunk("fmt ", fmtBody({format, channels, rate, align, bits})), chunk("data", data)});
}

template <typename T>
Bytes valueBytes(const std::vector<T>& values) {
    Bytes out(values.size() * sizeof(T));
    std::memcpy(out.data(), values.data(), out.size());
    return out;
}

// FLAC's total sample count is 36 bits of its first metadata block; 0 means "not known", as a
// program that streams the file out leaves it.
inline bool setFlacTotalSamples(const std::filesystem::path& path, std::uint64_t total) {
    Bytes bytes = readBytes(path);
    if (bytes.size() < 26 || bytes[0] != 'f' || (bytes[4] & 0x7F) != 0) return false;
    bytes[21] = static_cast<std::uint8_t>((bytes[21] & 0xF0) | ((total >> 32) & 0x0F));
    for (int i = 0; i < 4; ++i)
        bytes[22 + std::size_t(i)] = static_cast<std::uint8_t>(total >> (24 - 8 * i));
    return writeBytes(path, bytes);
}

// A 10 ms sine written as FLAC, its length then left out of the header.
inline bool writeStreamedFlac(const std::filesystem::path& path, std::uint64_t declared = 0) {
    return writeSoundFile(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, 0.01) &&
           setFlacTotalSamples(path, declared);
}

// A FLAC file's metadata without any of its audio frames.
inline bool cutFlacAfterMetadata(const std::filesystem::path& path) {
    Bytes bytes = readBytes(path);
    std::size_t at = 4;
    for (bool last = false; !last && at + 4 <= bytes.size();) {
        last = (bytes[at] & 0x80) != 0;
        at += 4 +
              (std::size_t(bytes[at + 1]) << 16 | std::size_t(bytes[at + 2]) << 8 | bytes[at + 3]);
    }
    if (at >= bytes.size()) return false;
    bytes.resize(at);
    return writeBytes(path, bytes);
}

struct DamagedSound {
    std::string file;
    std::string message;  // what the refusal says, in full
};

inline std::vector<DamagedSound> writeDamagedSounds(const std::filesystem::path& folder) {
    std::vector<float> floats(1850);
    for (std::size_t i = 0; i < floats.size(); ++i)
        floats[i] = static_cast<float>(0.5 * std::sin(double(i) / 10));
    std::vector<float> nan = floats;
    nan[100] = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> inf = floats;
    inf[100] = std::numeric_limits<float>::infinity();
    std::vector<double> huge(floats.begin(), floats.end());
    huge[200] = 1e300;
    std::vector<float> stereo(floats.size() * 2, 0.25f);
    stereo[600] = stereo[601] = 3e38f;

    const std::string rates = " is not one sound files use (1000 to 768000 Hz)";
    const std::string damaged = "; the file is damaged";
    std::vector<DamagedSound> files = {
        {"one-frame.wav", "one-frame.wav: the file holds no sound"},
        {"fastest.wav", "fastest.wav: its sample rate, 2147483647 Hz," + rates},
        {"one-hertz.wav", "one-hertz.wav: its sample rate, 1 Hz," + rates},
        {"nan.wav", "nan.wav holds a value that is not a number at frame 100" + damaged},
        {"inf.wav", "inf.wav holds an infinite value at frame 100" + damaged},
        {"huge.wav", "huge.wav holds a peak 6000.0 dB above full scale at frame 200" + damaged},
        {"loud.wav", "loud.wav holds a peak 769.5 dB above full scale at frame 300" + damaged},
        {"no-frames.flac", "no-frames.flac: the file holds no sound"},
        {"endless.flac",
         "endless.flac is too long: converted to 18500 Hz it would last 1558264.8 s, and the "
         "largest V ROM (16 MB) holds 1813.8 s"},
    };
    const bool written =
        writeBytes(folder / "one-frame.wav", rawWav(1, 1, 44100, 16, pcm(sine(1, 440, 0.5)))) &&
        writeBytes(folder / "fastest.wav", rawWav(1, 1, 2147483647, 16, pcm(sine(100, 1, 0.5)))) &&
        writeBytes(folder / "one-hertz.wav", rawWav(1, 1, 1, 16, Bytes(40000, 0))) &&
        writeBytes(folder / "nan.wav", rawWav(3, 1, 44100, 32, valueBytes(nan))) &&
        writeBytes(folder / "inf.wav", rawWav(3, 1, 44100, 32, valueBytes(inf))) &&
        writeBytes(folder / "huge.wav", rawWav(3, 1, 44100, 64, valueBytes(huge))) &&
        writeBytes(folder / "loud.wav", rawWav(3, 2, 44100, 32, valueBytes(stereo))) &&
        writeSoundFile(folder / "no-frames.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1,
                       0.01) &&
        cutFlacAfterMetadata(folder / "no-frames.flac") &&
        writeStreamedFlac(folder / "endless.flac", (std::uint64_t{1} << 36) - 1);
    if (!written) files.clear();
    return files;
}

}  // namespace qvx::testing
