#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "driver/memory_map.hpp"
#include "song/song.hpp"

// Images of whole-chip songs for the whole-chip driver: the driver, the sample table area, then
// one "QVX1" block per song:
//
//   "QVX1", link word (as a classic block's), instrument count n, sample count s, pattern count p
//   instruments    n x 32 bytes: an FM voice's 25 bytes, or a kit's 12 notes (sample number,
//                  0xFF for none; level 0-31)
//   samples        s x 4 bytes: the first and last 256-byte block of the sample in the V ROM
//   order block    the count, then 128 pattern numbers, as in a classic block
//   pattern table  p x 2 bytes: where each pattern starts, from the block's start
//   patterns       per row: a 16-bit mask of the tracks with a cell (bit n: track n), then
//                  those tracks' 4-byte cells, in track order
//
// Rows name only the cells that do something, so drum patterns, mostly empty, take little room.
// The song's samples are encoded to ADPCM-A and laid out in a V ROM beside the image.
namespace qvx {

// Where a sample lies in the V ROM: its first and last 256-byte block.
struct SamplePlace {
    std::uint16_t start = 0;
    std::uint16_t end = 0;
    friend bool operator==(const SamplePlace&, const SamplePlace&) = default;
};

// A kit sample as ADPCM-A: two samples a byte, an odd last sample dropped.
std::vector<std::uint8_t> encodeKitSample(const Sample& sample);

// How a sample is stored: as a drum (ADPCM-A), or for the ADPCM-B channel, played once or looped
// (the loop's end padded with the sample's start: see loopFrames).
enum class SampleCoding : std::uint8_t { AdpcmA, AdpcmB, AdpcmBLoop };

// A pitched sample as ADPCM-B, to the end of its last 256-byte block: a looped one padded with
// its start, another with silence.
std::vector<std::uint8_t> encodePitchedSample(const Sample& sample, bool loop);

// Samples encoded into a V ROM, each from a 256-byte boundary and padded to the next: drums with
// silence and none across a 1 MB boundary (the ADPCM-A address counter does not carry there),
// ADPCM-B samples as encodePitchedSample gives them (its counter runs on). A sample added twice
// in one coding (the same object, or the same sound) is stored once.
class SampleRom {
  public:
    // After `bytes` already in the ROM (the ROM Maker's command samples).
    explicit SampleRom(std::vector<std::uint8_t> bytes = {});
    // False, and nothing added, when the sample would not fit the 16 MB the chip addresses.
    bool add(const SampleRef& sample, SampleCoding coding = SampleCoding::AdpcmA);
    std::optional<SamplePlace> placeOf(const SampleRef& sample,
                                       SampleCoding coding = SampleCoding::AdpcmA) const;
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t> takeBytes() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
    struct Stored {
        SampleRef sample;
        SampleCoding coding;
        SamplePlace place;
    };
    std::vector<Stored> places_;
};

// Stores the samples of a song's instruments up to `instrumentsUpTo` (all without): its kits'
// drums, then its ADPCM-B samples as their instruments play them, in that order, as its block
// places them. False when they do not all fit.
bool addSongSamples(const Song& song, SampleRom& rom, int instrumentsUpTo = -1);

// One whole-chip song block's material: a whole song (with the track enable flags, as playback
// hears it, or without, as the ROM build stores it) or one pattern alone.
struct WholeChipBlockSource {
    const Song* song = nullptr;  // its instruments and kinds
    std::span<const std::uint8_t> order;
    std::span<const Pattern> patterns;
    int firstPatternNumber = 0;  // the number of patterns[0], for messages
    const TrackFlags* trackFlags = nullptr;
};
WholeChipBlockSource wholeChipSongSource(const Song& song, bool withTrackFlags = true);
WholeChipBlockSource wholeChipPatternSource(const Song& song, int pattern);

// Why the whole-chip driver cannot play the block, in the editor's words; empty when it can.
std::string wholeChipBlockProblem(const WholeChipBlockSource& source);

// The block, its samples placed in `rom` (added there if they are not yet). Expects a source
// without problems.
std::vector<std::uint8_t> wholeChipBlock(const WholeChipBlockSource& source, SampleRom& rom);

// The ADPCM-A channels the block's tracks play (bit n: channel n).
std::uint8_t adpcmAChannels(const WholeChipBlockSource& source);

// The whole-chip driver, the sample table, and the blocks linked so that block n plays as command
// 0x80 + n + 1; the driver told which ADPCM-A channels the songs use. Empty when the blocks run
// into the driver's variables.
std::vector<std::uint8_t> wholeChipImage(std::span<const std::vector<std::uint8_t>> blocks,
                                         std::uint8_t songChannels,
                                         std::span<const std::uint8_t> sampleTable = {});

}  // namespace qvx
