#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "driver/whole_chip_map.hpp"

// The whole-chip Z80 sound driver, which every image of a whole-chip song starts with. Its bytes
// are assembled from driver/whole_chip_driver.s at build time; what differs from the classic
// driver's memory map is in the generated driver/whole_chip_map.hpp (qvx::driver::whole_chip).
namespace qvx::driver {

std::span<const std::uint8_t, whole_chip::kDriverSize> wholeChipImage();

}  // namespace qvx::driver
