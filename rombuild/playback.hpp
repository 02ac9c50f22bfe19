#pragma once

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
    void stop();

  private:
    Result play(const ImageBuild& image);

    SoundTarget& target_;
    ImageBuffer& buffer_;
};

}  // namespace qvx
