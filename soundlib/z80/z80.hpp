// Instruction-stepped Z80 interpreter that follows the NMOS silicon: every documented and
// undocumented opcode, the X/Y flag bits, MEMPTR (WZ), Q, the R counter, the EI delay,
// HALT, and T-state counts per step.
//
// The CPU is a class template over the bus it sits on so that memory and port accesses
// are resolved at compile time and inline into the interpreter loop; nothing is global,
// so any number of CPUs can run side by side.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <utility>

#include "soundlib/z80/z80_state.hpp"

namespace qvxsnd {

// What the CPU needs from the board around it.
//
//   read(addr)          memory byte at a 16-bit address
//   write(addr, value)  memory store
//   in(port, cycle)     port input; returns the byte (0..255), or a negative value when
//                       no device answers, in which case the instruction's destination
//                       keeps its old contents
//   out(port, value, cycle)
//                       port output
//   reti(), retn()      called when RETI or one of the RETN encodings executes, so that an
//                       interrupt controller can end the interrupt it is serving
//
// `port` is the full 16-bit address the CPU drives (the low byte is the port number most
// boards decode). `cycle` is the number of T-states from the start of the current
// instruction (its first prefix byte) to the start of the I/O machine cycle, so that a
// board that keeps time can place the access exactly.
template <class B>
concept Z80Bus = requires(B& bus, std::uint16_t addr, std::uint8_t value, int cycle) {
    { bus.read(addr) } -> std::convertible_to<std::uint8_t>;
    bus.write(addr, value);
    { bus.in(addr, cycle) } -> std::convertible_to<int>;
    bus.out(addr, value, cycle);
    bus.reti();
    bus.retn();
};

namespace z80detail {

// Flag bits that depend only on an 8-bit result: S, Z, X, Y, and optionally even parity.
constexpr std::array<std::uint8_t, 256> makeResultFlags(bool withParity) {
    std::array<std::uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        int flags = v & (z80flag::S | z80flag::X | z80flag::Y);
        if (v == 0) flags |= z80flag::Z;
        if (withParity) {
            int ones = 0;
            for (int bit = 0; bit < 8; ++bit)
                ones += (v >> bit) & 1;
            if (ones % 2 == 0) flags |= z80flag::PV;
        }
        table[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(flags);
    }
    return table;
}

inline constexpr std::array<std::uint8_t, 256> kSzxy = makeResultFlags(false);
inline constexpr std::array<std::uint8_t, 256> kSzxyp = makeResultFlags(true);

}  // namespace z80detail

// The opcode pages are dispatched through switches with one case per opcode, each case
// an instantiation of a template specialised on the opcode, so that operand decoding is
// done by the compiler instead of at run time.
// clang-format off
#define QVX_Z80_CASES16(X, base)                                                              \
    X((base) + 0x0) X((base) + 0x1) X((base) + 0x2) X((base) + 0x3)                           \
    X((base) + 0x4) X((base) + 0x5) X((base) + 0x6) X((base) + 0x7)                           \
    X((base) + 0x8) X((base) + 0x9) X((base) + 0xA) X((base) + 0xB)                           \
    X((base) + 0xC) X((base) + 0xD) X((base) + 0xE) X((base) + 0xF)
#define QVX_Z80_CASES256(X)                                                                   \
    QVX_Z80_CASES16(X, 0x00) QVX_Z80_CASES16(X, 0x10) QVX_Z80_CASES16(X, 0x20)                \
    QVX_Z80_CASES16(X, 0x30) QVX_Z80_CASES16(X, 0x40) QVX_Z80_CASES16(X, 0x50)                \
    QVX_Z80_CASES16(X, 0x60) QVX_Z80_CASES16(X, 0x70) QVX_Z80_CASES16(X, 0x80)                \
    QVX_Z80_CASES16(X, 0x90) QVX_Z80_CASES16(X, 0xA0) QVX_Z80_CASES16(X, 0xB0)                \
    QVX_Z80_CASES16(X, 0xC0) QVX_Z80_CASES16(X, 0xD0) QVX_Z80_CASES16(X, 0xE0)                \
    QVX_Z80_CASES16(X, 0xF0)
// clang-format on

template <Z80Bus Bus>
class Z80 {
  public:
    Z80()
    requires std::default_initializable<Bus>
    = default;
    explicit Z80(Bus bus) : bus_(std::move(bus)) {}

    Z80State& state() { return s_; }
    const Z80State& state() const { return s_; }
    Bus& bus() { return bus_; }
    const Bus& bus() const { return bus_; }

    // The /RESET line: PC, I, R, the interrupt flip-flops and the mode are cleared; AF and
    // SP read 0xFFFF afterwards on NMOS parts. The other registers keep their contents.
    void reset() {
        s_.pc = 0;
        s_.i = 0;
        s_.r = 0;
        s_.iff1 = s_.iff2 = false;
        s_.im = 0;
        s_.a = s_.f = 0xFF;
        s_.sp = 0xFFFF;
        s_.wz = 0;
        s_.halted = s_.afterEi = s_.afterPrefix = s_.afterLdAir = false;
        s_.q = 0;
    }

    // Executes one instruction and returns its T-states. A repeating block instruction
    // runs one iteration and, while it repeats, leaves PC on itself; a halted CPU spends
    // 4 T-states per step until an interrupt arrives.
    int step() {
        s_.afterEi = false;
        s_.afterPrefix = false;
        s_.afterLdAir = false;
        prevQ_ = s_.q;
        s_.q = 0;
        if (s_.halted) {
            incR();
            return 4;
        }
        return dispatchMain<Idx::HL>(fetchOp());
    }

    // The CPU looks at its interrupt lines only at instruction boundaries, never right
    // after a prefix byte, and the maskable one not right after EI.
    bool canAcceptNmi() const { return !s_.afterPrefix; }
    bool canAcceptIrq() const { return s_.iff1 && !s_.afterEi && !s_.afterPrefix; }

    // Non-maskable interrupt: 11 T-states, or 0 when it cannot be accepted at this point.
    int nmi() {
        if (!canAcceptNmi()) return 0;
        s_.halted = false;
        s_.afterEi = s_.afterLdAir = false;
        s_.q = 0;
        incR();
        s_.iff2 = s_.iff1;
        s_.iff1 = false;
        push(s_.pc);
        s_.pc = 0x0066;
        s_.wz = s_.pc;
        return 11;
    }

