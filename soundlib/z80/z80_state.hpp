// Register file of the Z80, kept as a plain struct so that tests, the board and the
// diagnostic dump can read and set every part of it directly.
#pragma once

#include <cstdint>

namespace qvxsnd {

// Bits of the flag register F, in the silicon's layout.
namespace z80flag {
inline constexpr std::uint8_t C = 0x01;   // carry
inline constexpr std::uint8_t N = 0x02;   // add/subtract
inline constexpr std::uint8_t PV = 0x04;  // parity / overflow
inline constexpr std::uint8_t X = 0x08;   // undocumented copy of a result bit 3
inline constexpr std::uint8_t H = 0x10;   // half carry
inline constexpr std::uint8_t Y = 0x20;   // undocumented copy of a result bit 5
inline constexpr std::uint8_t Z = 0x40;   // zero
inline constexpr std::uint8_t S = 0x80;   // sign
}  // namespace z80flag

struct Z80State {
    std::uint8_t a = 0, f = 0, b = 0, c = 0, d = 0, e = 0, h = 0, l = 0;
    // The alternate set: A', F', B', C', D', E', H', L'.
    std::uint8_t a2 = 0, f2 = 0, b2 = 0, c2 = 0, d2 = 0, e2 = 0, h2 = 0, l2 = 0;
    std::uint16_t ix = 0, iy = 0, sp = 0, pc = 0;
    // MEMPTR: the internal address latch whose high byte leaks into the X/Y flags of
    // BIT n,(HL) and which several instructions leave behind.
    std::uint16_t wz = 0;
    std::uint8_t i = 0, r = 0;
    std::uint8_t im = 0;  // interrupt mode 0, 1 or 2
    bool iff1 = false, iff2 = false;
    bool halted = false;  // set by HALT until an interrupt arrives
    // The previous instruction was EI: a maskable interrupt must wait one more instruction.
    bool afterEi = false;
    // The previous step consumed a DD/FD prefix that was overridden by another prefix;
    // the CPU accepts no interrupt between a prefix and what follows it.
    bool afterPrefix = false;
    // The previous instruction was LD A,I or LD A,R: accepting a maskable interrupt now
    // clears P/V, as on NMOS parts.
    bool afterLdAir = false;
    // Q: the flags the previous instruction wrote, or 0 when it left F alone. SCF and CCF
    // take their X/Y bits from it.
    std::uint8_t q = 0;

    std::uint16_t af() const { return static_cast<std::uint16_t>(a << 8 | f); }
    std::uint16_t bc() const { return static_cast<std::uint16_t>(b << 8 | c); }
    std::uint16_t de() const { return static_cast<std::uint16_t>(d << 8 | e); }
    std::uint16_t hl() const { return static_cast<std::uint16_t>(h << 8 | l); }
    void setAf(std::uint16_t v) { split(v, a, f); }
    void setBc(std::uint16_t v) { split(v, b, c); }
    void setDe(std::uint16_t v) { split(v, d, e); }
    void setHl(std::uint16_t v) { split(v, h, l); }

  private:
    static void split(std::uint16_t v, std::uint8_t& hi, std::uint8_t& lo) {
        hi = static_cast<std::uint8_t>(v >> 8);
        lo = static_cast<std::uint8_t>(v);
    }
};

}  // namespace qvxsnd
