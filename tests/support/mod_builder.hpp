#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace qvx::testing {

// Writes 31-sample, four-channel ProTracker modules byte by byte, so that the import tests and
// the command-line tests never depend on modules from elsewhere. Sample data is zeros unless
// given; its length is whatever the sample headers declare.
class ModBuilder {
  public:
    static constexpr std::size_t kHeaderBytes = 1084;
    static constexpr std::size_t kPatternBytes = 1024;

    explicit ModBuilder(int patterns = 1) : header_(kHeaderBytes, 0), patterns_(patterns) {
        signature("M.K.");
        order({0});
        for (auto& pattern : patterns_)
            pattern.fill(0);
    }

    ModBuilder& signature(std::string_view text) {
        std::copy(text.begin(), text.end(), header_.begin() + 1080);
        return *this;
    }

    // Song length and entries; the rest of the 128 slots keep what they held.
    ModBuilder& order(const std::vector<std::uint8_t>& entries) {
        header_[950] = static_cast<std::uint8_t>(entries.size());
        std::copy_n(entries.begin(), std::min<std::size_t>(entries.size(), 128),
                    header_.begin() + 952);
        return *this;
    }
    ModBuilder& songLength(int length) {
        header_[950] = static_cast<std::uint8_t>(length);
        return *this;
    }
    ModBuilder& orderSlot(int slot, std::uint8_t pattern) {
        header_[952 + slot] = pattern;
        return *this;
    }

    // Length of sample `index` (0..30) in 16-bit words.
    ModBuilder& sampleWords(int index, std::uint16_t words) {
        const std::size_t at = 20 + 30 * static_cast<std::size_t>(index) + 22;
        header_[at] = static_cast<std::uint8_t>(words >> 8);
        header_[at + 1] = static_cast<std::uint8_t>(words & 0xFF);
        return *this;
    }

    // Name (up to 22 bytes) and volume (0-64) of sample `index` (0..30).
    ModBuilder& sampleName(int index, std::string_view name) {
        std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 22),
                    header_.begin() + 20 + 30 * static_cast<std::ptrdiff_t>(index));
        return *this;
    }
    ModBuilder& sampleVolume(int index, std::uint8_t volume) {
        header_[20 + 30 * static_cast<std::size_t>(index) + 25] = volume;
        return *this;
    }

    static std::array<std::uint8_t, 4> encode(int period, int sample, int effect, int parameter) {
        return {static_cast<std::uint8_t>((sample & 0xF0) | ((period >> 8) & 0x0F)),
                static_cast<std::uint8_t>(period & 0xFF),
                static_cast<std::uint8_t>(((sample & 0x0F) << 4) | (effect & 0x0F)),
                static_cast<std::uint8_t>(parameter)};
    }

    ModBuilder& note(int pattern, int row, int channel, int period, int sample, int effect = 0,
                     int parameter = 0) {
        const auto bytes = encode(period, sample, effect, parameter);
        std::copy(
            bytes.begin(), bytes.end(),
            patterns_.at(pattern).begin() + (static_cast<std::size_t>(row) * 4 + channel) * 4);
        return *this;
    }

    // The start of the sample data; the remainder up to the declared length stays zero.
    ModBuilder& sampleData(std::vector<std::uint8_t> bytes) {
        sampleData_ = std::move(bytes);
        return *this;
    }
    ModBuilder& trailing(std::size_t bytes) {
        trailing_ = bytes;
        return *this;
    }

    std::size_t declaredSampleBytes() const {
        std::size_t total = 0;
        for (std::size_t s = 0; s < 31; ++s)
            total += 2 * (std::size_t{header_[20 + 30 * s + 22]} << 8 | header_[20 + 30 * s + 23]);
        return total;
    }

    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> out(header_);
        for (const auto& pattern : patterns_)
            out.insert(out.end(), pattern.begin(), pattern.end());
        std::vector<std::uint8_t> samples(declaredSampleBytes() + trailing_, 0);
        std::copy_n(sampleData_.begin(), std::min(sampleData_.size(), samples.size()),
                    samples.begin());
        out.insert(out.end(), samples.begin(), samples.end());
        return out;
    }

  private:
    std::vector<std::uint8_t> header_;
    std::vector<std::array<std::uint8_t, kPatternBytes>> patterns_;
    std::vector<std::uint8_t> sampleData_;
    std::size_t trailing_ = 0;
};

}  // namespace qvx::testing