    // Maskable interrupt with `dataBus` as the byte the interrupting device puts on the data
    // bus during acknowledge. Returns the T-states of the acceptance, or 0 when the CPU does
    // not accept it now (IFF1 clear, right after EI or a prefix).
    //   mode 0: the byte is executed as an instruction (usually RST n: 13 T-states). A
    //           multi-byte instruction takes its operand bytes from memory at PC, since
    //           this interface carries a single byte.
    //   mode 1: call to 0x0038, 13 T-states.
    //   mode 2: call through the word at (I << 8 | dataBus), 19 T-states.
    int irq(std::uint8_t dataBus = 0xFF) {
        if (!canAcceptIrq()) return 0;
        s_.halted = false;
        // NMOS parts: P/V of a LD A,I / LD A,R that ends just as the interrupt is accepted
        // reads as 0.
        if (s_.afterLdAir) s_.f &= static_cast<std::uint8_t>(~z80flag::PV);
        s_.afterLdAir = false;
        s_.q = 0;
        s_.iff1 = s_.iff2 = false;
        incR();
        if (s_.im == 0) {
            prevQ_ = 0;
            return 2 + dispatchMain<Idx::HL>(dataBus);
        }
        push(s_.pc);
        if (s_.im == 1) {
            s_.pc = 0x0038;
            s_.wz = s_.pc;
            return 13;
        }
        const auto vector = static_cast<std::uint16_t>(s_.i << 8 | dataBus);
        s_.pc = word(rd(vector), rd(static_cast<std::uint16_t>(vector + 1)));
        s_.wz = s_.pc;
        return 19;
    }

  private:
    using u8 = std::uint8_t;
    using u16 = std::uint16_t;
    enum class Idx { HL, IX, IY };

    static constexpr u8 kS = z80flag::S, kZ = z80flag::Z, kY = z80flag::Y, kH = z80flag::H,
                        kX = z80flag::X, kPV = z80flag::PV, kN = z80flag::N, kC = z80flag::C;
    static constexpr u8 kXY = kX | kY;

    Bus bus_;
    Z80State s_;
    u8 prevQ_ = 0;  // Q as the previous instruction left it, for SCF and CCF

    // ---- basic access -------------------------------------------------------------------

    static u16 word(u8 lo, u8 hi) { return static_cast<u16>(hi << 8 | lo); }
    u8 rd(u16 addr) { return static_cast<u8>(bus_.read(addr)); }
    void wr(u16 addr, u8 v) { bus_.write(addr, v); }
    void incR() { s_.r = static_cast<u8>((s_.r & 0x80) | ((s_.r + 1) & 0x7F)); }
    u8 fetch() { return rd(s_.pc++); }
    u8 fetchOp() {
        incR();
        return rd(s_.pc++);
    }
    u16 fetch16() {
        const u8 lo = fetch();
        return word(lo, fetch());
    }
    void push(u16 v) {
        wr(--s_.sp, static_cast<u8>(v >> 8));
        wr(--s_.sp, static_cast<u8>(v));
    }
    u16 pop() {
        const u8 lo = rd(s_.sp++);
        return word(lo, rd(s_.sp++));
    }
    void setF(int v) {
        s_.f = static_cast<u8>(v);
        s_.q = s_.f;
    }

    // ---- register operands, with H/L/HL replaced by the index register under DD/FD -------

    template <Idx I>
    u16 idx() const {
        if constexpr (I == Idx::HL)
            return s_.hl();
        else if constexpr (I == Idx::IX)
            return s_.ix;
        else
            return s_.iy;
    }
    template <Idx I>
    void setIdx(u16 v) {
        if constexpr (I == Idx::HL)
            s_.setHl(v);
        else if constexpr (I == Idx::IX)
            s_.ix = v;
        else
            s_.iy = v;
    }
    template <int R, Idx I>
    u8 reg() const {
        static_assert(R >= 0 && R < 8 && R != 6, "(HL) is a memory operand");
        if constexpr (R == 0)
            return s_.b;
        else if constexpr (R == 1)
            return s_.c;
        else if constexpr (R == 2)
            return s_.d;
        else if constexpr (R == 3)
            return s_.e;
        else if constexpr (R == 4)
            return static_cast<u8>(idx<I>() >> 8);
        else if constexpr (R == 5)
            return static_cast<u8>(idx<I>());
        else
            return s_.a;
    }
    template <int R, Idx I>
    void setReg(u8 v) {
        static_assert(R >= 0 && R < 8 && R != 6, "(HL) is a memory operand");
        if constexpr (R == 0)
            s_.b = v;
        else if constexpr (R == 1)
            s_.c = v;
        else if constexpr (R == 2)
            s_.d = v;
        else if constexpr (R == 3)
            s_.e = v;
        else if constexpr (R == 4) {
            if constexpr (I == Idx::HL)
                s_.h = v;
            else
                setIdx<I>(static_cast<u16>((idx<I>() & 0x00FF) | v << 8));
        } else if constexpr (R == 5) {
            if constexpr (I == Idx::HL)
                s_.l = v;
            else
                setIdx<I>(static_cast<u16>((idx<I>() & 0xFF00) | v));
        } else
            s_.a = v;
    }
    // Register pairs as the opcode's p field selects them; P == 3 is SP, or AF for PUSH/POP.
    template <int P, Idx I, bool WithAf = false>
    u16 pair() const {
        if constexpr (P == 0)
            return s_.bc();
        else if constexpr (P == 1)
            return s_.de();
        else if constexpr (P == 2)
            return idx<I>();
        else if constexpr (WithAf)
            return s_.af();
        else
            return s_.sp;
    }
    template <int P, Idx I, bool WithAf = false>
    void setPair(u16 v) {
        if constexpr (P == 0)
            s_.setBc(v);
        else if constexpr (P == 1)
            s_.setDe(v);
        else if constexpr (P == 2)
            setIdx<I>(v);
        else if constexpr (WithAf)
            s_.setAf(v);
        else
            s_.sp = v;
    }
    // Address of the (HL) operand: HL itself, or IX/IY plus the displacement byte that
    // follows the opcode (which also lands in WZ).
    template <Idx I>
    u16 operandAddr() {
        if constexpr (I == Idx::HL) {
            return s_.hl();
        } else {
            const auto d = static_cast<std::int8_t>(fetch());
            s_.wz = static_cast<u16>(idx<I>() + d);
            return s_.wz;
        }
    }
    // The condition codes cc of JP, JR, CALL and RET.
    template <int CC>
    bool condition() const {
        if constexpr (CC == 0)  // NZ
            return !(s_.f & kZ);
        else if constexpr (CC == 1)  // Z
            return s_.f & kZ;
        else if constexpr (CC == 2)  // NC
            return !(s_.f & kC);
        else if constexpr (CC == 3)  // C
            return s_.f & kC;
        else if constexpr (CC == 4)  // PO
            return !(s_.f & kPV);
        else if constexpr (CC == 5)  // PE
            return s_.f & kPV;
        else if constexpr (CC == 6)  // P
            return !(s_.f & kS);
        else  // M
            return s_.f & kS;
    }

