#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "driver/memory_map.hpp"

// The Mega Drive test ROM's first 32 KB: the 68000 program with its vectors and cartridge
// header, the Z80 port of the sound driver and the title screen. Assembled from driver/megadrive
// at build time; the export appends the song block after it and never changes these bytes.
namespace qvx::driver {

inline constexpr std::size_t kMegaDriveTemplateSize = 32768;
// Where the template keeps the Z80 port, which its start-up copies to Z80 RAM 0.
inline constexpr std::size_t kMegaDrivePortOffset = 0x474;

std::span<const std::uint8_t, kMegaDriveTemplateSize> megaDriveTemplate();

}  // namespace qvx::driver
