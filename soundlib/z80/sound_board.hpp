// The Neo Geo sound board as its Z80 sees it: 64 KB of flat RAM, the command latch with its
// NMI and the NMI gate, the maskable interrupt (a periodic tick, or the sound chip's IRQ line),
// the bank ports, and the sound chip on ports 4-7.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "driver/memory_map.hpp"
#include "soundlib/z80/chip_port.hpp"
#include "soundlib/z80/z80.hpp"
#include "soundlib/z80/z80_state.hpp"

namespace qvxsnd {

class SoundBoard {
  public:
    static constexpr std::size_t kMemorySize = 0x10000;
    // Commands are delivered only once the driver runs at or above this address: below it
    // lie the restart routines and both interrupt entry points. The real board knows no such
    // floor; deliverCommandsAnywhere() models it.
    static constexpr std::uint16_t kCommandPcFloor = qvx::driver::kMainCode;

    SoundBoard();
    SoundBoard(const SoundBoard&) = delete;
    SoundBoard& operator=(const SoundBoard&) = delete;

    // The chip behind ports 4-7 (and their aliases); nullptr detaches it. The board does
    // not own the chip, which must outlive its attachment.
    void attachChip(ChipPort* chip) { chip_ = chip; }
    ChipPort* chip() const { return chip_; }

    // All CPU registers 0 (SP and PC included), IFF1 = IFF2 = 1, interrupt mode 0; the
    // pending command, tick request and in-service flags cleared; the NMI gate closed; memory
    // bytes 0-3 cleared. The latched command value and the T-state counter are kept.
    void reset();

    // Copies the image to address 0, at most 64 KB of it; returns the bytes copied. Memory
    // above the image keeps its contents. The caller decides whether to reset first.
    std::size_t loadImage(std::span<const std::uint8_t> image);

    // Latches a command (value first, then the pending flag); a command not yet taken is
    // overwritten, so two quick commands give one NMI with the later value.
    void postCommand(std::uint16_t command);

    // The periodic tick: requests the maskable interrupt when the driver has a stack, has
    // interrupts enabled and is not inside a handler. It assigns the request, so a tick
    // whose test fails withdraws an earlier request that was not taken yet.
    void requestTick();

    // As the real board: a command's NMI is taken wherever the program runs, below
    // kCommandPcFloor too. Kept over reset().
    void deliverCommandsAnywhere(bool anywhere) {
        commandPcFloor_ = anywhere ? 0 : kCommandPcFloor;
    }

    // Everything the board holds but the chip and its attachment, to go back to later (a test
    // tries many futures from one moment).
    struct Snapshot;
    Snapshot snapshot() const;
    void restore(const Snapshot& snapshot);

    // The sound chip's IRQ line, as on the real board: while it is high the CPU takes the
    // maskable interrupt whenever its interrupts are enabled. (Use either this or requestTick.)
    void setIrqLine(bool high) { irqLine_ = high; }

    // Accepts at most one interrupt (the command NMI first, then the maskable one), executes one
    // instruction, advances the T-state counter and returns the T-states used.
    int step() {
        int t = 0;
        if (commandPending_ || irqPending_ || irqLine_) t = acceptInterrupt();
        instructionStart_ = tstates_ + static_cast<std::uint64_t>(t);
        t += cpu_.step();
        tstates_ += static_cast<std::uint64_t>(t);
        return t;
    }

    // Board time: T-states executed since construction.
    std::uint64_t tstates() const { return tstates_; }

    Z80State& cpu() { return cpu_.state(); }
    const Z80State& cpu() const { return cpu_.state(); }
    std::span<std::uint8_t, kMemorySize> memory() { return memory_; }
    std::span<const std::uint8_t, kMemorySize> memory() const { return memory_; }

    std::uint16_t latchedCommand() const { return latch_; }
    // The last byte the driver wrote to the acknowledge port (0 at first).
    std::uint8_t acknowledge() const { return acknowledge_; }
    // Board time of the last write to the acknowledge port (0 before the first): it tells two
    // equal answers apart.
    std::uint64_t acknowledgeTime() const { return acknowledgeTime_; }
    bool commandPending() const { return commandPending_; }
    bool irqPending() const { return irqPending_; }
    bool inService() const { return inService_; }
    // The board passes commands on only while the program has the NMI enabled (a write to the
    // NMI enable port; the disable port closes it again). Closed at reset.
    bool nmiEnabled() const { return nmiEnabled_; }
    // The bank each of the four M1 windows was last set to through its port (0 at first); the
    // windows themselves are not modelled: the 64 KB are flat, as a linear set-up shows them.
    std::uint8_t bank(int window) const { return banks_[static_cast<std::size_t>(window)]; }