    // ---- arithmetic -----------------------------------------------------------------------

    void add8(u8 v, int carry) {
        const int a = s_.a;
        const int res = a + v + carry;
        setF(z80detail::kSzxy[res & 0xFF] | ((a ^ v ^ res) & kH) |
             (((a ^ ~v) & (a ^ res) & 0x80) >> 5) | ((res >> 8) & kC));
        s_.a = static_cast<u8>(res);
    }
    void sub8(u8 v, int carry) {
        const int a = s_.a;
        const int res = a - v - carry;
        setF(z80detail::kSzxy[res & 0xFF] | kN | ((a ^ v ^ res) & kH) |
             (((a ^ v) & (a ^ res) & 0x80) >> 5) | ((res >> 8) & kC));
        s_.a = static_cast<u8>(res);
    }
    // CP takes X and Y from the operand, not from the discarded difference.
    void cp8(u8 v) {
        const int a = s_.a;
        const int res = a - v;
        setF((z80detail::kSzxy[res & 0xFF] & (kS | kZ)) | (v & kXY) | kN | ((a ^ v ^ res) & kH) |
             (((a ^ v) & (a ^ res) & 0x80) >> 5) | ((res >> 8) & kC));
    }
    // The eight operations on A of the 80-BF quadrant and of ALU A,n.
    template <int Y>
    void alu(u8 v) {
        if constexpr (Y == 0)  // ADD A,v
            add8(v, 0);
        else if constexpr (Y == 1)  // ADC A,v
            add8(v, s_.f & kC);
        else if constexpr (Y == 2)  // SUB v
            sub8(v, 0);
        else if constexpr (Y == 3)  // SBC A,v
            sub8(v, s_.f & kC);
        else if constexpr (Y == 4) {  // AND v
            s_.a &= v;
            setF(z80detail::kSzxyp[s_.a] | kH);
        } else if constexpr (Y == 5) {  // XOR v
            s_.a ^= v;
            setF(z80detail::kSzxyp[s_.a]);
        } else if constexpr (Y == 6) {  // OR v
            s_.a |= v;
            setF(z80detail::kSzxyp[s_.a]);
        } else  // CP v
            cp8(v);
    }
    u8 inc8(u8 v) {
        const auto r = static_cast<u8>(v + 1);
        setF((s_.f & kC) | z80detail::kSzxy[r] | (r == 0x80 ? kPV : 0) |
             ((r & 0x0F) == 0 ? kH : 0));
        return r;
    }
    u8 dec8(u8 v) {
        const auto r = static_cast<u8>(v - 1);
        setF((s_.f & kC) | kN | z80detail::kSzxy[r] | (r == 0x7F ? kPV : 0) |
             ((r & 0x0F) == 0x0F ? kH : 0));
        return r;
    }
    u16 add16(u16 x, u16 y) {
        const int res = x + y;
        s_.wz = static_cast<u16>(x + 1);
        setF((s_.f & (kS | kZ | kPV)) | ((res >> 8) & kXY) | (((x ^ y ^ res) >> 8) & kH) |
             ((res >> 16) & kC));
        return static_cast<u16>(res);
    }
    void adc16(u16 y) {
        const int x = s_.hl();
        const int res = x + y + (s_.f & kC);
        s_.wz = static_cast<u16>(x + 1);
        setF(((res >> 8) & (kS | kXY)) | ((res & 0xFFFF) == 0 ? kZ : 0) |
             (((x ^ y ^ res) >> 8) & kH) | (((x ^ ~y) & (x ^ res) & 0x8000) >> 13) |
             ((res >> 16) & kC));
        s_.setHl(static_cast<u16>(res));
    }
    void sbc16(u16 y) {
        const int x = s_.hl();
        const int res = x - y - (s_.f & kC);
        s_.wz = static_cast<u16>(x + 1);
        setF(((res >> 8) & (kS | kXY)) | ((res & 0xFFFF) == 0 ? kZ : 0) | kN |
             (((x ^ y ^ res) >> 8) & kH) | (((x ^ y) & (x ^ res) & 0x8000) >> 13) |
             ((res >> 16) & kC));
        s_.setHl(static_cast<u16>(res));
    }
    void daa() {
        const u8 a = s_.a;
        const u8 f = s_.f;
        int diff = 0;
        int carry = f & kC;
        if ((f & kH) || (a & 0x0F) > 9) diff = 0x06;
        if (carry || a > 0x99) {
            diff |= 0x60;
            carry = kC;
        }
        int half;
        u8 res;
        if (f & kN) {
            half = ((f & kH) && (a & 0x0F) < 6) ? kH : 0;
            res = static_cast<u8>(a - diff);
        } else {
            half = (a & 0x0F) > 9 ? kH : 0;
            res = static_cast<u8>(a + diff);
        }
        s_.a = res;
        setF(z80detail::kSzxyp[res] | half | (f & kN) | carry);
    }
    // The rotate and shift group of the CB page: RLC RRC RL RR SLA SRA SLL SRL.
    template <int Y>
    u8 rotate(u8 v) {
        int res;
        int carry;
        if constexpr (Y == 0) {  // RLC
            carry = v >> 7;
            res = v << 1 | carry;
        } else if constexpr (Y == 1) {  // RRC
            carry = v & 1;
            res = v >> 1 | carry << 7;
        } else if constexpr (Y == 2) {  // RL
            carry = v >> 7;
            res = v << 1 | (s_.f & kC);
        } else if constexpr (Y == 3) {  // RR
            carry = v & 1;
            res = v >> 1 | (s_.f & kC) << 7;
        } else if constexpr (Y == 4) {  // SLA
            carry = v >> 7;
            res = v << 1;
        } else if constexpr (Y == 5) {  // SRA
            carry = v & 1;
            res = v >> 1 | (v & 0x80);
        } else if constexpr (Y == 6) {  // SLL
            carry = v >> 7;
            res = v << 1 | 1;
        } else {  // SRL
            carry = v & 1;
            res = v >> 1;
        }
        const auto r = static_cast<u8>(res);
        setF(z80detail::kSzxyp[r] | carry);
        return r;
    }
    template <int X, int Y>
    u8 cbResult(u8 v) {
        if constexpr (X == 0)  // rotate or shift
            return rotate<Y>(v);
        else if constexpr (X == 2)  // RES Y
            return static_cast<u8>(v & ~(1 << Y));
        else  // SET Y
            return static_cast<u8>(v | 1 << Y);
    }
    // BIT: X and Y come from the tested register, or for memory operands from WZ's high byte.
    template <int Y>
    void bitTest(u8 v, u8 xySource) {
        const int bit = v & (1 << Y);
        setF((s_.f & kC) | kH | (xySource & kXY) | (bit ? 0 : (kZ | kPV)) | (bit & kS));
    }

