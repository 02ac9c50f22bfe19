#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "soundlib/ym2610/ym2610.hpp"

namespace qvxsnd {

// The last frames of each of the chip's sources and of the output, for scopes and meters. One
// thread renders into it (no lock, no allocation); any thread may copy from it at any time.
// A frame is packed into 64-bit words, so that no value is ever half written; a copy that the
// renderer overtook loses the frames it overwrote.
class ScopeHistory {
  public:
    static constexpr std::size_t kFrames = 4096;  // a little under 0.1 s at 44.1 kHz
    // The chip's sources up to ADPCM-B (SourceFrame), the output's left and right, then the six
    // ADPCM-A channels: the values that came before the channels keep their places.
    static constexpr std::size_t kLeft = SourceFrame::kFirstAdpcmAChannel;
    static constexpr std::size_t kRight = kLeft + 1;
    static constexpr std::size_t kFirstAdpcmAChannel = kRight + 1;
    static constexpr std::size_t kValues = SourceFrame::kSources + 2;
    // A frame is packed into words of four values each.
    static constexpr std::size_t kWords = (kValues + 3) / 4;

    // The rendering thread only.
    void push(const SourceFrame* sources, const std::int16_t* stereo, std::size_t frames) {
        std::uint64_t at = written_.load(std::memory_order_relaxed);
        // Told before the slots change, so that a copy running meanwhile knows what it lost:
        // a copy that sees a new slot (release, acquire) also sees this.
        claimed_.store(at + frames, std::memory_order_relaxed);
        static_assert(kValues == 17, "the words below hold fifteen sources and the output");
        for (std::size_t i = 0; i < frames; ++i, ++at) {
            const std::int16_t* level = sources[i].level.data();
            const std::int16_t third[4] = {level[8], stereo[2 * i], stereo[2 * i + 1], level[9]};
            const std::int16_t last[4] = {level[14], 0, 0, 0};
            const std::size_t slot = kWords * (at % kFrames);
            slots_[slot].store(pack(level), std::memory_order_release);
            slots_[slot + 1].store(pack(level + 4), std::memory_order_release);
            slots_[slot + 2].store(pack(third), std::memory_order_release);
            slots_[slot + 3].store(pack(level + 10), std::memory_order_release);
            slots_[slot + 4].store(pack(last), std::memory_order_release);
        }
        written_.store(at, std::memory_order_release);
    }

    // Any thread: the latest `frames` frames (at most kFrames), oldest first, the first
    // `values` values of each (at most kValues): callers made for fewer values keep their
    // layout. Returns how many frames it wrote.
    std::size_t copy(std::int16_t* out, std::size_t frames, std::size_t values = kValues) const {
        values = std::min(values, kValues);
        const std::uint64_t end = written_.load(std::memory_order_acquire);
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>({frames, kFrames, end}));
        const std::uint64_t first = end - n;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t slot = kWords * ((first + i) % kFrames);
            std::int16_t frame[4 * kWords];
            for (std::size_t w = 0; w < kWords; ++w)
                unpack(slots_[slot + w].load(std::memory_order_acquire), frame + 4 * w);
            std::copy_n(frame, values, out + values * i);
        }
        // Frames the renderer wrote over while they were copied are dropped from the front.
        const std::uint64_t now = claimed_.load(std::memory_order_relaxed);
        const std::size_t lost = static_cast<std::size_t>(
            std::min<std::uint64_t>(n, now > first + kFrames ? now - first - kFrames : 0));
        std::memmove(out, out + values * lost, sizeof(std::int16_t) * values * (n - lost));
        return n - lost;
    }

  private:
    static std::uint64_t pack(const std::int16_t* v) {
        const auto u = [](std::int16_t x) { return std::uint64_t(std::uint16_t(x)); };
        return u(v[0]) | u(v[1]) << 16 | u(v[2]) << 32 | u(v[3]) << 48;
    }
    static void unpack(std::uint64_t word, std::int16_t* out) {
        for (std::size_t k = 0; k < 4; ++k)
            out[k] = static_cast<std::int16_t>(std::uint16_t(word >> (16 * k)));
    }

    std::array<std::atomic<std::uint64_t>, kWords * kFrames> slots_{};
    std::atomic<std::uint64_t> written_{0};  // frames whose slots are complete
    std::atomic<std::uint64_t> claimed_{0};  // frames whose slots are being written
};

}  // namespace qvxsnd
