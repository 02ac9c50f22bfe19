#include "rombuild/wav_writer.hpp"

#include <string_view>

namespace qvx {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void putTag(std::vector<std::uint8_t>& out, std::string_view tag) {
    for (char c : tag)
        out.push_back(static_cast<std::uint8_t>(c));
}

}  // namespace

std::vector<std::uint8_t> encodeWav16(std::span<const std::int16_t> samples, int channels,
                                      std::uint32_t sampleRate) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    const auto blockAlign = static_cast<std::uint32_t>(channels * 2);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataBytes);
    putTag(out, "RIFF");
    put32(out, 36 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, static_cast<std::uint32_t>(channels));
    put32(out, sampleRate);
    put32(out, sampleRate * blockAlign);
    put16(out, blockAlign);
    put16(out, 16);
    putTag(out, "data");
    put32(out, dataBytes);
    for (std::int16_t s : samples)
        put16(out, static_cast<std::uint16_t>(s));
    return out;
}

}  // namespace qvx