    // ---- unprefixed page (also DD and FD with I = IX / IY) -------------------------------

    template <Idx I>
    int dispatchMain(u8 op) {
        switch (op) {
            // clang-format off
#define QVX_Z80_MAIN_CASE(n) case (n): return mainOp<(n), I>();
            QVX_Z80_CASES256(QVX_Z80_MAIN_CASE)
#undef QVX_Z80_MAIN_CASE
            // clang-format on
        }
        __builtin_unreachable();
    }

    // After DD or FD. A further DD or FD cancels this one: the step ends here and the next
    // step starts at the later prefix, with no interrupt in between.
    template <Idx I>
    int prefixed() {
        const u8 op = rd(s_.pc);
        if (op == 0xDD || op == 0xFD) {
            s_.afterPrefix = true;
            return 0;
        }
        incR();
        ++s_.pc;
        return dispatchMain<I>(op);
    }

    // The unprefixed opcodes fall into four quadrants by their top two bits (x). Within a
    // quadrant y = bits 5-3, z = bits 2-0, p = y >> 1 and q = y & 1 select the operation and its
    // operands. Under DD/FD (I = IX or IY) HL, H and L stand for the index register and its
    // halves, and (HL) for (IX+d).
    template <int Op, Idx I>
    int mainOp() {
        constexpr int x = Op >> 6;
        if constexpr (x == 0)
            return miscOp<Op, I>();
        else if constexpr (x == 1)
            return loadOp<Op, I>();
        else if constexpr (x == 2)
            return aluOp<Op, I>();
        else
            return controlOp<Op, I>();
    }

    // An indexed memory operand costs the displacement fetch and the address addition.
    template <Idx I>
    static constexpr int kIndexed = I == Idx::HL ? 0 : 8;
    // T-states of a DD/FD prefix in front of the opcode, for the I/O cycle offset.
    template <Idx I>
    static constexpr int kPrefixTStates = I == Idx::HL ? 0 : 4;

    // 00-3F: relative jumps, 16-bit loads and arithmetic, INC/DEC, LD r,n, the accumulator
    // rotates and the flag operations.
    template <int Op, Idx I>
    int miscOp() {
        constexpr int y = (Op >> 3) & 7, z = Op & 7, p = y >> 1, q = y & 1;
        if constexpr (z == 0) {
            if constexpr (y == 0) {  // 00 NOP
                return 4;
            } else if constexpr (y == 1) {  // 08 EX AF,AF'
                std::swap(s_.a, s_.a2);
                std::swap(s_.f, s_.f2);
                return 4;
            } else if constexpr (y == 2) {  // 10 DJNZ d
                const auto d = static_cast<std::int8_t>(fetch());
                if (--s_.b != 0) {
                    s_.pc = static_cast<u16>(s_.pc + d);
                    s_.wz = s_.pc;
                    return 13;
                }
                return 8;
            } else if constexpr (y == 3) {  // 18 JR d
                const auto d = static_cast<std::int8_t>(fetch());
                s_.pc = static_cast<u16>(s_.pc + d);
                s_.wz = s_.pc;
                return 12;
            } else {  // 20 28 30 38  JR NZ,d / JR Z,d / JR NC,d / JR C,d
                const auto d = static_cast<std::int8_t>(fetch());
                if (condition<y - 4>()) {
                    s_.pc = static_cast<u16>(s_.pc + d);
                    s_.wz = s_.pc;
                    return 12;
                }
                return 7;
            }
        } else if constexpr (z == 1) {
            if constexpr (q == 0) {  // 01 11 21 31  LD BC/DE/HL/SP,nn
                setPair<p, I>(fetch16());
                return 10;
            } else {  // 09 19 29 39  ADD HL,BC/DE/HL/SP
                setIdx<I>(add16(idx<I>(), pair<p, I>()));
                return 11;
            }
        } else if constexpr (z == 2) {
            if constexpr (Op == 0x02 || Op == 0x12) {  // 02 12  LD (BC),A / LD (DE),A
                const u16 addr = pair<p, I>();
                wr(addr, s_.a);
                s_.wz = static_cast<u16>(s_.a << 8 | ((addr + 1) & 0xFF));
                return 7;
            } else if constexpr (Op == 0x0A || Op == 0x1A) {  // 0A 1A  LD A,(BC) / LD A,(DE)
                const u16 addr = pair<p, I>();
                s_.a = rd(addr);
                s_.wz = static_cast<u16>(addr + 1);
                return 7;
            } else if constexpr (Op == 0x22) {  // 22 LD (nn),HL
                const u16 nn = fetch16();
                const u16 v = idx<I>();
                wr(nn, static_cast<u8>(v));
                wr(static_cast<u16>(nn + 1), static_cast<u8>(v >> 8));
                s_.wz = static_cast<u16>(nn + 1);
                return 16;
            } else if constexpr (Op == 0x2A) {  // 2A LD HL,(nn)
                const u16 nn = fetch16();
                setIdx<I>(word(rd(nn), rd(static_cast<u16>(nn + 1))));
                s_.wz = static_cast<u16>(nn + 1);
                return 16;
            } else if constexpr (Op == 0x32) {  // 32 LD (nn),A
                const u16 nn = fetch16();
                wr(nn, s_.a);
                s_.wz = static_cast<u16>(s_.a << 8 | ((nn + 1) & 0xFF));
                return 13;
            } else {  // 3A LD A,(nn)
                const u16 nn = fetch16();
                s_.a = rd(nn);
                s_.wz = static_cast<u16>(nn + 1);
                return 13;
            }
        } else if constexpr (z == 3) {
            if constexpr (q == 0)  // 03 13 23 33  INC BC/DE/HL/SP
                setPair<p, I>(static_cast<u16>(pair<p, I>() + 1));
            else  // 0B 1B 2B 3B  DEC BC/DE/HL/SP
                setPair<p, I>(static_cast<u16>(pair<p, I>() - 1));
            return 6;
        } else if constexpr (z == 4 || z == 5) {
            if constexpr (y == 6) {  // 34 35  INC (HL) / DEC (HL)
                const u16 addr = operandAddr<I>();
                const u8 v = rd(addr);
                wr(addr, z == 4 ? inc8(v) : dec8(v));
                return 11 + kIndexed<I>;
            } else {  // 04 0C .. 3C  INC r,  05 0D .. 3D  DEC r
                const u8 v = reg<y, I>();
                setReg<y, I>(z == 4 ? inc8(v) : dec8(v));
                return 4;
            }
        } else if constexpr (z == 6) {
            if constexpr (y == 6) {  // 36 LD (HL),n
                // The displacement comes before the immediate byte; the address is formed while
                // the immediate is read, hence only 5 extra T-states.
                const u16 addr = operandAddr<I>();
                wr(addr, fetch());
                return I == Idx::HL ? 10 : 15;
            } else {  // 06 0E .. 3E  LD r,n
                setReg<y, I>(fetch());
                return 7;
            }
        } else {
            const u8 a = s_.a;
            const u8 keep = s_.f & (kS | kZ | kPV);
            if constexpr (y == 0) {  // 07 RLCA
                s_.a = static_cast<u8>(a << 1 | a >> 7);
                setF(keep | (s_.a & kXY) | (a >> 7));
            } else if constexpr (y == 1) {  // 0F RRCA
                s_.a = static_cast<u8>(a >> 1 | a << 7);
                setF(keep | (s_.a & kXY) | (a & 1));
            } else if constexpr (y == 2) {  // 17 RLA
                s_.a = static_cast<u8>(a << 1 | (s_.f & kC));
                setF(keep | (s_.a & kXY) | (a >> 7));
            } else if constexpr (y == 3) {  // 1F RRA
                s_.a = static_cast<u8>(a >> 1 | (s_.f & kC) << 7);
                setF(keep | (s_.a & kXY) | (a & 1));
            } else if constexpr (y == 4) {  // 27 DAA
                daa();
            } else if constexpr (y == 5) {  // 2F CPL
                s_.a = static_cast<u8>(~a);
                setF((s_.f & (kS | kZ | kPV | kC)) | kH | kN | (s_.a & kXY));
            } else if constexpr (y == 6) {  // 37 SCF
                // X/Y: when the previous instruction wrote the flags, they come from A alone;
                // otherwise from A ORed with the old flags.
                setF(keep | kC | (((prevQ_ ^ s_.f) | a) & kXY));
            } else {  // 3F CCF
                setF(keep | ((s_.f & kC) ? kH : kC) | (((prevQ_ ^ s_.f) | a) & kXY));
            }
            return 4;
        }
    }

