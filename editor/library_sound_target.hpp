#pragma once

#include "rombuild/playback.hpp"

namespace qvx {

// Playback through the process's sound library (libqvxsnd): what the editor plays and hears.
class LibrarySoundTarget : public SoundTarget {
  public:
    void sendData(std::span<const std::uint8_t> image) override;
    void sendCommand(std::uint16_t command) override;
};

}  // namespace qvx
