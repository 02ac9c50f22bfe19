// The Mega Drive test ROM: its bytes, and the Z80 port of the driver running on the project's
// Z80 core in a small model of the console's sound side.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "driver/megadrive_template.hpp"
#include "examples/demo_song.hpp"
#include "rombuild/exports.hpp"
#include "soundlib/z80/z80.hpp"
#include "tests/support/driver_rig.hpp"

namespace qvx {
namespace {

namespace md = driver::megadrive;
using testing::RegisterWrite;

std::vector<std::uint8_t> testRom(const Song& song) {
    auto buffer = std::make_unique<ImageBuffer>();
    std::vector<std::uint8_t> rom;
    const Result r = buildMegaDriveTestRom(song, *buffer, rom);
    if (!r) throw std::runtime_error(r.message());
    return rom;
}

std::uint32_t longAt(const std::vector<std::uint8_t>& rom, std::size_t at) {
    return std::uint32_t{rom[at]} << 24 | std::uint32_t{rom[at + 1]} << 16 |
           std::uint32_t{rom[at + 2]} << 8 | rom[at + 3];
}
std::uint16_t wordAt(const std::vector<std::uint8_t>& rom, std::size_t at) {
    return static_cast<std::uint16_t>(rom[at] << 8 | rom[at + 1]);
}
bool allZero(const std::vector<std::uint8_t>& rom, std::size_t from, std::size_t to) {
    return std::all_of(rom.begin() + static_cast<std::ptrdiff_t>(from),
                       rom.begin() + static_cast<std::ptrdiff_t>(to),
                       [](std::uint8_t b) { return b == 0; });
}

TEST(MegaDriveTestRom, LayoutVectorsHeaderAndSong) {
    const Song song;  // one pattern, one instrument: a block of 1192 bytes
    const std::vector<std::uint8_t> rom = testRom(song);
    ASSERT_EQ(rom.size(), 131072u);
    EXPECT_EQ(rom, testRom(song)) << "two exports differ";

    EXPECT_EQ(longAt(rom, 0), 0x00000000u);  // stack pointer
    EXPECT_EQ(longAt(rom, 4), 0x00000200u);  // program counter
    for (std::size_t v = 2; v < 64; ++v) {
        const std::uint32_t expected = v == 28 ? 0x470 : v == 30 ? 0x472 : 0x46E;
        EXPECT_EQ(longAt(rom, v * 4), expected) << "vector " << v;
    }
    const std::string blanks(64, ' ');
    const struct {
        std::size_t at;
        std::string text;
    } fields[] = {
        {0x100, "SEGA GENESIS (C)"},
        {0x110, " 2006 "},
        {0x11F, " "},
        {0x120, "TEST QVXTRACKER" + blanks.substr(0, 33)},
        {0x150, "TEST QVXTRACKER" + blanks.substr(0, 33)},
        {0x180, "GM 00000000-00"},
        {0x190, "JD" + blanks.substr(0, 14)},
        {0x1B0, blanks},
        {0x1F0, "JUE" + blanks.substr(0, 13)},
    };
    for (const auto& [at, text] : fields)
        EXPECT_EQ(std::string(rom.begin() + static_cast<std::ptrdiff_t>(at),
                              rom.begin() + static_cast<std::ptrdiff_t>(at + text.size())),
                  text)
            << "header at 0x" << std::hex << at;
    EXPECT_EQ(wordAt(rom, 0x18E), 0xA5FB);  // the checksum field, never recomputed
    EXPECT_EQ(longAt(rom, 0x1A0), 0x00000000u);
    EXPECT_EQ(longAt(rom, 0x1A4), 0x00020000u);
    EXPECT_EQ(longAt(rom, 0x1A8), 0x00FF0000u);
    EXPECT_EQ(longAt(rom, 0x1AC), 0xFFFFFFFFu);
    for (std::size_t at : {0x46E, 0x470, 0x472})
        EXPECT_EQ(wordAt(rom, at), 0x4E73) << "RTE at 0x" << std::hex << at;

    // The Z80 port: DI, JP at its entry, JP at its interrupt entry.
    const std::size_t port = driver::kMegaDrivePortOffset;
    EXPECT_EQ(rom[port], 0xF3);
    EXPECT_EQ(rom[port + 1], 0xC3);
    EXPECT_EQ(rom[port + 0x38], 0xC3);

    // The picture: tile 0 blank, the names within the 60 tiles, the first four names zero
    // (the sprite table shares them), more than the backdrop's colour.
    EXPECT_TRUE(allZero(rom, 0x1474, 0x1474 + 32));
    std::set<std::uint16_t> tiles;
    for (std::size_t i = 0; i < 896; ++i) {
        const std::uint16_t name = wordAt(rom, 0x1C14 + 2 * i);
        EXPECT_LT(name, 60) << "name " << i;
        if (i < 4) {
            EXPECT_EQ(name, 0) << "name " << i;
        }
        tiles.insert(name);
    }
    EXPECT_GT(tiles.size(), 20u);
    EXPECT_NE(wordAt(rom, 0x1BF4), wordAt(rom, 0x1BF6));
    EXPECT_TRUE(allZero(rom, 0x2314, 0x8000));

    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(&rom[0x8000]), 4), "QVX0");
    EXPECT_EQ(rom[0x8004], 0);  // link word 0: the only song
    EXPECT_TRUE(allZero(rom, 0x8000 + 1192, rom.size()));
}