    // 40-7F: LD r,r' and HALT.
    template <int Op, Idx I>
    int loadOp() {
        constexpr int y = (Op >> 3) & 7, z = Op & 7;
        if constexpr (Op == 0x76) {  // 76 HALT
            s_.halted = true;
            return 4;
        } else if constexpr (z == 6) {  // 46 4E .. 7E  LD r,(HL)
            // LD H,(IX+d) and LD L,(IX+d) load the real H and L.
            setReg<y, Idx::HL>(rd(operandAddr<I>()));
            return 7 + kIndexed<I>;
        } else if constexpr (y == 6) {  // 70 .. 75 77  LD (HL),r
            wr(operandAddr<I>(), reg<z, Idx::HL>());
            return 7 + kIndexed<I>;
        } else {  // LD r,r'
            setReg<y, I>(reg<z, I>());
            return 4;
        }
    }

    // 80-BF: ADD ADC SUB SBC AND XOR OR CP with A and r or (HL).
    template <int Op, Idx I>
    int aluOp() {
        constexpr int y = (Op >> 3) & 7, z = Op & 7;
        if constexpr (z == 6) {  // 86 8E .. BE  ALU A,(HL)
            alu<y>(rd(operandAddr<I>()));
            return 7 + kIndexed<I>;
        } else {  // ALU A,r
            alu<y>(reg<z, I>());
            return 4;
        }
    }

