#include "editor/library_sound_target.hpp"

#include "soundlib/include/qvxsnd.h"

namespace qvx {

void LibrarySoundTarget::sendData(std::span<const std::uint8_t> image) {
    ::sendData(image.data(), static_cast<std::uint32_t>(image.size()));
}

void LibrarySoundTarget::sendCommand(std::uint16_t command) {
    ::sendCommand(command);
}

}  // namespace qvx
