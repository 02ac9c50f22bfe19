// ADPCM-A encoder throughput, counted in bytes of WAV read: the bare codec on PCM in memory, and
// the ROM build's path that streams a WAV file from disk in 1024-byte blocks.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <vector>

#include "rombuild/adpcm_a.hpp"
#include "rombuild/rom_sample.hpp"

namespace {

// Music-like input: two tones and some noise, at three quarters of full scale.
std::vector<std::uint8_t> pcmBytes(std::size_t samples) {
    std::vector<std::uint8_t> out;
    out.reserve(samples * 2);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0.0, 800.0);
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / 18500.0;
        const double v = 16000 * std::sin(2 * std::numbers::pi * 220 * t) +
                         7000 * std::sin(2 * std::numbers::pi * 1760 * t) + noise(random);
        const auto s = static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
        out.push_back(static_cast<std::uint8_t>(s & 0xFF));
        out.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    return out;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::vector<std::uint8_t> wavFile(const std::vector<std::uint8_t>& pcm) {
    std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
    put32(out, static_cast<std::uint32_t>(36 + pcm.size()));
    for (char c : std::string_view("WAVEfmt "))
        out.push_back(static_cast<std::uint8_t>(c));
    put32(out, 16);
    put32(out, 0x00010001);  // PCM, mono
    put32(out, 18500);
    put32(out, 37000);
    put32(out, 0x00100002);  // block align 2, 16 bits
    for (char c : std::string_view("data"))
        out.push_back(static_cast<std::uint8_t>(c));
    put32(out, static_cast<std::uint32_t>(pcm.size()));
    out.insert(out.end(), pcm.begin(), pcm.end());
    return out;
}

void BM_EncodePcmInMemory(benchmark::State& state) {
    const std::vector<std::uint8_t> pcm = pcmBytes(1 << 20);
    std::vector<std::uint8_t> out(pcm.size() / 4);
    for (auto _ : state) {
        qvx::adpcma::Encoder encoder;
        encoder.encodePcm(pcm, out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(pcm.size()));
}
BENCHMARK(BM_EncodePcmInMemory)->Unit(benchmark::kMillisecond);

// What the V1 build does per sample: reopen, check, and encode a 4 MB WAV file block by block.
void BM_EncodeWavFile(benchmark::State& state) {
    std::string folder = (std::filesystem::temp_directory_path() / "qvx-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    const std::filesystem::path path = std::filesystem::path(folder) / "bench.wav";
    const std::vector<std::uint8_t> file = wavFile(pcmBytes(2 << 20));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));

    qvx::RomSample sample;
    if (!qvx::readRomSample(path, "bench.wav", sample)) {
        state.SkipWithError("the benchmark's WAV file was refused");
    } else {
        std::vector<std::uint8_t> encoded;
        encoded.reserve(sample.encodedSize());
        for (auto _ : state) {
            encoded.clear();
            const qvx::Result r =
                qvx::encodeRomSample(sample, [&encoded](std::span<const std::uint8_t> bytes) {
                    encoded.insert(encoded.end(), bytes.begin(), bytes.end());
                });
            if (!r) state.SkipWithError(r.message().c_str());
            benchmark::DoNotOptimize(encoded.data());
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                                static_cast<std::int64_t>(file.size()));
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_EncodeWavFile)->Unit(benchmark::kMillisecond);

}  // namespace