    // C0-FF: returns, jumps, calls, the stack, port I/O with an immediate port, the prefixes,
    // ALU A,n and RST.
    template <int Op, Idx I>
    int controlOp() {
        constexpr int y = (Op >> 3) & 7, z = Op & 7, p = y >> 1, q = y & 1;
        if constexpr (z == 0) {  // C0 C8 .. F8  RET cc
            if (condition<y>()) {
                s_.pc = pop();
                s_.wz = s_.pc;
                return 11;
            }
            return 5;
        } else if constexpr (z == 1) {
            if constexpr (q == 0) {  // C1 D1 E1 F1  POP BC/DE/HL/AF
                setPair<p, I, true>(pop());
                return 10;
            } else if constexpr (p == 0) {  // C9 RET
                s_.pc = pop();
                s_.wz = s_.pc;
                return 10;
            } else if constexpr (p == 1) {  // D9 EXX
                std::swap(s_.b, s_.b2);
                std::swap(s_.c, s_.c2);
                std::swap(s_.d, s_.d2);
                std::swap(s_.e, s_.e2);
                std::swap(s_.h, s_.h2);
                std::swap(s_.l, s_.l2);
                return 4;
            } else if constexpr (p == 2) {  // E9 JP (HL)
                s_.pc = idx<I>();
                return 4;
            } else {  // F9 LD SP,HL
                s_.sp = idx<I>();
                return 6;
            }
        } else if constexpr (z == 2) {  // C2 CA .. FA  JP cc,nn
            const u16 nn = fetch16();
            s_.wz = nn;
            if (condition<y>()) s_.pc = nn;
            return 10;
        } else if constexpr (z == 3) {
            if constexpr (y == 0) {  // C3 JP nn
                s_.pc = fetch16();
                s_.wz = s_.pc;
                return 10;
            } else if constexpr (y == 1) {  // CB prefix: rotates, shifts, BIT, RES, SET
                if constexpr (I == Idx::HL) {
                    return cbPage(fetchOp());
                } else {
                    const auto d = static_cast<std::int8_t>(fetch());
                    const auto addr = static_cast<u16>(idx<I>() + d);
                    s_.wz = addr;
                    return indexedCbPage(fetch(), addr);
                }
            } else if constexpr (y == 2) {  // D3 OUT (n),A
                const u8 n = fetch();
                bus_.out(static_cast<u16>(s_.a << 8 | n), s_.a, kPrefixTStates<I> + 7);
                s_.wz = static_cast<u16>(s_.a << 8 | ((n + 1) & 0xFF));
                return 11;
            } else if constexpr (y == 3) {  // DB IN A,(n)
                const auto portAddr = static_cast<u16>(s_.a << 8 | fetch());
                s_.wz = static_cast<u16>(portAddr + 1);
                const int v = bus_.in(portAddr, kPrefixTStates<I> + 7);
                if (v >= 0) s_.a = static_cast<u8>(v);
                return 11;
            } else if constexpr (y == 4) {  // E3 EX (SP),HL
                const u16 sp = s_.sp;
                const u16 v = word(rd(sp), rd(static_cast<u16>(sp + 1)));
                const u16 old = idx<I>();
                wr(static_cast<u16>(sp + 1), static_cast<u8>(old >> 8));
                wr(sp, static_cast<u8>(old));
                setIdx<I>(v);
                s_.wz = v;
                return 19;
            } else if constexpr (y == 5) {  // EB EX DE,HL
                // EX DE,HL always swaps with the real HL.
                std::swap(s_.d, s_.h);
                std::swap(s_.e, s_.l);
                return 4;
            } else if constexpr (y == 6) {  // F3 DI
                s_.iff1 = s_.iff2 = false;
                return 4;
            } else {  // FB EI
                s_.iff1 = s_.iff2 = true;
                s_.afterEi = true;
                return 4;
            }
        } else if constexpr (z == 4) {  // C4 CC .. FC  CALL cc,nn
            const u16 nn = fetch16();
            s_.wz = nn;
            if (condition<y>()) {
                push(s_.pc);
                s_.pc = nn;
                return 17;
            }
            return 10;
        } else if constexpr (z == 5) {
            if constexpr (q == 0) {  // C5 D5 E5 F5  PUSH BC/DE/HL/AF
                push(pair<p, I, true>());
                return 11;
            } else if constexpr (p == 0) {  // CD CALL nn
                const u16 nn = fetch16();
                s_.wz = nn;
                push(s_.pc);
                s_.pc = nn;
                return 17;
            } else if constexpr (p == 1) {  // DD prefix: IX
                return 4 + prefixed<Idx::IX>();
            } else if constexpr (p == 2) {  // ED prefix
                return edPage(fetchOp(), kPrefixTStates<I>);
            } else {  // FD prefix: IY
                return 4 + prefixed<Idx::IY>();
            }
        } else if constexpr (z == 6) {  // C6 CE .. FE  ADD ADC SUB SBC AND XOR OR CP with A,n
            alu<y>(fetch());
            return 7;
        } else {  // C7 CF .. FF  RST 00h .. 38h
            push(s_.pc);
            s_.pc = static_cast<u16>(y * 8);
            s_.wz = s_.pc;
            return 11;
        }
    }

    // ---- CB page ----------------------------------------------------------------------------

    int cbPage(u8 op) {
        switch (op) {
            // clang-format off
#define QVX_Z80_CB_CASE(n) case (n): return cbOp<(n)>();
            QVX_Z80_CASES256(QVX_Z80_CB_CASE)
#undef QVX_Z80_CB_CASE
            // clang-format on
        }
        __builtin_unreachable();
    }

    // CB 00-3F  RLC RRC RL RR SLA SRA SLL SRL r/(HL)
    // CB 40-7F  BIT b,r/(HL)
    // CB 80-BF  RES b,r/(HL)
    // CB C0-FF  SET b,r/(HL)
    template <int Op>
    int cbOp() {
        constexpr int x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7;
        if constexpr (z == 6) {
            const u16 addr = s_.hl();
            const u8 v = rd(addr);
            if constexpr (x == 1) {  // BIT b,(HL)
                bitTest<y>(v, static_cast<u8>(s_.wz >> 8));
                return 12;
            } else {  // rotate, shift, RES or SET on (HL)
                wr(addr, cbResult<x, y>(v));
                return 15;
            }
        } else {
            const u8 v = reg<z, Idx::HL>();
            if constexpr (x == 1)  // BIT b,r
                bitTest<y>(v, v);
            else  // rotate, shift, RES or SET on r
                setReg<z, Idx::HL>(cbResult<x, y>(v));
            return 8;
        }
    }

    // DD CB d op / FD CB d op: the operation works on (IX+d); the rotate, shift, RES and SET
    // forms also copy the result into the register the low three bits name (the real one,
    // never an index half). The returned count excludes the 4 T-states of the DD/FD prefix.
    int indexedCbPage(u8 op, u16 addr) {
        switch (op) {
            // clang-format off
#define QVX_Z80_XCB_CASE(n) case (n): return indexedCbOp<(n)>(addr);
            QVX_Z80_CASES256(QVX_Z80_XCB_CASE)
#undef QVX_Z80_XCB_CASE
            // clang-format on
        }
        __builtin_unreachable();
    }

    template <int Op>
    int indexedCbOp(u16 addr) {
        constexpr int x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7;
        const u8 v = rd(addr);
        if constexpr (x == 1) {  // DD/FD CB d 40-7F  BIT b,(IX+d)
            bitTest<y>(v, static_cast<u8>(addr >> 8));
            return 16;
        } else {  // rotate, shift, RES or SET on (IX+d), copied to r unless z = 6
            const u8 res = cbResult<x, y>(v);
            wr(addr, res);
            if constexpr (z != 6) setReg<z, Idx::HL>(res);
            return 19;
        }
    }

    // ---- ED page ----------------------------------------------------------------------------