TEST(MegaDriveTestRom, RefusesASongTheBankCannotHold) {
    Song song;
    for (int p = 1; p < 31; ++p)
        song.addPattern();  // 31 patterns: 31912 bytes fit
    EXPECT_EQ(megaDriveTestRomProblem(song), "");
    song.addPattern();  // 32: 32936
    EXPECT_EQ(megaDriveTestRomProblem(song),
              "The song is too large for the Mega Drive test ROM: its block is 32936 bytes, 168 "
              "more than the 32768 the console's Z80 can reach in one bank");
    auto buffer = std::make_unique<ImageBuffer>();
    std::vector<std::uint8_t> rom = {1, 2, 3};
    EXPECT_FALSE(buildMegaDriveTestRom(song, *buffer, rom));
    EXPECT_EQ(rom, (std::vector<std::uint8_t>{1, 2, 3}));
}

// ---- The Z80 port on the console's sound side -------------------------------------------------

// The Z80's view of a Mega Drive: 8 KB of RAM, the YM2612 (busy for a while after each write),
// the bank register and the 32 KB window into the cartridge.
struct MegaDriveBus {
    static constexpr int kBusyReads = 3;

    std::array<std::uint8_t, 0x2000> ram{};
    const std::vector<std::uint8_t>* rom = nullptr;
    std::uint16_t bank = 0;  // A15-A23 of the window
    int bankWrites = 0;
    std::array<std::uint8_t, 2> latch{};
    int busy = 0;
    int writesWhileBusy = 0;
    std::vector<RegisterWrite> writes;  // bank = the YM2612's part (0 or 1)

    std::uint8_t read(std::uint16_t a) {
        if (a < 0x4000) return ram[a & 0x1FFF];
        if (a < 0x6000) {
            const bool wasBusy = busy > 0;
            if (busy) --busy;
            return wasBusy ? 0x80 : 0x00;
        }
        if (a >= 0x8000) {
            const std::size_t at = std::size_t{bank} << 15 | (a & 0x7FFF);
            return at < rom->size() ? (*rom)[at] : 0xFF;
        }
        return 0xFF;
    }
    void write(std::uint16_t a, std::uint8_t v) {
        if (a < 0x4000) {
            ram[a & 0x1FFF] = v;
        } else if (a < 0x6000) {
            if (busy) ++writesWhileBusy;
            busy = kBusyReads;
            const int part = (a >> 1) & 1;
            if ((a & 1) == 0)
                latch[static_cast<std::size_t>(part)] = v;
            else
                writes.push_back({0, part, latch[static_cast<std::size_t>(part)], v});
        } else if (a < 0x6100) {
            bank = static_cast<std::uint16_t>((bank >> 1) | (v & 1) << 8);
            ++bankWrites;
        }
    }
    int in(std::uint16_t, int) { return -1; }
    void out(std::uint16_t, std::uint8_t, int) {}
    void reti() {}
    void retn() {}
};

// The port started as the 68000 starts it, with the video interrupt once a frame.
class MegaDriveRig {
  public:
    static constexpr int kFrameTStates = 59736;    // 3.58 MHz / 59.92 Hz
    static constexpr int kInterruptTStates = 171;  // how long the video chip holds the line

