// Every export called from two threads at once while the audio thread renders. Built with
// ThreadSanitizer by the 'tsan' preset; in other builds it is a plain stress test.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <thread>

#include "rombuild/compiled_image.hpp"
#include "soundlib/include/qvxsnd.h"

namespace qvxsnd {
namespace {

const std::uint8_t kIdleImage[] = {0x31, 0xFF, 0xFF, 0xED, 0x56, 0xFB, 0x18, 0xFE};

void hammer(int seed, const std::atomic<bool>& stop) {
    std::uint8_t voice[25];
    for (int i = 0; i < 25; ++i)
        voice[i] = static_cast<std::uint8_t>(seed * 31 + i);
    for (int n = 0; !stop.load(); ++n) {
        switch ((n + seed) % 9) {
            case 0:
                sendData(kIdleImage, sizeof kIdleImage);
                break;
            case 1:
                sendCommand(static_cast<std::uint16_t>(0x80 + n % 4));
                break;
            case 2:
                loadInstrument(voice);
                break;
            case 3:
                KeyDown(n % 12, 1 + n % 7);
                break;
            case 4:
                KeyUp();
                break;
            case 5:
                stopSound();
                break;
            case 6:
                initSound(nullptr, 44100);
                break;
            case 7:
                (void)soundStatus();
                (void)playPosition();
                break;
            default:
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                break;
        }
    }
}

TEST(SoundLibraryThreads, EveryExportFromTwoThreadsWhileAudioRenders) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    initSound(nullptr, 44100);
    std::atomic<bool> stop{false};
    std::thread a(hammer, 1, std::cref(stop));
    std::thread b(hammer, 2, std::cref(stop));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    stop = true;
    a.join();
    b.join();
    EXPECT_NE(soundStatus(), nullptr);
}

// The pattern editor's follow mode and its scopes: the GUI thread polls the position and the
// scope history while the audio thread plays a song and another thread previews notes.
TEST(SoundLibraryThreads, PlayPositionAndScopesWhileASongPlays) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    initSound(nullptr, 44100);
    auto buffer = std::make_unique<qvx::ImageBuffer>();
    const qvx::ImageBuild image = qvx::buildSongImage(qvx::Song{}, *buffer);
    ASSERT_TRUE(image);
    sendData(buffer->bytes.data(), static_cast<std::uint32_t>(image.length));
    sendCommand(0x81);
    std::atomic<bool> stop{false};
    // Four sine carriers (multiple 1, total level 0, attack 31) on connection 7.
    const std::array<std::uint8_t, 25> sine = {1, 1, 1, 1, 0, 0, 0, 0, 31, 31, 31, 31, 0,
                                               0, 0, 0, 0, 0, 0, 0, 0, 0,  0,  0,  7};
    loadInstrument(sine.data());
    std::thread commands([&stop] {
        while (!stop.load()) {
            KeyDown(9, 4);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::set<std::int32_t> seen;
    std::vector<std::int16_t> scope(QVXSND_SCOPE_FRAMES * QVXSND_SCOPE_VALUES);
    bool trackOneHeard = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1200);
    while (std::chrono::steady_clock::now() < until) {
        seen.insert(playPosition());
        const std::int32_t frames = scopeHistory(scope.data(), 735);
        for (std::int32_t i = 0; i < frames; ++i)
            trackOneHeard = trackOneHeard || scope[std::size_t(i) * QVXSND_SCOPE_VALUES] != 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(trackOneHeard) << "the previewed note shows in track 1's scope";
    stop = true;
    commands.join();
    // Rows of 96 ms: the first on order position 0, then on through the pattern.
    EXPECT_TRUE(seen.count(0));
    EXPECT_TRUE(seen.count(5));
    EXPECT_FALSE(seen.count(0x100));  // one order entry only
    sendCommand(0xFF);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(playPosition(), -1);
}

}  // namespace
}  // namespace qvxsnd
