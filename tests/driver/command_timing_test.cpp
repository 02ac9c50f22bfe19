// Sound commands against the driver's own work. Pairs of commands a millisecond apart, the first
// swept across a whole tick whose row loads four voices, must run in the order they came, each
// within a millisecond of its arrival: on the board as it is emulated (commands only at 0x00C0
// and above) and as the real board delivers them (at any address).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/support/driver_rig.hpp"

namespace qvx {
namespace {

using testing::DriverRig;
using testing::kTickTStates;
using testing::RegisterWrite;
using namespace driver::command;
namespace var = driver::var;

constexpr std::uint64_t kMillisecond = 4000;  // T-states at 4 MHz

// A note with another instrument than the row before on every track, one tick a row: every tick
// loads four voices, the longest row the driver plays (about 6 ms).
Song busySong() {
    Song song;
    for (int k = 1; k <= kInstrumentCount; ++k)
        song.instruments[k].registers.fill(static_cast<std::uint8_t>(k * 8));
    for (int row = 0; row < kRows; ++row)
        for (int t = 0; t < kTracks; ++t)
            song.patterns[0].cell(t, row) =
                Cell{static_cast<std::uint8_t>((row + t) % 12), 4,
                     static_cast<std::uint8_t>(1 + (row + t) % 5), 0xFF, 0xFF};
    song.patterns[0].cell(3, 0) = Cell{12, 0xFF, 0xFF, 0x0F, 1};
    return song;
}

// The board ticked as the real board ticks it: timer A's IRQ line rises every 16 ms and falls
// when the driver acknowledges the timer. Keeps the driver's answers with their times.
struct Ticker {
    std::uint64_t nextTick = 0;
    std::vector<std::pair<std::uint64_t, std::uint8_t>> answers;

