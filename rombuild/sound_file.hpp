#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rombuild/adpcm_a.hpp"
#include "rombuild/wav_reader.hpp"
#include "song/result.hpp"

// Any sound file libsndfile reads (WAV of any sample format, AIFF, FLAC, Ogg Vorbis ...), turned
// into what the ADPCM encoders take: mono, 16-bit, at the rate the chip plays.
namespace qvx {

// Sample rates sound files really use; a rate outside them is a damaged header, and taking it at
// its word would make a few bytes into hours of sound.
inline constexpr int kMinSoundFileRate = 1000;
inline constexpr int kMaxSoundFileRate = 768000;
// The most samples a conversion may give: the 4-bit samples that fill the largest V ROM the
// chip addresses (16 MB). Anything longer could never be built, so it is refused before it is
// converted.
inline constexpr std::uint64_t kMaxConvertedSamples = 2 * adpcma::kAddressableBytes;
// A sound whose peak needs taking down by more than this to fit is a damaged file: what would
// be left of it is silence.
inline constexpr double kMaxTakenDownDb = 40.0;

// Told how far a long piece of work has come, from 0 to 1, or below 0 while it cannot tell;
// returning false cancels the work, which then fails with kCancelled.
using ProgressFn = std::function<bool(double done)>;
inline constexpr std::string_view kCancelled = "Cancelled";

// What a sound file holds, as libsndfile tells it. `frames` is what the header declares (the
// largest 64-bit value when the header does not say).
struct SoundFileFormat {
    int rate = 0;
    int channels = 0;
    std::string sampleFormat;  // "16-bit", "24-bit", "32-bit float", "Vorbis" ...
    std::int64_t frames = 0;
    friend bool operator==(const SoundFileFormat&, const SoundFileFormat&) = default;
};
// "44100 Hz stereo 24-bit"
std::string describe(const SoundFileFormat& format);

// The format of the file at `path`. Failure: the file name, then libsndfile's message, or why
// the header cannot be right (no sound, a rate outside the ones sound files use).
Result probeSoundFile(const std::filesystem::path& path, const std::string& name,
                      SoundFileFormat& out);

struct ConvertedSound {
    SoundFileFormat source;
    std::vector<std::int16_t> pcm;  // mono, at the rate asked for
    double gainDb = 0;              // below 0 when the sound was taken down to fit full scale
};

struct ConversionOptions {
    double rate = kWavSampleRate;  // the rate to convert to
    ProgressFn progress;
};

// Reads the file block by block to its end, whatever its header declares, mixes its channels to
// mono, resamples it (libsoxr at its very high quality) and rounds it to 16 bits, taken down as
// a whole if it would clip. Memory is a small multiple of the converted sound. Refused, naming
// the file: what probeSoundFile refuses; a sound too short to give one sample ("holds no
// sound") or too long for the largest V ROM (with how long it would be); a value that is not a
// number or infinite (with its frame); a peak that would need taking down more than
// kMaxTakenDownDb (with its frame). `out` changes only on success.
Result convertSoundFile(const std::filesystem::path& path, const std::string& name,
                        ConvertedSound& out, const ConversionOptions& options = {});

}  // namespace qvx
