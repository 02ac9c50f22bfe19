// Interpreter speed of the Z80 core on a driver-like workload: a loop of indexed loads and
// stores, 8- and 16-bit arithmetic, a call and return, a short block move, CB-page shifts
// and bit tests, and conditional branches.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>

#include "soundlib/z80/sound_board.hpp"
#include "soundlib/z80/z80.hpp"

namespace {

// clang-format off
constexpr std::array<std::uint8_t, 0x40> kWorkload = {
    0x31, 0xF0, 0xFF,        // 0000 LD SP,0xFFF0
    0xDD, 0x21, 0x00, 0x80,  // 0003 LD IX,0x8000
    0x06, 0x20,              // 0007 outer: LD B,32
    0xDD, 0x7E, 0x00,        // 0009 loop:  LD A,(IX+0)
    0x80,                    // 000C ADD A,B
    0xDD, 0x77, 0x01,        // 000D LD (IX+1),A
    0x21, 0x00, 0x90,        // 0010 LD HL,0x9000
    0x5E,                    // 0013 LD E,(HL)
    0x23,                    // 0014 INC HL
    0x56,                    // 0015 LD D,(HL)
    0xEB,                    // 0016 EX DE,HL
    0x19,                    // 0017 ADD HL,DE
    0xCD, 0x39, 0x00,        // 0018 CALL sub
    0xA9,                    // 001B XOR C
    0xE6, 0x7F,              // 001C AND 0x7F
    0xFE, 0x40,              // 001E CP 0x40
    0x30, 0x01,              // 0020 JR NC,skip
    0x0C,                    // 0022 INC C
    0xC5,                    // 0023 skip: PUSH BC
    0x21, 0x00, 0xA0,        // 0024 LD HL,0xA000
    0x11, 0x00, 0xA1,        // 0027 LD DE,0xA100
    0x01, 0x08, 0x00,        // 002A LD BC,8
    0xED, 0xB0,              // 002D LDIR
    0xC1,                    // 002F POP BC
    0xCB, 0x3F,              // 0030 SRL A
    0xCB, 0x47,              // 0032 BIT 0,A
    0x10, 0xD3,              // 0034 DJNZ loop
    0xC3, 0x07, 0x00,        // 0036 JP outer
    0x7C,                    // 0039 sub: LD A,H
    0x07,                    // 003A RLCA
    0xB5,                    // 003B OR L
    0x32, 0x00, 0x91,        // 003C LD (0x9100),A
    0xC9,                    // 003F RET
};
// clang-format on

constexpr int kStepsPerIteration = 100000;

struct FlatBus {
    std::uint8_t* memory;
    std::uint8_t read(std::uint16_t addr) const { return memory[addr]; }
    void write(std::uint16_t addr, std::uint8_t value) const { memory[addr] = value; }
    int in(std::uint16_t, int) const { return 0xFF; }
    void out(std::uint16_t, std::uint8_t, int) const {}
    void reti() const {}
    void retn() const {}
};

void reportRates(benchmark::State& state, std::int64_t tstates) {
    const auto steps = static_cast<double>(state.iterations()) * kStepsPerIteration;
    state.counters["instr/s"] = benchmark::Counter(steps, benchmark::Counter::kIsRate);
    state.counters["Tstates/s"] =
        benchmark::Counter(static_cast<double>(tstates), benchmark::Counter::kIsRate);
}

void BM_Z80Core(benchmark::State& state) {
    auto memory = std::make_unique<std::array<std::uint8_t, 0x10000>>();
    std::copy(kWorkload.begin(), kWorkload.end(), memory->begin());
    qvxsnd::Z80<FlatBus> cpu(FlatBus{memory->data()});
    cpu.state().pc = 0;
    std::int64_t tstates = 0;
    for (auto _ : state) {
        for (int n = 0; n < kStepsPerIteration; ++n)
            tstates += cpu.step();
    }
    benchmark::DoNotOptimize(tstates);
    reportRates(state, tstates);
}
BENCHMARK(BM_Z80Core);

// The same workload through the sound board, interrupt checks and T-state clock included.
void BM_SoundBoard(benchmark::State& state) {
    auto board = std::make_unique<qvxsnd::SoundBoard>();
    board->loadImage(kWorkload);
    std::int64_t tstates = 0;
    for (auto _ : state) {
        for (int n = 0; n < kStepsPerIteration; ++n)
            tstates += board->step();
    }
    benchmark::DoNotOptimize(tstates);
    reportRates(state, tstates);
}
BENCHMARK(BM_SoundBoard);

}  // namespace
