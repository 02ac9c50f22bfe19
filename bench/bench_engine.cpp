// The sound library's engine: the example song rendered offline (driver, board and chip), the
// whole chip kept busy by a VGM stream, and the engine's CPU use while it plays in real time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "driver/memory_map.hpp"
#include "examples/demo_song.hpp"
#include "rombuild/adpcm_a.hpp"
#include "rombuild/adpcm_b.hpp"
#include "soundlib/engine/engine.hpp"
#include "soundlib/library.hpp"
#include "tools/engine_sound_target.hpp"
#include "tools/offline_render.hpp"
#include "tools/vgm_file.hpp"

namespace {

constexpr std::uint32_t kRate = 44100;

// Seconds of song rendered per second of CPU time, by the documented FM synthesis and (with the
// argument 1) the chip-accurate one.
void BM_OfflineRenderExampleSong(benchmark::State& state) {
    const qvx::Song song = qvx::examples::makeDemoSong();
    const auto model = state.range(0) ? qvxsnd::FmModel::Accurate : qvxsnd::FmModel::Documented;
    std::vector<std::int16_t> out(512 * 2);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto engine =
            std::make_unique<qvxsnd::Engine>(kRate, qvxsnd::Engine::TickSource::Host, model);
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
BENCHMARK(BM_OfflineRenderExampleSong)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Every part of the chip busy for 30 s, as a VGM stream played straight into the chip in its
// accurate synthesis: four FM channels holding a chord, the three SSG channels (one on the
// envelope) with noise, a sample on each of the six ADPCM-A channels and ADPCM-B repeating,
// everything struck again every half second.
qvx::VgmStream wholeChipStream() {
    constexpr double kSeconds = 30;
    std::vector<qvx::VgmWrite> writes;
    const auto w = [&](double s, int port, int reg, int value) {
        writes.push_back({std::uint64_t(s * qvx::kVgmRate), std::uint8_t(port), std::uint8_t(reg),
                          std::uint8_t(value)});
    };
    qvx::VgmStream stream;
    // One V ROM for both sample parts: six 0.5 s ADPCM-A tones, then an ADPCM-B tone.
    for (int k = 0; k < 6; ++k) {
        std::vector<std::uint8_t> pcm;
        for (int i = 0; i < 9259; ++i) {
            const auto v = static_cast<std::int16_t>(12000 * std::sin(0.04 * (k + 1) * i));
            pcm.push_back(std::uint8_t(v)), pcm.push_back(std::uint8_t(std::uint16_t(v) >> 8));
        }
        const std::size_t start = stream.adpcmA.size() / 256;
        std::vector<std::uint8_t> encoded(pcm.size() / 4);
        qvx::adpcma::Encoder().encodePcm(pcm, encoded);
        stream.adpcmA.insert(stream.adpcmA.end(), encoded.begin(), encoded.end());
        stream.adpcmA.resize((stream.adpcmA.size() + 255) / 256 * 256, 0x80);
        const std::size_t end = stream.adpcmA.size() / 256 - 1;
        w(0, 1, 0x08 + k, 0xDF), w(0, 1, 0x10 + k, int(start & 0xFF)),
            w(0, 1, 0x18 + k, int(start >> 8));
        w(0, 1, 0x20 + k, int(end & 0xFF)), w(0, 1, 0x28 + k, int(end >> 8));
    }
    std::vector<std::int16_t> tone(22050);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::int16_t>(16000 * std::sin(0.06 * double(i)));
    const std::size_t bStart = stream.adpcmA.size() / 256;
    const std::vector<std::uint8_t> b = qvx::adpcmb::Encoder().encodePcm(tone);
    stream.adpcmA.insert(stream.adpcmA.end(), b.begin(), b.end());
    stream.adpcmA.resize((stream.adpcmA.size() + 255) / 256 * 256, 0x08);
    const std::size_t bEnd = stream.adpcmA.size() / 256 - 1;
    w(0, 1, 0x01, 0x3F);
    w(0, 0, 0x11, 0xC0), w(0, 0, 0x12, int(bStart & 0xFF)), w(0, 0, 0x13, int(bStart >> 8));
    w(0, 0, 0x14, int(bEnd & 0xFF)), w(0, 0, 0x15, int(bEnd >> 8));
    const std::uint16_t delta = qvx::adpcmb::deltaN(22050);
    w(0, 0, 0x19, delta & 0xFF), w(0, 0, 0x1A, delta >> 8), w(0, 0, 0x1B, 200);
    w(0, 0, 0x10, 0x90);
    // Four FM voices of two operators each, on the YM2610's channels.
    for (int k = 0; k < 4; ++k) {
        const int bank = k / 2, slot = 1 + k % 2;
        w(0, bank, 0xB4 + slot, 0xC0), w(0, bank, 0xB0 + slot, 0x04);
        for (int op : {0, 4, 8, 12}) {
            w(0, bank, 0x30 + op + slot, 0x01), w(0, bank, 0x40 + op + slot, op < 8 ? 0x10 : 0);
            w(0, bank, 0x50 + op + slot, 0x1F), w(0, bank, 0x60 + op + slot, 0x05);
            w(0, bank, 0x70 + op + slot, 0x02), w(0, bank, 0x80 + op + slot, 0x37);
        }
        w(0, bank, 0xA4 + slot, 0x22 + k), w(0, bank, 0xA0 + slot, 0x69);
    }
    // The SSG: two tones and noise, channel C on a repeating envelope.
    w(0, 0, 0x00, 200), w(0, 0, 0x02, 150), w(0, 0, 0x04, 120), w(0, 0, 0x06, 12);
    w(0, 0, 0x07, 0x18), w(0, 0, 0x08, 12), w(0, 0, 0x09, 11), w(0, 0, 0x0A, 0x10);
    w(0, 0, 0x0B, 80), w(0, 0, 0x0D, 0x0E);
    for (double t = 0.01; t < kSeconds; t += 0.5) {
        for (int k = 0; k < 4; ++k)
            w(t, 0, 0x28, 0xF0 | (k / 2) * 4 | (1 + k % 2));
        w(t, 1, 0x00, 0x3F);
        w(t + 0.4, 0, 0x28, 0x01), w(t + 0.4, 0, 0x28, 0x02), w(t + 0.4, 0, 0x28, 0x05),
            w(t + 0.4, 0, 0x28, 0x06);
    }
    std::stable_sort(writes.begin(), writes.end(),
                     [](const auto& x, const auto& y) { return x.sample < y.sample; });
    stream.writes = std::move(writes);
    stream.ym2610Clock = 8'000'000;
    stream.samples = std::uint64_t(kSeconds * qvx::kVgmRate);
    return stream;
}

// Seconds of the whole chip rendered per second of CPU time.
void BM_RenderWholeChipVgm(benchmark::State& state) {
    const qvx::VgmStream stream = wholeChipStream();
    double seconds = 0;
    for (auto _ : state) {
        const auto out = qvx::renderVgm(stream, kRate, qvxsnd::FmModel::Accurate);
        benchmark::DoNotOptimize(out.data());
        seconds += double(stream.samples) / qvx::kVgmRate;
    }
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderWholeChipVgm)->Unit(benchmark::kMillisecond);

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
