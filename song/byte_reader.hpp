#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qvx {

// Sequential reader over a file's bytes. Every read reports running off the end instead of
// inventing data, so a truncated file is refused rather than half-loaded.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::optional<std::uint8_t> byte() {
        if (pos_ >= bytes_.size()) return std::nullopt;
        return bytes_[pos_++];
    }

    template <std::size_t N>
    std::optional<std::span<const std::uint8_t, N>> fixed() {
        if (bytes_.size() - pos_ < N) return std::nullopt;
        auto out = bytes_.subspan(pos_).template first<N>();
        pos_ += N;
        return out;
    }

    // Little-endian words, as the newer file formats store counts and lengths.
    std::optional<std::uint16_t> word16() {
        auto bytes = take(2);
        if (!bytes) return std::nullopt;
        return static_cast<std::uint16_t>((*bytes)[0] | (*bytes)[1] << 8);
    }
    std::optional<std::uint32_t> word32() {
        auto bytes = take(4);
        if (!bytes) return std::nullopt;
        std::uint32_t value = 0;
        for (int k = 3; k >= 0; --k)
            value = value << 8 | (*bytes)[static_cast<std::size_t>(k)];
        return value;
    }
    // The next `count` bytes, or nothing when fewer are left.
    std::optional<std::span<const std::uint8_t>> take(std::size_t count) {
        if (bytes_.size() - pos_ < count) return std::nullopt;
        auto out = bytes_.subspan(pos_, count);
        pos_ += count;
        return out;
    }

    bool magic(std::string_view text) {
        if (bytes_.size() - pos_ < text.size()) return false;
        for (char c : text)
            if (bytes_[pos_++] != static_cast<std::uint8_t>(c)) return false;
        return true;
    }

    // A zero-terminated string of at most 255 characters. A longer one, or one cut off by the
    // end of the file, is refused: the writers never produce either.
    std::optional<std::string> string() {
        static constexpr std::size_t kMaxStored = 256;  // 255 characters and the terminator
        for (std::size_t n = 0; n < kMaxStored && pos_ + n < bytes_.size(); ++n) {
            if (bytes_[pos_ + n] == 0) {
                std::string text(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
                pos_ += n + 1;
                return text;
            }
        }
        return std::nullopt;
    }

    std::size_t position() const { return pos_; }
    std::size_t size() const { return bytes_.size(); }
    std::size_t remaining() const { return bytes_.size() - pos_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

}  // namespace qvx