    explicit MegaDriveRig(const std::vector<std::uint8_t>& rom, std::uint8_t command = 2)
        : rom_(rom) {
        auto& bus = cpu_.bus();
        bus.rom = &rom_;
        const auto port = std::span(rom_).subspan(driver::kMegaDrivePortOffset, md::kCodeBytes);
        std::copy(port.begin(), port.end(), bus.ram.begin());
        bus.ram[md::kSongAddress] = 0x00;
        bus.ram[md::kSongAddress + 1] = 0x80;
        bus.ram[md::kSongAddress + 2] = 0x00;
        bus.ram[md::kCommand] = command;
        bus.ram[md::kLastCommand] = 0xAA;  // power-on garbage, which the port clears
        cpu_.reset();
        run(kFrameTStates / 2);
    }

    void run(int tstates) {
        for (int t = 0; t < tstates;)
            t += cpu_.step();
    }
    // One frame: the interrupt, held until the CPU takes it or the line drops, then the rest.
    void frame() {
        int t = 0;
        int taken = 0;
        while (t < kInterruptTStates && (taken = cpu_.irq()) == 0)
            t += cpu_.step();
        run(kFrameTStates - t - taken);
    }
    void frames(int n) {
        for (int i = 0; i < n; ++i)
            frame();
    }
    std::uint8_t ram(std::uint16_t at) { return cpu_.bus().ram[at]; }
    void setRam(std::uint16_t at, std::uint8_t v) { cpu_.bus().ram[at] = v; }
    MegaDriveBus& bus() { return cpu_.bus(); }

  private:
    std::vector<std::uint8_t> rom_;
    qvxsnd::Z80<MegaDriveBus> cpu_;
};

std::vector<RegisterWrite> keyOns(const std::vector<RegisterWrite>& writes) {
    std::vector<RegisterWrite> out;
    for (const RegisterWrite& w : writes)
        if (w.bank == 0 && w.reg == 0x28 && (w.value & 0xF0) == 0xF0) out.push_back(w);
    return out;
}

TEST(MegaDrivePort, StartsUpSelectsTheBankAndPlaysOnTheSixthFrame) {
    Song song;
    song.patterns[0].cell(0, 0) = Cell{9, 4, 1, kNone, kNone};
    MegaDriveRig rig(testRom(song));
    std::vector<RegisterWrite> expected = {
        {0, 0, 0x27, 0x30}, {0, 0, 0x27, 0x3F}, {0, 0, 0x90, 0x00}};
    for (std::uint8_t slot = 0; slot < 3; ++slot) {
        expected.push_back({0, 0, static_cast<std::uint8_t>(0xB4 + slot), 0xC0});
        expected.push_back({0, 1, static_cast<std::uint8_t>(0xB4 + slot), 0xC0});
    }
    expected.push_back({0, 0, 0x2B, 0x00});
    EXPECT_EQ(rig.bus().writes, expected);
    EXPECT_EQ(rig.bus().writesWhileBusy, 0);
    EXPECT_EQ(rig.bus().bankWrites, 9);
    EXPECT_EQ(rig.bus().bank, 1);  // 0x008000: A15 set
    EXPECT_EQ(rig.ram(md::kSongWindow) | rig.ram(md::kSongWindow + 1) << 8, 0x8000);
    EXPECT_EQ(rig.ram(md::kLastCommand), 2);
    EXPECT_EQ(rig.ram(md::kVariables + (driver::var::kPlaying - driver::var::kOrderPosition)), 1);

    rig.frames(5);
    EXPECT_TRUE(keyOns(rig.bus().writes).empty());
    rig.frame();
    ASSERT_EQ(keyOns(rig.bus().writes).size(), 1u);
    // A-4 at the NTSC clock: F-number 1083 (1038 scaled by 8 MHz / 7670453 Hz), block 4.
    const auto& w = rig.bus().writes;
    EXPECT_EQ(w[w.size() - 2], (RegisterWrite{0, 0, 0xA5, 0x24 | (1083 >> 8)}));
    EXPECT_EQ(w.back(), (RegisterWrite{0, 0, 0xA1, 1083 & 0xFF}));
    EXPECT_EQ(rig.bus().writesWhileBusy, 0);
}

