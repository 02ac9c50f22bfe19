// FM synthesis speed: four sounding channels with all four operators of each keyed on, rendered
// in the 882-frame blocks the audio refill uses, by the documented model (fm 0) and the
// chip-accurate one (fm 1) side by side. The "realtime" counter is rendered audio time over CPU
// time at 44100 Hz.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "soundlib/ym2610/ym2610.hpp"

namespace {

void setUpFourChannels(qvxsnd::YM2610& chip, int algorithm, bool lfo) {
    constexpr int kChannels[4] = {1, 2, 4, 5};
    constexpr int kFnum[4] = {1038, 1164, 824, 654};
    for (int i = 0; i < 4; ++i) {
        const int bank = kChannels[i] / 3;
        const int code = kChannels[i] % 3;
        for (int op = 0; op < 4; ++op) {
            const int r = code + op * 4;
            chip.writeRegister(bank, static_cast<std::uint8_t>(0x30 + r), 0x11 + op);
            chip.writeRegister(bank, static_cast<std::uint8_t>(0x40 + r), op == 3 ? 0x04 : 0x1C);
            chip.writeRegister(bank, static_cast<std::uint8_t>(0x50 + r), 0x1F);
            chip.writeRegister(bank, static_cast<std::uint8_t>(0x60 + r), lfo ? 0x85 : 0x05);
            chip.writeRegister(bank, static_cast<std::uint8_t>(0x70 + r), 0x00);
            chip.writeRegister(bank, static_cast<std::uint8_t>(0x80 + r), 0x27);
        }
        chip.writeRegister(bank, static_cast<std::uint8_t>(0xB0 + code),
                           static_cast<std::uint8_t>((5 << 3) | algorithm));
        chip.writeRegister(bank, static_cast<std::uint8_t>(0xB4 + code), lfo ? 0xF7 : 0xC0);
        chip.writeRegister(bank, static_cast<std::uint8_t>(0xA4 + code),
                           static_cast<std::uint8_t>((4 << 3) | (kFnum[i] >> 8)));
        chip.writeRegister(bank, static_cast<std::uint8_t>(0xA0 + code),
                           static_cast<std::uint8_t>(kFnum[i] & 0xFF));
        chip.writeRegister(0, 0x28, static_cast<std::uint8_t>(0xF0 | code | (bank << 2)));
    }
    if (lfo) chip.writeRegister(0, 0x22, 0x0B);
}

void renderFourChannels(benchmark::State& state) {
    qvxsnd::YM2610 chip(
        qvxsnd::YM2610::kDefaultClock, qvxsnd::YM2610::kDefaultRate,
        state.range(2) != 0 ? qvxsnd::FmModel::Accurate : qvxsnd::FmModel::Documented);
    setUpFourChannels(chip, static_cast<int>(state.range(0)), state.range(1) != 0);
    constexpr std::size_t kBlock = 882;
    std::vector<std::int16_t> out(kBlock * 2);
    for (auto _ : state) {
        chip.render(out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["realtime"] = benchmark::Counter(frames / 44100.0, benchmark::Counter::kIsRate);
}

// Arguments: algorithm, LFO off/on, documented model / chip-accurate.
BENCHMARK(renderFourChannels)
    ->ArgNames({"alg", "lfo", "fm"})
    ->Args({0, 0, 0})
    ->Args({0, 0, 1})
    ->Args({7, 0, 0})
    ->Args({7, 0, 1})
    ->Args({4, 1, 0})
    ->Args({4, 1, 1});

// A switch of the FM model with four sounding channels, there and back: what the audio thread
// spends on the buffer in which Options > Chip-Accurate FM takes effect.
void switchFmModel(benchmark::State& state) {
    qvxsnd::YM2610 chip;
    setUpFourChannels(chip, 4, true);
    for (auto _ : state) {
        chip.setFmModel(qvxsnd::FmModel::Accurate);
        chip.setFmModel(qvxsnd::FmModel::Documented);
    }
}
BENCHMARK(switchFmModel)->Unit(benchmark::kMicrosecond);

}  // namespace
