#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <span>
#include <string_view>
#include <vector>

// WAV files put together chunk by chunk, so tests can shape every field.
namespace qvx::testing {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

// A chunk with its header; an odd-sized body gets its pad byte unless `pad` is false.
inline Bytes chunk(std::string_view id, const Bytes& body, bool pad = true) {
    Bytes out(id.begin(), id.end());
    put32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (pad && body.size() % 2) out.push_back(0);
    return out;
}

struct WavFormat {
    std::uint16_t format = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 18500;
    std::uint16_t blockAlign = 2;
    std::uint16_t bits = 16;
};

inline Bytes fmtBody(const WavFormat& f) {
    Bytes b;
    put16(b, f.format);
    put16(b, f.channels);
    put32(b, f.rate);
    put32(b, f.rate * f.blockAlign);
    put16(b, f.blockAlign);
    put16(b, f.bits);
    return b;
}

// WAVE_FORMAT_EXTENSIBLE with the given sub-format code (1 = PCM, 3 = float).
inline Bytes extensibleFmtBody(std::uint16_t subFormat, std::uint16_t validBits = 16) {
    Bytes b = fmtBody({0xFFFE, 1, 18500, 2, 16});
    put16(b, 22);
    put16(b, validBits);
    put32(b, 0x4);  // front centre
    put16(b, subFormat);
    for (std::uint8_t v :
         {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
        b.push_back(v);
    return b;
}

inline Bytes pcm(std::span<const std::int16_t> samples) {
    Bytes out;
    for (std::int16_t s : samples)
        put16(out, static_cast<std::uint16_t>(s));
    return out;
}

inline Bytes riff(std::initializer_list<Bytes> chunks) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes out = {'R', 'I', 'F', 'F'};
    put32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// The canonical 44-byte-header file.
inline Bytes monoWav(std::span<const std::int16_t> samples, const WavFormat& format = {}) {
    return riff({chunk("fmt ", fmtBody(format)), chunk("data", pcm(samples))});
}

// `count` samples of a sine at `amplitude` (of full scale) and `hz`, at 18500 Hz.
inline std::vector<std::int16_t> sine(std::size_t count, double hz, double amplitude) {
    std::vector<std::int16_t> out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::int16_t>(
            std::lround(32767.0 * amplitude *
                        std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / 18500.0)));
    return out;
}

}  // namespace qvx::testing
