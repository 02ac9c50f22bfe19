#include "soundlib/z80/sound_board.hpp"

#include <algorithm>

namespace qvxsnd {

// The open data bus reads 0xFF during interrupt acknowledge, which in mode 0 is RST 38h.
static constexpr std::uint8_t kAcknowledgeByte = 0xFF;

SoundBoard::SoundBoard() : cpu_(Bus{this, memory_.data()}) {
    reset();
}

void SoundBoard::reset() {
    Z80State& s = cpu_.state();
    s = Z80State{};
    s.iff1 = s.iff2 = true;
    s.im = 0;
    commandPending_ = false;
    irqPending_ = false;
    inService_ = false;
    irqLine_ = false;
    nmiEnabled_ = false;
    banks_ = {};
    std::fill_n(memory_.begin(), 4, std::uint8_t{0});
}

std::size_t SoundBoard::loadImage(std::span<const std::uint8_t> image) {
    const std::size_t n = std::min(image.size(), kMemorySize);
    std::copy_n(image.begin(), n, memory_.begin());
    return n;
}

void SoundBoard::postCommand(std::uint16_t command) {
    latch_ = command;
    commandPending_ = true;
}

void SoundBoard::requestTick() {
    const Z80State& s = cpu_.state();
    irqPending_ = s.sp != 0 && s.iff1 && !inService_;
}

SoundBoard::Snapshot SoundBoard::snapshot() const {
    return {memory_,     cpu_.state(), latch_,     acknowledge_, acknowledgeTime_, commandPending_,
            irqPending_, irqLine_,     inService_, nmiEnabled_,  banks_,           tstates_};
}

void SoundBoard::restore(const Snapshot& s) {
    memory_ = s.memory;
    cpu_.state() = s.cpu;
    latch_ = s.latch;
    acknowledge_ = s.acknowledge;
    acknowledgeTime_ = s.acknowledgeTime;
    commandPending_ = s.commandPending;
    irqPending_ = s.irqPending;
    irqLine_ = s.irqLine;
    inService_ = s.inService;
    nmiEnabled_ = s.nmiEnabled;
    banks_ = s.banks;
    tstates_ = s.tstates;
}

int SoundBoard::acceptInterrupt() {
    if (commandPending_ && nmiEnabled_ && cpu_.state().pc >= commandPcFloor_ &&
        cpu_.canAcceptNmi()) {
        commandPending_ = false;
        inService_ = true;
        return cpu_.nmi();
    }
    if ((irqPending_ || irqLine_) && cpu_.canAcceptIrq()) {
        irqPending_ = false;
        inService_ = true;
        return cpu_.irq(kAcknowledgeByte);
    }
    return 0;
}

}  // namespace qvxsnd
