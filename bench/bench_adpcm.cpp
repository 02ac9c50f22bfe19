// ADPCM-A encoder throughput, counted in bytes of WAV read: the bare codec on PCM in memory, the
// ROM build's path that streams a WAV file from disk in 1024-byte blocks, and the conversion of a
// long sound file of another format, with the memory it takes.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/resource.h>

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

// A 16-bit WAV file of `pcm`, interleaved when there are two channels.
std::vector<std::uint8_t> wavFile(const std::vector<std::uint8_t>& pcm, std::uint32_t rate = 18500,
                                  std::uint32_t channels = 1) {
    std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
    put32(out, static_cast<std::uint32_t>(36 + pcm.size()));
    for (char c : std::string_view("WAVEfmt "))
        out.push_back(static_cast<std::uint8_t>(c));
    put32(out, 16);
    put32(out, 0x00000001 | channels << 16);  // PCM
    put32(out, rate);
    put32(out, rate * 2 * channels);
    put32(out, 0x00100000 | 2 * channels);  // block align, 16 bits
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

// A file of `bytes` in a folder of its own; empty when the folder cannot be made.
std::filesystem::path writeTemporary(const std::vector<std::uint8_t>& bytes) {
    std::string folder = (std::filesystem::temp_directory_path() / "qvx-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return {};
    const std::filesystem::path path = std::filesystem::path(folder) / "bench.wav";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

// What the V1 build does per sample: reopen, check, and encode a 4 MB WAV file block by block.
void BM_EncodeWavFile(benchmark::State& state) {
    const std::vector<std::uint8_t> file = wavFile(pcmBytes(2 << 20));
    const std::filesystem::path path = writeTemporary(file);
    if (path.empty()) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    const std::filesystem::path folder = path.parent_path();

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

// A minute of 96 kHz stereo converted to 18500 Hz mono, as the ROM Maker takes a sample recorded
// by another program. The memory it needs stays a small multiple of the converted sound, however
// long the file: peak_rss_mb is the process's largest resident size after it.
void BM_ConvertLongSoundFile(benchmark::State& state) {
    constexpr std::uint32_t kRate = 96000;
    const std::vector<std::uint8_t> file = wavFile(pcmBytes(std::size_t(kRate) * 60 * 2), kRate, 2);
    const std::filesystem::path path = writeTemporary(file);
    if (path.empty()) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    for (auto _ : state) {
        qvx::ConvertedSound sound;
        const qvx::Result r = qvx::convertSoundFile(path, "bench.wav", sound);
        if (!r) state.SkipWithError(r.message().c_str());
        benchmark::DoNotOptimize(sound.pcm.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(file.size()));
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = double(usage.ru_maxrss) / 1024;
    std::filesystem::remove_all(path.parent_path());
}
BENCHMARK(BM_ConvertLongSoundFile)->Unit(benchmark::kMillisecond);

}  // namespace
