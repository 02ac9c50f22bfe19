#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "driver/memory_map.hpp"

// The Z80 sound driver that every compiled image, test ROM and M1 ROM starts with. Its bytes are
// assembled from driver/sound_driver.s at build time; its addresses, commands and sizes are in
// the generated driver/memory_map.hpp.
namespace qvx::driver {

std::span<const std::uint8_t, kDriverSize> image();

}  // namespace qvx::driver
