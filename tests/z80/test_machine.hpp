// A flat 64 KB machine for driving the CPU core directly: every memory cell readable and
// writable, port traffic recorded, port reads answered from a queue.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <vector>

#include "soundlib/z80/z80.hpp"

namespace qvxsnd::testing {

struct PortAccess {
    std::uint16_t port;
    std::uint8_t value;
    bool isWrite;
    int cycle;
};

struct TestMachine {
    std::array<std::uint8_t, 0x10000> memory{};
    std::vector<std::uint16_t> writtenAddresses;
    std::vector<PortAccess> ports;
    std::deque<int> inputs;  // answers for successive port reads; -1 or empty = no answer
    int retiCount = 0;
    int retnCount = 0;
};

struct TestBus {
    TestMachine* m;

    std::uint8_t read(std::uint16_t addr) const { return m->memory[addr]; }
    void write(std::uint16_t addr, std::uint8_t value) const {
        m->memory[addr] = value;
        m->writtenAddresses.push_back(addr);
    }
    int in(std::uint16_t port, int cycle) const {
        int v = -1;
        if (!m->inputs.empty()) {
            v = m->inputs.front();
            m->inputs.pop_front();
        }
        m->ports.push_back({port, static_cast<std::uint8_t>(v < 0 ? 0 : v), false, cycle});
        return v;
    }
    void out(std::uint16_t port, std::uint8_t value, int cycle) const {
        m->ports.push_back({port, value, true, cycle});
    }
    void reti() const { ++m->retiCount; }
    void retn() const { ++m->retnCount; }
};

// A CPU on its own test machine. Not copyable: the bus points back into the object.
struct TestCpu {
    TestMachine machine;
    Z80<TestBus> cpu{TestBus{&machine}};

    TestCpu() = default;
    TestCpu(const TestCpu&) = delete;
    TestCpu& operator=(const TestCpu&) = delete;

    Z80State& s() { return cpu.state(); }
    // Places bytes at `addr` and points PC there.
    void load(std::uint16_t addr, std::initializer_list<std::uint8_t> bytes) {
        std::uint16_t a = addr;
        for (std::uint8_t b : bytes)
            machine.memory[a++] = b;
        cpu.state().pc = addr;
    }
    std::uint8_t& mem(std::uint16_t addr) { return machine.memory[addr]; }
};

}  // namespace qvxsnd::testing
