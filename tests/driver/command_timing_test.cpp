// Pairs of commands a millisecond apart, the first swept across a whole tick whose row loads four
// voices, run in the order they came, each within a millisecond of its arrival: on the board as
// emulated (commands only at 0x00C0 and above) and as the real board delivers them (anywhere).
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/driver_rig.hpp"

namespace qvx {
namespace {

using testing::DriverRig;
using testing::kTickTStates;
using testing::RegisterWrite;
using namespace driver::command;

constexpr std::uint64_t kMillisecond = 4000;  // T-states

// Steps the board, ticking it as the real board does (timer A's IRQ line rises every 16 ms and
// falls when the driver acknowledges the timer), and keeps the driver's answers with their times.
struct Ticker {
    std::uint64_t next;
    std::vector<std::pair<std::uint64_t, std::uint8_t>> answers{};

    void runUntil(DriverRig& rig, std::uint64_t end) {
        auto& board = rig.board();
        while (board.tstates() < end) {
            if (board.tstates() >= next) board.setIrqLine(true), next += kTickTStates;
            const std::size_t written = rig.chip.writes.size();
            const std::uint64_t answered = board.acknowledgeTime();
            board.step();
            if (board.acknowledgeTime() != answered)
                answers.emplace_back(board.acknowledgeTime(), board.acknowledge());
            if (rig.chip.writes.size() > written && rig.chip.writes.back().reg == 0x27)
                board.setIrqLine(false);
        }
    }
};

// One tick a row, every FM track a note with another instrument than before: four voice loads.
Song fourVoiceLoadsARow(SongKind kind) {
    Song song;
    if (kind == SongKind::WholeChip) song.resetWholeChip();
    for (int k = 1; k <= kInstrumentCount; ++k)
        song.instruments[k].registers.fill(static_cast<std::uint8_t>(k * 8));
    for (int row = 0; row < kRows; ++row)
        for (int t = 0; t < kTracks; ++t)
            song.patterns[0].cell(t, row) =
                Cell{std::uint8_t((row + t) % 12), 4, std::uint8_t(1 + (row + t) % 5), 0xFF, 0xFF};
    song.patterns[0].cell(3, 0) = Cell{12, 0xFF, 0xFF, 0x0F, 1};
    return song;
}

// Both drivers: the whole-chip one writes voices straight to the ports, so a command between an
// address and its data must latch the address again there too.
class CommandTiming : public ::testing::TestWithParam<SongKind> {};

TEST_P(CommandTiming, PairsRunInOrderWithinAMillisecondWhereverTheyArrive) {
    DriverRig rig(testing::songImage(fourVoiceLoadsARow(GetParam())));
    rig.command(kFirstSample);  // the swept sample then answers channel 1, no tick's 0
    rig.command(kFirstSong);
    Ticker ticker{rig.now()};
    ticker.runUntil(rig, rig.now() + 10 * kTickTStates);
    const std::uint64_t tick = ticker.next;
    ticker.runUntil(rig, tick);
    const auto base = std::tuple{rig.board().snapshot(), rig.chip, ticker};
    const auto restore = [&](const auto& saved) {
        rig.board().restore(std::get<0>(saved)), rig.chip = std::get<1>(saved);
        ticker = std::get<2>(saved);
    };
    // The song alone, for the sample trigger to be held against; where the tick handler ends.
    std::uint64_t handlerEnd = 0;
    while (rig.now() < tick + kTickTStates + 4 * kMillisecond) {
        ticker.runUntil(rig, rig.now() + 1);
        if (!handlerEnd && rig.now() > tick + 100 && !rig.var(driver::var::kHandlerBusy))
            handlerEnd = rig.now();
    }
    ASSERT_GT(handlerEnd, tick + kMillisecond) << "the swept tick must play a long row";
    const auto songAlone = [](const std::vector<RegisterWrite>& all) {
        std::vector<RegisterWrite> out;  // without the sample commands' own writes
        std::copy_if(all.begin(), all.end(), std::back_inserter(out),
                     [](const auto& w) { return w.bank == 0 ? w.reg != 0x1C : w.reg >= 0x30; });
        return out;
    };
    const std::vector<RegisterWrite> reference = songAlone(rig.chip.writes);

    // Every 45 T-states (two a sample frame) through the tick, every T-state around its end.
    std::vector<std::uint64_t> times;
    for (std::uint64_t t = tick; t < tick + kTickTStates; t += 45)
        times.push_back(t);
    for (std::uint64_t t = handlerEnd - 256; t < handlerEnd + 256; ++t)
        times.push_back(t);
    std::sort(times.begin(), times.end());
    // Command, its answer; the sample plays on channel 1.
    const std::uint8_t pairs[3][4] = {{kFirstSong, 0x81, kStop, 0xFF},
                                      {kStop, 0xFF, kFirstSong, 0x81},
                                      {kFirstSample, 1, kAdpcmOff, 0x7F}};
    restore(base);
    int trials = 0, failures = 0;
    std::uint64_t slowest = 0;  // T-states from a command's arrival to its answer
    for (const std::uint64_t at : times) {
        ticker.runUntil(rig, at);
        const auto cursor = std::tuple{rig.board().snapshot(), rig.chip, ticker};
        for (const bool anywhere : {false, true}) {
            for (const auto& pair : pairs) {
                restore(cursor);
                ticker.answers.clear();
                rig.board().deliverCommandsAnywhere(anywhere);
                std::uint64_t sent[2], answered[2] = {~0ull, ~0ull};
                for (int k = 0; k < 2; ++k) {
                    sent[k] = rig.now();
                    rig.board().postCommand(pair[2 * k]);
                    ticker.runUntil(rig, sent[k] + (k + 1) * kMillisecond);
                }
                for (const auto& [t, v] : ticker.answers)
                    for (int k = 0; k < 2; ++k)
                        if (v == pair[2 * k + 1] && t >= sent[k])
                            answered[k] = std::min(answered[k], t);
                const auto& writes = rig.chip.writes;
                const bool keyedAfterStop = std::any_of(writes.begin(), writes.end(), [&](auto& w) {
                    return w.t > answered[1] && w.reg == 0x28 && (w.value & 0xF0) == 0xF0;
                });
                const std::vector<RegisterWrite> played = songAlone(writes);
                const bool ok =
                    answered[0] <= sent[0] + kMillisecond &&
                    answered[1] <= sent[1] + kMillisecond && answered[0] < answered[1] &&
                    (pair[0] != kFirstSong ||
                     (!rig.var(driver::var::kPlaying) && !keyedAfterStop)) &&
                    (pair[0] != kStop || rig.var(driver::var::kPlaying)) &&
                    // The row a sample interrupts goes on exactly as without it.
                    (pair[0] != kFirstSample ||
                     std::equal(played.begin(), played.end(), reference.begin(), reference.end()) ||
                     (played.size() < reference.size() &&
                      std::equal(played.begin(), played.end(), reference.begin())));
                ++trials;
                slowest = std::max({slowest, answered[0] - sent[0], answered[1] - sent[1]});
                if (!ok && ++failures <= 10)
                    ADD_FAILURE() << "commands " << int(pair[0]) << ", " << int(pair[2])
                                  << " from T+" << sent[0] - tick << (anywhere ? " (any PC)" : "");
            }
        }
        restore(cursor);
    }
    RecordProperty("trials", trials);
    RecordProperty("slowest_answer_us", int(slowest / 4));
    EXPECT_EQ(failures, 0) << "of " << trials << " trials at " << times.size() << " times";
}

INSTANTIATE_TEST_SUITE_P(BothDrivers, CommandTiming,
                         ::testing::Values(SongKind::Classic, SongKind::WholeChip));

}  // namespace
}  // namespace qvx