    void runUntil(DriverRig& rig, std::uint64_t end) {
        qvxsnd::SoundBoard& board = rig.board();
        while (board.tstates() < end) {
            if (board.tstates() >= nextTick) {
                board.setIrqLine(true);
                nextTick += kTickTStates;
            }
            const std::size_t written = rig.chip.writes.size();
            const std::uint64_t answered = board.acknowledgeTime();
            board.step();
            if (board.acknowledgeTime() != answered)
                answers.emplace_back(board.acknowledgeTime(), board.acknowledge());
            for (std::size_t i = written; i < rig.chip.writes.size(); ++i) {
                const RegisterWrite& w = rig.chip.writes[i];
                if (w.bank == 0 && w.reg == driver::ym::kTimerControl && (w.value & 0x10))
                    board.setIrqLine(false);
            }
        }
    }
};

struct Pair {
    const char* name;
    std::uint8_t first, second;
    std::uint8_t firstAnswer, secondAnswer;
};
// The sample plays on channel 1 (the set-up used channel 0), so its answer is no tick's 0.
constexpr Pair kPairs[] = {
    {"play then stop", kFirstSong, kStop, kFirstSong, kStop},
    {"stop then play", kStop, kFirstSong, kStop, kFirstSong},
    {"sample then sample-off", kFirstSample, kAdpcmOff, 1, kAdpcmOff},
};

bool isKeyOn(const RegisterWrite& w) {
    return w.bank == 0 && w.reg == driver::ym::kKeyOn &&
           (w.value & driver::ym::kAllOperators) == driver::ym::kAllOperators;
}

// Writes of the song alone: the sample commands' own (ADPCM-A registers, the flag control) left
// out.
std::vector<RegisterWrite> songWrites(const std::vector<RegisterWrite>& all, std::size_t from) {
    std::vector<RegisterWrite> out;
    for (std::size_t i = from; i < all.size(); ++i)
        if (!(all[i].bank == 1 && all[i].reg < 0x30) &&
            !(all[i].bank == 0 && all[i].reg == driver::ym::kAdpcmaFlags))
            out.push_back(all[i]);
    return out;
}

TEST(CommandTiming, PairsRunInOrderWithinAMillisecondWhereverTheyArrive) {
    DriverRig rig(testing::songImage(busySong()));
    rig.command(kFirstSample);
    rig.command(kFirstSong);
    Ticker ticker{rig.now(), {}};
    ticker.runUntil(rig, rig.now() + 10 * kTickTStates);
    ASSERT_EQ(rig.var(var::kPlaying), 1);
    const std::uint64_t tickStart = ticker.nextTick;
    ticker.runUntil(rig, tickStart);
    const DriverRig::Saved base = rig.save();
    const Ticker baseTicker = ticker;
    const std::size_t baseWrites = rig.chip.writes.size();

    // The song alone through the swept tick and beyond; where the tick handler ends.
    std::uint64_t handlerEnd = 0;
    while (rig.now() < tickStart + kTickTStates + 4 * kMillisecond) {
        ticker.runUntil(rig, rig.now() + 1);
        if (!handlerEnd && rig.now() > tickStart + 100 && rig.var(var::kHandlerBusy) == 0)
            handlerEnd = rig.now();
    }
    ASSERT_GT(handlerEnd, tickStart + kMillisecond) << "the swept tick must play a long row";
    const std::vector<RegisterWrite> reference = songWrites(rig.chip.writes, baseWrites);

    // Every 45 T-states (two a sample frame) through the tick, every T-state around its end.
    std::vector<std::uint64_t> positions;
    for (std::uint64_t t = tickStart; t < tickStart + kTickTStates; t += 45)
        positions.push_back(t);
    for (std::uint64_t t = handlerEnd - 256; t < handlerEnd + 256; ++t)
        positions.push_back(t);
    std::sort(positions.begin(), positions.end());

    rig.restore(base);
    ticker = baseTicker;
    int trials = 0, failures = 0;
    const auto fail = [&](const std::string& what) {
        if (++failures <= 10) ADD_FAILURE() << what;
    };
    for (const std::uint64_t at : positions) {
        ticker.runUntil(rig, at);
        const DriverRig::Saved cursor = rig.save();
        const Ticker cursorTicker = ticker;
        for (const bool anywhere : {false, true}) {
            for (const Pair& pair : kPairs) {
                rig.restore(cursor);
                ticker = cursorTicker;
                ticker.answers.clear();
                rig.board().deliverCommandsAnywhere(anywhere);
                const std::uint64_t first = rig.now();
                rig.board().postCommand(pair.first);
                ticker.runUntil(rig, first + kMillisecond);
                const std::uint64_t second = rig.now();
                rig.board().postCommand(pair.second);
                ticker.runUntil(rig, second + 2 * kMillisecond);
                ++trials;

                char where[96];
                std::snprintf(where, sizeof where, "%s at T+%llu%s: ", pair.name,
                              static_cast<unsigned long long>(first - tickStart),
                              anywhere ? " (NMI at any address)" : "");
                const auto answered = [&](std::uint8_t value, std::uint64_t from) {
                    for (const auto& [t, v] : ticker.answers)
                        if (v == value && t >= from) return std::uint64_t{t};
                    return std::uint64_t{~0ull};
                };
                const std::uint64_t a1 = answered(pair.firstAnswer, first);
                const std::uint64_t a2 = answered(pair.secondAnswer, second);
                if (a1 > first + kMillisecond || a2 > second + kMillisecond || a1 >= a2) {
                    fail(std::string(where) + "late or out of order");
                    continue;
                }
                const auto& writes = rig.chip.writes;
                if (pair.first == kFirstSong) {
                    const bool keyedAfterStop =
                        std::any_of(writes.begin(), writes.end(),
                                    [&](const RegisterWrite& w) { return w.t > a2 && isKeyOn(w); });
                    if (rig.var(var::kPlaying) != 0 || keyedAfterStop)
                        fail(std::string(where) + "the song plays on after the stop");
                } else if (pair.first == kStop) {
                    if (rig.var(var::kPlaying) != 1) fail(std::string(where) + "no song plays");
                } else {
                    // The row the sample interrupted goes on exactly as without it.
                    const std::vector<RegisterWrite> song = songWrites(writes, baseWrites);
                    if (song.size() > reference.size() ||
                        !std::equal(song.begin(), song.end(), reference.begin()))
                        fail(std::string(where) + "the song's writes changed");
                }
            }
        }
        rig.restore(cursor);
        ticker = cursorTicker;
    }
    std::printf("%d trials: %zu command times, 3 pairs, NMI above 0x00C0 and anywhere\n", trials,
                positions.size());
    RecordProperty("trials", trials);
    EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace qvx
