#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// ADPCM-A drum kits: what a note on an ADPCM-A track of a whole-chip song plays. The song keeps
// its samples as 16-bit PCM at the rate the chip plays ADPCM-A, so a song file holds everything
// it needs; the ROM build encodes them.
namespace qvx {

inline constexpr double kAdpcmARate = 8'000'000.0 / 432;  // 18,518.5 Hz
// The chip's ADPCM-A address counter does not carry past a 1 MB boundary, so no sample can be
// longer than 1 MB of 4-bit data.
inline constexpr std::size_t kMaxKitSampleFrames = 2 * 1024 * 1024;
// What the V ROM space could hold of samples at all, 16 MB of 4-bit data: a song asking more
// could never be built.
inline constexpr std::size_t kMaxSongSampleFrames = 2 * 16 * 1024 * 1024;
inline constexpr int kKitNotes = 12;
inline constexpr std::uint8_t kMaxKitLevel = 31;  // the channel level: 0 dB, down 0.75 dB a step

// Samples are never changed once made: an edit makes a new one. Instruments and undo steps then
// share them freely.
struct Sample {
    std::string name;
    std::vector<std::int16_t> pcm;
};
using SampleRef = std::shared_ptr<const Sample>;

SampleRef makeSample(std::string name, std::vector<std::int16_t> pcm);

struct KitNote {
    SampleRef sample;  // none: the note plays nothing
    std::uint8_t level = kMaxKitLevel;

    // Samples compare by their contents.
    friend bool operator==(const KitNote& a, const KitNote& b);
};

struct DrumKit {
    std::array<KitNote, kKitNotes> notes;

    // The kit's distinct samples, in the order of the notes that first use them.
    std::vector<SampleRef> samples() const;
    friend bool operator==(const DrumKit&, const DrumKit&) = default;
};

// A kit with `sample` on every note at full level: a single drum needs no mapping.
DrumKit singleSampleKit(const SampleRef& sample);

// What a sample costs: its length, and the V ROM it takes once encoded (4 bits a frame, padded to
// the 256-byte blocks the chip addresses).
double sampleSeconds(const Sample& sample);
std::size_t sampleRomBytes(const Sample& sample);

}  // namespace qvx
