#pragma once

#include <cstdint>
#include <span>

#include "rombuild/compiled_image.hpp"
#include "song/result.hpp"

namespace qvxsnd {
class Engine;
}

namespace qvx {

// Where compiled images are played: the process's sound library, or an engine of one's own
// (offline rendering).
class SoundTarget {
  public:
    virtual ~SoundTarget() = default;
    virtual void sendData(std::span<const std::uint8_t> image) = 0;
    virtual void sendCommand(std::uint16_t command) = 0;
};

// The sound library's exports (libqvxsnd).
class LibrarySoundTarget : public SoundTarget {
  public:
    void sendData(std::span<const std::uint8_t> image) override;
    void sendCommand(std::uint16_t command) override;
};

// An engine the caller renders itself.
class EngineSoundTarget : public SoundTarget {
  public:
    explicit EngineSoundTarget(qvxsnd::Engine& engine) : engine_(engine) {}
    void sendData(std::span<const std::uint8_t> image) override;
    void sendCommand(std::uint16_t command) override;

  private:
    qvxsnd::Engine& engine_;
};

// Play Pattern, Play Song and Stop. Each Play uploads a fresh image (the board restarts from
// address 0) and starts song 1; the target holds the command until the driver is ready, so no
// caller has to wait. A song the driver cannot play is refused with the reason, and nothing
// is sent.
class Playback {
  public:
    static constexpr std::uint16_t kPlayCommand = 0x81;
    static constexpr std::uint16_t kStopCommand = 0xFF;

    Playback(SoundTarget& target, ImageBuffer& buffer) : target_(target), buffer_(buffer) {}

    Result playPattern(const Song& song, int pattern);
    Result playSong(const Song& song);
    void stop() { target_.sendCommand(kStopCommand); }

  private:
    Result play(const ImageBuild& image);

    SoundTarget& target_;
    ImageBuffer& buffer_;
};

}  // namespace qvx