// The Neo Geo driver's writes for the rows, as the port must make them: no timer acknowledges,
// F-numbers scaled to the YM2612's clock.
std::vector<RegisterWrite> asOnTheMegaDrive(const std::vector<RegisterWrite>& neoGeo) {
    std::vector<RegisterWrite> out;
    for (std::size_t i = 0; i < neoGeo.size(); ++i) {
        RegisterWrite w = neoGeo[i];
        if (w.bank == 0 && w.reg == 0x27) continue;
        const bool high = (w.reg & 0xFC) == 0xA4;
        if (high && i + 1 < neoGeo.size() && neoGeo[i + 1].reg == w.reg - 4) {
            const int fnum = (w.value & 7) << 8 | neoGeo[i + 1].value;
            const int scaled = static_cast<int>(std::lround(fnum * 8000000.0 / 7670453.0));
            out.push_back(
                {0, w.bank, w.reg, static_cast<std::uint8_t>((w.value & 0x38) | scaled >> 8)});
            out.push_back({0, w.bank, neoGeo[i + 1].reg, static_cast<std::uint8_t>(scaled & 0xFF)});
            ++i;
            continue;
        }
        out.push_back(w);
    }
    return out;
}

TEST(MegaDrivePort, RowsWriteWhatTheNeoGeoDriverWrites) {
    const Song song = examples::makeDemoSong();
    MegaDriveRig port(testRom(song));
    testing::DriverRig neoGeo(testing::songImage(song));
    neoGeo.command(driver::command::kFirstSong);
    const std::size_t portStart = port.bus().writes.size();
    const std::size_t neoGeoStart = neoGeo.chip.writes.size();
    // The whole order list and the start of its second time round.
    constexpr int kTicks = 6 * 64 * 5 + 200;
    port.frames(kTicks);
    neoGeo.ticks(kTicks);

    const std::vector<RegisterWrite> got(
        port.bus().writes.begin() + static_cast<std::ptrdiff_t>(portStart),
        port.bus().writes.end());
    const std::vector<RegisterWrite> expected =
        asOnTheMegaDrive({neoGeo.chip.writes.begin() + static_cast<std::ptrdiff_t>(neoGeoStart),
                          neoGeo.chip.writes.end()});
    ASSERT_GT(expected.size(), 1000u);
    EXPECT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < std::min(got.size(), expected.size()); ++i)
        ASSERT_EQ(got[i], expected[i]) << "write " << i;
    EXPECT_EQ(port.bus().writesWhileBusy, 0);
}

TEST(MegaDrivePort, CommandsPlayOnceLoopAndStop) {
    Song song;
    song.patterns[0].cell(0, 0) = Cell{9, 4, 1, kNone, kNone};
    const std::vector<std::uint8_t> rom = testRom(song);
    const auto playing = [](MegaDriveRig& rig) {
        return rig.ram(md::kVariables + (driver::var::kPlaying - driver::var::kOrderPosition));
    };

    // 1: the pattern once (64 rows of 6 frames), then four key-offs and the mailbox cleared.
    MegaDriveRig once(rom, md::kCommandPlayOnce);
    once.frames(6 * 64 - 1);
    EXPECT_EQ(playing(once), 1);
    const std::size_t before = once.bus().writes.size();
    once.frames(1);
    EXPECT_EQ(playing(once), 0);
    EXPECT_EQ(once.ram(md::kCommand), 0);
    EXPECT_EQ(once.ram(md::kLastCommand), 0);
    const std::vector<RegisterWrite> offs(
        once.bus().writes.begin() + static_cast<std::ptrdiff_t>(before), once.bus().writes.end());
    EXPECT_EQ(offs,
              (std::vector<RegisterWrite>{
                  {0, 0, 0x28, 0x01}, {0, 0, 0x28, 0x02}, {0, 0, 0x28, 0x05}, {0, 0, 0x28, 0x06}}));
    once.frames(6 * 64);
    EXPECT_EQ(keyOns(once.bus().writes).size(), 1u);

    // 2: over and over.
    MegaDriveRig loop(rom, md::kCommandLoop);
    loop.frames(6 * 64 * 2 + 6);
    EXPECT_EQ(keyOns(loop.bus().writes).size(), 3u);

    // Any other value stops at the next frame; 2 again starts over.
    loop.setRam(md::kCommand, 0x55);
    loop.frames(1);
    EXPECT_EQ(playing(loop), 0);
    EXPECT_EQ(loop.ram(md::kLastCommand), 0x55);
    loop.setRam(md::kCommand, md::kCommandLoop);
    loop.frames(6);
    EXPECT_EQ(keyOns(loop.bus().writes).size(), 4u);
    EXPECT_EQ(loop.bus().writesWhileBusy, 0);
}

}  // namespace
}  // namespace qvx
