#pragma once

#include "rombuild/playback.hpp"
#include "soundlib/engine/engine.hpp"

namespace qvx {

// Playback into an engine the caller renders itself: offline rendering, with no audio device and
// no sound library loaded.
class EngineSoundTarget : public SoundTarget {
  public:
    explicit EngineSoundTarget(qvxsnd::Engine& engine) : engine_(engine) {}
    void sendData(std::span<const std::uint8_t> image) override { engine_.sendData(image); }
    void sendRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) override {
        engine_.setAdpcmRom(v1);
        engine_.sendData(m1, qvxsnd::Engine::TickSource::Chip);  // as the board boots it
    }
    void sendCommand(std::uint16_t command) override { engine_.sendCommand(command); }

  private:
    qvxsnd::Engine& engine_;
};

}  // namespace qvx
