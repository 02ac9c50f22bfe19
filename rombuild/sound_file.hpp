#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "song/result.hpp"

// Any sound file libsndfile reads (WAV of any sample format, AIFF, FLAC, Ogg Vorbis ...), turned
// into what the ADPCM-A encoder takes: mono, 18500 Hz, 16-bit.
namespace qvx {

// What a sound file holds, as libsndfile tells it.
struct SoundFileFormat {
    int rate = 0;
    int channels = 0;
    std::string sampleFormat;  // "16-bit", "24-bit", "32-bit float", "Vorbis" ...
    std::int64_t frames = 0;
    friend bool operator==(const SoundFileFormat&, const SoundFileFormat&) = default;
};
// "44100 Hz stereo 24-bit"
std::string describe(const SoundFileFormat& format);

// The format of the file at `path`. Failure: the file name, then libsndfile's message.
Result probeSoundFile(const std::filesystem::path& path, const std::string& name,
                      SoundFileFormat& out);

struct ConvertedSound {
    SoundFileFormat source;
    std::vector<std::int16_t> pcm;  // mono, 18500 Hz
    double gainDb = 0;              // below 0 when the sound was taken down to fit full scale
};

// Reads the whole file, mixes its channels to mono, resamples it to 18500 Hz (libsoxr at its
// very high quality) and rounds it to 16 bits, taken down as a whole if it would clip.
// Failure: as probeSoundFile; "... holds no sound" for a file without frames.
Result convertSoundFile(const std::filesystem::path& path, const std::string& name,
                        ConvertedSound& out);

}  // namespace qvx
