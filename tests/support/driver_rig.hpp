#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "rombuild/compiled_image.hpp"
#include "soundlib/engine/tick_schedule.hpp"
#include "soundlib/z80/chip_port.hpp"
#include "soundlib/z80/sound_board.hpp"

namespace qvx::testing {

// Every access the driver makes to the chip, with its board time.
struct PortWrite {
    std::uint64_t t;
    int port;
    std::uint8_t value;
};
struct RegisterWrite {
    std::uint64_t t;
    int bank;  // 0 = ports 4/5, 1 = ports 6/7
    std::uint8_t reg;
    std::uint8_t value;
    friend bool operator==(const RegisterWrite& a, const RegisterWrite& b) {
        return a.bank == b.bank && a.reg == b.reg && a.value == b.value;  // time aside
    }
};

// Stands in for the YM2610: records what the driver writes and, like a board whose chip does
// not answer, never drives the data bus on reads.
class RecordingChip : public qvxsnd::ChipPort {
  public:
    void write(int port, std::uint8_t value, std::uint64_t t) override {
        ports.push_back({t, port, value});
        if (port == 0 || port == 2)
            latch[port / 2] = value;
        else
            writes.push_back({t, port / 2, latch[port / 2], value});
    }
    std::optional<std::uint8_t> read(int, std::uint64_t) override { return std::nullopt; }

    std::vector<PortWrite> ports;
    std::vector<RegisterWrite> writes;
    std::uint8_t latch[2] = {0, 0};
};

inline constexpr std::uint64_t kTickTStates = qvxsnd::TickSchedule::kPeriod;

// The driver image on the emulated board, ticked on the engine's schedule of board time.
class DriverRig {
  public:
    explicit DriverRig(std::span<const std::uint8_t> image)
        : board_(std::make_unique<qvxsnd::SoundBoard>()) {
        board_->attachChip(&chip);
        board_->reset();
        board_->loadImage(image);
        run(20000);  // start-up
    }

    void run(std::uint64_t tstates) { runUntil(board_->tstates() + tstates); }
    void runUntil(std::uint64_t end) {
        while (board_->tstates() < end)
            board_->step();
    }
    // The first tick comes at once; then they keep the engine's period whatever else runs.
    void tick() {
        if (!ticking_) ticks_.startAt(board_->tstates());
        ticking_ = true;
        runUntil(ticks_.next());
        if (ticks_.due(board_->tstates())) board_->requestTick();
        runUntil(ticks_.next());
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            tick();
    }
    // Posts a command and gives the driver time to take it.
    void command(std::uint8_t value) {
        board_->postCommand(value);
        run(20000);
        if (ticking_) ticks_.startAt(std::max(ticks_.next(), board_->tstates()));
    }

    std::uint8_t var(std::uint16_t address) const { return board_->memory()[address]; }
    qvxsnd::SoundBoard& board() { return *board_; }
    std::uint64_t now() const { return board_->tstates(); }

    // Key-on writes (register 0x28 with all operators on) since the given write index.
    std::vector<RegisterWrite> keyOns(std::size_t from = 0) const {
        std::vector<RegisterWrite> out;
        for (std::size_t i = from; i < chip.writes.size(); ++i) {
            const RegisterWrite& w = chip.writes[i];
            if (w.bank == 0 && w.reg == driver::ym::kKeyOn &&
                (w.value & driver::ym::kAllOperators) == driver::ym::kAllOperators)
                out.push_back(w);
        }
        return out;
    }
    std::vector<RegisterWrite> writesTo(int bank, std::uint8_t reg, std::size_t from = 0) const {
        std::vector<RegisterWrite> out;
        for (std::size_t i = from; i < chip.writes.size(); ++i)
            if (chip.writes[i].bank == bank && chip.writes[i].reg == reg)
                out.push_back(chip.writes[i]);
        return out;
    }

    RecordingChip chip;

  private:
    std::unique_ptr<qvxsnd::SoundBoard> board_;
    qvxsnd::TickSchedule ticks_;
    bool ticking_ = false;
};

inline std::vector<std::uint8_t> songImage(const Song& song) {
    auto buffer = std::make_unique<ImageBuffer>();
    const ImageBuild image = buildSongImage(song, *buffer);
    if (!image) throw std::runtime_error(image.message);
    return {buffer->bytes.begin(),
            buffer->bytes.begin() + static_cast<std::ptrdiff_t>(image.length)};
}

inline std::vector<std::uint8_t> patternImage(const Song& song, int pattern) {
    auto buffer = std::make_unique<ImageBuffer>();
    const ImageBuild image = buildPatternImage(song, pattern, *buffer);
    if (!image) throw std::runtime_error(image.message);
    return {buffer->bytes.begin(),
            buffer->bytes.begin() + static_cast<std::ptrdiff_t>(image.length)};
}

// Songs linked as the ROM Maker links them: song n plays as command 0x80 + n.
inline std::vector<std::uint8_t> multiSongImage(std::initializer_list<const Song*> songs) {
    std::vector<SongBlockSource> sources;
    for (const Song* song : songs)
        sources.push_back(songBlockSource(*song));
    return buildMultiSongImage(sources, SampleTable{});
}

}  // namespace qvx::testing
