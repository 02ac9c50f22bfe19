// The sound board around the CPU: reset, image loading, the port map, the command latch
// with its NMI, the tick request rule and the board clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "soundlib/z80/sound_board.hpp"

namespace qvxsnd {
namespace {

struct ChipWrite {
    int port;
    std::uint8_t value;
    std::uint64_t tstate;
};

class RecordingChip : public ChipPort {
  public:
    std::vector<ChipWrite> writes;
    std::vector<int> readPorts;
    std::optional<std::uint8_t> answer;

    void write(int port, std::uint8_t value, std::uint64_t tstate) override {
        writes.push_back({port, value, tstate});
    }
    std::optional<std::uint8_t> read(int port, std::uint64_t) override {
        readPorts.push_back(port);
        return answer;
    }
};

class SoundBoardTest : public ::testing::Test {
  protected:
    std::unique_ptr<SoundBoard> board = std::make_unique<SoundBoard>();
    RecordingChip chip;

    Z80State& cpu() { return board->cpu(); }
    std::uint8_t& mem(std::uint16_t addr) { return board->memory()[addr]; }
    void put(std::uint16_t addr, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes)
            mem(addr++) = b;
    }
    // Program at `addr`, PC there, a stack, interrupts disabled.
    void run(std::uint16_t addr, std::initializer_list<std::uint8_t> bytes) {
        put(addr, bytes);
        cpu().pc = addr;
        cpu().sp = 0xFFF0;
        cpu().iff1 = cpu().iff2 = false;
    }
    // Opens the NMI gate as a driver does, with OUT (0x08),A run from a scratch address; the
    // CPU is left as it was.
    void openNmiGate() {
        const Z80State saved = cpu();
        put(0x7F00, {0xD3, 0x08});
        cpu().pc = 0x7F00;
        board->step();
        cpu() = saved;
        ASSERT_TRUE(board->nmiEnabled());
    }
};

// ---- reset and image loading -----------------------------------------------------------------

TEST_F(SoundBoardTest, ResetClearsRegistersFlagsAndTheFirstFourBytes) {
    put(0, {1, 2, 3, 4, 5});
    board->postCommand(0x81);
    cpu().a = cpu().b = cpu().h2 = 0x12;
    cpu().sp = cpu().pc = cpu().ix = 0x3456;
    cpu().im = 2;
    cpu().halted = true;
    cpu().iff1 = cpu().iff2 = false;
    board->reset();
    EXPECT_EQ(cpu().a, 0);
    EXPECT_EQ(cpu().b, 0);
    EXPECT_EQ(cpu().h2, 0);
    EXPECT_EQ(cpu().sp, 0);
    EXPECT_EQ(cpu().pc, 0);
    EXPECT_EQ(cpu().ix, 0);
    EXPECT_EQ(cpu().im, 0);
    EXPECT_FALSE(cpu().halted);
    EXPECT_TRUE(cpu().iff1);
    EXPECT_TRUE(cpu().iff2);
    EXPECT_FALSE(board->commandPending()) << "a command posted before a reset is lost";
    EXPECT_FALSE(board->irqPending());
    EXPECT_FALSE(board->inService());
    EXPECT_EQ(board->latchedCommand(), 0x81) << "the latched value itself is kept";
    EXPECT_EQ(mem(0), 0);
    EXPECT_EQ(mem(3), 0);
    EXPECT_EQ(mem(4), 5);
}

TEST_F(SoundBoardTest, LoadImageCopiesAtMost64KAndKeepsTheRest) {
    mem(0x10) = 0xEE;
    const std::vector<std::uint8_t> small = {0xAA, 0xBB};
    EXPECT_EQ(board->loadImage(small), 2u);
    EXPECT_EQ(mem(0), 0xAA);
    EXPECT_EQ(mem(1), 0xBB);
    EXPECT_EQ(mem(0x10), 0xEE);

    std::vector<std::uint8_t> big(70000, 0x5A);
    big[0xFFFF] = 0x11;
    EXPECT_EQ(board->loadImage(big), 65536u);
    EXPECT_EQ(mem(0xFFFF), 0x11);
    EXPECT_EQ(board->loadImage({}), 0u);
}

TEST_F(SoundBoardTest, Address0x8000ReadsMemoryLikeEveryOtherCell) {
    mem(0x8000) = 0x9C;
    // LD A,(0x8000); LD BC,0x8000; LD D,A... LD A,(BC); LD HL,0x8000; LD E,(HL)
    run(0x200, {0x3A, 0x00, 0x80, 0x01, 0x00, 0x80, 0x0A, 0x21, 0x00, 0x80, 0x5E});
    board->step();
    EXPECT_EQ(cpu().a, 0x9C);
    board->step();
    cpu().a = 0;
    board->step();
    EXPECT_EQ(cpu().a, 0x9C);
    board->step();
    board->step();
    EXPECT_EQ(cpu().e, 0x9C);
}

// ---- port map --------------------------------------------------------------------------------

TEST_F(SoundBoardTest, OutputsReachTheChipByTheLowTwoBitsExceptTheBoardsOwnPorts) {
    board->attachChip(&chip);
    // OUT (0x10),A; OUT (0x0C),A; OUT (0x00),A; OUT (0x05),A; LD BC,0x1207; OUT (C),A
    run(0x200, {0xD3, 0x10, 0xD3, 0x0C, 0xD3, 0x00, 0xD3, 0x05, 0x01, 0x07, 0x12, 0xED, 0x79});
    cpu().a = 0x2B;
    for (int n = 0; n < 6; ++n)
        board->step();
    ASSERT_EQ(chip.writes.size(), 3u);
    EXPECT_EQ(chip.writes[0].port, 0) << "0x10 aliases the first bank's address latch";
    EXPECT_EQ(chip.writes[0].value, 0x2B);
    EXPECT_EQ(chip.writes[1].port, 1);
    EXPECT_EQ(chip.writes[2].port, 3) << "OUT (C) decodes the low byte of BC";

    board->attachChip(nullptr);
    cpu().pc = 0x200;
    EXPECT_EQ(board->step(), 11) << "without a chip the write goes nowhere";
    EXPECT_EQ(chip.writes.size(), 3u);
}

TEST_F(SoundBoardTest, ChipAccessesCarryTheBoardTimeOfTheirIoCycle) {
    board->attachChip(&chip);
    // NOP; OUT (0x04),A; LD BC,0x0007; OUT (C),A
    run(0x200, {0x00, 0xD3, 0x04, 0x01, 0x07, 0x00, 0xED, 0x79});
    board->step();
    const std::uint64_t start = board->tstates();
    EXPECT_EQ(start, 4u);
    EXPECT_EQ(board->step(), 11);
    board->step();
    board->step();
    ASSERT_EQ(chip.writes.size(), 2u);
    EXPECT_EQ(chip.writes[0].tstate, start + 7);
    EXPECT_EQ(chip.writes[1].tstate, start + 11 + 10 + 8);
    EXPECT_EQ(board->tstates(), start + 11 + 10 + 12);
}

TEST_F(SoundBoardTest, ChipReadsOnPorts4To7AndNothingElse) {
    // IN A,(0x04) three times (answer, no answer, no chip); IN A,(0x10); IN A,(0x09)
    run(0x200, {0xDB, 0x04, 0xDB, 0x06, 0xDB, 0x07, 0xDB, 0x10, 0xDB, 0x09});
    board->attachChip(&chip);
    cpu().a = 0x33;
    chip.answer = 0x80;
    board->step();
    EXPECT_EQ(cpu().a, 0x80);
    chip.answer.reset();
    board->step();
    EXPECT_EQ(cpu().a, 0x80) << "a chip that does not answer leaves A alone";
    EXPECT_EQ(chip.readPorts, (std::vector<int>{0, 2}));
    board->attachChip(nullptr);
    board->step();
    EXPECT_EQ(cpu().a, 0x80);
    board->attachChip(&chip);
    chip.answer = 0x01;
    board->step();
    board->step();
    EXPECT_EQ(cpu().a, 0x80) << "ports outside 4-7 never reach the chip";
    EXPECT_EQ(chip.readPorts.size(), 2u);
}

TEST_F(SoundBoardTest, Port0ReturnsTheLatchWithoutClearingIt) {
    // Interrupts are off, but the NMI cannot be masked; keep PC low so it waits.
    run(0x0040, {0xDB, 0x00, 0xED, 0x78});  // IN A,(0); IN A,(C) with C = 0
    openNmiGate();
    board->postCommand(0x1FF);
    cpu().setBc(0x0500);
    board->step();
    EXPECT_EQ(cpu().a, 0xFF) << "the low eight bits of the latch";
    cpu().a = 0;
    board->step();
    EXPECT_EQ(cpu().a, 0xFF);
    EXPECT_TRUE(board->commandPending());
    EXPECT_EQ(board->latchedCommand(), 0x1FF);
}

// ---- command NMI -------------------------------------------------------------------------------

TEST_F(SoundBoardTest, TwoQuickCommandsGiveOneNmiWithTheLaterValue) {
    put(0x0066, {0xDB, 0x00, 0x32, 0x00, 0xF0, 0xED, 0x45});  // IN A,(0); LD (F000),A; RETN
    run(0x0200, {0x18, 0xFE});                                // JR $
    openNmiGate();
    board->postCommand(0x81);
    board->postCommand(0x82);
    const int t = board->step();
    EXPECT_EQ(t, 11 + 11) << "NMI acceptance plus the first handler instruction";
    EXPECT_FALSE(board->commandPending());
    EXPECT_TRUE(board->inService());
    for (int n = 0; n < 20; ++n)
        board->step();
    EXPECT_EQ(mem(0xF000), 0x82);
    EXPECT_EQ(cpu().pc, 0x0200);
    EXPECT_FALSE(board->inService()) << "RETN ended the service";
    EXPECT_EQ(cpu().sp, 0xFFF0) << "one NMI only";
}

// Below the driver's main code lie its restart routines and interrupt entries.
TEST_F(SoundBoardTest, CommandWaitsWhilePcIsBelowTheDriversMainCode) {
    constexpr std::uint16_t kFloor = SoundBoard::kCommandPcFloor;
    // NOP x 16 up to the floor, then the idle loop at the floor.
    std::initializer_list<std::uint8_t> nops = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    run(kFloor - 16, nops);
    put(kFloor, {0x18, 0xFE});
    put(0x0066, {0xED, 0x45});
    openNmiGate();
    board->postCommand(0x05);
    for (int n = 0; n < 16; ++n) {
        board->step();
        EXPECT_TRUE(board->commandPending()) << "PC " << cpu().pc;
    }
    EXPECT_EQ(cpu().pc, kFloor);
    board->step();
    EXPECT_FALSE(board->commandPending());
    EXPECT_EQ(mem(0xFFEF), kFloor >> 8);
    EXPECT_EQ(mem(0xFFEE), kFloor & 0xFF) << "the interrupted PC is the first one at the floor";
}

TEST_F(SoundBoardTest, NmiIgnoresInServiceAndInterruptsTheTickHandler) {
    put(0x0066, {0xED, 0x45});
    run(0x0300, {0x00, 0x00, 0x00});
    cpu().iff1 = cpu().iff2 = true;
    cpu().im = 1;
    board->requestTick();
    board->step();  // IRQ taken: now in service, at 0x0038 + one instruction
    ASSERT_TRUE(board->inService());
    cpu().pc = 0x0300;  // pretend the tick handler runs above the floor
    openNmiGate();
    board->postCommand(0x10);
    board->step();
    EXPECT_FALSE(board->commandPending());
}

TEST_F(SoundBoardTest, NmiDuringLdirIsTakenBetweenIterations) {
    for (int n = 0; n < 16; ++n)
        mem(static_cast<std::uint16_t>(0x4000 + n)) = static_cast<std::uint8_t>(n + 1);
    put(0x0066, {0x3C, 0xED, 0x45});  // INC A; RETN
    // LD HL,0x4000; LD DE,0x5000; LD BC,16; LDIR; JR $
    run(0x0200, {0x21, 0x00, 0x40, 0x11, 0x00, 0x50, 0x01, 0x10, 0x00, 0xED, 0xB0, 0x18, 0xFE});
    for (int n = 0; n < 3 + 5; ++n)
        board->step();
    EXPECT_EQ(cpu().pc, 0x0209);
    EXPECT_EQ(cpu().bc(), 11);
    openNmiGate();
    board->postCommand(0x22);
    board->step();  // NMI, then INC A
    EXPECT_EQ(cpu().pc, 0x0067);
    EXPECT_EQ(mem(0xFFEF), 0x02);
    EXPECT_EQ(mem(0xFFEE), 0x09) << "pushed PC points at the LDIR itself";
    board->step();  // RETN
    EXPECT_EQ(cpu().pc, 0x0209);
    while (cpu().pc == 0x0209)
        board->step();
    EXPECT_EQ(cpu().a, 1);
    EXPECT_EQ(cpu().bc(), 0);
    for (int n = 0; n < 16; ++n)
        EXPECT_EQ(mem(static_cast<std::uint16_t>(0x5000 + n)), n + 1);
}

// ---- tick IRQ ----------------------------------------------------------------------------------

TEST_F(SoundBoardTest, TickIsRequestedOnlyWithStackInterruptsAndNoService) {
    run(0x0200, {0x18, 0xFE});
    cpu().iff1 = cpu().iff2 = true;
    cpu().sp = 0;
    board->requestTick();
    EXPECT_FALSE(board->irqPending()) << "SP = 0: the driver has no stack yet";

    cpu().sp = 0xFFF0;
    cpu().iff1 = false;
    board->requestTick();
    EXPECT_FALSE(board->irqPending()) << "interrupts disabled";

    cpu().iff1 = true;
    board->requestTick();
    EXPECT_TRUE(board->irqPending());

    cpu().iff1 = false;
    board->requestTick();
    EXPECT_FALSE(board->irqPending()) << "a failing tick withdraws the earlier request";

    cpu().iff1 = true;
    cpu().im = 1;
    board->requestTick();
    put(0x0038, {0x00});
    EXPECT_EQ(board->step(), 13 + 4);
    EXPECT_TRUE(board->inService());
    cpu().iff1 = true;  // as if the handler had run EI
    board->requestTick();
    EXPECT_FALSE(board->irqPending()) << "the handler has not returned yet";
}

TEST_F(SoundBoardTest, TickWakesHaltAndRetiEndsTheService) {
    put(0x0038, {0xFB, 0xED, 0x4D});        // EI; RETI
    run(0x0200, {0xFB, 0x76, 0x18, 0xFD});  // EI; HALT; JR back to HALT
    cpu().im = 1;
    board->step();
    board->step();
    EXPECT_TRUE(cpu().halted);
    EXPECT_EQ(board->step(), 4);
    board->requestTick();
    EXPECT_EQ(board->step(), 13 + 4);
    EXPECT_FALSE(cpu().halted);
    EXPECT_TRUE(board->inService());
    board->step();  // RETI
    EXPECT_FALSE(board->inService());
    EXPECT_EQ(cpu().pc, 0x0202) << "back behind the HALT";
}

TEST_F(SoundBoardTest, TickWaitsForTheInstructionAfterEi) {
    put(0x0038, {0x00});
    run(0x0200, {0xFB, 0x00, 0x00});  // EI; NOP
    cpu().im = 1;
    board->step();
    board->requestTick();
    EXPECT_TRUE(board->irqPending());
    board->step();
    EXPECT_EQ(cpu().pc, 0x0202) << "the NOP after EI runs first";
    EXPECT_TRUE(board->irqPending());
    board->step();
    EXPECT_FALSE(board->irqPending());
    EXPECT_EQ(mem(0xFFEE), 0x02);
}

// The board passes commands on only while the program has opened the NMI gate; reset closes it.
TEST_F(SoundBoardTest, CommandsWaitForTheNmiGate) {
    put(0x0066, {0xED, 0x45});  // RETN
    // NOP; NOP; OUT (0x08),A; NOP; OUT (0x18),A; NOP; NOP
    run(0x0200, {0x00, 0x00, 0xD3, 0x08, 0x00, 0xD3, 0x18, 0x00, 0x00});
    EXPECT_FALSE(board->nmiEnabled());
    board->postCommand(0x81);
    board->step();
    board->step();
    EXPECT_TRUE(board->commandPending()) << "sent before the gate opened";
    board->step();  // OUT (0x08),A
    EXPECT_TRUE(board->nmiEnabled());
    board->step();  // the NMI, and RETN
    EXPECT_FALSE(board->commandPending());
    EXPECT_EQ(cpu().pc, 0x0204);
    board->step();  // NOP
    board->step();  // OUT (0x18),A
    EXPECT_FALSE(board->nmiEnabled());
    board->postCommand(0x82);
    board->step();
    board->step();
    EXPECT_TRUE(board->commandPending()) << "the gate closed again";
    board->reset();
    EXPECT_FALSE(board->nmiEnabled());
}

// The M1 windows are chosen by reading ports 0x08-0x0B with the bank number on the upper address
// lines; the board remembers the numbers and answers nothing.
TEST_F(SoundBoardTest, BankPortsTakeTheBankFromTheUpperAddressLines) {
    // LD BC,0x1E08; IN A,(C); LD A,0x02; IN A,(0x0B)
    run(0x0200, {0x01, 0x08, 0x1E, 0xED, 0x78, 0x3E, 0x02, 0xDB, 0x0B});
    cpu().a = 0x55;
    board->step();
    board->step();
    EXPECT_EQ(board->bank(0), 0x1E);
    EXPECT_EQ(cpu().a, 0x55) << "no device answers";
    board->step();
    board->step();
    EXPECT_EQ(board->bank(3), 0x02);
}

// A small driver: start-up, an idle loop above 0xC0, a tick counter and a command handler.
TEST_F(SoundBoardTest, MiniDriverCountsTicksAndStoresCommands) {
    const std::vector<std::uint8_t> image = [] {
        std::vector<std::uint8_t> img(0x100, 0x00);
        const std::uint8_t start[] = {0xF3, 0xC3, 0xC0, 0x00};  // DI; JP 0x00C0
        std::copy(std::begin(start), std::end(start), img.begin());
        // tick: PUSH AF; LD A,(F010); INC A; LD (F010),A; POP AF; EI; RETI
        const std::uint8_t tick[] = {0xF5, 0x3A, 0x10, 0xF0, 0x3C, 0x32,
                                     0x10, 0xF0, 0xF1, 0xFB, 0xED, 0x4D};
        std::copy(std::begin(tick), std::end(tick), img.begin() + 0x38);
        // command: PUSH AF; IN A,(0); LD (F000),A; OUT (0x0C),A; POP AF; RETN
        const std::uint8_t cmd[] = {0xF5, 0xDB, 0x00, 0x32, 0x00, 0xF0,
                                    0xD3, 0x0C, 0xF1, 0xED, 0x45};
        std::copy(std::begin(cmd), std::end(cmd), img.begin() + 0x66);
        // 0x00C0: LD SP,0xFFFF; IM 1; OUT (0x08),A; EI; idle: JR idle
        const std::uint8_t init[] = {0x31, 0xFF, 0xFF, 0xED, 0x56, 0xD3, 0x08, 0xFB, 0x18, 0xFE};
        std::copy(std::begin(init), std::end(init), img.begin() + 0xC0);
        return img;
    }();
    board->attachChip(&chip);
    board->reset();
    board->loadImage(image);
    board->requestTick();
    EXPECT_FALSE(board->irqPending()) << "no tick before the driver set its stack";
    for (int n = 0; n < 10; ++n)
        board->step();
    for (int tick = 0; tick < 5; ++tick) {
        board->requestTick();
        for (int n = 0; n < 40; ++n)
            board->step();
    }
    EXPECT_EQ(mem(0xF010), 5);
    board->postCommand(0x81);
    for (int n = 0; n < 40; ++n)
        board->step();
    EXPECT_EQ(mem(0xF000), 0x81);
    EXPECT_TRUE(chip.writes.empty()) << "the acknowledge port is not the chip";
    EXPECT_EQ(cpu().sp, 0xFFFF);
    EXPECT_TRUE(cpu().iff1);
}

}  // namespace
}  // namespace qvxsnd
