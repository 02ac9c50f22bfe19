// The one path by which the sound board's CPU reaches the sound chip.
#pragma once

#include <cstdint>
#include <optional>

namespace qvxsnd {

class ChipPort {
  public:
    virtual ~ChipPort() = default;

    // A write to one of the chip's four ports: 0 = address latch of the first register
    // bank, 1 = data for it, 2 = address latch of the second bank, 3 = data for it.
    // `tstate` is the board time of the access in CPU T-states (see SoundBoard::tstates()).
    virtual void write(int port, std::uint8_t value, std::uint64_t tstate) = 0;

    // A read of port 0..3 at board time `tstate`; std::nullopt when the chip does not drive
    // the data bus for that port, in which case the CPU's destination keeps its value.
    virtual std::optional<std::uint8_t> read(int port, std::uint64_t tstate) = 0;
};

}  // namespace qvxsnd
