#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "soundlib/library.hpp"

namespace qvxsnd {
namespace {

using namespace std::chrono_literals;

// A board program that sets its stack, enables interrupts and idles.
const std::uint8_t kIdleImage[] = {0x31, 0xFF, 0xFF, 0xED, 0x56, 0xFB, 0x18, 0xFE};

TEST(SoundLibrary, InitSoundTwiceOpensOneOutput) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    SoundLibrary lib;
    EXPECT_STREQ(lib.status(), "Sound has not been started");
    lib.initSound(nullptr, 44100);
    lib.initSound(nullptr, 44100);
    EXPECT_EQ(lib.outputsOpened(), 1);
    EXPECT_TRUE(lib.hasDevice());
    EXPECT_NE(std::string(lib.status()).find("dummy"), std::string::npos) << lib.status();
}

TEST(SoundLibrary, KeepsRunningWithoutAnAudioDevice) {
    ::setenv("SDL_AUDIODRIVER", "qvx-no-such-driver", 1);
    SoundLibrary lib;
    lib.initSound(nullptr, 44100);
    EXPECT_FALSE(lib.hasDevice());
    const std::string status = lib.status();
    EXPECT_EQ(status.rfind("No audio device could be opened", 0), 0u) << status;
    lib.sendData(kIdleImage);
    lib.sendCommand(0x81);
    const std::uint64_t start = lib.framesRendered();
    std::this_thread::sleep_for(300ms);
    // The silent sink keeps real-time pace: about 13,000 frames in 300 ms.
    EXPECT_GT(lib.framesRendered() - start, 6000u);
    EXPECT_LT(lib.framesRendered() - start, 40000u);
    lib.stopSound();
}

TEST(SoundLibrary, RefusesSampleRatesTheChipCannotRender) {
    ::setenv("SDL_AUDIODRIVER", "qvx-no-such-driver", 1);
    SoundLibrary lib;
    lib.initSound(nullptr, -5);  // falls back to 44100 instead of failing
    std::this_thread::sleep_for(50ms);
    EXPECT_GT(lib.framesRendered(), 0u);
}

// The host program owns its signals: starting and stopping sound must not take them over.
TEST(SoundLibrary, LeavesTheHostsSignalDispositionsAlone) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    const auto disposition = [](int signal) {
        struct sigaction action {};
        ::sigaction(signal, nullptr, &action);
        return reinterpret_cast<void*>(action.sa_handler);
    };
    for (const int signal : {SIGINT, SIGTERM})
        std::signal(signal, SIG_DFL);
    SoundLibrary lib;
    lib.initSound(nullptr, 44100);
    ASSERT_TRUE(lib.hasDevice()) << lib.status();
    for (const int signal : {SIGINT, SIGTERM})
        EXPECT_EQ(disposition(signal), reinterpret_cast<void*>(SIG_DFL)) << "signal " << signal;
    lib.stopSound();
    for (const int signal : {SIGINT, SIGTERM})
        EXPECT_EQ(disposition(signal), reinterpret_cast<void*>(SIG_DFL)) << "signal " << signal;
}

}  // namespace
}  // namespace qvxsnd
