#pragma once

#include <optional>

#include <cstdint>
#include <span>

#include "rombuild/compiled_image.hpp"
#include "song/result.hpp"

namespace qvx {

// Where compiled images are played: the process's sound library (the editor), or an engine of
// one's own (offline rendering). Playback knows only this interface, so building and playing
// images needs no audio.
class SoundTarget {
  public:
    virtual ~SoundTarget() = default;
    virtual void sendData(std::span<const std::uint8_t> image) = 0;
    // An image with the V ROM its ADPCM-A channels play from, as the board boots a ROM set.
    virtual void sendRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) = 0;
    virtual void sendCommand(std::uint16_t command) = 0;
};

// Play Pattern, Play Song and Stop. Each Play uploads a fresh image (the board restarts from
// address 0) and starts song 1; the target holds the command until the driver is ready, so no
// caller has to wait. A song the driver cannot play is refused with the reason, and nothing
// is sent.
class Playback {
  public:
    Playback(SoundTarget& target, ImageBuffer& buffer) : target_(target), buffer_(buffer) {}

    Result playPattern(const Song& song, int pattern);
    Result playSong(const Song& song);
    // Play from here: the song from an order entry, the pattern from a row.
    Result playSongFrom(const Song& song, int orderEntry);
    Result playPatternFrom(const Song& song, int pattern, int row);
    void stop();

    // Where a position the driver reports (order position and row of the image it plays) lies
    // in the song: the order entry (-1 when a pattern plays alone), the pattern and the row.
    struct SongPlace {
        int orderEntry = -1;
        int pattern = 0;
        int row = 0;
        friend bool operator==(const SongPlace&, const SongPlace&) = default;
    };
    std::optional<SongPlace> locate(const Song& song, int orderPosition, int row) const;

  private:
    // What the last Play uploaded, to map the driver's positions back onto the song.
    struct Playing {
        int firstOrderEntry = 0;  // a song: the entry its image starts at
        int pattern = -1;         // a pattern alone: its number ...
        int firstRow = 0;         // ... and the row its image starts at
    };
    Result play(const ImageBuild& image, const Playing& playing);

    SoundTarget& target_;
    ImageBuffer& buffer_;
    std::optional<Playing> playing_;
};

}  // namespace qvx
