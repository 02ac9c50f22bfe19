// Behaviour of the CPU core across steps: things the single-instruction vectors cannot show
// (state carried from one instruction to the next, interrupts, HALT, block repeats) and the
// flag edge cases the driver depends on.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>

#include "tests/z80/test_machine.hpp"

namespace qvxsnd {
namespace {

using namespace testing;

using namespace z80flag;

std::unique_ptr<TestCpu> makeCpu() {
    return std::make_unique<TestCpu>();
}

// ---- flag edge cases ------------------------------------------------------------------------

TEST(Z80Flags, CompareBorrowsWithoutChangingA) {
    auto t = makeCpu();
    t->load(0x100, {0xFE, 0xFF});  // CP 0xFF
    t->s().a = 0x81;
    EXPECT_EQ(t->cpu.step(), 7);
    EXPECT_EQ(t->s().a, 0x81);
    EXPECT_TRUE(t->s().f & C);
    EXPECT_FALSE(t->s().f & Z);
    EXPECT_TRUE(t->s().f & N);
    EXPECT_EQ(t->s().f & (X | Y), 0xFF & (X | Y)) << "CP takes X/Y from the operand";
}

TEST(Z80Flags, NegOfZeroAndOf0x80) {
    auto t = makeCpu();
    t->load(0x100, {0xED, 0x44, 0xED, 0x44});
    t->s().a = 0x00;
    t->s().f = 0xFF;
    EXPECT_EQ(t->cpu.step(), 8);
    EXPECT_EQ(t->s().a, 0x00);
    EXPECT_FALSE(t->s().f & C);
    EXPECT_TRUE(t->s().f & Z);
    EXPECT_FALSE(t->s().f & PV);

    t->s().a = 0x80;
    t->cpu.step();
    EXPECT_EQ(t->s().a, 0x80);
    EXPECT_TRUE(t->s().f & PV) << "0 - 0x80 overflows";
    EXPECT_TRUE(t->s().f & C);
    EXPECT_TRUE(t->s().f & S);
    EXPECT_TRUE(t->s().f & N);
}

TEST(Z80Flags, PushAfPopBcCarriesTheRealFlagByte) {
    auto t = makeCpu();
    t->load(0x100, {0xF5, 0xC1});  // PUSH AF; POP BC
    t->s().sp = 0x8000;
    t->s().a = 0x5A;
    t->s().f = S | Z | Y | X | C;  // including the two undocumented bits
    EXPECT_EQ(t->cpu.step(), 11);
    EXPECT_EQ(t->cpu.step(), 10);
    EXPECT_EQ(t->s().b, 0x5A);
    EXPECT_EQ(t->s().c, S | Z | Y | X | C);
    EXPECT_EQ(t->s().sp, 0x8000);
    EXPECT_EQ(t->mem(0x7FFF), 0x5A) << "high byte at SP-1";
    EXPECT_EQ(t->mem(0x7FFE), S | Z | Y | X | C) << "flags at SP-2";
}

// SCF/CCF read Q, which the previous step leaves behind: the vectors give Q as input, so
// only a sequence shows that the core hands it on correctly.
TEST(Z80Flags, ScfTakesXYFromWhetherThePreviousInstructionWroteFlags) {
    auto t = makeCpu();
    // POP AF (A=0, F=X|Y: flags loaded, not computed); SCF
    t->load(0x100, {0xF1, 0x37});
    t->s().sp = 0x8000;
    t->mem(0x8000) = X | Y;
    t->mem(0x8001) = 0x00;
    t->cpu.step();
    t->cpu.step();
    EXPECT_EQ(t->s().f & (X | Y), X | Y) << "old F bits show through after a non-flag op";

    // AND A sets F = Z|H|PV (no X/Y), then SCF: X/Y come from A alone.
    t->load(0x200, {0xA7, 0x37});
    t->s().a = 0;
    t->cpu.step();
    t->cpu.step();
    EXPECT_EQ(t->s().f & (X | Y), 0);
}

// ---- registers and opcode coverage ----------------------------------------------------------

TEST(Z80Registers, RCountsOpcodeFetchesAndKeepsBit7) {
    auto t = makeCpu();
    // NOP; LD A,IXH (DD 7C); SET 0,(IX+1) (DD CB 01 C6); LD A,R
    t->load(0x100, {0x00, 0xDD, 0x7C, 0xDD, 0xCB, 0x01, 0xC6, 0xED, 0x5F});
    t->s().r = 0xFE;
    t->s().ix = 0x9000;
    t->cpu.step();
    EXPECT_EQ(t->s().r, 0xFF);
    t->cpu.step();
    EXPECT_EQ(t->s().r, 0x81) << "7-bit counter wraps, bit 7 stays";
    t->cpu.step();
    EXPECT_EQ(t->s().r, 0x83) << "DD CB: only the two prefix bytes are opcode fetches";
    t->cpu.step();
    EXPECT_EQ(t->s().a, 0x85);
}

TEST(Z80Registers, IndexHalvesAndTheirExceptions) {
    auto t = makeCpu();
    t->s().ix = 0x1234;
    t->s().iy = 0xABCD;
    t->s().setHl(0x5566);
    t->load(0x100, {0xDD, 0x7C});  // LD A,IXH
    EXPECT_EQ(t->cpu.step(), 8);
    EXPECT_EQ(t->s().a, 0x12);

    t->load(0x100, {0xFD, 0x65});  // LD IYH,IYL
    t->cpu.step();
    EXPECT_EQ(t->s().iy, 0xCDCD);

    t->load(0x100, {0xDD, 0x66, 0x02});  // LD H,(IX+2): the real H, not IXH
    t->mem(0x1236) = 0x77;
    EXPECT_EQ(t->cpu.step(), 19);
    EXPECT_EQ(t->s().h, 0x77);
    EXPECT_EQ(t->s().ix, 0x1234);

    t->load(0x100, {0xDD, 0xEB});  // EX DE,HL ignores the prefix
    t->s().setDe(0x1111);
    t->cpu.step();
    EXPECT_EQ(t->s().de(), 0x7766);
    EXPECT_EQ(t->s().ix, 0x1234);
}

TEST(Z80Registers, UndefinedEdOpcodesAreEightTStateNops) {
    auto t = makeCpu();
    for (int op : {0x00, 0x3F, 0x77, 0x80, 0xA4, 0xBF, 0xFF}) {
        t->load(0x100, {0xED, static_cast<std::uint8_t>(op)});
        const Z80State before = t->s();
        EXPECT_EQ(t->cpu.step(), 8) << op;
        EXPECT_EQ(t->s().pc, 0x102) << op;
        EXPECT_EQ(t->s().a, before.a);
        EXPECT_EQ(t->s().f, before.f);
    }
}

// A chain of DD/FD prefixes: each overridden prefix is a 4 T-state step of its own, and
// the last prefix wins.
TEST(Z80Registers, PrefixChainsStepOnePrefixAtATime) {
    auto t = makeCpu();
    t->s().ix = 0x1111;
    t->s().iy = 0x2222;
    t->load(0x100, {0xDD, 0xFD, 0x21, 0x34, 0x12});  // DD, then LD IY,0x1234
    t->s().iff1 = t->s().iff2 = true;
    EXPECT_EQ(t->cpu.step(), 4);
    EXPECT_EQ(t->s().pc, 0x101);
    EXPECT_FALSE(t->cpu.canAcceptNmi());
    EXPECT_FALSE(t->cpu.canAcceptIrq());
    EXPECT_EQ(t->cpu.nmi(), 0);
    EXPECT_EQ(t->cpu.step(), 14);
    EXPECT_EQ(t->s().iy, 0x1234);
    EXPECT_EQ(t->s().ix, 0x1111);
    EXPECT_TRUE(t->cpu.canAcceptNmi());
}

// Nothing a program can contain stops the interpreter: random memory runs without end,
// every step taking a plausible time.
TEST(Z80Registers, RandomProgramsNeverStopTheCore) {
    auto t = makeCpu();
    std::mt19937 rng(12345);
    for (auto& cell : t->machine.memory)
        cell = static_cast<std::uint8_t>(rng());
    for (int n = 0; n < 200000; ++n) {
        if (n % 1000 == 0) t->s().halted = false;
        const int ts = t->cpu.step();
        ASSERT_GE(ts, 4);
        ASSERT_LE(ts, 25);  // DD in front of a repeating ED block instruction
    }
}

// ---- block instructions ----------------------------------------------------------------------

TEST(Z80Block, LdirWithBcZeroRuns65536IterationsOneStepEach) {
    auto t = makeCpu();
    t->load(0x100, {0xED, 0xB0, 0x00});
    t->s().setHl(0x4000);
    t->s().setDe(0x4000);  // every byte copied onto itself, so the program survives
    t->s().setBc(0);
    long steps = 0;
    long tstates = 0;
    while (t->s().pc == 0x100) {
        tstates += t->cpu.step();
        ++steps;
        ASSERT_LE(steps, 65536);
    }
    EXPECT_EQ(steps, 65536);
    EXPECT_EQ(tstates, 65535L * 21 + 16);
    EXPECT_EQ(t->s().bc(), 0);
    EXPECT_EQ(t->s().pc, 0x102);
    EXPECT_FALSE(t->s().f & PV);
}

// ---- ports -------------------------------------------------------------------------------------

TEST(Z80Ports, IoCycleOffsetsFromTheInstructionStart) {
    auto t = makeCpu();
    // OUT (0x04),A; IN A,(0x05); OUT (C),B; IN D,(C); INI; OUTI; DD-prefixed OUT (n),A
    t->load(0x100, {0xD3, 0x04, 0xDB, 0x05, 0xED, 0x41, 0xED, 0x50, 0xED, 0xA2, 0xED, 0xA3, 0xDD,
                    0xD3, 0x06});
    t->s().setBc(0x0307);
    t->s().setHl(0x7000);
    for (int n = 0; n < 7; ++n)
        t->cpu.step();
    ASSERT_EQ(t->machine.ports.size(), 7u);
    const int expected[] = {7, 7, 8, 8, 9, 12, 11};
    for (int n = 0; n < 7; ++n)
        EXPECT_EQ(t->machine.ports[n].cycle, expected[n]) << n;
}

TEST(Z80Ports, InputWithoutAnswerKeepsTheDestination) {
    auto t = makeCpu();
    // IN A,(0x10); IN E,(C); INI
    t->load(0x100, {0xDB, 0x10, 0xED, 0x58, 0xED, 0xA2});
    t->s().a = 0x3C;
    t->s().e = 0x99;
    t->s().setBc(0x0120);
    t->s().setHl(0x7000);
    t->mem(0x7000) = 0x5D;
    t->cpu.step();
    EXPECT_EQ(t->s().a, 0x3C);
    t->cpu.step();
    EXPECT_EQ(t->s().e, 0x99);
    EXPECT_TRUE(t->s().f & PV) << "flags describe the kept value (0x99 has even parity)";
    t->cpu.step();
    EXPECT_EQ(t->mem(0x7000), 0x5D);
    EXPECT_EQ(t->s().hl(), 0x7001);
    EXPECT_EQ(t->s().b, 0x00);

    t->machine.inputs.push_back(0xE7);
    t->load(0x200, {0xDB, 0x10});
    t->cpu.step();
    EXPECT_EQ(t->s().a, 0xE7);
}

// ---- interrupts ------------------------------------------------------------------------------

TEST(Z80Interrupts, ModeOneTakes13TStatesAndClearsBothFlipFlops) {
    auto t = makeCpu();
    t->s().pc = 0x1234;
    t->s().sp = 0x8000;
    t->s().im = 1;
    t->s().iff1 = t->s().iff2 = true;
    EXPECT_EQ(t->cpu.irq(), 13);
    EXPECT_EQ(t->s().pc, 0x0038);
    EXPECT_EQ(t->s().sp, 0x7FFE);
    EXPECT_EQ(t->mem(0x7FFF), 0x12);
    EXPECT_EQ(t->mem(0x7FFE), 0x34);
    EXPECT_FALSE(t->s().iff1);
    EXPECT_FALSE(t->s().iff2);
    EXPECT_EQ(t->cpu.irq(), 0) << "masked now";
}

TEST(Z80Interrupts, ModesZeroAndTwo) {
    auto t = makeCpu();
    t->s().pc = 0x1234;
    t->s().sp = 0x8000;
    t->s().iff1 = t->s().iff2 = true;
    t->s().im = 0;
    EXPECT_EQ(t->cpu.irq(0xEF), 13);  // RST 28h from the data bus
    EXPECT_EQ(t->s().pc, 0x0028);
    EXPECT_EQ(t->mem(0x7FFE), 0x34);

    t->s().iff1 = true;
    t->s().im = 2;
    t->s().i = 0x40;
    t->mem(0x40FE) = 0x78;
    t->mem(0x40FF) = 0x56;
    EXPECT_EQ(t->cpu.irq(0xFE), 19);
    EXPECT_EQ(t->s().pc, 0x5678);
    EXPECT_EQ(t->mem(0x7FFC), 0x28);
}

TEST(Z80Interrupts, NmiSavesIff1AndRetnRestoresIt) {
    auto t = makeCpu();
    t->s().pc = 0x0200;
    t->s().sp = 0x8000;
    t->s().iff1 = t->s().iff2 = true;
    t->mem(0x0066) = 0xED;
    t->mem(0x0067) = 0x45;  // RETN
    EXPECT_EQ(t->cpu.nmi(), 11);
    EXPECT_EQ(t->s().pc, 0x0066);
    EXPECT_FALSE(t->s().iff1);
    EXPECT_TRUE(t->s().iff2);
    EXPECT_FALSE(t->cpu.canAcceptIrq());
    EXPECT_EQ(t->cpu.step(), 14);
    EXPECT_EQ(t->s().pc, 0x0200);
    EXPECT_TRUE(t->s().iff1);
    EXPECT_EQ(t->machine.retnCount, 1);
    EXPECT_EQ(t->machine.retiCount, 0);
}

TEST(Z80Interrupts, EiDefersTheInterruptByOneInstruction) {
    auto t = makeCpu();
    t->load(0x100, {0xFB, 0xFB, 0x00, 0x00});  // EI; EI; NOP
    t->s().sp = 0x8000;
    t->s().im = 1;
    t->cpu.step();
    EXPECT_TRUE(t->s().iff1);
    EXPECT_FALSE(t->cpu.canAcceptIrq());
    EXPECT_EQ(t->cpu.irq(), 0);
    t->cpu.step();
    EXPECT_FALSE(t->cpu.canAcceptIrq()) << "each EI defers again";
    t->cpu.step();
    EXPECT_TRUE(t->cpu.canAcceptIrq());
    EXPECT_EQ(t->cpu.irq(), 13);
    EXPECT_EQ(t->mem(0x7FFE), 0x03) << "return to the instruction after the NOP";
}

TEST(Z80Interrupts, EiDoesNotDeferTheNmi) {
    auto t = makeCpu();
    t->load(0x100, {0xFB});
    t->s().sp = 0x8000;
    t->cpu.step();
    EXPECT_EQ(t->cpu.nmi(), 11);
}

TEST(Z80Interrupts, HaltWaitsFourTStatesPerStepUntilAnInterrupt) {
    auto t = makeCpu();
    t->load(0x100, {0x76, 0x00});
    t->s().sp = 0x8000;
    t->s().iff1 = t->s().iff2 = true;
    t->s().im = 1;
    EXPECT_EQ(t->cpu.step(), 4);
    EXPECT_TRUE(t->s().halted);
    const std::uint8_t r = t->s().r;
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(t->cpu.step(), 4);
    EXPECT_EQ(t->s().pc, 0x101);
    EXPECT_EQ(t->s().r, r + 10) << "the CPU keeps refreshing while halted";
    EXPECT_EQ(t->cpu.irq(), 13);
    EXPECT_FALSE(t->s().halted);
    EXPECT_EQ(t->mem(0x7FFE), 0x01) << "returns behind the HALT";

    t->load(0x200, {0x76});
    t->cpu.step();
    EXPECT_EQ(t->cpu.nmi(), 11);
    EXPECT_FALSE(t->s().halted);
}

TEST(Z80Interrupts, AcceptingAfterLdAIClearsParity) {
    auto t = makeCpu();
    t->load(0x100, {0xED, 0x57});  // LD A,I with IFF2 set: P/V = 1
    t->s().sp = 0x8000;
    t->s().iff1 = t->s().iff2 = true;
    t->s().im = 1;
    t->cpu.step();
    EXPECT_TRUE(t->s().f & PV);
    t->cpu.irq();
    EXPECT_FALSE(t->s().f & PV);
}

// ---- instances -------------------------------------------------------------------------------

TEST(Z80Instances, TwoCpusRunSideBySideWithoutSharingState) {
    auto first = makeCpu();
    auto second = makeCpu();
    auto alone = makeCpu();
    // LD B,n; loop: ADD A,B; RLCA; DJNZ loop; HALT
    auto program = [](TestCpu& t, std::uint8_t count) {
        t.load(0x000, {0x06, count, 0x80, 0x07, 0x10, 0xFC, 0x76});
    };
    program(*first, 200);
    program(*second, 7);
    program(*alone, 200);
    long tFirst = 0;
    long tAlone = 0;
    for (int n = 0; n < 1000; ++n) {
        tFirst += first->cpu.step();
        second->cpu.step();
        tAlone += alone->cpu.step();
    }
    EXPECT_EQ(first->s().a, alone->s().a);
    EXPECT_EQ(first->s().f, alone->s().f);
    EXPECT_EQ(first->s().r, alone->s().r);
    EXPECT_EQ(tFirst, tAlone);
    EXPECT_TRUE(second->s().halted);
    EXPECT_NE(second->s().a, first->s().a);
}

}  // namespace
}  // namespace qvxsnd
