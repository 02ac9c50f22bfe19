// The sound library's engine: the example song rendered offline (driver, board and chip), and
// the engine's CPU use while it plays in real time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "examples/demo_song.hpp"
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
