// The sound library's engine: the example song rendered offline (driver, board and chip), and
// the engine's CPU use while it plays in real time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "driver/memory_map.hpp"
#include "examples/demo_song.hpp"
#include "rombuild/adpcm_a.hpp"
#include "soundlib/engine/engine.hpp"
#include "soundlib/library.hpp"
#include "tools/engine_sound_target.hpp"

namespace {

constexpr std::uint32_t kRate = 44100;

// Seconds of song rendered per second of CPU time.
void BM_OfflineRenderExampleSong(benchmark::State& state) {
    const qvx::Song song = qvx::examples::makeDemoSong();
    std::vector<std::int16_t> out(512 * 2);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = std::make_unique<qvxsnd::Engine>(kRate);
        qvx::EngineSoundTarget target(*engine);
        auto buffer = std::make_unique<qvx::ImageBuffer>();
        qvx::Playback playback(target, *buffer);
        if (!playback.playSong(song)) state.SkipWithError("the example song does not build");
        state.ResumeTiming();
        for (int chunk = 0; chunk < 10 * 44100 / 512; ++chunk)
            engine->render(out.data(), 512);
        benchmark::DoNotOptimize(out.data());
        seconds += 10.0 * 44100 / 512 * 512 / kRate;
    }
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OfflineRenderExampleSong)->Unit(benchmark::kMillisecond);

// The board at its busiest: the example song on the four FM channels and a long sample on each of
// the six ADPCM-A channels, ticked by the chip's timer as on the board; with the history the
// scopes read (scopes:1) and without it (scopes:0), so that its cost shows in one run.
void BM_OfflineRenderSongAndSixSamples(benchmark::State& state) {
    constexpr int kSamples = 6;
    constexpr std::size_t kSampleBytes = 10 * 18518 / 2;  // ten seconds of ADPCM-A each
    auto buffer = std::make_unique<qvx::ImageBuffer>();
    const qvx::ImageBuild image = qvx::buildSongImage(qvx::examples::makeDemoSong(), *buffer);
    std::vector<std::uint8_t> m1(buffer->bytes.begin(),
                                 buffer->bytes.begin() + static_cast<std::ptrdiff_t>(image.length));
    std::vector<std::uint8_t> v1;
    for (int k = 0; k < kSamples; ++k) {
        const std::size_t startBlock = v1.size() / 256;
        qvx::adpcma::Encoder encoder;
        for (std::size_t i = 0; i < kSampleBytes * 2; i += 2) {
            const auto at = [&](std::size_t n) {
                return static_cast<int>(600 * std::sin(0.05 * (k + 1) * double(n)));
            };
            v1.push_back(
                static_cast<std::uint8_t>(encoder.encode(at(i)) << 4 | encoder.encode(at(i + 1))));
        }
        v1.resize((v1.size() / 256 + 1) * 256, 0x80);
        const std::size_t endBlock = v1.size() / 256 - 1;
        const std::size_t entry =
            qvx::driver::kSampleTable + 4 * (qvx::driver::command::kFirstSample + k);
        m1[entry] = static_cast<std::uint8_t>(startBlock);
        m1[entry + 1] = static_cast<std::uint8_t>(startBlock >> 8);
        m1[entry + 2] = static_cast<std::uint8_t>(endBlock);
        m1[entry + 3] = static_cast<std::uint8_t>(endBlock >> 8);
    }
    std::vector<std::int16_t> out(512 * 2);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = std::make_unique<qvxsnd::Engine>(kRate, qvxsnd::Engine::TickSource::Chip);
        engine->setScopeHistory(state.range(0) != 0);
        engine->setAdpcmRom(v1);
        engine->sendData(m1);
        engine->render(out.data(), 512);
        engine->sendCommand(qvx::driver::command::kFirstSong);
        for (int chunk = 0; chunk < 20; ++chunk)  // past the driver's start-up
            engine->render(out.data(), 512);
        for (int k = 0; k < kSamples; ++k) {
            engine->sendCommand(static_cast<std::uint16_t>(qvx::driver::command::kFirstSample + k));
            engine->render(out.data(), 512);
        }
        for (int k = 0; k < kSamples; ++k)
            if (!engine->chip().adpcmPlaying(k)) state.SkipWithError("a sample is not playing");
        state.ResumeTiming();
        for (int chunk = 0; chunk < 8 * 44100 / 512; ++chunk)
            engine->render(out.data(), 512);
        benchmark::DoNotOptimize(out.data());
        seconds += 8.0 * 44100 / 512 * 512 / kRate;
    }
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OfflineRenderSongAndSixSamples)
    ->ArgName("scopes")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The library playing the example song in real time through SDL's dummy device (which pulls at
// real-time pace): CPU time of the whole process per second of wall time, in percent of a core.
void BM_RealTimePlaybackCpu(benchmark::State& state) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    qvxsnd::SoundLibrary lib;
    lib.initSound(nullptr, kRate);
    auto buffer = std::make_unique<qvx::ImageBuffer>();
    const qvx::ImageBuild image = qvx::buildSongImage(qvx::examples::makeDemoSong(), *buffer);
    double percent = 0;
    for (auto _ : state) {
        lib.sendData(std::span<const std::uint8_t>(buffer->bytes.data(), image.length));
        lib.sendCommand(0x81);
        const double cpu0 = processCpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        percent = 100.0 * (processCpuSeconds() - cpu0) / wall;
    }
    state.counters["cpu_percent"] = percent;
}
BENCHMARK(BM_RealTimePlaybackCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
