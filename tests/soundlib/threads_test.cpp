// Every export called from two threads at once while the audio thread renders. Built with
// ThreadSanitizer by the 'tsan' preset; in other builds it is a plain stress test.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

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

}  // namespace
}  // namespace qvxsnd