    // `prefix` is the T-states of a DD/FD in front of the ED, for the I/O cycle offsets.
    int edPage(u8 op, int prefix) {
        switch (op) {
            case 0x40:  // IN B,(C)
                return inC(s_.b, prefix);
            case 0x48:  // IN C,(C)
                return inC(s_.c, prefix);
            case 0x50:  // IN D,(C)
                return inC(s_.d, prefix);
            case 0x58:  // IN E,(C)
                return inC(s_.e, prefix);
            case 0x60:  // IN H,(C)
                return inC(s_.h, prefix);
            case 0x68:  // IN L,(C)
                return inC(s_.l, prefix);
            case 0x78:  // IN A,(C)
                return inC(s_.a, prefix);
            case 0x70: {  // IN (C)
                // Only the flags take the byte.
                const u16 portAddr = s_.bc();
                s_.wz = static_cast<u16>(portAddr + 1);
                const int v = bus_.in(portAddr, prefix + 8);
                if (v >= 0) setF((s_.f & kC) | z80detail::kSzxyp[v & 0xFF]);
                return 12;
            }
            case 0x41:  // OUT (C),B
                return outC(s_.b, prefix);
            case 0x49:  // OUT (C),C
                return outC(s_.c, prefix);
            case 0x51:  // OUT (C),D
                return outC(s_.d, prefix);
            case 0x59:  // OUT (C),E
                return outC(s_.e, prefix);
            case 0x61:  // OUT (C),H
                return outC(s_.h, prefix);
            case 0x69:  // OUT (C),L
                return outC(s_.l, prefix);
            case 0x71:                   // OUT (C),0
                return outC(0, prefix);  // NMOS parts drive 0
            case 0x79:                   // OUT (C),A
                return outC(s_.a, prefix);
            case 0x42:  // SBC HL,BC
                sbc16(s_.bc());
                return 15;
            case 0x52:  // SBC HL,DE
                sbc16(s_.de());
                return 15;
            case 0x62:  // SBC HL,HL
                sbc16(s_.hl());
                return 15;
            case 0x72:  // SBC HL,SP
                sbc16(s_.sp);
                return 15;
            case 0x4A:  // ADC HL,BC
                adc16(s_.bc());
                return 15;
            case 0x5A:  // ADC HL,DE
                adc16(s_.de());
                return 15;
            case 0x6A:  // ADC HL,HL
                adc16(s_.hl());
                return 15;
            case 0x7A:  // ADC HL,SP
                adc16(s_.sp);
                return 15;
            case 0x43:  // LD (nn),BC
                return storeWord(s_.bc());
            case 0x53:  // LD (nn),DE
                return storeWord(s_.de());
            case 0x63:  // LD (nn),HL
                return storeWord(s_.hl());
            case 0x73:  // LD (nn),SP
                return storeWord(s_.sp);
            case 0x4B:  // LD BC,(nn)
                s_.setBc(loadWord());
                return 20;
            case 0x5B:  // LD DE,(nn)
                s_.setDe(loadWord());
                return 20;
            case 0x6B:  // LD HL,(nn)
                s_.setHl(loadWord());
                return 20;
            case 0x7B:  // LD SP,(nn)
                s_.sp = loadWord();
                return 20;
            case 0x44:    // NEG
            case 0x4C:    // NEG
            case 0x54:    // NEG
            case 0x5C:    // NEG
            case 0x64:    // NEG
            case 0x6C:    // NEG
            case 0x74:    // NEG
            case 0x7C: {  // NEG
                const u8 v = s_.a;
                s_.a = 0;
                sub8(v, 0);
                return 8;
            }
            case 0x4D:  // RETI
                s_.pc = pop();
                s_.wz = s_.pc;
                s_.iff1 = s_.iff2;
                bus_.reti();
                return 14;
            case 0x45:  // RETN
            case 0x55:  // RETN
            case 0x5D:  // RETN
            case 0x65:  // RETN
            case 0x6D:  // RETN
            case 0x75:  // RETN
            case 0x7D:  // RETN
                s_.pc = pop();
                s_.wz = s_.pc;
                s_.iff1 = s_.iff2;
                bus_.retn();
                return 14;
            case 0x46:  // IM 0
            case 0x4E:  // IM 0
            case 0x66:  // IM 0
            case 0x6E:  // IM 0
                s_.im = 0;
                return 8;
            case 0x56:  // IM 1
            case 0x76:  // IM 1
                s_.im = 1;
                return 8;
            case 0x5E:  // IM 2
            case 0x7E:  // IM 2
                s_.im = 2;
                return 8;
            case 0x47:  // LD I,A
                s_.i = s_.a;
                return 9;
            case 0x4F:  // LD R,A
                s_.r = s_.a;
                return 9;
            case 0x57:  // LD A,I
                return loadAFromIr(s_.i);
            case 0x5F:  // LD A,R
                return loadAFromIr(s_.r);
            case 0x67: {  // RRD
                const u16 addr = s_.hl();
                const u8 v = rd(addr);
                wr(addr, static_cast<u8>(s_.a << 4 | v >> 4));
                s_.a = static_cast<u8>((s_.a & 0xF0) | (v & 0x0F));
                setF((s_.f & kC) | z80detail::kSzxyp[s_.a]);
                s_.wz = static_cast<u16>(addr + 1);
                return 18;
            }
            case 0x6F: {  // RLD
                const u16 addr = s_.hl();
                const u8 v = rd(addr);
                wr(addr, static_cast<u8>(v << 4 | (s_.a & 0x0F)));
                s_.a = static_cast<u8>((s_.a & 0xF0) | v >> 4);
                setF((s_.f & kC) | z80detail::kSzxyp[s_.a]);
                s_.wz = static_cast<u16>(addr + 1);
                return 18;
            }
            case 0xA0:  // LDI
                return blockLoad<1, false>();
            case 0xA8:  // LDD
                return blockLoad<-1, false>();
            case 0xB0:  // LDIR
                return blockLoad<1, true>();
            case 0xB8:  // LDDR
                return blockLoad<-1, true>();
            case 0xA1:  // CPI
                return blockCompare<1, false>();
            case 0xA9:  // CPD
                return blockCompare<-1, false>();
            case 0xB1:  // CPIR
                return blockCompare<1, true>();
            case 0xB9:  // CPDR
                return blockCompare<-1, true>();
            case 0xA2:  // INI
                return blockIn<1, false>(prefix);
            case 0xAA:  // IND
                return blockIn<-1, false>(prefix);
            case 0xB2:  // INIR
                return blockIn<1, true>(prefix);
            case 0xBA:  // INDR
                return blockIn<-1, true>(prefix);
            case 0xA3:  // OUTI
                return blockOut<1, false>(prefix);
            case 0xAB:  // OUTD
                return blockOut<-1, false>(prefix);
            case 0xB3:  // OTIR
                return blockOut<1, true>(prefix);
            case 0xBB:  // OTDR
                return blockOut<-1, true>(prefix);
            default:  // the rest of the page: no operation, in 8 T-states
                return 8;
        }
    }