  private:
    static constexpr int kCommandPort = qvx::driver::port::kCommand;
    static constexpr int kAcknowledgePort = qvx::driver::port::kAcknowledge;
    static constexpr int kNmiEnablePort = qvx::driver::port::kNmiEnable;
    static constexpr int kNmiDisablePort = qvx::driver::port::kNmiDisable;
    static constexpr int kFirstBankPort = qvx::driver::port::kBankWindow0;
    // Reads are answered by the chip on its own four ports only. Writes reach it on every port
    // but the command and acknowledge ports, as its port number & 3.
    static constexpr bool isChipPort(int port) {
        return port >= qvx::driver::port::kYmAddrA && port <= qvx::driver::port::kYmDataB;
    }

    // The command NMI (only at PC >= kCommandPcFloor) or else the tick IRQ; returns the
    // T-states of the acceptance, 0 when neither is taken.
    int acceptInterrupt();
    // The CPU's view of the board. Port numbers are the low byte of the port address.
    // Chip accesses are stamped with the start of the I/O machine cycle in board time.
    struct Bus {
        SoundBoard* board;
        std::uint8_t* memory;

        std::uint8_t read(std::uint16_t addr) const { return memory[addr]; }
        void write(std::uint16_t addr, std::uint8_t value) const { memory[addr] = value; }
        int in(std::uint16_t portAddr, int cycle) const {
            const int port = portAddr & 0xFF;
            if (port == kCommandPort) return board->latch_ & 0xFF;
            if (port >= kFirstBankPort && port < kFirstBankPort + 4) {
                // The bank number rides on the upper address lines.
                board->banks_[static_cast<std::size_t>(port - kFirstBankPort)] =
                    static_cast<std::uint8_t>(portAddr >> 8);
                return -1;
            }
            if (isChipPort(port) && board->chip_ != nullptr) {
                const auto v = board->chip_->read(
                    port & 3, board->instructionStart_ + static_cast<std::uint64_t>(cycle));
                if (v) return *v;
            }
            return -1;
        }
        void out(std::uint16_t portAddr, std::uint8_t value, int cycle) const {
            const int port = portAddr & 0xFF;
            // The acknowledge goes back to the main CPU, which is not emulated; the last value
            // is kept so that tools and tests can see the driver's answer.
            if (port == kAcknowledgePort) {
                board->acknowledge_ = value;
                board->acknowledgeTime_ =
                    board->instructionStart_ + static_cast<std::uint64_t>(cycle);
                return;
            }
            if (port == kNmiEnablePort || port == kNmiDisablePort) {
                board->nmiEnabled_ = port == kNmiEnablePort;
                return;
            }
            if (port == kCommandPort || board->chip_ == nullptr) return;
            board->chip_->write(port & 3, value,
                                board->instructionStart_ + static_cast<std::uint64_t>(cycle));
        }
        void reti() const { board->inService_ = false; }
        void retn() const { board->inService_ = false; }
    };

    std::array<std::uint8_t, kMemorySize> memory_{};
    ChipPort* chip_ = nullptr;
    std::uint16_t latch_ = 0;
    std::uint8_t acknowledge_ = 0;
    std::uint64_t acknowledgeTime_ = 0;
    std::uint16_t commandPcFloor_ = kCommandPcFloor;
    bool commandPending_ = false;
    bool irqPending_ = false;
    bool irqLine_ = false;
    bool inService_ = false;
    bool nmiEnabled_ = false;
    std::array<std::uint8_t, 4> banks_{};
    std::uint64_t tstates_ = 0;
    // Board time at which the instruction being executed began (after any interrupt
    // acceptance in the same step).
    std::uint64_t instructionStart_ = 0;
    Z80<Bus> cpu_;
};

struct SoundBoard::Snapshot {
    std::array<std::uint8_t, kMemorySize> memory;
    Z80State cpu;
    std::uint16_t latch;
    std::uint8_t acknowledge;
    std::uint64_t acknowledgeTime;
    bool commandPending, irqPending, irqLine, inService, nmiEnabled;
    std::array<std::uint8_t, 4> banks;
    std::uint64_t tstates;
};

}  // namespace qvxsnd