    int inC(u8& dst, int prefix) {
        const u16 portAddr = s_.bc();
        s_.wz = static_cast<u16>(portAddr + 1);
        const int v = bus_.in(portAddr, prefix + 8);
        if (v >= 0) dst = static_cast<u8>(v);
        setF((s_.f & kC) | z80detail::kSzxyp[dst]);
        return 12;
    }
    int outC(u8 v, int prefix) {
        const u16 portAddr = s_.bc();
        bus_.out(portAddr, v, prefix + 8);
        s_.wz = static_cast<u16>(portAddr + 1);
        return 12;
    }
    int storeWord(u16 v) {
        const u16 nn = fetch16();
        wr(nn, static_cast<u8>(v));
        wr(static_cast<u16>(nn + 1), static_cast<u8>(v >> 8));
        s_.wz = static_cast<u16>(nn + 1);
        return 20;
    }
    u16 loadWord() {
        const u16 nn = fetch16();
        s_.wz = static_cast<u16>(nn + 1);
        return word(rd(nn), rd(s_.wz));
    }
    int loadAFromIr(u8 v) {
        s_.a = v;
        setF((s_.f & kC) | z80detail::kSzxy[v] | (s_.iff2 ? kPV : 0));
        s_.afterLdAir = true;
        return 9;
    }

    // While a block instruction repeats, PC is put back on it and X/Y show PC's high byte.
    void repeatBlock() {
        s_.pc = static_cast<u16>(s_.pc - 2);
        s_.wz = static_cast<u16>(s_.pc + 1);
        s_.f = static_cast<u8>((s_.f & ~kXY) | ((s_.pc >> 8) & kXY));
        s_.q = s_.f;
    }

    template <int Dir, bool Repeat>
    int blockLoad() {
        const u8 v = rd(s_.hl());
        wr(s_.de(), v);
        s_.setHl(static_cast<u16>(s_.hl() + Dir));
        s_.setDe(static_cast<u16>(s_.de() + Dir));
        const auto bc = static_cast<u16>(s_.bc() - 1);
        s_.setBc(bc);
        const int n = v + s_.a;
        setF((s_.f & (kS | kZ | kC)) | (n & kX) | ((n << 4) & kY) | (bc != 0 ? kPV : 0));
        if (Repeat && bc != 0) {
            repeatBlock();
            return 21;
        }
        return 16;
    }

    template <int Dir, bool Repeat>
    int blockCompare() {
        const u8 v = rd(s_.hl());
        const int res = s_.a - v;
        const int half = (s_.a ^ v ^ res) & kH;
        const int n = res - (half ? 1 : 0);
        s_.setHl(static_cast<u16>(s_.hl() + Dir));
        const auto bc = static_cast<u16>(s_.bc() - 1);
        s_.setBc(bc);
        s_.wz = static_cast<u16>(s_.wz + Dir);
        setF((s_.f & kC) | kN | (z80detail::kSzxy[res & 0xFF] & (kS | kZ)) | half | (n & kX) |
             ((n << 4) & kY) | (bc != 0 ? kPV : 0));
        if (Repeat && bc != 0 && (res & 0xFF) != 0) {
            repeatBlock();
            return 21;
        }
        return 16;
    }

    // Flags of INI/IND/OUTI/OUTD: `k` is the transferred byte plus the low byte of the
    // address counterpart (C±1 for input, L after the step for output).
    void blockIoFlags(u8 v, int k) {
        const u8 b = s_.b;
        setF(z80detail::kSzxy[b] | ((v & 0x80) ? kN : 0) | (k > 0xFF ? (kH | kC) : 0) |
             (z80detail::kSzxyp[(k & 7) ^ b] & kPV));
    }
    // A repeating I/O block instruction additionally rewrites H and P/V from the next value
    // of B, as the silicon does while it prepares the repeat.
    void repeatIoBlock(u8 v) {
        repeatBlock();
        const u8 b = s_.b;
        int f = s_.f;
        auto parityOdd = [](int x) { return (z80detail::kSzxyp[x & 0xFF] & kPV) ? 0 : kPV; };
        if (f & kC) {
            f &= ~kH;
            if (v & 0x80) {
                f ^= parityOdd((b - 1) & 7);
                if ((b & 0x0F) == 0x00) f |= kH;
            } else {
                f ^= parityOdd((b + 1) & 7);
                if ((b & 0x0F) == 0x0F) f |= kH;
            }
        } else {
            f ^= parityOdd(b & 7);
        }
        setF(f);
    }

    template <int Dir, bool Repeat>
    int blockIn(int prefix) {
        const u16 portAddr = s_.bc();
        const u16 addr = s_.hl();
        s_.wz = static_cast<u16>(portAddr + Dir);
        const int answer = bus_.in(portAddr, prefix + 9);
        // Without an answer the memory byte stays as it is.
        const u8 v = answer >= 0 ? static_cast<u8>(answer) : rd(addr);
        wr(addr, v);
        --s_.b;
        s_.setHl(static_cast<u16>(addr + Dir));
        blockIoFlags(v, v + ((s_.c + Dir) & 0xFF));
        if (Repeat && s_.b != 0) {
            repeatIoBlock(v);
            return 21;
        }
        return 16;
    }

    template <int Dir, bool Repeat>
    int blockOut(int prefix) {
        const u16 addr = s_.hl();
        const u8 v = rd(addr);
        --s_.b;
        const u16 portAddr = s_.bc();
        bus_.out(portAddr, v, prefix + 12);
        s_.wz = static_cast<u16>(portAddr + Dir);
        s_.setHl(static_cast<u16>(addr + Dir));
        blockIoFlags(v, v + s_.l);
        if (Repeat && s_.b != 0) {
            repeatIoBlock(v);
            return 21;
        }
        return 16;
    }
};

#undef QVX_Z80_CASES256
#undef QVX_Z80_CASES16

}  // namespace qvxsnd
